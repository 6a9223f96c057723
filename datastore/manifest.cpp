#include "datastore/manifest.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <vector>
#include <zlib.h>

#include "datastore/packed_text.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/fs.h"

// ------------------------------------------------------------ data-file table

namespace {

using namespace DataFileKind;
constexpr uint8_t O = Optional;

} // namespace

const std::array<DataFileEntry, 136> DataFileTable = {{
    {English, 0xFF, "kalvo"},
    {Czech, 0xFF, "kalvo"},
    {Table | O, 0x0F, "nazvy"},
    {Index | O, 0x0F, "nazvynaz"},
    {Table, 0x09, "kl"},
    {Index, 0x09, "klnaz"},
    {Index, 0x09, "klkod"},
    {Index, 0x09, "klzed"},
    {Index, 0x09, "kldrz"},
    {Index, 0x09, "klis"},
    {Index, 0x09, "klatc"},
    {Index, 0x01, "klatcp"},
    {Index, 0x09, "klrc"},
    {Index, 0x09, "klstr"},
    {Index, 0x09, "klpln"},
    {Index, 0x09, "kodex"},
    {Index, 0x01, "kodexa"},
    {Index, 0x09, "letak"},
    {Index | O, 0x09, "spc"},
    {SignSets, 0x09, "kl"},
    {UserSigns | O, 0x01, "vidud"},
    {WordList | O, 0x09, "klnaz"},
    {PackedText | O, 0x09, "kodex"},
    {PackedText | O, 0x01, "kodexa"},
    {PackedText, 0x09, "letak"},
    {PackedText | O, 0x09, "spc"},
    {Table, 0x01, "kle"},
    {Index, 0x01, "klekod"},
    {Index | O, 0x01, "kleean"},
    {Table, 0x01, "cvzp"},
    {Index, 0x01, "cvzpkod"},
    {Index | O, 0x01, "cvzpatc"},
    {Table, 0x01, "isv"},
    {Index, 0x01, "isvkod"},
    {Index, 0x01, "isvnaz"},
    {Table, 0x01, "isva"},
    {Index, 0x01, "isvkoda"},
    {Index, 0x01, "isvnaza"},
    {Table, 0x01, "atc"},
    {Index, 0x01, "atckod"},
    {Index, 0x01, "atcnaz"},
    {SignSets | O, 0x01, "atc"},
    {WordList | O, 0x01, "atcnaz"},
    {Table, 0x01, "atca"},
    {Index, 0x01, "atckoda"},
    {Index, 0x01, "atcnaza"},
    {Table | O, 0x01, "atcp"},
    {Index, 0x01, "atcpkod"},
    {Index | O, 0x01, "atcpnaz"},
    {Table | O, 0x01, "atcpa"},
    {Index, 0x01, "atcpkoda"},
    {Index | O, 0x01, "atcpnaza"},
    {Table, 0x09, "drzv"},
    {Index, 0x09, "drzvkod"},
    {Index, 0x09, "drzvnaz"},
    {Table, 0x09, "zemv"},
    {Index, 0x09, "zemvkod"},
    {Index, 0x09, "zemvnaz"},
    {Table, 0x09, "zemva"},
    {Index, 0x09, "zemvkoda"},
    {Index, 0x09, "zemvnaza"},
    {OtherData, 0x01, "symbol"},
    {PackedText | O, 0x01, "ind_ome"},
    {Table, 0x09, "klc"},
    {Index, 0x09, "klclek"},
    {Index, 0x09, "klckomp"},
    {Table, 0x09, "kk"},
    {Index, 0x09, "kknaz"},
    {Index, 0x09, "kkkod"},
    {Index, 0x09, "kkbas"},
    {Table | O, 0x01, "kab"},
    {Table | O, 0x09, "zdrv"},
    {Index | O, 0x09, "zdrvkod"},
    {Table | O, 0x01, "vzph"},
    {Index | O, 0x01, "vzphkod"},
    {Table | O, 0x01, "spot1"},
    {Index | O, 0x01, "spot1atc"},
    {Table | O, 0x01, "spot2"},
    {Index | O, 0x01, "spot2atc"},
    {Table, 0x09, "vpois"},
    {Index, 0x09, "vpois"},
    {Table | O, 0x01, "vypad"},
    {Index | O, 0x01, "vypadkod"},
    {Table, 0x12, "pfa"},
    {Index, 0x12, "pfanaz"},
    {Index, 0x12, "pfastr"},
    {Index, 0x12, "pfakod"},
    {Index, 0x12, "pfazem"},
    {Index, 0x12, "pfavyr"},
    {Index, 0x12, "pfahem"},
    {Index, 0x12, "pfaean"},
    {Index, 0x02, "pfakodex"},
    {Table, 0x12, "pfavyrv"},
    {Index, 0x12, "pfavyrko"},
    {Index, 0x12, "pfavyrna"},
    {Table, 0x12, "pfazemv"},
    {Index, 0x12, "pfazemko"},
    {Index, 0x12, "pfazemna"},
    {Table, 0x02, "pfakatv"},
    {Index, 0x02, "pfakatko"},
    {Index, 0x02, "pfakatna"},
    {Table, 0x02, "pfapk"},
    {Index, 0x02, "pfapkkat"},
    {PackedText, 0x02, "pfakodex"},
    {Table, 0x04, "pzt"},
    {Index, 0x04, "pztnaz"},
    {Index, 0x04, "pztkod"},
    {Index, 0x04, "pztpkod"},
    {Index, 0x04, "pztzem"},
    {Index, 0x04, "pztvyr"},
    {Index, 0x04, "pztohl"},
    {Index, 0x04, "pzttyp"},
    {Index, 0x04, "pztuhs"},
    {Table, 0x04, "pzttypv"},
    {Index, 0x04, "pzttypko"},
    {Index, 0x04, "pzttypna"},
    {PackedText | O, 0x04, "pztmet"},
    {Table, 0x04, "pztuhs"},
    {Index, 0x04, "pztuhsko"},
    {Index, 0x04, "pztuhsna"},
    {PackedText | O, 0x04, "pztuhsx"},
    {Table, 0x04, "pztvyrv"},
    {Index, 0x04, "pztvyrko"},
    {Index, 0x04, "pztvyrna"},
    {Table, 0x04, "pztohl"},
    {Index, 0x04, "pztohlko"},
    {Index, 0x04, "pztohlna"},
    {Table, 0x04, "pztzemv"},
    {Index, 0x04, "pztzemko"},
    {Index, 0x04, "pztzemna"},
    {OtherData | O, 0x01, "mkn"},
    {WordList | O, 0x01, "mkn"},
    {OtherData | O, 0x01, "mkno"},
    {WordList | O, 0x01, "mkno"},
    {OtherData | O, 0x01, "doping"},
    {Json | O, 0xFF, "qevif"},
}};

