#include "datastore/db_table.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "platform/ascii.h"
#include "platform/coding.h"

// ---------------------------------------------------------------------------
// Data folder

namespace {
std::mutex& DataDirMutex()
{
    static std::mutex m;
    return m;
}
std::string& DataDirValue()
{
    static std::string v;
    return v;
}
} // namespace

std::string DataDir()
{
    std::lock_guard<std::mutex> lock(DataDirMutex());
    return DataDirValue();
}

void SetDataDir(std::string_view folder)
{
    std::string v = folder.empty() ? std::string() : WithTrailingSlash(folder);
    std::lock_guard<std::mutex> lock(DataDirMutex());
    DataDirValue() = std::move(v);
}

// ---------------------------------------------------------------------------
// Record file

int FieldLength(uint8_t d)
{
    return DescriptorLength(d);
}

std::string FieldNameToStr(uint16_t packed)
{
    std::string s(3, ' ');
    for (int i = 0; i < 3; ++i) {
        const int v = (packed >> (10 - 5 * i)) & 0x1F;
        s[static_cast<size_t>(i)] = v ? static_cast<char>('@' + v) : ' ';
    }
    return s;
}

uint16_t TDatFile::FieldName(int i) const
{
    if (i < 0 || i >= FieldCount())
        return 0;
    const size_t at = 5 + 2 * static_cast<size_t>(i);
    return DecodeLE16(header.data() + at);
}

uint8_t TDatFile::FieldDescriptor(int i) const
{
    if (i < 0 || i >= FieldCount())
        return 0;
    return header[5 + 2 * static_cast<size_t>(FieldCount()) + static_cast<size_t>(i)];
}

static void FailDat(TDatFile& dat, int32_t status, uint16_t code)
{
    dat.file.Close();
    dat.header.fill(0);
    DbStatus = status;
    CallDbErrorHook(dat.id, 0, code);
}

void OpenDatFile(TDatFile& dat, std::string_view folder)
{
    dat.file.Close();
    dat.header.fill(0);
    dat.count = 0;
    dat.shift = 0;
    dat.folder.assign(folder);
    if (dat.id.IsEmpty())
        return;
    DbStatus = 0;
    const std::string path = ResolveInFolder(folder, FileIdToStr(dat.id) + ".dat");
    if (int r = dat.file.Open(path, /*mapped=*/true)) {
        DbStatus = r;
        if (!((r >= 1 && r <= 5) || r == IoResult::SharingViolation))
            CallDbErrorHook(dat.id, 0, 1);
        return;
    }
    // A valid small table may be shorter than the header buffer: read what
    // there is and require only the bytes the field count needs.
    const size_t want = static_cast<size_t>(std::min<int64_t>(DatHeaderBytes, dat.file.Size()));
    std::array<uint8_t, DatHeaderBytes> h{};
    size_t got = 0;
    int r = dat.file.ReadAt(0, h.data(), want, &got);
    if (r != 0 || got < 5) {
        FailDat(dat, r ? r : IoResult::ShortRead, 2);
        return;
    }
    if (h[0] != 'D' || h[1] != '6') {
        FailDat(dat, DbCode::BadFormat, 3);
        return;
    }
    const int n = h[4];
    if (n == 0 || n > DatMaxFields) {
        FailDat(dat, DbCode::BadFormat, 3);
        return;
    }
    if (got < static_cast<size_t>(5 + 3 * n)) {
        FailDat(dat, IoResult::ShortRead, 2);
        return;
    }
    int L = 0;
    for (int i = 0; i < n; ++i)
        L += FieldLength(h[static_cast<size_t>(5 + 2 * n + i)]);
    if (dat.length != 0 && dat.length != L) {
        FailDat(dat, DbCode::LengthDiffers, 4);
        return;
    }
    dat.length = static_cast<uint16_t>(L);
    dat.shift = (3 * n + 5 > L) ? 1 : 0;
    const int64_t records = dat.file.Size() / L - dat.shift;
    dat.count = static_cast<int32_t>(std::clamp<int64_t>(records, 0, INT32_MAX));
    dat.header = h;
    dat.header[1] = 'O';
}

void OpenDatFile(TDatFile& dat, std::string_view folder, const TFileId& id, uint16_t expectedLength)
{
    dat.id = id;
    dat.length = expectedLength;
    OpenDatFile(dat, folder);
}

