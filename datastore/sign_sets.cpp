#include "datastore/sign_sets.h"

#include <cstring>
#include <vector>

#include "datastore/db_table.h"
#include "platform/coding.h"
#include "platform/fs.h"

namespace {

constexpr size_t kDescriptorSize = 28;

std::string ZeroPaddedText(const std::array<char, 8>& a)
{
    size_t n = a.size();
    while (n > 0 && a[n - 1] == 0)
        --n;
    return std::string(a.data(), n);
}

std::array<char, 8> ToIdentity(std::string_view text)
{
    std::array<char, 8> id{};
    for (size_t i = 0; i < id.size() && i < text.size(); ++i)
        id[i] = text[i];
    return id;
}

void ResetEntry(TSignSet& e)
{
    e.bitCount = 0;
    e.unread = 0;
    e.text1Length = 0;
    e.text2Length = 0;
    e.flags = SignSetFlags::Declared;
    e.bits.clear();
    e.text1.clear();
    e.text2.clear();
}

} // namespace

std::string TSignSet::NameText() const
{
    return ZeroPaddedText(name);
}

size_t TSignSetArray::Count() const
{
    std::lock_guard lock(mutex_);
    return entries_.size();
}

TSignSet TSignSetArray::Copy(size_t i) const
{
    std::lock_guard lock(mutex_);
    return i < entries_.size() ? entries_[i] : TSignSet{};
}

TSignSet* TSignSetArray::At(size_t i)
{
    return i < entries_.size() ? &entries_[i] : nullptr;
}

int TSignSetArray::Find(std::string_view group, std::string_view name) const
{
    std::lock_guard lock(mutex_);
    const auto wanted = ToIdentity(name);
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].group == group && entries_[i].name == wanted)
            return static_cast<int>(i);
    return -1;
}

TSignSetArray& SignSets()
{
    static TSignSetArray array;
    return array;
}

int AddSignSet(TSignSetArray& array, std::string_view identity, std::string_view names)
{
    std::lock_guard lock(array.mutex_);
    const int first = static_cast<int>(array.entries_.size());
    const size_t count = names.empty() ? 1 : (names.size() - 1) / 8 + 1;
    const auto id = ToIdentity(identity);
    for (size_t k = 0; k < count; ++k) {
        TSignSet e;
        e.identity = id;
        for (size_t j = 0; j < 8; ++j) {
            const size_t at = k * 8 + j;
            const char c = at < names.size() ? names[at] : 0;
            e.name[j] = c == ' ' ? 0 : c;
        }
        e.flags = SignSetFlags::Declared;
        e.group = ZeroPaddedText(id);
        array.entries_.push_back(std::move(e));
    }
    return first;
}

void ClearSignSets(TSignSetArray& array, int a, int b)
{
    std::lock_guard lock(array.mutex_);
    const int n = static_cast<int>(array.entries_.size());
    const int from = a < 0 ? 0 : a;
    const int to = (b < 0 || b >= n) ? n - 1 : b;
    for (int i = from; i <= to; ++i) {
        TSignSet& e = array.entries_[static_cast<size_t>(i)];
        ResetEntry(e);
        array.loadedGroups_.erase(e.group);
    }
    if (b < -1) {
        array.entries_.clear();
        array.loadedGroups_.clear();
    }
}

int LoadSignSets(TSignSetArray& array, const std::string& folder, std::string_view group,
                 int32_t expectedBits)
{
    std::lock_guard lock(array.mutex_);
    auto& entries = array.entries_;

    size_t first = entries.size();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].group == group) {
            first = i;
            break;
        }
    if (first == entries.size())
        return SignSetStatus::NoGroup;
    if (array.loadedGroups_.count(group) != 0)
        return 0;

    std::string file;
    const std::string path = ResolveInFolder(WithTrailingSlash(folder), std::string(group) + ".sgn");
    int status = ReadWholeFile(path, file);
    if (status != 0)
        return DbStatus = status;
    if (file.size() < 4)
        return DbStatus = IoResult::ShortRead;
    if (file[0] != 'B' || file[1] != '6')
        return SignSetStatus::BadMagic;

    // Which entries of the group this load has filled.
    std::vector<bool> filled(entries.size(), false);
    const auto* data = reinterpret_cast<const unsigned char*>(file.data());
    const size_t size = file.size();
    size_t pos = 4;
    while (pos < size) {
        if (size - pos < kDescriptorSize) {
            status = IoResult::ShortRead;
            break;
        }
        const unsigned char* d = data + pos;
        const int32_t bitCount = static_cast<int32_t>(DecodeLE32(d + 16));
        if (bitCount < 0) {
            status = SignSetStatus::BadMagic;
            break;
        }
        const uint16_t len1 = DecodeLE16(d + 24);
        const uint8_t len2 = d[26];
        const size_t bitmapSize = static_cast<size_t>((static_cast<int64_t>(bitCount) - 1) / 8 + 1);
        pos += kDescriptorSize;
        // Checked against what the file holds before anything is allocated.
        if (size - pos < bitmapSize || size - pos - bitmapSize < size_t{len1} + len2) {
            status = IoResult::ShortRead;
            break;
        }

        std::array<char, 8> id, name;
        std::memcpy(id.data(), d, 8);
        std::memcpy(name.data(), d + 8, 8);
        size_t match = entries.size();
        if (ZeroPaddedText(id) == group) {
            for (size_t i = first; i < entries.size(); ++i)
                if (entries[i].group == group && entries[i].name == name) {
                    match = i;
                    break;
                }
        }
        if (match != entries.size()) {
            TSignSet& e = entries[match];
            e.identity = id;
            e.name = name;
            e.bitCount = bitCount;
            e.unread = DecodeLE32(d + 20);
            e.text1Length = len1;
            e.text2Length = len2;
            e.flags = static_cast<uint8_t>(d[27] | (bitCount != expectedBits ? SignSetFlags::WrongSize : 0));
            e.bits.assign(data + pos, data + pos + bitmapSize);
            e.text1.assign(file, pos + bitmapSize, len1);
            e.text2.assign(file, pos + bitmapSize + len1, len2);
            filled[match] = true;
        }
        pos += bitmapSize + len1 + len2;
    }

    for (size_t i = first; i < entries.size(); ++i)
        if (entries[i].group == group && !filled[i]) {
            ResetEntry(entries[i]);
            entries[i].flags = SignSetFlags::Absent;
        }
    if (status == 0)
        array.loadedGroups_.emplace(group);
    if (status >= 0)
        DbStatus = status; // the I/O result of the walk
    return status;
}
