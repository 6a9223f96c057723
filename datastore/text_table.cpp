#include "datastore/text_table.h"

#include <new>
#include <utility>

#include "datastore/run_log.h"
#include "platform/coding.h"
#include "platform/fs.h"

TextTableSlot UiTexts;
TextTableSlot DataTexts;

namespace {

thread_local int tIoStatus = 0;

constexpr size_t kHeaderSize = 10;

inline unsigned ByteAt(const std::string& b, size_t pos)
{
    return static_cast<unsigned char>(b[pos]);
}

// Checks shared by the file and the in-memory loader, on the whole block.
uint16_t CheckBlock(const std::string& bytes)
{
    if (bytes.size() > kTextTableMaxSize)
        return TextTableResult::BadMagic;
    if (bytes.size() < kHeaderSize)
        return TextTableResult::ReadFailed;
    if (DecodeLE16(bytes.data() + 4) != bytes.size())
        return TextTableResult::SizeMismatch;
    if ((bytes[0] != 'M' && bytes[0] != 'V') || bytes[1] != '6')
        return TextTableResult::BadMagic;
    // Callers read a result below 256 as failure, so such a word cannot be
    // handed back as success.
    if (DecodeLE16(bytes.data() + 2) < TextTableResult::FirstSuccess)
        return TextTableResult::BadMagic;
    return 0;
}

} // namespace

TTextTable::TTextTable(std::string bytes, uint16_t word)
    : bytes_(std::move(bytes)), word_(word),
      extended_(bytes_.size() >= 16 && bytes_[14] == '_' && bytes_[15] == '_')
{}

// Every walk below checks each length against the end of its section and the
// section against the end of the block: a damaged table reads as "missing"
// from the damaged place on, never outside the block and never in a loop
// (every step moves forward by at least one byte).
struct TextTableAccess {
    const TTextTable& t;
    const std::string& b;
    size_t total;

    explicit TextTableAccess(const TTextTable& table) : t(table), b(table.bytes_), total(table.bytes_.size())
    {}

    std::unique_lock<std::mutex> Lock() const { return std::unique_lock<std::mutex>(t.cursorMutex_); }

    // The section whose name is at `name`: its end, or 0 when damaged.
    size_t SectionEnd(size_t name) const
    {
        if (name < kHeaderSize + 2 || name >= total)
            return 0;
        size_t start = name - 2;
        size_t len = DecodeLE16(b.data() + start);
        if (len < 3 || start + len > total)
            return 0;
        if (name + 1 + ByteAt(b, name) > start + len)
            return 0;
        return start + len;
    }

    bool StringAtEquals(size_t pos, size_t end, std::string_view s) const
    {
        if (pos >= end)
            return false;
        size_t n = ByteAt(b, pos);
        if (n != s.size() || pos + 1 + n > end)
            return false;
        return b.compare(pos + 1, n, s) == 0;
    }

    // Offset of the name of the section called `section`, 0 when missing.
    size_t WalkSections(std::string_view section) const
    {
        size_t pos = kHeaderSize;
        while (pos + 2 <= total) {
            size_t len = DecodeLE16(b.data() + pos);
            if (len < 3 || pos + len > total)
                return 0;
            if (StringAtEquals(pos + 2, pos + len, section))
                return pos + 2;
            pos += len;
        }
        return 0;
    }

    struct Entry {
        size_t key = 0;   // offset of the key's length byte
        size_t value = 0; // offset of the value (after X in extended tables)
        size_t next = 0;  // offset just past the entry
        uint16_t extraPlus1 = kPlainTableExtra;
    };

    // The entry whose key starts at `pos`; false when it runs past `end`.
    bool EntryAt(size_t pos, size_t end, Entry& e) const
    {
        if (pos >= end)
            return false;
        size_t afterKey = pos + 1 + ByteAt(b, pos);
        if (afterKey >= end)
            return false;
        e.key = pos;
        if (t.extended_) {
            size_t x = ByteAt(b, afterKey);
            e.value = afterKey + 1;
            e.next = afterKey + x + 2;
            e.extraPlus1 = static_cast<uint16_t>(x + 1);
        } else {
            e.value = afterKey;
            e.next = afterKey + 1 + ByteAt(b, afterKey);
            e.extraPlus1 = kPlainTableExtra;
        }
        return e.next <= end;
    }

