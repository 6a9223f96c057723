#pragma once
// The program's HTTP client: one URL into a file, a text or a memory stream,
// under the connection settings of the configuration (plain http, a proxy
// with optional credentials), the online test and the Czech error texts.
//
// Result codes (32-bit): 0 success; an HTTP status outside 200-299 as itself;
// the connection errors under their traditional numbers (HttpCode); a file
// error of the target as the I/O result of platform/fs.h; -1 no URL handle,
// -2 no session, -3 a proxy without a host.  Every call copies the settings
// at its start under the configuration's mutex, so a dialog may change them
// meanwhile.
//
// Threads: any thread; each call runs its own transfer and blocks until it
// ends.  InstallHttpServices runs once on the main thread before any worker
// uses the network.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/http_transfer.h"

struct NetInterface;

namespace HttpCode {
constexpr int Ok = 0;
constexpr int NoUrl = -1;
constexpr int NoSession = -2;
constexpr int ProxyFailure = -3;
constexpr int Timeout = 12002;
constexpr int BadUrl = 12005;
constexpr int OtherScheme = 12006;
constexpr int NameNotFound = 12007;
constexpr int Stopped = 12017;
constexpr int Refused = 12029;
constexpr int ConnectionCut = 12030;
constexpr int BadReply = 12152;
constexpr int RedirectLoop = 12156;
constexpr int SecureChannel = 12157;
constexpr int CurlBase = 13000; // + libcurl's own code for anything else
} // namespace HttpCode

// ConnectionFlags bits this client reads.
namespace ConnectionFlag {
constexpr uint16_t PlainHttp = 0x10;
constexpr uint16_t UseProxy = 0x20;
constexpr uint16_t ProxyCredentials = 0x40;
constexpr uint16_t Offline = 0x80;
} // namespace ConnectionFlag

// A body above this size is refused by the text and stream calls.
constexpr int64_t kMaxHttpTextBytes = 64LL * 1024 * 1024;

// The settings of one call, copied at its start.
struct HttpSettings {
    uint16_t connectionFlags = 0;
    std::string urlScheme = "https://";
    std::string proxyAddress;
    std::string proxyUser;
    std::string proxyPassword;
    std::string updateFragment;
};
HttpSettings CurrentHttpSettings();

// The agent: AgentName ("qevw.exe") followed by AgentSuffix (set by the
// installation settings), without control bytes, cut to 254 bytes.
std::string AgentName();
void SetAgentSuffix(std::string suffix);
std::string AgentText();
// The installation's suffix: "-" + the customer in 8 digits + the server
// variant; empty when no customer (1 .. 99,999,998) is set.
std::string AgentSuffixFor(uint32_t customer, const std::string& variant);

// What an open connection holds: the settings copied at its opening.
struct HttpSession {
    HttpSettings settings;
    std::string agent;
};

// Opens the session of one request; with a proxy and credentials it also
// runs the proxy probe.  0 or the result code.
int HttpOpenConnection(const std::string& agent, const std::string& url, HttpSession& session);
// Asks the proxy for the server's "/files/list.txt" without credentials: 200
// and 404 answer 0; 407 and 500 send the credentials once more and answer 0;
// any other answer is the result.  For an https URL the answer is the one to
// the tunnel request.
int HttpProbeProxyAuth(const HttpSession& session, const std::string& url);

// Stores the body in `target`: written beside it and renamed into place only
// after a complete transfer, so on any failure an existing target stays as
// it was.  `progress` gets the running total after every piece and the
// final total once more at the end (a 0-byte body: one call with 0).
int HttpDownloadToFile(const std::string& url, const std::string& target,
                       const std::function<void(int64_t total)>& progress = {});
// The body as a byte string; empty on any failure.
void HttpGetText(const std::string& url, int& code, std::string& text);
// Replaces `stream` by the body when the call succeeds with a non-empty
// body (true); otherwise the stream stays and `errorText` is HttpErrorText.
bool HttpGetStream(const std::string& url, std::string& stream, std::string& errorText);

// The Czech message of a result code.
std::string HttpErrorText(int code);
// The English "system text" of a code: an HTTP status's reason phrase, a
// connection or file error's fixed text.
std::string HttpSystemText(int code);
// The result code of a transfer's outcome for the URL it opened.
int HttpResultOfOutcome(const HttpTransferOutcome& outcome, std::string_view url);

// 2 when a usable interface is up (or a configured server is on this
// machine), else 0.
int32_t HttpIsOnline();
// The rule behind it, over any interface list and server host names.
bool NetworkLooksOnline(const std::vector<NetInterface>& interfaces,
                        const std::vector<std::string>& serverHosts);
bool IsLoopbackHost(const std::string& host);

// A picture for the HTML viewer; the result code.
int HttpFetchPicture(const std::string& url, std::string& bytes);

// The limits of every later transfer (tests shorten them); returns the old.
HttpTimeouts SetHttpTimeouts(HttpTimeouts timeouts);

// Global libcurl set-up, the client's hooks (IsOnline, the picture fetch)
// and the agent suffix of the installation the configuration names.
void InstallHttpServices();
// Every running and later transfer ends with 12017 (the shut-down) until
// ResumeNetwork.
void StopNetwork();
void ResumeNetwork();
