#include "writers/demo_struct_check.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <unordered_set>
#include <vector>

#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/key_index.h"
#include "datastore/manifest.h"
#include "datastore/packed_text.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "platform/fs.h"

namespace {

struct Ctx {
    Ctx(std::string f, const std::function<void(const std::string&)>& r, bool v)
        : folder(std::move(f)), report(r), verbose(v)
    {}
    std::string folder; // with trailing "/"
    const std::function<void(const std::string&)>& report;
    bool verbose;
    int problems = 0;
    StructCheckStats st;
    std::map<std::string, int32_t> counts; // table -> record count (header record included)

    void Bad(const std::string& file, const std::string& what)
    {
        ++problems;
        if (report)
            report("!! " + file + ": " + what);
    }
    void Ok(const std::string& line) const
    {
        if (verbose && report)
            report(line);
    }
};

// Data-store errors are counted as problems; the check goes on.
thread_local Ctx* gCtx = nullptr;
void CollectDbError(const TFileId& id, int32_t position, uint16_t code)
{
    if (gCtx)
        gCtx->Bad(FileIdToStr(id), "data store error " + std::to_string(DbStatus) + " at " +
                                       std::to_string(position) + " (loc." + std::to_string(code) + ")");
}

uint32_t Le(const std::string& b, size_t at, int n)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
    return v;
}

bool ReadFile(const Ctx& c, const std::string& name, std::string& bytes)
{
    const std::string path = ResolveInFolder(c.folder, name);
    return FileExists(path) && ReadWholeFile(path, bytes) == 0;
}

// ------------------------------------------------------------ record files

struct Dat {
    std::string id;
    std::string bytes;
    int n = 0;         // fields
    int L = 0;         // record length
    int h = 0;         // header shift
    int32_t count = 0; // file records - h (data records 1 .. count - 1)
    std::vector<int> offsets, lengths;

    std::string_view Record(int32_t r) const
    {
        return std::string_view(bytes).substr(static_cast<size_t>(r + h) * static_cast<size_t>(L),
                                              static_cast<size_t>(L));
    }
    // Length of the field that starts at a 0-based offset, 0 when none does.
    int FieldAt(int offset) const
    {
        for (size_t i = 0; i < offsets.size(); ++i)
            if (offsets[i] == offset)
                return lengths[i];
        return 0;
    }
};

bool LoadDat(Ctx& c, const std::string& id, Dat& d)
{
    const std::string file = id + ".dat";
    d.id = id;
    if (!ReadFile(c, file, d.bytes))
        return false;
    const std::string& b = d.bytes;
    if (b.size() < 5 || b[0] != 'D' || b[1] != '6') {
        c.Bad(file, "no record file (magic \"D6\" missing)");
        return false;
    }
    d.n = static_cast<uint8_t>(b[4]);
    if (d.n < 1 || d.n > DatMaxFields || b.size() < static_cast<size_t>(5 + 3 * d.n)) {
        c.Bad(file, "impossible field count " + std::to_string(d.n));
        return false;
    }
    for (int i = 0; i < d.n; ++i) {
        d.offsets.push_back(d.L);
        d.lengths.push_back(FieldLength(static_cast<uint8_t>(b[static_cast<size_t>(5 + 2 * d.n + i)])));
        d.L += d.lengths.back();
    }
    if (3 * d.n + 5 > 2 * d.L) {
        c.Bad(file, "the header takes more than two records");
        return false;
    }
    d.h = 3 * d.n + 5 > d.L ? 1 : 0;
    if (b.size() % static_cast<size_t>(d.L) != 0)
        c.Bad(file, std::to_string(b.size()) + " bytes are not a whole number of " + std::to_string(d.L) +
                        "-byte records");
    if (b.size() < static_cast<size_t>(DatHeaderBytes))
        c.Bad(file, std::to_string(b.size()) + " bytes; the program reads 185 header bytes");
    d.count = static_cast<int32_t>(b.size() / static_cast<size_t>(d.L)) - d.h;
    if (d.count < 1) {
        c.Bad(file, "no header record");
        return false;
    }
    for (size_t i = static_cast<size_t>(5 + 3 * d.n);
         i < static_cast<size_t>((1 + d.h) * d.L) && i < b.size(); ++i)
        if (b[i] != 0) {
            c.Bad(file, "header bytes after the descriptors are not zero");
            break;
        }
    // Readers take every position from the layout, never from the header.
    if (const TableLayout* layout = FindTableLayout(id))
        for (const std::string& diff : LayoutDifferences(*layout, b))
            c.Bad(file, "differs from its layout: " + diff);
    ++c.st.recordFiles;
    c.counts[id] = d.count;
    c.Ok(file + " " + std::to_string(d.count - 1) + " records of " + std::to_string(d.L) + " bytes");
    return true;
}