void ReadRecord(TDatFile& dat, int32_t recNo, char* buf)
{
    const int64_t fileRec = static_cast<int64_t>(recNo) + dat.shift;
    if (!dat.IsOpen() || recNo < 0) {
        DbStatus = dat.IsOpen() ? IoResult::ShortRead : IoResult::ErrnoBase + EBADF;
        CallDbErrorHook(dat.id, static_cast<int32_t>(fileRec), 11);
        return;
    }
    const int r = dat.file.ReadAt(fileRec * dat.length, buf, dat.length);
    DbStatus = r;
    if (r != 0)
        CallDbErrorHook(dat.id, static_cast<int32_t>(fileRec), 11);
}

void ReadRecord(TDatFile& dat, int32_t recNo, std::string& buf)
{
    buf.resize(std::max<size_t>(dat.length, 1));
    ReadRecord(dat, recNo, buf.data());
}

uint16_t ReadDatStamp(std::string_view pathWithoutExtension)
{
    ReadOnlyFile f;
    if (f.Open(ResolvePath(std::string(pathWithoutExtension) + ".dat")) != 0)
        return 0;
    uint8_t b[2];
    if (f.ReadAt(2, b, 2) != 0)
        return 0;
    return DecodeLE16(b);
}

// ---------------------------------------------------------------------------
// Table handle

namespace {

// Closes a part whose identity or folder differs from the wanted one.
template <typename Part>
void ExchangeIfDifferent(Part& part, const TFileId& id, std::string_view folder, uint16_t closeCode)
{
    if (!FileIdDiffers(part.id, id) && (!part.IsOpen() || part.folder == folder))
        return;
    if (part.IsOpen()) {
        const TFileId old = part.id;
        part.header.fill(0);
        if (int r = part.file.Close()) {
            DbStatus = r;
            CallDbErrorHook(old, 0, closeCode);
        }
    }
    part.header.fill(0);
    part.id = TFileId();
}

// The index agrees with its record file; else 20005 and the index closed.
bool CheckCounts(TDbTable& t)
{
    if (t.sez.LeafCount() == t.dat.count - 1)
        return true;
    CloseSezFile(t.sez);
    DbStatus = DbCode::CountsDiffer;
    CallDbErrorHook(t.sez.id, 0, 202);
    return false;
}

void OpenTableAt(TDbTable& t, std::string_view folder, const TFileId& datId, const TFileId& sezId,
                 uint16_t expectedLength)
{
    DbStatus = 0;
    t.recNo = 0;

    ExchangeIfDifferent(t.dat, datId, folder, 200);
    bool datOpened = false;
    if (!t.dat.IsOpen()) {
        t.dat.id = datId;
        t.dat.length = expectedLength;
        OpenDatFile(t.dat, folder);
        if (DbStatus != 0)
            return;
        datOpened = t.dat.IsOpen();
    }

    ExchangeIfDifferent(t.sez, sezId, folder, 201);
    if (!t.sez.IsOpen())
        CloseSezFile(t.sez); // frees the middle level of the index let go
    if (DbStatus != 0)
        return;
    if (sezId.IsEmpty())
        return;
    if (t.sez.IsOpen()) {
        // A record file opened anew must agree with the index kept open.
        if (datOpened)
            CheckCounts(t);
        return;
    }
    t.sez.id = sezId;
    OpenSezFile(t.sez, folder);
    if (DbStatus != 0)
        return;
    CheckCounts(t);
}

int32_t KeyFieldStart(const TSezFile& s)
{
    return s.KeyFieldOffset() + 1;
}

// Compares the record's field at start over text's length with text:
// negative when the field is below.  A field cut by the record's end compares
// as the shorter text.
int CompareFieldWithText(const char* rec, int L, int start, std::string_view text, bool folded)
{
    const int avail = std::max(0, L - (start - 1));
    const size_t n = std::min<size_t>(text.size(), static_cast<size_t>(avail));
    const auto* f = reinterpret_cast<const uint8_t*>(rec) + (start - 1);
    const auto* x = reinterpret_cast<const uint8_t*>(text.data());
    for (size_t i = 0; i < n; ++i) {
        const uint8_t a = folded ? KamUpper[f[i]] : f[i];
        const uint8_t b = folded ? KamUpper[x[i]] : x[i];
        if (a != b)
            return a < b ? -1 : 1;
    }
    return n < text.size() ? -1 : 0;
}

} // namespace

void OpenTable(TDbTable& t, const TFileId& datId, const TFileId& sezId, uint16_t expectedLength)
{
    OpenTableAt(t, DataDir(), datId, sezId, expectedLength);
}