std::string DataFileEntry::FileName() const
{
    static constexpr const char* kExtension[10] = {".dat", ".sez", ".sgn", ".sgn", ".dat",
                                                   ".dat", ".ang", ".ces", ".slw", ".json"};
    return std::string(id) + kExtension[Kind()];
}

uint8_t WareMask(std::string_view letters)
{
    uint8_t mask = 0;
    for (char c : letters) {
        switch (c) {
        case 'H': mask |= 0x01; break;
        case 'F':
        case 'P': mask |= 0x02; break;
        case 'T': mask |= 0x04; break;
        case 'V': mask |= 0x08; break;
        case 'C': mask |= 0x80; break;
        default: break;
        }
    }
    return mask;
}

// ---------------------------------------------------------------------- CRCs

uint32_t ManifestCrcUpdate(uint32_t crc, const void* data, size_t n)
{
    // zlib inverts the register on the way in and out; the manifest keeps it
    // uninverted.
    uLong z = crc ^ 0xFFFFFFFFu;
    const auto* p = static_cast<const Bytef*>(data);
    while (n > 0) {
        const uInt chunk = static_cast<uInt>(std::min<size_t>(n, 1u << 30));
        z = crc32(z, p, chunk);
        p += chunk;
        n -= chunk;
    }
    return static_cast<uint32_t>(z) ^ 0xFFFFFFFFu;
}

namespace {

// CRC of the bytes [from, to) of an open file, in blocks.  False when a read
// fails (the status is left in DbStatus).
bool CrcOfRange(const ReadOnlyFile& f, int64_t from, int64_t to, uint32_t& crc)
{
    std::vector<unsigned char> buf(64 * 1024);
    while (from < to) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(to - from, static_cast<int64_t>(buf.size())));
        if (int r = f.ReadAt(from, buf.data(), n)) {
            DbStatus = r;
            return false;
        }
        crc = ManifestCrcUpdate(crc, buf.data(), n);
        from += static_cast<int64_t>(n);
    }
    return true;
}

} // namespace