// ----------------------------------------------------------------- indexes

void CheckIndex(Ctx& c, const Dat& dat, const std::string& id)
{
    const std::string file = id + ".sez";
    std::string b;
    if (!ReadFile(c, file, b))
        return;
    if (b.size() < 8 || b[0] != 'S' || b[1] != '6') {
        c.Bad(file, "no key index (magic \"S6\" missing)");
        return;
    }
    const uint8_t* h = reinterpret_cast<const uint8_t*>(b.data());
    const int offset = h[2] | ((h[7] >> 6) << 8);
    const int E = (h[6] & 7) + 2;
    const uint8_t type = h[6] & 0xE0;
    const int k = std::min<int>(h[3], KeyTypeCap(type));
    const int P = h[7] & 3;
    const int32_t F = (h[4] | (h[5] << 8)) & 0x3FFF;
    const bool upper = (h[7] & 0x04) != 0;
    if (P < 1 || P >= E || (h[7] & 0x38) != 0 || (h[6] & 0x18) != 0 || (h[5] & 0xC0) != 0 ||
        KeyTypeCap(type) == 0) {
        c.Bad(file, "impossible header");
        return;
    }
    if (b.size() % static_cast<size_t>(E) != 0)
        c.Bad(file, "not a whole number of " + std::to_string(E) + "-byte entries");
    const int32_t entries = static_cast<int32_t>(b.size() / static_cast<size_t>(E));
    const int32_t W = E < 3 ? 160 : IndexWindowBytes / E;
    const int32_t M0 = 7 / E + 1;
    const int32_t M = M0 + (upper ? W : 0);
    const int keyBytes = E - P;
    const uint8_t keyType = static_cast<uint8_t>(type + k);
    // The key field: its own length, or k characters when the key spans
    // several fields (holder + country).
    const int width = type == 160 ? 4 : std::max(dat.FieldAt(offset), k);
    if (offset + width > dat.L) {
        c.Bad(file, "key field outside the record of " + dat.id + ".dat");
        return;
    }
    if (upper && (h[7] & 0x08)) {
        c.Bad(file, "two upper blocks: not written by this builder, not checked");
        return;
    }
    if (F < M || F > entries || F >= 16384) {
        c.Bad(file, "first leaf entry " + std::to_string(F) + " impossible");
        return;
    }
    for (int32_t i = 8; i < M0 * E; ++i)
        if (h[i] != 0) {
            c.Bad(file, "header padding is not zero");
            break;
        }
    const int32_t N = entries - F;
    if (N != dat.count - 1) {
        c.Bad(file, std::to_string(N) + " leaf entries for " + std::to_string(dat.count - 1) +
                        " records of " + dat.id + ".dat");
        return;
    }
    auto entry = [&](int32_t e) { return h + static_cast<size_t>(e) * static_cast<size_t>(E); };
    auto pointer = [&](int32_t e) {
        uint32_t v = 0;
        for (int i = P - 1; i >= 0; --i)
            v = (v << 8) | entry(e)[keyBytes + i];
        return v;
    };
    auto field = [&](int32_t r) {
        return dat.Record(r).substr(static_cast<size_t>(offset), static_cast<size_t>(width));
    };
    auto folded = [&](std::string_view s) { return type == 192 ? KamFoldUpper(s) : std::string(s); };

    // Leaves: each record once, its packed key, in order.
    std::vector<char> seen(static_cast<size_t>(dat.count), 0);
    int faults = 0;
    auto leafFault = [&](const std::string& what) {
        if (++faults <= 5)
            c.Bad(file, what);
    };
    for (int32_t i = 0; i < N; ++i) {
        const uint32_t r = pointer(F + i);
        if (r < 1 || r >= static_cast<uint32_t>(dat.count) || seen[r]) {
            leafFault("leaf " + std::to_string(i) + " points at record " + std::to_string(r) +
                      (r >= 1 && r < static_cast<uint32_t>(dat.count) ? " a second time"
                                                                      : ", which does not exist"));
            continue;
        }
        seen[r] = 1;
        TPackedKey packed{};
        MakeKey(packed, field(static_cast<int32_t>(r)), keyType);
        if (std::memcmp(packed.data(), entry(F + i), static_cast<size_t>(keyBytes)) != 0)
            leafFault("leaf " + std::to_string(i) + " does not hold the packed key of record " +
                      std::to_string(r));
        if (type == 192)
            for (int j = 0; j < k; ++j) {
                const uint8_t ch =
                    KamUpper[static_cast<uint8_t>(field(static_cast<int32_t>(r))[static_cast<size_t>(j)])];
                if (ch < 32 || ch > 95) {
                    leafFault("record " + std::to_string(r) + ": name key character " + std::to_string(ch) +
                              " is outside the 6-bit alphabet (the search reports a bad key)");
                    break;
                }
            }
        if (i > 0) {
            const uint32_t q = pointer(F + i - 1);
            if (q < 1 || q >= static_cast<uint32_t>(dat.count))
                continue;
            const int cmp = std::memcmp(entry(F + i - 1), entry(F + i), static_cast<size_t>(keyBytes));
            bool ordered = cmp < 0;
            if (cmp == 0) {
                const std::string a = folded(field(static_cast<int32_t>(q)));
                const std::string z = folded(field(static_cast<int32_t>(r)));
                ordered = a < z || (a == z && q < r);
            }
            if (!ordered)
                leafFault("leaves " + std::to_string(i - 1) + " and " + std::to_string(i) +
                          " are out of order");
        }
    }
    // Middle level: entry j points at min((j + 1)(W - 1), N - 1).
    const int32_t middle = F - M;
    if (middle < 1)
        c.Bad(file, "empty middle level");
    for (int32_t j = 0; j < middle && N > 0; ++j) {
        const int64_t want = std::min<int64_t>(int64_t{j + 1} * (W - 1), N - 1);
        const uint32_t p = pointer(M + j);
        if (p != want) {
            c.Bad(file, "middle entry " + std::to_string(j) + " points at leaf " + std::to_string(p) +
                            ", the window rule gives " + std::to_string(want));
            break;
        }
        if (std::memcmp(entry(M + j), entry(F + static_cast<int32_t>(p)), static_cast<size_t>(keyBytes)) !=
            0) {
            c.Bad(file, "middle entry " + std::to_string(j) + " does not carry the key of its leaf");
            break;
        }
        if (j == middle - 1 && want != N - 1)
            c.Bad(file, "the middle level ends before the last leaf");
    }
    if (middle > W && !upper)
        c.Bad(file, std::to_string(middle) + " middle entries need an upper level (window of " +
                        std::to_string(W) + ")");
    if (upper) {
        for (int32_t i = 0; i < W; ++i) {
            const int64_t want = std::min<int64_t>(int64_t{i + 1} * (W - 1), middle - 1);
            const uint32_t q = pointer(M0 + i);
            if (q != want) {
                c.Bad(file, "upper entry " + std::to_string(i) + " points at middle " + std::to_string(q) +
                                ", the window rule gives " + std::to_string(want));
                break;
            }
            if (std::memcmp(entry(M0 + i), entry(M + static_cast<int32_t>(q)),
                            static_cast<size_t>(keyBytes)) != 0) {
                c.Bad(file,
                      "upper entry " + std::to_string(i) + " does not carry the key of its middle entry");
                break;
            }
        }
    }
    ++c.st.indexes;
    c.st.indexEntries += entries;
    if (faults > 5)
        c.Bad(file, std::to_string(faults - 5) + " further leaf faults");
    if (faults)
        return;

    // The program's own search finds every key.
    TDbTable t;
    OpenTableIn(t, c.folder, TFileId(dat.id), TFileId(id), static_cast<uint16_t>(dat.L));
    if (DbStatus != 0) {
        c.Bad(file, "OpenTable fails with " + std::to_string(DbStatus));
        return;
    }
    std::unordered_set<std::string> done;
    std::string buf;
    for (int32_t r = 1; r < dat.count; ++r) {
        const std::string key(field(r));
        if (!done.insert(key).second)
            continue;
        FindRecord(t, key, buf);
        ++c.st.lookups;
        if (DbStatus != 0 || folded(std::string_view(buf).substr(
                                 static_cast<size_t>(offset), static_cast<size_t>(width))) != folded(key)) {
            c.Bad(file, "the search for the key of record " + std::to_string(r) + " ends with status " +
                            std::to_string(DbStatus) + " on record " + std::to_string(t.recNo));
            break;
        }
    }
    c.Ok(file + " " + std::to_string(N) + " leaves, " + std::to_string(middle) + " middle entries" +
         (upper ? ", upper level" : ""));
}

