#include "datastore/zip_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <zlib.h>

#include "platform/coding.h"
#include "platform/file_saver.h"

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr size_t kChunk = 32 * 1024;

const char kNotZip[] = "Not a ZIP archive.";
const char kIndex[] = "Index out of range.";
const char kBadName[] = "Bad entry name.";
const char kUnsupported[] = "Unsupported entry.";
const char kWrongSize[] = "Wrong size.";
const char kWrongCrc[] = "Wrong CRC.";

[[noreturn]] void FileFailure(const std::string& path, int err)
{
    throw ZipError(path + ": " + std::strerror(err));
}

// Reads exactly n bytes at offset or raises `message`.
void ReadExactly(const ReadOnlyFile& f, int64_t offset, void* buf, size_t n, const char* message)
{
    if (f.ReadAt(offset, buf, n) != 0)
        throw ZipError(message);
}

bool IsZip64(const TZipFile::Entry& e)
{
    return e.compressedSize == 0xFFFFFFFFu || e.size == 0xFFFFFFFFu || e.localHeaderOffset == 0xFFFFFFFFu;
}

} // namespace

void TZipFile::Open(const std::string& path)
{
    entries_.clear();
    file_.Close();
    path_ = path;
    if (file_.Open(path) != 0)
        FileFailure(path, errno);
    const int64_t size = file_.Size();
    if (size < static_cast<int64_t>(kEndSize))
        throw ZipError(kNotZip);

    // The end record lies in the last 22 + 65535 bytes; take the last one
    // whose comment fits before the end of the file.
    const size_t tailSize = static_cast<size_t>(std::min<int64_t>(size, kEndSize + 0xFFFF));
    std::vector<unsigned char> tail(tailSize);
    ReadExactly(file_, size - static_cast<int64_t>(tailSize), tail.data(), tailSize, kNotZip);
    int64_t endPos = -1;
    for (size_t p = tailSize - kEndSize + 1; p-- > 0;) {
        if (DecodeLE32(&tail[p]) == kEndSignature && p + kEndSize + DecodeLE16(&tail[p + 20]) <= tailSize) {
            endPos = static_cast<int64_t>(p);
            break;
        }
    }
    if (endPos < 0)
        throw ZipError(kNotZip);
    const unsigned char* end = &tail[static_cast<size_t>(endPos)];
    endPos += size - static_cast<int64_t>(tailSize);

    const uint16_t disk = DecodeLE16(end + 4), directoryDisk = DecodeLE16(end + 6);
    const uint16_t entriesHere = DecodeLE16(end + 8), entries = DecodeLE16(end + 10);
    const uint32_t directorySize = DecodeLE32(end + 12), directoryOffset = DecodeLE32(end + 16);
    if (disk != 0 || directoryDisk != 0 || entriesHere != entries || entries == 0xFFFF ||
        directoryOffset == 0xFFFFFFFFu || directorySize == 0xFFFFFFFFu)
        throw ZipError(kUnsupported); // split or ZIP64 archives
    if (int64_t{directoryOffset} + directorySize > endPos)
        throw ZipError(kNotZip);

    std::vector<unsigned char> dir(directorySize);
    ReadExactly(file_, directoryOffset, dir.data(), dir.size(), kNotZip);
    size_t p = 0;
    for (int k = 0; k < entries; ++k) {
        if (p + kCentralSize > dir.size() || DecodeLE32(&dir[p]) != kCentralSignature)
            throw ZipError(kNotZip);
        const unsigned char* c = &dir[p];
        Entry e;
        e.versionMadeBy = DecodeLE16(c + 4);
        e.flags = DecodeLE16(c + 8);
        e.method = DecodeLE16(c + 10);
        e.crc = DecodeLE32(c + 16);
        e.compressedSize = DecodeLE32(c + 20);
        e.size = DecodeLE32(c + 24);
        const size_t nameLength = DecodeLE16(c + 28), extraLength = DecodeLE16(c + 30),
                     commentLength = DecodeLE16(c + 32);
        e.externalAttributes = DecodeLE32(c + 38);
        e.localHeaderOffset = DecodeLE32(c + 42);
        if (p + kCentralSize + nameLength + extraLength + commentLength > dir.size())
            throw ZipError(kNotZip);
        e.name.assign(reinterpret_cast<const char*>(c + kCentralSize), nameLength);
        p += kCentralSize + nameLength + extraLength + commentLength;

        if (IsZip64(e)) {
            e.dataOffset = -1; // refused when extracted
        } else {
            unsigned char local[kLocalSize];
            if (int64_t{e.localHeaderOffset} + static_cast<int64_t>(kLocalSize) > directoryOffset)
                throw ZipError(kNotZip);
            ReadExactly(file_, e.localHeaderOffset, local, kLocalSize, kNotZip);
            if (DecodeLE32(local) != kLocalSignature)
                throw ZipError(kNotZip);
            e.dataOffset = int64_t{e.localHeaderOffset} + static_cast<int64_t>(kLocalSize) +
                           DecodeLE16(local + 26) + DecodeLE16(local + 28);
        }
        entries_.push_back(std::move(e));
    }
}