int64_t DatCrc(TDbTable& table, uint32_t& crc)
{
    TDatFile& dat = table.dat;
    if (!dat.IsOpen() || dat.length == 0)
        return 0;
    const int n = dat.header[4];
    crc = ManifestCrcUpdate(crc, dat.header.data() + 4, static_cast<size_t>(1 + 3 * n));
    const int64_t L = dat.length;
    const int64_t first = (1 + dat.shift) * L;
    const int64_t end = (int64_t{dat.count} + dat.shift) * L;
    if (!CrcOfRange(dat.file, first, end, crc))
        CallDbErrorHook(dat.id, 0, 11);
    return end;
}

int64_t SezCrc(TDbTable& table, uint32_t& crc)
{
    TSezFile& sez = table.sez;
    if (!sez.IsOpen())
        return 0;
    const int64_t end = int64_t{sez.entryCount} * sez.EntrySize();
    if (!CrcOfRange(sez.file, 0, end, crc))
        CallDbErrorHook(sez.id, 0, 111);
    return end;
}

int64_t FileCrc(const std::string& path, int64_t offset, uint32_t& crc)
{
    ReadOnlyFile f;
    if (f.Open(ResolvePath(path)) != 0 || f.Size() < 5)
        return 0;
    CrcOfRange(f, offset, f.Size(), crc);
    return f.Size();
}

int64_t SignSetCrc(const std::string& path, const TFileId& table, uint32_t& crc, int32_t& firstBitCount)
{
    firstBitCount = 0;
    ReadOnlyFile f;
    if (f.Open(ResolvePath(path)) != 0 || f.Size() < 5)
        return 0;
    unsigned char head[24] = {};
    size_t got = 0;
    f.ReadAt(0, head, sizeof head, &got);
    if (got < 12 || head[0] != 'B' || head[1] != '6' ||
        !std::equal(table.b.begin(), table.b.end(), reinterpret_cast<const char*>(head + 4)))
        return -1;
    if (got >= 24)
        firstBitCount = static_cast<int32_t>(DecodeLE32(head + 20));
    CrcOfRange(f, 4, f.Size(), crc);
    return f.Size();
}

int64_t PackedTextCrc(const std::string& path, uint32_t& crc)
{
    TPackedTextFile reader;
    if (reader.file.Open(ResolvePath(path)) != 0 || reader.file.Size() < kPackedHeaderSize)
        return 0;
    // The magic is not required: a file that is not "X6" fails at its first
    // record's marker.
    uint8_t header[kPackedHeaderSize];
    if (reader.file.ReadAt(0, header, sizeof header) != 0)
        return 0;
    reader.headSize = PackedHeadSize(header[4]);
    reader.itemSize = PackedItemSize(header[4]);
    reader.compressed = (header[4] & 0x08) != 0;

    const int64_t size = reader.file.Size();
    int64_t offset = kPackedHeaderSize;
    std::string items;
    while (offset < size) {
        PackedRecordHead head;
        const int r = ReadPackedHead(reader, offset, head, &items);
        if (r != 0 || head.marker != 0xFFFF)
            return -offset;
        for (size_t i = 0; i + 5 <= items.size(); i += reader.itemSize)
            crc = ManifestCrcUpdate(crc, items.data() + i, 5);
        offset = head.nextOffset;
    }
    return size;
}

// ---------------------------------------------------------------- the manifest

int64_t FileSizeOf(const std::string& path)
{
    return FileSize(ResolvePath(path));
}

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// ISO weekday, Monday 1 .. Sunday 7.
int IsoWeekday(int64_t days)
{
    // 1970-01-01 was a Thursday.
    return static_cast<int>(((days % 7 + 7) % 7 + 3) % 7) + 1;
}

bool LocalDay(std::time_t now, int& y, int& m, int& d)
{
    std::tm tm{};
    if (!localtime_r(&now, &tm))
        return false;
    y = tm.tm_year + 1900;
    m = tm.tm_mon + 1;
    d = tm.tm_mday;
    return true;
}

std::string TwoDigits(int v)
{
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02d", v % 100);
    return buf;
}

std::string Hex8(uint32_t v)
{
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", v);
    return buf;
}

// The manifest's lines in order, read with LF or CR LF.
std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            eol = text.size();
        std::string line = text.substr(pos, eol - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        pos = eol + 1;
    }
    return lines;
}