// ------------------------------------------------------------ text tables

void CheckTextTable(Ctx& c, const std::string& name)
{
    std::string b;
    if (!ReadFile(c, name, b))
        return;
    TextTablePtr table;
    const uint16_t r = LoadTextTableFromBytes(table, b);
    if (r < TextTableResult::FirstSuccess) {
        c.Bad(name, "does not load (result " + std::to_string(r) + ")");
        return;
    }
    size_t pos = 10;
    int sections = 0;
    while (pos < b.size()) {
        const size_t L = Le(b, pos, 2);
        if (L < 3 || pos + L > b.size()) {
            c.Bad(name, "section at " + std::to_string(pos) + " runs past the end");
            return;
        }
        const size_t end = pos + L;
        size_t p = pos + 2;
        p += 1 + static_cast<uint8_t>(b[p]);
        while (p < end) {
            p += 1 + static_cast<uint8_t>(b[p]);
            if (p >= end) {
                c.Bad(name, "an entry of section " + std::to_string(sections + 1) + " has no value");
                return;
            }
            p += 1 + static_cast<uint8_t>(b[p]);
        }
        if (p != end) {
            c.Bad(name, "section " + std::to_string(sections + 1) + " does not end at its length");
            return;
        }
        pos = end;
        ++sections;
    }
    c.Ok(name + " " + std::to_string(sections) + " sections");
}