void OpenTableIn(TDbTable& t, std::string_view folder, const TFileId& datId, const TFileId& sezId,
                 uint16_t expectedLength)
{
    const std::string dir = folder.empty() ? std::string() : WithTrailingSlash(folder);
    OpenTableAt(t, dir, datId, sezId, expectedLength);
}

void ReadByOrder(TDbTable& t, int32_t pos, char* buf)
{
    if (pos < 0 || pos >= t.sez.LeafCount()) {
        DbStatus = DbCode::OutOfRange;
        buf[0] = 0;
        return;
    }
    // A walk in key order reads records scattered over the file: the record
    // a few steps ahead is fetched while this one is used.
    constexpr int32_t kPrefetchAhead = 3;
    const bool walking = pos == t.sez.curPos + 1;
    IndexEntryRecNo(t.sez, t.recNo, pos);
    if (DbStatus <= 0) {
        ReadRecord(t.dat, t.recNo, buf);
        if (walking && t.dat.IsOpen())
            if (const int32_t ahead = PeekLeafRecNo(t.sez, pos + kPrefetchAhead); ahead > 0)
                t.dat.file.Prefetch((static_cast<int64_t>(ahead) + t.dat.shift) * t.dat.length, t.dat.length);
    }
}

void ReadByOrder(TDbTable& t, int32_t pos, std::string& buf)
{
    buf.resize(std::max<size_t>(t.dat.length, 1));
    ReadByOrder(t, pos, buf.data());
}

void FindRecord(TDbTable& t, std::string_view text, char* buf)
{
    if (text.empty()) {
        ReadByOrder(t, 0, buf);
        return;
    }
    SeekKey(t.sez, t.recNo, text);
    if (DbStatus == DbCode::OutOfRange) {
        buf[0] = 0;
        return;
    }
    if (DbStatus > 0)
        return;
    ReadRecord(t.dat, t.recNo, buf);
    if (DbStatus > 0)
        return;
    const uint8_t type = t.sez.keyType & 0xE0;
    if (type == 160)
        return;
    const bool folded = type == 192;
    const int L = t.dat.length;
    const int start = KeyFieldStart(t.sez);
    const int32_t lastPos = t.sez.LeafCount() - 1;
    int cmp = CompareFieldWithText(buf, L, start, text, folded);
    while (cmp < 0 && t.sez.curPos < lastPos && DbStatus <= 0) {
        ReadByOrder(t, t.sez.curPos + 1, buf);
        if (DbStatus > 0)
            return;
        cmp = CompareFieldWithText(buf, L, start, text, folded);
    }
    if (DbStatus <= 0 && cmp != 0)
        DbStatus = DbCode::NotExact;
}

void FindRecord(TDbTable& t, std::string_view text, std::string& buf)
{
    buf.resize(std::max<size_t>(t.dat.length, 1));
    FindRecord(t, text, buf.data());
}

// ---------------------------------------------------------------------------
// Field access

namespace {
std::string_view FieldView(std::string_view record, int start, int length)
{
    if (start < 1 || length <= 0 || static_cast<size_t>(start - 1) >= record.size())
        return {};
    return record.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length));
}
} // namespace

std::string GetField(std::string_view record, int start, int length)
{
    return std::string(FieldView(record, start, length));
}

std::string GetFieldTrim(std::string_view record, int start, int length)
{
    return std::string(TrimRightBlanks(FieldView(record, start, length)));
}

std::string GetFieldUpper(std::string_view record, int start, int length)
{
    return KamFoldUpper(FieldView(record, start, length));
}

int FieldDiffers(std::string_view record, int start, int length, std::string_view text)
{
    if (length <= 0)
        return 0;
    const std::string_view f = FieldView(record, start, length);
    if (f.size() < static_cast<size_t>(length) || text.size() < static_cast<size_t>(length))
        return 1;
    return f == text.substr(0, static_cast<size_t>(length)) ? 0 : 1;
}

int FieldDiffersUpper(std::string_view record, int start, int length, std::string_view text)
{
    if (length <= 0)
        return 0;
    const std::string_view f = FieldView(record, start, length);
    if (f.size() < static_cast<size_t>(length) || text.size() < static_cast<size_t>(length))
        return 1;
    for (size_t i = 0; i < f.size(); ++i)
        if (KamUpper[static_cast<uint8_t>(f[i])] != KamUpper[static_cast<uint8_t>(text[i])])
            return 1;
    return 0;
}
