#include "writers/zip_writer.h"

#include <stdexcept>
#include <zlib.h>

#include "platform/coding.h"
#include "platform/file_saver.h"
#include "platform/fs.h"

// Where the archive's bytes go: a file being saved or a string.
struct ZipWriter::Sink {
    virtual ~Sink() = default;
    virtual bool Write(std::string_view bytes) = 0;
    virtual bool Commit() = 0;
    virtual std::string ErrorText() const = 0;
    uint64_t written = 0;
};

namespace {

struct FileSink : ZipWriter::Sink {
    explicit FileSink(const std::string& path) : saver(path, RealFileSystem(), SaveMode{.fileMode = 0644}) {}
    bool Write(std::string_view bytes) override
    {
        written += bytes.size();
        return saver.Write(bytes);
    }
    bool Commit() override { return saver.Commit(); }
    std::string ErrorText() const override { return saver.TargetPath() + ": " + saver.ErrorText(); }
    FileSaver saver;
};

struct StringSink : ZipWriter::Sink {
    explicit StringSink(std::string& out) : out(out) {}
    bool Write(std::string_view bytes) override
    {
        written += bytes.size();
        out.append(bytes);
        return true;
    }
    bool Commit() override { return true; }
    std::string ErrorText() const override { return {}; }
    std::string& out;
};

void Put16(std::string& s, uint16_t v)
{
    char b[2];
    EncodeLE16(b, v);
    s.append(b, 2);
}

void Put32(std::string& s, uint32_t v)
{
    char b[4];
    EncodeLE32(b, v);
    s.append(b, 4);
}

bool RawDeflate(const std::string& in, std::string& out)
{
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(deflateBound(&z, static_cast<uLong>(in.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int r = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return r == Z_STREAM_END;
}

// Adds one entry to the sink and its record to the directory.
bool AddEntry(ZipWriter::Sink& sink, std::string& directory, const ZipWriterEntry& e, std::string& error)
{
    std::string content = e.data;
    if (!e.sourcePath.empty() && ReadWholeFile(e.sourcePath, content) != 0) {
        error = "cannot read " + e.sourcePath;
        return false;
    }
    const bool folder = !e.name.empty() && e.name.back() == '/';
    if (e.name.empty() || e.name.size() > 0xFFFF || content.size() >= 0xFFFFFFFFu) {
        error = "entry too large or unnamed: " + e.name;
        return false;
    }
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
    const bool deflated = e.deflate && !folder;
    std::string packed;
    if (deflated && !RawDeflate(content, packed)) {
        error = "cannot deflate " + e.name;
        return false;
    }
    const std::string& stored = deflated ? packed : content;
    const uint16_t method = deflated ? 8 : 0;
    const uint16_t needed = deflated || folder ? 20 : 10;
    const uint64_t offset = sink.written;
    if (offset + 30 + e.name.size() + stored.size() >= 0xFFFFFFFFu) {
        error = "archive too large for a ZIP without ZIP64";
        return false;
    }

    std::string head;
    Put32(head, 0x04034b50);
    Put16(head, needed);
    Put16(head, 0); // flags: no data descriptor, no encryption
    Put16(head, method);
    Put16(head, kZipWriterTime);
    Put16(head, kZipWriterDate);
    Put32(head, crc);
    Put32(head, static_cast<uint32_t>(stored.size()));
    Put32(head, static_cast<uint32_t>(content.size()));
    Put16(head, static_cast<uint16_t>(e.name.size()));
    Put16(head, 0);
    head += e.name;
    if (!sink.Write(head) || !sink.Write(stored)) {
        error = sink.ErrorText();
        return false;
    }

    const uint32_t type = folder ? 0040000u : 0100000u;
    Put32(directory, 0x02014b50);
    Put16(directory, 3 << 8 | 20); // made by Unix, version 2.0
    Put16(directory, needed);
    Put16(directory, 0);
    Put16(directory, method);
    Put16(directory, kZipWriterTime);
    Put16(directory, kZipWriterDate);
    Put32(directory, crc);
    Put32(directory, static_cast<uint32_t>(stored.size()));
    Put32(directory, static_cast<uint32_t>(content.size()));
    Put16(directory, static_cast<uint16_t>(e.name.size()));
    Put16(directory, 0); // extra
    Put16(directory, 0); // comment
    Put16(directory, 0); // disk
    Put16(directory, 0); // internal attributes
    Put32(directory, (type | (e.mode & 07777)) << 16 | (folder ? 0x10u : 0u));
    Put32(directory, static_cast<uint32_t>(offset));
    directory += e.name;
    return true;
}

bool FinishArchive(ZipWriter::Sink& sink, const std::string& directory, uint32_t count, std::string& error)
{
    if (count > 0xFFFF) {
        error = "too many entries for a ZIP without ZIP64";
        return false;
    }
    const uint64_t offset = sink.written;
    std::string end = directory;
    Put32(end, 0x06054b50);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, static_cast<uint16_t>(count));
    Put16(end, static_cast<uint16_t>(count));
    Put32(end, static_cast<uint32_t>(directory.size()));
    Put32(end, static_cast<uint32_t>(offset));
    Put16(end, 0);
    if (!sink.Write(end) || !sink.Commit()) {
        error = sink.ErrorText();
        return false;
    }
    return true;
}

} // namespace

ZipWriter::ZipWriter(const std::string& path) : sink_(std::make_unique<FileSink>(path))
{}

ZipWriter::~ZipWriter() = default;

bool ZipWriter::Add(const ZipWriterEntry& entry)
{
    if (!error_.empty() || finished_)
        return false;
    if (!AddEntry(*sink_, directory_, entry, error_))
        return false;
    ++count_;
    return true;
}

bool ZipWriter::Finish()
{
    if (!error_.empty() || finished_)
        return false;
    finished_ = true;
    return FinishArchive(*sink_, directory_, count_, error_);
}

std::string BuildZip(const std::vector<ZipWriterEntry>& entries)
{
    std::string out;
    StringSink sink(out);
    std::string directory;
    std::string error;
    for (const ZipWriterEntry& e : entries)
        if (!AddEntry(sink, directory, e, error))
            throw std::invalid_argument(error);
    if (!FinishArchive(sink, directory, static_cast<uint32_t>(entries.size()), error))
        throw std::invalid_argument(error);
    return out;
}