// --------------------------------------------------------------- sign sets

void CheckSignSets(Ctx& c, const std::string& group, const Dat* kl)
{
    const std::string name = group + ".sgn";
    std::string b;
    if (!ReadFile(c, name, b))
        return;
    if (b.size() < 4 || b[0] != 'B' || b[1] != '6') {
        c.Bad(name, "no sign-set file (magic \"B6\" missing)");
        return;
    }
    size_t pos = 4;
    int sets = 0;
    while (pos < b.size()) {
        if (pos + 28 > b.size()) {
            c.Bad(name, "set " + std::to_string(sets + 1) + " is cut off");
            return;
        }
        const std::string identity(b.c_str() + pos, strnlen(b.c_str() + pos, 8));
        const std::string setName(b.c_str() + pos + 8, strnlen(b.c_str() + pos + 8, 8));
        const int32_t bits = static_cast<int32_t>(Le(b, pos + 16, 4));
        const size_t t1 = Le(b, pos + 24, 2);
        const size_t t2 = static_cast<uint8_t>(b[pos + 26]);
        const uint8_t flags = static_cast<uint8_t>(b[pos + 27]);
        const size_t bytes = bits < 0 ? 0 : static_cast<size_t>((int64_t{bits} - 1) / 8 + 1);
        if (bits < 0 || pos + 28 + bytes + t1 + t2 > b.size()) {
            c.Bad(name, "set " + setName + " runs past the end of the file");
            return;
        }
        if (sets == 0 && identity != group)
            c.Bad(name, "the first set belongs to \"" + identity + "\", not to the file's table");
        if (flags == 0x40)
            c.Bad(name, "set " + setName + " carries the in-memory flags 0x40");
        auto count = c.counts.find(identity);
        if (count != c.counts.end() && bits != count->second - 1)
            c.Bad(name, "set " + setName + " has " + std::to_string(bits) + " bits, table " + identity +
                            " has " + std::to_string(count->second - 1) + " records");
        const std::string_view bitmap(b.data() + pos + 28, bytes);
        for (int64_t i = bits; i < static_cast<int64_t>(bytes) * 8; ++i)
            if (bitmap[static_cast<size_t>(i / 8)] & (1 << (i % 8))) {
                c.Bad(name, "set " + setName + " has bits set beyond its bit count");
                break;
            }
        // The drug lists filter by the sets and by the fields alike: both
        // must agree.
        if (identity == "kl" && kl && kl->L == kKlLayout.Length() && bits == kl->count - 1) {
            for (int32_t r = 1; r < kl->count; ++r) {
                const std::string_view rec = kl->Record(r);
                const char sr = rec[kDrugState.Offset()], uh = rec[kDrugReimbursementKind.Offset()],
                           ob = rec[kDrugCategory.Offset()];
                bool want;
                if (setName == "Actual")
                    want = sr != '-' && sr != 'N' && sr != '\\';
                else if (setName == "nVeter")
                    want = rec[0] != '9';
                else if (setName == "nHomeo")
                    want = rec.substr(kDrugIndicationGroup.Offset(), kDrugIndicationGroup.length) != "93";
                else if (setName == "ActReg")
                    want = sr == 'R';
                else if (setName == "Prizes")
                    want = uh != ' ' && uh != '6' && uh != '8';
                else if (setName == "Stocked")
                    want = ob == '1' || ob == '2';
                else if (setName == "OnePack")
                    want = rec[kDrugOnePack.Offset()] != ' ';
                else
                    break;
                const bool have = (bitmap[static_cast<size_t>((r - 1) / 8)] >> ((r - 1) % 8)) & 1;
                if (have != want) {
                    c.Bad(name,
                          "set " + setName + " disagrees with the fields of kl record " + std::to_string(r));
                    break;
                }
            }
        }
        pos += 28 + bytes + t1 + t2;
        ++sets;
    }
    c.Ok(name + " " + std::to_string(sets) + " sets");
}

