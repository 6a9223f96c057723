#include "writers/demo_common.h"

#include <cstdio>

#include "datastore/kamenici.h"

void DemoLog::Error(const std::string& message)
{
    errors_.push_back(message);
    if (sink_)
        sink_(message);
}

void DemoLog::Error(const std::string& file, int line, const std::string& message)
{
    Error(line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message);
}

void DemoLog::Note(const std::string& message) const
{
    if (sink_)
        sink_(message);
}

bool DemoAmount(std::string_view value, int width, std::string& out)
{
    std::string_view intPart = value;
    std::string dec = "00";
    const size_t dot = value.find('.');
    if (dot != std::string_view::npos) {
        intPart = value.substr(0, dot);
        dec = std::string(value.substr(dot + 1));
        if (dec.size() == 1)
            dec += '0';
    }
    std::string digits(intPart);
    // Leading zeros carry nothing; "0" stays so that 0.50 keeps its digit.
    while (digits.size() > 1 && digits[0] == '0')
        digits.erase(0, 1);
    if (digits.empty())
        digits = "0";
    if (dec.size() != 2 || digits.find_first_not_of("0123456789") != std::string::npos ||
        dec.find_first_not_of("0123456789") != std::string::npos)
        return false;
    if (static_cast<int>(digits.size()) > width - 2)
        return false;
    out = std::string(static_cast<size_t>(width - 2) - digits.size(), ' ') + digits + dec;
    return true;
}

bool ParseIsoDate(std::string_view t, int& year, int& month, int& day)
{
    if (t.size() != 10 || t[4] != '-' || t[7] != '-')
        return false;
    auto num = [&](size_t from, size_t n, int& v) {
        v = 0;
        for (size_t i = from; i < from + n; ++i) {
            if (t[i] < '0' || t[i] > '9')
                return false;
            v = v * 10 + (t[i] - '0');
        }
        return true;
    };
    if (!num(0, 4, year) || !num(5, 2, month) || !num(8, 2, day))
        return false;
    static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1980 || year > 2099 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1])
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return !(month == 2 && day == 29 && !leap);
}

char Base36Digit(int v)
{
    return static_cast<char>(v < 10 ? '0' + v : 'A' + (v - 10));
}

std::string CompactDate(int year, int month, int day)
{
    std::string s;
    s.push_back(static_cast<char>('0' + (year / 10) % 10));
    s.push_back(static_cast<char>('0' + year % 10));
    s.push_back(Base36Digit(month));
    s.push_back(Base36Digit(day));
    return s;
}

uint16_t PackedDate(int year, int month, int day)
{
    return static_cast<uint16_t>(day + 32 * ((year - 1980) * 12 + month - 1));
}

char EanCheckDigit(std::string_view d)
{
    int sum = 0;
    for (size_t i = 0; i < 12 && i < d.size(); ++i)
        sum += (d[i] - '0') * (i % 2 == 0 ? 1 : 3);
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string SixBitNumber(uint32_t value, int chars)
{
    std::string s(static_cast<size_t>(chars), ' ');
    for (int i = chars - 1; i >= 0; --i) {
        s[static_cast<size_t>(i)] = static_cast<char>((value & 0x3F) + 32);
        value >>= 6;
    }
    return s;
}

bool RecordKeyFromName(std::string_view name, std::array<uint8_t, 6>& key)
{
    if (name.empty() || name.size() > 8)
        return false;
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '-')
            return 62;
        if (c == '_')
            return 63;
        return -1;
    };
    uint64_t bits = 0;
    for (size_t i = 0; i < 8; ++i) {
        const int v = i < name.size() ? value(name[i]) : 63;
        if (v < 0)
            return false;
        bits = (bits << 6) | static_cast<uint64_t>(v);
    }
    for (int i = 5; i >= 0; --i) {
        key[static_cast<size_t>(i)] = static_cast<uint8_t>(bits & 0xFF);
        bits >>= 8;
    }
    return true;
}

std::string FoldedName(std::string_view kam)
{
    std::string s = KamFoldUpper(kam);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

std::string Trimmed(std::string_view s)
{
    size_t a = 0;
    size_t b = s.size();
    while (a < b && s[a] == ' ')
        ++a;
    while (b > a && s[b - 1] == ' ')
        --b;
    return std::string(s.substr(a, b - a));
}
