#include "datastore/tagged_record.h"

#include <cstdlib>
#include <vector>

#include <QString>

#include "datastore/kamenici.h"
#include "platform/cp1250.h"
#include "platform/system.h"

namespace {

const std::string kResetRecord("\x01\xE1\xF5\x05\x00", 5);
const std::string kShortHead("\x02\xE1\xF5\x05", 4);
constexpr size_t kFirstItem = 4;

struct Item {
    size_t pos; // tag offset
    int type;
    size_t len; // value bytes
};

// Reads the item at `pos`; false at the end mark, at the record's end, or
// at an item whose value runs past the record.
bool ItemAt(const std::string& r, size_t pos, Item& it)
{
    if (pos >= r.size())
        return false;
    unsigned tag = static_cast<unsigned char>(r[pos]);
    if (tag < 2)
        return false;
    it.pos = pos;
    it.type = static_cast<int>(tag >> 5);
    it.len = 2 * (tag & 31);
    return pos + 1 + it.len <= r.size();
}

} // namespace

std::string GetTaggedField(const TTaggedRecord& record, int type)
{
    const std::string& r = record.size() < 5 ? kResetRecord : record;
    if (type == kTaggedHead)
        return r.substr(0, 4);
    if (type < 0 || type > 7)
        return {};
    Item it;
    for (size_t pos = kFirstItem; ItemAt(r, pos, it); pos += 1 + it.len) {
        if (it.type != type)
            continue;
        std::string v = r.substr(pos + 1, it.len);
        if (type >= 4 && !v.empty() && v.back() == ' ')
            v.pop_back();
        return v;
    }
    return {};
}

bool PutTaggedField(TTaggedRecord& record, int type, std::string_view value)
{
    if (type < 0 || type > kTaggedHead)
        return false;
    std::string r = record.size() < 5 ? kResetRecord : record;
    if (type == kTaggedHead) {
        r.replace(0, 4, value.size() >= 4 ? std::string(value.substr(0, 4)) : kShortHead);
        record = std::move(r);
        return true;
    }
    std::string v(value.substr(0, kTaggedValueMax));
    if (v.size() % 2)
        v.push_back(' ');
    // A type-0 tag of h < 2 is the end mark: the item would swallow the rest.
    if (type == 0 && !v.empty() && v.size() / 2 < 2)
        return false;

    // Find the item's place: after lower types, on an item of the same type
    // (which goes), before higher types or the end of the list.
    size_t pos = kFirstItem;
    Item it;
    while (ItemAt(r, pos, it) && it.type < type)
        pos += 1 + it.len;
    if (ItemAt(r, pos, it) && it.type == type)
        r.erase(pos, 1 + it.len);
    if (!v.empty()) {
        std::string item(1, static_cast<char>((type << 5) | (v.size() / 2)));
        item += v;
        r.insert(pos, item);
    }
    // Cutting would split an item; refuse instead (the old item stays).
    if (r.size() > kTaggedRecordMax)
        return false;
    record = std::move(r);
    return true;
}

std::string WinUserName()
{
    std::string name = UserName();
    if (name.empty())
        if (const char* user = std::getenv("USER"))
            name = user;
    std::string out = QStringToCp1250(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    if (out.size() > 255)
        out.resize(255);
    return out;
}

namespace {

// Letters of either code page fold to plain capitals; a letter takes its
// place in the alphabet (1-26), a digit d the code 27 + d mod 5, any other
// byte its low five bits (the blank and the zero byte 0).
std::array<unsigned char, 256> MakePackCodes()
{
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b) {
        unsigned char c = b == 0 ? 0 : KamPlain[b];
        if (c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        if (c >= '0' && c <= '9')
            t[b] = static_cast<unsigned char>(27 + (c - '0') % 5);
        else
            t[b] = c & 31;
    }
    return t;
}

} // namespace

const std::array<unsigned char, 256> PackText6Codes = MakePackCodes();

const std::array<char, 64> PackText6Symbols = {
    '-', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E',
    'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U',
    'V', 'W', 'X', 'Y', 'Z', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k',
    'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z', '_',
};

std::string PackText6(std::string_view text)
{
    std::string out;
    for (size_t g = 0; g < text.size(); g += 6) {
        uint32_t bits = 0;
        for (size_t i = 0; i < 6; ++i) {
            unsigned char b = g + i < text.size() ? static_cast<unsigned char>(text[g + i]) : 0;
            bits = (bits << 5) | PackText6Codes[b];
        }
        for (int s = 4; s >= 0; --s)
            out.push_back(PackText6Symbols[(bits >> (6 * s)) & 63]);
    }
    while (!out.empty() && out.back() == '-')
        out.pop_back();
    return out;
}