void CheckUserSigns(Ctx& c, const std::string& name)
{
    const int64_t size = FileSizeOf(ResolveInFolder(c.folder, name));
    if (size < 0)
        return;
    auto kl = c.counts.find("kl");
    if (kl == c.counts.end())
        return;
    const int64_t want = int64_t{(kl->second - 1) / 16} * 2 + 2;
    if (size != want)
        c.Bad(name, std::to_string(size) + " bytes, a list over kl needs " + std::to_string(want));
    else
        c.Ok(name + " " + std::to_string(size) + " bytes");
}

// ------------------------------------------------------- compressed texts

struct DocFile {
    bool present = false;
    std::map<uint32_t, int> heads; // head offset -> item count
};

DocFile CheckPackedText(Ctx& c, const std::string& id)
{
    DocFile d;
    const std::string name = id + ".dat";
    const std::string path = ResolveInFolder(c.folder, name);
    if (!FileExists(path))
        return d;
    d.present = true;
    TPackedTextFile f;
    std::array<uint8_t, kPackedHeaderSize> header{};
    if (!OpenPackedText(f, path, &header)) {
        c.Bad(name, "not a compressed-text file (status " + std::to_string(f.status) + ")");
        return d;
    }
    if (id == "ind_ome" && header[4] != 0x02)
        c.Bad(name, "indication texts are stored records with 16-byte heads (flags 0x02)");
    std::string text;
    int status = 0;
    int64_t records = 0;
    int64_t offset = f.nextOffset;
    while (true) {
        PackedRecordHead head;
        std::string items;
        if (offset >= f.file.Size())
            break;
        if (int r = ReadPackedHead(f, offset, head, &items)) {
            c.Bad(name, "record at " + std::to_string(offset) + " runs past the end (status " +
                            std::to_string(r) + ")");
            break;
        }
        if (head.marker != 0xFFFF) {
            c.Bad(name, "record at " + std::to_string(offset) + " does not start with 0xFFFF");
            break;
        }
        if (int r = ReadPackedRecord(f, text, offset)) {
            c.Bad(name, "record at " + std::to_string(offset) + " does not decode (status " +
                            std::to_string(r) + ")");
            break;
        }
        if (id == "ind_ome") {
            if (head.itemCount != 1)
                c.Bad(name, "record at " + std::to_string(offset) + " has " + std::to_string(head.itemCount) +
                                " items; the reader expects its text at offset + 21");
            else if (text.compare(0, 3, "\x13\x1E\x10") != 0 || text.size() < 5 ||
                     text.compare(text.size() - 2, 2, std::string(2, '\0')) != 0)
                c.Bad(name,
                      "record at " + std::to_string(offset) + " is not code 19 (30), text, two zero bytes");
        }
        d.heads[static_cast<uint32_t>(offset)] = head.itemCount;
        c.st.textBytes += static_cast<int64_t>(head.textLength);
        ++records;
        offset = head.nextOffset;
    }
    (void)status;
    ClosePackedText(f);
    uint32_t crc = kManifestCrcStart;
    if (PackedTextCrc(path, crc) <= 0)
        c.Bad(name, "the manifest's walk of the file fails");
    ++c.st.textFiles;
    c.st.textRecords += records;
    c.Ok(name + " " + std::to_string(records) + " records");
    return d;
}

