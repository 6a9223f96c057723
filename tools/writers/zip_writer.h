#pragma once
// Writer of ZIP archives as the update server publishes them: stored and
// deflated entries with their CRC-32, Unix modes (an execute bit survives
// the unpacking), sizes in the local headers (no data descriptors), no
// ZIP64.  Used by update_kit, the benchmarks and the tests.  Every entry
// gets the same fixed time, so that the same entries give the same bytes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ZipWriterEntry {
    std::string name;       // as stored, "/" separators; a folder ends with "/"
    std::string data;       // the content, unless sourcePath is given
    std::string sourcePath; // a file whose content the entry gets
    bool deflate = true;
    unsigned mode = 0644; // Unix permission bits
};

// The DOS date and time every entry carries (1 January 2025, 00:00).
inline constexpr uint16_t kZipWriterDate = (2025 - 1980) << 9 | 1 << 5 | 1;
inline constexpr uint16_t kZipWriterTime = 0;

class ZipWriter {
public:
    // Writes to a temporary file beside `path`, renamed into place by Finish.
    explicit ZipWriter(const std::string& path);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // False once anything failed (Error says what).
    bool Add(const ZipWriterEntry& entry);
    // The central directory and the end record; true when the archive is in
    // place.
    bool Finish();
    const std::string& Error() const { return error_; }

    struct Sink;

private:
    std::unique_ptr<Sink> sink_;
    std::string error_;
    std::string directory_;
    uint32_t count_ = 0;
    bool finished_ = false;
};

// The whole archive in memory.
std::string BuildZip(const std::vector<ZipWriterEntry>& entries);