    std::string ValueOf(const Entry& e) const
    {
        if (e.extraPlus1 != kPlainTableExtra && e.extraPlus1 <= 4)
            return b.substr(e.value, e.extraPlus1);
        size_t n = ByteAt(b, e.value);
        // An extended value's length byte should equal X; never read past
        // the entry when it does not.
        if (e.extraPlus1 != kPlainTableExtra && n > size_t(e.extraPlus1 - 1))
            n = e.extraPlus1 - 1;
        return b.substr(e.value + 1, n);
    }

    // Called with the cursor lock held, which also guards the flag.
    void ReportDamageOnce(std::string_view section) const
    {
        if (t.damageReported_)
            return;
        t.damageReported_ = true;
        AppendRunLog("Text table: an entry without a key in section " + std::string(section) + "\r\n");
    }

    std::string KeyOf(const Entry& e) const { return b.substr(e.key + 1, ByteAt(b, e.key)); }

    // Makes `section` current (cursor, previous-cursor exchange, or walk).
    // Returns its name offset, 0 when missing (cursors then unchanged).
    size_t SelectSection(std::string_view section) const
    {
        if (t.section_ && StringAtEquals(t.section_, total, section) && SectionEnd(t.section_))
            return t.section_;
        if (t.prevSection_ && StringAtEquals(t.prevSection_, total, section) && SectionEnd(t.prevSection_)) {
            std::swap(t.section_, t.prevSection_);
            std::swap(t.entry_, t.prevEntry_);
            return t.section_;
        }
        size_t found = WalkSections(section);
        if (!found)
            return 0;
        t.prevSection_ = t.section_;
        t.prevEntry_ = t.entry_;
        t.section_ = t.entry_ = static_cast<uint16_t>(found);
        return found;
    }

    size_t FirstEntry(size_t name) const { return name + 1 + ByteAt(b, name); }

    // Finds section.key; on success the entry cursor is left on the key.
    bool Find(std::string_view section, std::string_view key, Entry& e) const
    {
        size_t sec = SelectSection(section);
        if (!sec)
            return false;
        size_t end = SectionEnd(sec);
        // The entry cursor may rest on the section's name after a move to
        // the section; that name is not a key.
        if (t.entry_ != sec && EntryAt(t.entry_, end, e) && StringAtEquals(t.entry_, end, key))
            return true;
        size_t pos = FirstEntry(sec);
        while (pos < end) {
            if (!EntryAt(pos, end, e))
                return false;
            if (StringAtEquals(pos, end, key)) {
                t.entry_ = static_cast<uint16_t>(pos);
                return true;
            }
            pos = e.next;
        }
        return false;
    }

    size_t Next(std::string_view section, std::string& key, std::string& value) const
    {
        size_t pos;
        size_t end;
        if (key.empty()) {
            size_t sec = SelectSection(section);
            if (!sec)
                return 0;
            end = SectionEnd(sec);
            pos = FirstEntry(sec);
        } else {
            Entry cur;
            if (!Find(section, key, cur))
                return 0;
            end = SectionEnd(t.section_);
            pos = cur.next;
        }
        Entry e;
        if (pos >= end || !EntryAt(pos, end, e))
            return 0;
        // The compiler never writes an empty key, and an empty key is what
        // callers pass to start a walk: handing one back would start the
        // section over on the next step, forever.  Such an entry ends the
        // walk like any other damage.
        if (ByteAt(b, pos) == 0) {
            ReportDamageOnce(section);
            return 0;
        }
        t.entry_ = static_cast<uint16_t>(pos);
        key = KeyOf(e);
        value = ValueOf(e);
        return e.value;
    }
};