// Offsets kept in records point at record heads of their document file.
void CheckOffsets(Ctx& c, const std::map<std::string, DocFile>& docs, const TableLayout& layout,
                  FieldPos field, const std::string& doc, bool minusOneNone, int minItems)
{
    const std::string table(layout.id);
    const int offset = field.Offset();
    // The record file itself was judged with its indexes.
    Dat dat;
    const std::function<void(const std::string&)> silent;
    Ctx quiet{c.folder, silent, false};
    if (!LoadDat(quiet, table, dat) || offset + 4 > dat.L)
        return;
    auto it = docs.find(doc);
    const DocFile* file = it == docs.end() || !it->second.present ? nullptr : &it->second;
    int bad = 0;
    for (int32_t r = 1; r < dat.count; ++r) {
        const std::string_view rec = dat.Record(r);
        const int32_t v =
            static_cast<int32_t>(Le(std::string(rec.substr(static_cast<size_t>(offset), 4)), 0, 4));
        if (minusOneNone ? v == -1 : v < 1)
            continue;
        const auto head =
            file ? file->heads.find(static_cast<uint32_t>(v)) : std::map<uint32_t, int>::const_iterator{};
        if (!file || head == file->heads.end()) {
            if (++bad <= 3)
                c.Bad(table + ".dat", "record " + std::to_string(r) + " points at " + std::to_string(v) +
                                          ", which is no record head of " + doc + ".dat");
        } else if (head->second < minItems) {
            // Allowed: the article views show such a text as missing.
            c.Ok("   " + table + ".dat record " + std::to_string(r) + ": its text in " + doc + ".dat has " +
                 std::to_string(head->second) + " items, shown as missing");
        }
    }
    if (bad > 3)
        c.Bad(table + ".dat", std::to_string(bad - 3) + " further offsets into " + doc + ".dat are wrong");
}

// -------------------------------------------------------------- word lists