const std::string& TZipFile::Name(int i) const
{
    return At(i).name;
}

const TZipFile::Entry& TZipFile::At(int i) const
{
    if (i < 0 || i >= Count())
        throw ZipError(kIndex);
    return entries_[static_cast<size_t>(i)];
}

std::string TZipFile::Extract(int i, const std::string& folder) const
{
    return Extract(i, folder, RealFileSystem());
}

std::string TZipFile::Extract(int i, const std::string& folder, FileSystemOps& ops) const
{
    const Entry& e = At(i);
    if (!e.name.empty() && (e.name.back() == '/' || e.name.back() == '\\'))
        return {};
    // Entries are extracted flat: only the last part of the name counts.
    const size_t cut = e.name.find_last_of("/\\");
    const std::string name = cut == std::string::npos ? e.name : e.name.substr(cut + 1);
    if (name.empty() || name == "." || name == ".." ||
        std::any_of(name.begin(), name.end(), [](char ch) { return static_cast<unsigned char>(ch) < 32; }))
        throw ZipError(kBadName);
    if ((e.flags & 0x41) != 0 || (e.method != 0 && e.method != 8) || IsZip64(e) || e.dataOffset < 0)
        throw ZipError(kUnsupported);
    if (e.method == 0 && e.compressedSize != e.size)
        throw ZipError(kWrongSize);
    if (e.dataOffset + int64_t{e.compressedSize} > file_.Size())
        throw ZipError(kWrongSize);

    const std::string dir = WithTrailingSlash(folder);
    const std::string target = ResolveInFolder(dir, name);
    // Unix archives keep the execute bits; everything else is plain data.
    unsigned mode = 0644;
    if ((e.versionMadeBy >> 8) == 3 && ((e.externalAttributes >> 16) & 0111) != 0)
        mode = 0755;
    FileSaver out(target, ops, SaveMode{.makeFolders = false, .fileMode = mode});
    if (out.HasError())
        FileFailure(target, out.ErrorCode());

    std::vector<unsigned char> in(kChunk);
    std::vector<unsigned char> buf(kChunk);
    uint32_t crc = crc32(0L, Z_NULL, 0);
    uint64_t written = 0;
    int64_t offset = e.dataOffset;
    uint32_t remaining = e.compressedSize;
    auto emit = [&](const unsigned char* data, size_t n) {
        // Output past the declared size is never written.
        if (written + n > e.size)
            throw ZipError(kWrongSize);
        if (!out.Write(std::string_view(reinterpret_cast<const char*>(data), n)))
            FileFailure(target, out.ErrorCode());
        crc = crc32(crc, data, static_cast<uInt>(n));
        written += n;
    };
    auto readChunk = [&]() {
        const size_t n = std::min<size_t>(kChunk, remaining);
        if (file_.ReadAt(offset, in.data(), n) != 0)
            throw ZipError(kWrongSize);
        offset += static_cast<int64_t>(n);
        remaining -= static_cast<uint32_t>(n);
        return n;
    };

    if (e.method == 0) {
        while (remaining > 0) {
            const size_t n = readChunk();
            emit(in.data(), n);
        }
    } else {
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            throw ZipError(kUnsupported);
        struct InflateEnd {
            z_stream* z;
            ~InflateEnd() { inflateEnd(z); }
        } guard{&z};
        int r = Z_OK;
        while (r != Z_STREAM_END) {
            if (z.avail_in == 0) {
                if (remaining == 0)
                    throw ZipError(kWrongSize); // the stream needs more than the entry holds
                z.avail_in = static_cast<uInt>(readChunk());
                z.next_in = in.data();
            }
            z.next_out = buf.data();
            z.avail_out = static_cast<uInt>(buf.size());
            r = inflate(&z, Z_NO_FLUSH);
            if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR)
                throw ZipError(kWrongSize); // damaged deflate data
            emit(buf.data(), buf.size() - z.avail_out);
        }
    }
    if (written != e.size)
        throw ZipError(kWrongSize);
    if (crc != e.crc)
        throw ZipError(kWrongCrc);

    if (!out.Commit())
        FileFailure(target, out.ErrorCode());
    return target;
}

void ZipOpen(TZipFile& zip, const std::string& path)
{
    zip.Open(path);
}

int ZipCount(const TZipFile& zip)
{
    return zip.Count();
}

std::string ZipName(const TZipFile& zip, int i)
{
    return zip.Name(i);
}

void ZipExtract(const TZipFile& zip, int i, const std::string& folder)
{
    zip.Extract(i, folder);
}

void ZipExtract(const TZipFile& zip, int i, const std::string& folder, FileSystemOps& ops)
{
    zip.Extract(i, folder, ops);
}