// "6.41" -> 641; -1 when not a number.
int FormatNumber(std::string value)
{
    value.erase(std::remove(value.begin(), value.end(), '.'), value.end());
    int n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size() || value.empty())
        return -1;
    return n;
}

constexpr const char* kManifestName = "kalvo.kvo";

class ManifestWalk {
public:
    ManifestWalk(std::string folder, bool check, const ManifestReport& report)
        : folder_(std::move(folder)), check_(check), report_(report)
    {}

    // Loads the manifest; false (after reporting) when it cannot be read.
    bool Load(std::string& ware, int& format)
    {
        std::string text;
        if (int r = ReadWholeFile(ResolveInFolder(folder_, kManifestName), text)) {
            Report(std::string("!! files ") + kManifestName + " " + std::to_string(r));
            return false;
        }
        for (const std::string& line : SplitLines(text)) {
            const size_t eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            values_.emplace(AsciiLower(line.substr(0, eq)), line.substr(eq + 1));
        }
        Report("ver=" + Value("ver"));
        Report("date=" + Value("date"));
        ware = Value("ware");
        const int n = FormatNumber(Value("dbf"));
        format = n < 0 ? 625 : n;
        return true;
    }

    void Header(const std::string& stamp, const std::string& date, std::string_view ware)
    {
        lines_ += "ver=" + stamp + "\r\n";
        lines_ += "date=" + date + "\r\n";
        lines_ += "dbf=6.41\r\n";
        lines_ += "ware=" + std::string(ware) + "\r\n";
    }

    void Line(const std::string& name, uint32_t crc, int64_t size, bool optional)
    {
        const std::string mine = Hex8(crc) + "," + std::to_string(size);
        if (!check_) {
            // Only files that exist are listed.
            if (size > 0)
                lines_ += name + "=" + mine + "\r\n";
            return;
        }
        const auto it = values_.find(AsciiLower(name));
        const bool stored = it != values_.end();
        if (!stored && size > 0)
            return; // a file the manifest does not list
        if (!stored && size == 0 && optional)
            return; // a missing optional file
        const std::string listed = stored ? it->second : std::string();
        if (listed == mine)
            Report(name + " OK");
        else
            Report("!! Bad CRC " + name + ": " + listed + " # " + mine);
    }

    void Report(const std::string& line) const
    {
        if (report_)
            report_(line);
    }

    int Save() const { return WriteFileAtomic(folder_ + kManifestName, lines_); }

    const std::string& Folder() const { return folder_; }

private:
    std::string Value(const std::string& key) const
    {
        const auto it = values_.find(key);
        return it == values_.end() ? std::string() : it->second;
    }

    std::string folder_;
    bool check_;
    const ManifestReport& report_;
    std::map<std::string, std::string> values_;
    std::string lines_;
};

} // namespace

std::string QuarterStamp(int year, int month, int day)
{
    const int q = (month - 1) / 3 + 1;
    const int64_t first = DaysFromCivil(year, 3 * (q - 1) + 1, 1);
    const int64_t today = DaysFromCivil(year, month, day);
    const int64_t d = today - first + IsoWeekday(first) - 1;
    const int64_t w = d / 7;
    const int64_t h = 2 * w + (IsoWeekday(today) >= 4 ? 1 : 0);
    std::string stamp = std::to_string(year) + "." + std::to_string(q);
    if (h >= 2)
        stamp.push_back(static_cast<char>(0x5F + std::min<int64_t>(h, 0x7A - 0x5F)));
    return stamp;
}

std::string QuarterStamp(std::time_t now)
{
    int y = 0, m = 0, d = 0;
    if (!LocalDay(now, y, m, d))
        return {};
    return QuarterStamp(y, m, d);
}