void CheckWordList(Ctx& c, const std::string& name, const std::string& table, const std::string& index,
                   bool flagBit0)
{
    std::string b;
    if (!ReadFile(c, name, b))
        return;
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos <= b.size()) {
        size_t end = b.find('\n', pos);
        if (end == std::string::npos)
            end = b.size();
        if (end > pos || end < b.size())
            lines.push_back(b.substr(pos, end - pos));
        pos = end + 1;
    }
    TDbTable t;
    if (!table.empty())
        OpenTableIn(t, c.folder, TFileId(table), TFileId(index), 0);
    const bool lookups = !table.empty() && DbStatus == 0;
    std::string buf;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.size() < 3 || l[l.size() - 2] != ' ' || l.find('\r') != std::string::npos) {
            c.Bad(name, "line " + std::to_string(i + 1) + " is not a word, a blank and a flag character");
            return;
        }
        if (i > 0 && !(lines[i - 1] < l)) {
            c.Bad(name, "lines " + std::to_string(i) + " and " + std::to_string(i + 1) + " are out of order");
            return;
        }
        if (flagBit0 && !(static_cast<uint8_t>(l.back()) & 1)) {
            c.Bad(name, "line " + std::to_string(i + 1) + ": the flag character lacks bit 0");
            return;
        }
        if (lookups) {
            const std::string word = l.substr(0, l.size() - 2);
            FindRecord(t, word, buf);
            ++c.st.lookups;
            if (DbStatus != 0) {
                c.Bad(name, "\"" + word + "\" is not found by " + index);
                return;
            }
        }
    }
    c.Ok(name + " " + std::to_string(lines.size()) + " lines");
}

// The walks of the substance and composition lists rely on the order of
// "kkkod" within one code: the main record first, and a record whose name
// continues ("0") followed by its continuation.
void CheckSubstanceOrder(Ctx& c)
{
    TDbTable t;
    OpenTableIn(t, c.folder, TFileId("kk"), TFileId("kkkod"), 0);
    if (DbStatus != 0 || !t.sez.IsOpen()) {
        DbStatus = 0;
        return;
    }
    std::string record, previous;
    for (int32_t p = 0; p < t.LeafCount(); ++p) {
        ReadByOrder(t, p, record);
        if (DbStatus != 0)
            break;
        const bool sameCode =
            p > 0 && FieldBytes(record, kSubstanceCode) == FieldBytes(previous, kSubstanceCode);
        const std::string code(FieldBytes(record, kSubstanceCode));
        if (!sameCode && FieldBytes(record, kSubstanceRecordKind) != " 0")
            c.Bad("kkkod.sez", "substance \"" + code + "\": the main record is not the first of its code");
        if (p > 0 && !sameCode && FieldByte(previous, kSubstanceLayout) == '0')
            c.Bad("kkkod.sez", "substance \"" + std::string(FieldBytes(previous, kSubstanceCode)) +
                                   "\": a continued name has no continuation after it");
        previous = record;
    }
    if (!previous.empty() && FieldByte(previous, kSubstanceLayout) == '0')
        c.Bad("kkkod.sez", "the last substance record continues into nothing");
    DbStatus = 0;
    OpenTable(t, TFileId(), TFileId(), 0);
}

void CheckSymbol(Ctx& c)
{
    std::string b;
    if (!ReadFile(c, "symbol.dat", b))
        return;
    CtrlTokenizer tok(std::string_view(b).substr(0, 30000));
    CtrlItem item;
    int paragraphs = 0;
    while (tok.Next(item))
        if (item.IsCode(19) && CtrlPairValue(b, item, 0) == 7) {
            ++paragraphs;
            const size_t p = static_cast<size_t>(item.offset);
            if (p + 11 >= b.size() || b[p + 10] < 'A' || b[p + 10] > 'Z')
                c.Bad("symbol.dat", "paragraph " + std::to_string(paragraphs) +
                                        " has no key letter 10 bytes after its marker");
        }
    c.Ok("symbol.dat " + std::to_string(paragraphs) + " paragraphs");
}

} // namespace