uint16_t LoadTextTableFromBytes(TextTablePtr& out, std::string bytes)
{
    out.reset();
    if (uint16_t r = CheckBlock(bytes))
        return r;
    uint16_t word = DecodeLE16(bytes.data() + 2);
    try {
        out = std::make_shared<const TTextTable>(std::move(bytes), word);
    } catch (const std::bad_alloc&) {
        return TextTableResult::NoMemory;
    }
    return word;
}

uint16_t LoadTextTable(TextTablePtr& out, const std::string& fileName)
{
    out.reset();
    tIoStatus = 0;
    ReadOnlyFile f;
    if (int r = f.Open(ResolvePath(fileName))) {
        tIoStatus = r;
        return TextTableResult::OpenFailed;
    }
    const int64_t size = f.Size();
    if (size < 0)
        return TextTableResult::OpenFailed;
    if (size > static_cast<int64_t>(kTextTableMaxSize))
        return TextTableResult::BadMagic;
    if (size < static_cast<int64_t>(kHeaderSize))
        return TextTableResult::ReadFailed;
    unsigned char sizeWord[2];
    if (int r = f.ReadAt(4, sizeWord, 2)) {
        tIoStatus = r;
        return TextTableResult::ReadFailed;
    }
    if (DecodeLE16(sizeWord) != size)
        return TextTableResult::SizeMismatch;
    std::string bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return TextTableResult::NoMemory;
    }
    if (int r = f.ReadAt(0, bytes.data(), bytes.size())) {
        tIoStatus = r;
        return TextTableResult::ReadFailed;
    }
    f.Close();
    return LoadTextTableFromBytes(out, std::move(bytes));
}

int TextTableIoStatus()
{
    return tIoStatus;
}

uint16_t LoadTextTable(TextTableSlot& slot, const std::string& fileName)
{
    TextTablePtr t;
    uint16_t r = LoadTextTable(t, fileName);
    slot.Set(std::move(t));
    return r;
}

void FreeTextTable(TextTablePtr& table)
{
    table.reset();
}

void FreeTextTable(TextTableSlot& slot)
{
    slot.Set(nullptr);
}

// Looks the entry up under the table's lock and hands it to onFound while the
// lock is still held; the entry's value, 0 when there is no such entry.
template <class OnFound>
static uint16_t WithTextEntry(const TTextTable* table, std::string_view section, std::string_view key,
                              OnFound&& onFound)
{
    if (!table)
        return 0;
    TextTableAccess a(*table);
    TextTableAccess::Entry e;
    auto lock = a.Lock();
    if (!a.Find(section, key, e))
        return 0;
    onFound(a, e);
    return static_cast<uint16_t>(e.value);
}

uint16_t FindTextEntry(const TTextTable* table, std::string_view section, std::string_view key,
                       uint16_t* extraPlus1)
{
    return WithTextEntry(table, section, key, [&](const TextTableAccess&, const TextTableAccess::Entry& e) {
        if (extraPlus1)
            *extraPlus1 = e.extraPlus1;
    });
}

uint16_t GetTextEntry(const TTextTable* table, std::string_view section, std::string_view key,
                      std::string& out)
{
    return WithTextEntry(table, section, key, [&](const TextTableAccess& a, const TextTableAccess::Entry& e) {
        out = a.ValueOf(e);
    });
}

std::string LookupText(const TTextTable* table, std::string_view section, std::string_view key)
{
    if (key.empty() || key == " ")
        key = "_";
    std::string value;
    if (GetTextEntry(table, section, key, value))
        return value;
    std::string missing = "!! ";
    missing.append(section).append(".").append(key);
    if (missing.size() > 255)
        missing.resize(255);
    return missing;
}

uint16_t NextTextEntry(const TTextTable* table, std::string_view section, std::string& key,
                       std::string& value)
{
    if (!table)
        return 0;
    TextTableAccess a(*table);
    std::string k = key;
    std::string v;
    size_t r;
    {
        auto lock = a.Lock();
        r = a.Next(section, k, v);
    }
    if (!r)
        return 0;
    key = std::move(k);
    value = std::move(v);
    return static_cast<uint16_t>(r);
}
