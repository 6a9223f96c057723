#pragma once
// The settings, update and network services as the lower layers see them:
// usage counters, the network and update calls of the background loader, and
// the values those services share.  The services themselves live in a higher
// layer and register their functions here at start-up; until then (and in
// tools and tests) every call has a defined answer: nothing is done, a
// Boolean answers false, IsOnline answers 0 and out texts stay empty.
//
// Threads: registration happens on the main thread before the loader starts;
// calls may come from any thread (the table is guarded, and a call runs on
// a copy of the function it found).

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

struct UpdateServices {
    // Usage counters.
    std::function<void(uint16_t key)> statCount;
    std::function<void(uint16_t key, int64_t value)> statAddLog4;
    std::function<void(uint16_t key, int64_t value)> statCountLog2;
    std::function<void(uint16_t key, double days)> statCountDuration;
    // One use of a product (its 7-digit code) in the per-product counts.
    std::function<void(const std::string& code)> statCountProduct;
    std::function<void(const std::string& folder)> statSaveCounters;
    std::function<void(const std::string& folder)> statSaveProducts;
    std::function<bool(const std::string& folder)> statShouldSend;
    std::function<bool(const std::string& folder)> statShouldSendProducts;
    std::function<void(const std::string& folder, const std::string& installation)> statSend;
    std::function<void(const std::string& folder, const std::string& installation)> statSendProducts;

    // Network and update.
    std::function<int32_t()> isOnline;
    std::function<void()> fetchNewXml;
    std::function<void()> loadServerList;
    // The program package for this installation: `description` its label in
    // the display code page (asked, stored in UPD=, logged).
    std::function<bool(int mode, uint32_t installation, int one, std::string& description)>
        findProgramPackage;
    std::function<bool()> prepareDataUpdate;
    std::function<void(std::string& message)> runDataUpdate;
    std::function<void()> updateZlpPackage;
    std::function<void(std::string& path)> newsCachePath;
    std::function<void()> fetchNews;
    std::function<void()> findBestVersionFolder;
    std::function<bool()> startInstallerMode;
    // The start page's notice: a kept pending notice (from its seventh
    // character) becomes the update status text.
    std::function<void()> composeStartPageNotice;
    // A picture of the HTML viewer fetched over HTTP: the result code (0 when
    // `bytes` holds the body).
    std::function<int(const std::string& url, std::string& bytes)> fetchPicture;
    // The installation's server letter ("t" the test server); the loader
    // uses "l" without it.
    std::function<std::string()> serverVariant;
};

// Replaces the whole table (an empty member keeps its defined default) and
// returns the one it replaces.
UpdateServices SetUpdateServices(UpdateServices services);
// A copy of the table in force (a service adds its members to it).
UpdateServices CurrentUpdateServices();

// The counter key of up to three letters: (c1 shl 10, kept to 16 bits) or
// ((c2 shl 5) and 0x3FF) or (c3 and 0x1F); missing letters count as 0.
uint16_t StatCodeOfText(std::string_view code);

void StatCount(uint16_t key);
void StatAddLog4(uint16_t key, int64_t value);
void StatCountLog2(uint16_t key, int64_t value);
void StatCountDuration(uint16_t key, double days);
void StatCountProduct(const std::string& code);
void StatSaveCounters(const std::string& folder);
void StatSaveProducts(const std::string& folder);
bool StatShouldSend(const std::string& folder);
bool StatShouldSendProducts(const std::string& folder);
void StatSend(const std::string& folder, const std::string& installation);
void StatSendProducts(const std::string& folder, const std::string& installation);

int32_t IsOnline();
bool HasFetchPicture();
void FetchNewXml();
void LoadServerList();
bool FindProgramPackage(int mode, uint32_t installation, int one, std::string& description);
bool PrepareDataUpdate();
void RunDataUpdate(std::string& message);
void UpdateZlpPackage();
void NewsCachePath(std::string& path);
void FetchNews();
void FindBestVersionFolder();
bool StartInstallerMode();
void ComposeStartPageNotice();
// A picture of the HTML viewer's pages (http or https), on any thread: the
// result code, 0 when `bytes` holds the body; -1 and no bytes without a
// network service.
int FetchPicture(const std::string& url, std::string& bytes);
// Whether the settings service registered a real installer start.
bool HasStartInstallerMode();

// Values kept by the update and settings services and read by the loader,
// the main window and the start page.  Texts are in the display code page
// unless a comment says otherwise.  The texts and the chosen package with
// its size sit behind one mutex (a reader gets a copy); the flags are
// atomics, written after the values they announce.
struct UpdateSharedValues {
    std::atomic<bool> serverListReady{false};        // a fetch has ended, even a failed one
    std::atomic<bool> serverListFetchStarted{false}; // a fetch was started in this run

    // This run's "Inst.loSp" text or failed list fetch, for the loader.
    std::string PendingServerMessage() const;
    void SetPendingServerMessage(std::string text);
    // The package a list parser chose ("kalvo263a.zip", "win25.02.zip"), or
    // before a parse the name or "prefix*.zip" pattern to look for; and the
    // size the list gives it (0 unknown).
    std::string ChosenPackage() const;
    int64_t ExpectedPackageSize() const;
    void SetChosenPackage(std::string name, int64_t size = 0);
    // The server's file list in its normalised form (a line feed first and
    // after every entry) and the error text of the last failed fetch.
    std::string ServerListText() const;
    std::string ServerListError() const;
    void SetServerList(std::string text, std::string error);
    // The newest complete version folder (a name, empty without an
    // installation base).
    std::string BestVersionFolder() const;
    void SetBestVersionFolder(std::string name);
    std::string StartPageNotice() const;
    void SetStartPageNotice(std::string text);
    // The installation settings record (a tagged record) and name/value list.
    std::string InstallationRecord() const;
    void SetInstallationRecord(std::string record);
    std::string InstallationList() const;
    void SetInstallationList(std::string list);
    // The record's head as a 32-bit number: the customer; an empty or short
    // record reads as the reset head 100,000,001 (no customer).
    uint32_t CustomerNumber() const;
    // The installation's server letter ("t", "v" the test server); empty for
    // none.
    std::string ServerVariant() const;
    void SetServerVariant(std::string letter);

private:
    std::string Read(const std::string& field) const;
    void Write(std::string& field, std::string text);

    mutable std::mutex mutex_;
    std::string pendingServerMessage_;
    std::string chosenPackage_;
    int64_t expectedPackageSize_ = 0;
    std::string serverListText_;
    std::string serverListError_;
    std::string bestVersionFolder_;
    std::string startPageNotice_;
    std::string installationRecord_;
    std::string installationList_;
    std::string serverVariant_;
};

UpdateSharedValues& UpdateShared();