int CheckDataFolderStructure(const std::string& folder, const std::function<void(const std::string&)>& report,
                             bool verbose, StructCheckStats* stats)
{
    Ctx c{WithTrailingSlash(folder), report, verbose};
    if (!FolderExists(c.folder)) {
        c.Bad(folder, "no such folder");
        return c.problems;
    }
    for (const std::string& fault : TableLayoutFaults())
        c.Bad("table layouts", fault);
    Ctx* previous = gCtx;
    gCtx = &c;
    const TDbErrorHook previousHook = ThreadDbErrorHook;
    ThreadDbErrorHook = &CollectDbError;

    // Record files with their indexes, in the manifest's table order.
    Dat kl;
    Dat current;
    bool haveCurrent = false;
    for (const DataFileEntry& e : DataFileTable) {
        if (e.Kind() == DataFileKind::Table) {
            current = Dat{};
            haveCurrent = LoadDat(c, e.id, current);
            if (haveCurrent && std::string(e.id) == "kl")
                kl = current;
        } else if (e.Kind() == DataFileKind::Index && haveCurrent) {
            CheckIndex(c, current, e.id);
        }
    }
    // kab has no index; its size still matters.
    Dat kab;
    LoadDat(c, "kab", kab);

    CheckTextTable(c, "kalvo.ces");
    CheckTextTable(c, "kalvo.ang");
    for (const char* group : {"kl", "atc", "kk"})
        CheckSignSets(c, group, kl.count > 0 ? &kl : nullptr);
    CheckUserSigns(c, "vidud.sgn");

    std::map<std::string, DocFile> docs;
    for (const DataFileEntry& e : DataFileTable)
        if (e.Kind() == DataFileKind::PackedText)
            docs[e.id] = CheckPackedText(c, e.id);
    for (const char* extra : {"pztmet", "pztuhsx"})
        if (!docs.count(extra))
            docs[extra] = CheckPackedText(c, extra);
    CheckOffsets(c, docs, kKlLayout, kDrugSummaryOffset, "kodex", true, 10);
    CheckOffsets(c, docs, kKlLayout, kDrugLeafletOffset, "letak", true, 0);
    CheckOffsets(c, docs, kKlLayout, kDrugAltSummaryOffset, "kodexa", true, 0);
    CheckOffsets(c, docs, kKlLayout, kDrugSpcOffset, "spc", true, 0);
    CheckOffsets(c, docs, kPfaLayout, kGoodsTextOffset, "pfakodex", true, 0);
    CheckOffsets(c, docs, kPzttypvLayout, kDeviceTypeTextOffset, "pztmet", true, 0);
    CheckOffsets(c, docs, kPztuhsLayout, kClassGroupTextOffset, "pztuhsx", false, 0);
    CheckOffsets(c, docs, kCvzpLayout, kPriceIndicationOffset, "ind_ome", false, 1);

    CheckWordList(c, "klnaz.slw", "", "", true);
    CheckWordList(c, "atcnaz.slw", "atc", "atcnaz", false);
    CheckWordList(c, "pfanaz.slw", "pfa", "pfanaz", false);
    CheckSymbol(c);
    CheckSubstanceOrder(c);

    // The manifest, as the installer and the about box check it.
    std::string ver;
    if (FileExists(ResolveInFolder(c.folder, "kalvo.kvo"))) {
        DataManifest(c.folder, true, "", [&](const std::string& line) {
            if (line.rfind("!!", 0) == 0)
                c.Bad("kalvo.kvo", line);
            else if (line.rfind("ver=", 0) == 0)
                ver = line.substr(4);
        });
        std::string diffs;
        ManifestDiffs(c.folder, diffs);
        if (!diffs.empty())
            c.Bad("kalvo.kvo", "sizes differ: " + diffs);
        TextTablePtr ces;
        if (!ver.empty() &&
            LoadTextTable(ces, ResolveInFolder(c.folder, "kalvo.ces")) >= TextTableResult::FirstSuccess) {
            std::string cislo;
            GetTextEntry(ces, "Verze", "Cislo", cislo);
            if (cislo != ver)
                c.Bad("kalvo.ces", "Verze.Cislo \"" + cislo + "\" differs from the manifest's ver=" + ver);
        }
    } else {
        c.Bad("kalvo.kvo", "missing");
    }

    ThreadDbErrorHook = previousHook;
    gCtx = previous;
    if (stats)
        *stats = c.st;
    return c.problems;
}