int DataManifest(const std::string& folder, bool check, std::string_view wareArg,
                 const ManifestReport& report, std::time_t now)
{
    ManifestWalk walk(WithTrailingSlash(folder), check, report);
    const std::string& dir = walk.Folder();
    std::string ware(wareArg);
    int format = kManifestFormat;
    if (check) {
        if (!walk.Load(ware, format))
            return 625;
    } else {
        int y = 0, m = 0, d = 0;
        LocalDay(now, y, m, d);
        walk.Header(QuarterStamp(y, m, d), TwoDigits(d) + "." + TwoDigits(m) + "." + std::to_string(y), ware);
    }
    const uint8_t mask = WareMask(ware);
    if (mask == 0) {
        walk.Report(std::string("!! files ") + kManifestName + " ware=" + ware);
        return format;
    }

    TDbTable table;
    std::string current;  // the current table's identity
    bool pending = false; // its record file has no line yet
    for (const DataFileEntry& e : DataFileTable) {
        if ((e.mask & mask) == 0)
            continue;
        const std::string path = dir + e.FileName();
        uint32_t crc = kManifestCrcStart;
        switch (e.Kind()) {
        case DataFileKind::Table:
            current = e.id;
            pending = true;
            break;
        case DataFileKind::Index: {
            OpenTableIn(table, dir, TFileId(current), TFileId(e.id), 0);
            const int32_t status = DbStatus;
            if (status != 0) {
                // Missing optional files pass; anything else is said.
                if (!(status == IoResult::NotFound && e.IsOptional()))
                    walk.Report("!! files " + current + "#" + e.id + " " + std::to_string(status));
                break;
            }
            if (pending) {
                uint32_t datCrc = kManifestCrcStart;
                const int64_t size = DatCrc(table, datCrc);
                walk.Line(current + ".dat", datCrc, size, false);
                pending = false;
            }
            const int64_t size = SezCrc(table, crc);
            walk.Line(e.FileName(), crc, size, e.IsOptional());
            break;
        }
        case DataFileKind::SignSets: {
            int32_t bits = 0;
            const int64_t size = SignSetCrc(path, TFileId(current), crc, bits);
            if (size != -1) {
                const bool exists = FileSizeOf(path) >= 0;
                if (int64_t{bits} + 1 != table.dat.count && (exists || !e.IsOptional()))
                    walk.Report("!! files " + current + "#" + e.FileName());
                walk.Line(e.FileName(), crc, size, e.IsOptional());
                break;
            }
            crc = kManifestCrcStart;
            [[fallthrough]];
        }
        case DataFileKind::UserSigns: {
            const int64_t size = FileCrc(path, 0, crc);
            const bool exists = FileSizeOf(path) >= 0;
            const int64_t wanted = (int64_t{table.dat.count} - 1) / 16 * 2 + 2;
            if (size != wanted && (exists || !e.IsOptional()))
                walk.Report("!! files " + current + "#" + e.FileName());
            walk.Line(e.FileName(), crc, size, e.IsOptional());
            break;
        }
        case DataFileKind::PackedText: {
            const int64_t size = PackedTextCrc(path, crc);
            if (size < -1)
                walk.Report("!! defect " + e.FileName() + std::to_string(size));
            else
                walk.Line(e.FileName(), crc, size, e.IsOptional());
            break;
        }
        default: {
            const int64_t offset =
                e.Kind() == DataFileKind::WordList || e.Kind() == DataFileKind::Json ? 0 : 4;
            const int64_t size = FileCrc(path, offset, crc);
            walk.Line(e.FileName(), crc, size, e.IsOptional());
            break;
        }
        }
    }
    OpenTableIn(table, dir, TFileId(), TFileId(), 0);

    if (!check) {
        if (int r = walk.Save())
            walk.Report(std::string("!! files ") + kManifestName + " " + std::to_string(r));
    }
    return format;
}

int ManifestDiffs(const std::string& folder, std::string& text)
{
    text.clear();
    const std::string dir = WithTrailingSlash(folder);
    std::string manifest;
    if (ReadWholeFile(ResolveInFolder(dir, kManifestName), manifest) != 0) {
        text = std::string("kvoErr ") + kManifestName + "\r\n";
        return 0;
    }
    int format = 0;
    for (const std::string& line : SplitLines(manifest)) {
        if (line.empty())
            continue;
        const size_t comma = line.find(',');
        // Header lines carry no comma near their start.
        if (comma == std::string::npos || comma < 3) {
            if (line.compare(0, 4, "dbf=") == 0)
                format = std::max(FormatNumber(line.substr(4)), 0);
            continue;
        }
        const std::string number = line.substr(comma + 1, 11);
        int64_t listed = -1;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), listed);
        if (ec != std::errc() || end != number.data() + number.size())
            listed = -1;
        if (listed < 0) {
            text += "kvoErr " + line + "\r\n";
            continue;
        }
        if (listed == 0)
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq > comma) {
            text += "kvoErr " + line + "\r\n";
            continue;
        }
        const std::string name = line.substr(0, eq);
        const int64_t actual = FileSizeOf(dir + name);
        if (actual != listed)
            text += folder + name + ": " + std::to_string(listed) + " x " + std::to_string(actual) + "\r\n";
    }
    return format;
}
