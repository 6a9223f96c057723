#pragma once
// Named shared-memory blocks through which another program hands over a text:
// a 32-bit little-endian length N, then N bytes.  The program only reads
// such blocks; making and removing them is for the developer tools and the
// tests that play the other program.
//
// Names are UTF-8 without "/"; the block is the POSIX object "/" + name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace SharedBlockResult {
// Besides 0 and the I/O results of platform/fs.h.
constexpr int BadLength = 13; // the length word claims more than the block holds
constexpr int TooSmall = 14;  // the block cannot even hold the length word
} // namespace SharedBlockResult

// Opens the block read-only, maps it, and copies the text after the length
// word into `out`: at most `limit` bytes when limit > 0 (`*fullLength`, when
// given, receives N).  The length is checked against the block's size before
// anything is copied.  0, an I/O result or a SharedBlockResult; `out` is
// empty on failure.
int ReadSharedBlock(const std::string& name, std::string& out, size_t limit = 0,
                    size_t* fullLength = nullptr);

// Makes (or replaces) a block holding `content` behind a length word of
// `lengthWord` (the content's own length unless a test wants a false one).
int CreateSharedBlock(const std::string& name, std::string_view content);
int CreateSharedBlock(const std::string& name, std::string_view content, uint32_t lengthWord);
// Removes a block; 0 or the I/O result (2 when there was none).
int RemoveSharedBlock(const std::string& name);

// A block that lives as long as the object (tests, tools).
class ScopedSharedBlock {
public:
    ScopedSharedBlock(std::string name, std::string_view content);
    ScopedSharedBlock(std::string name, std::string_view content, uint32_t lengthWord);
    ~ScopedSharedBlock();
    ScopedSharedBlock(const ScopedSharedBlock&) = delete;
    ScopedSharedBlock& operator=(const ScopedSharedBlock&) = delete;
    int Result() const { return result_; }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    int result_;
};
