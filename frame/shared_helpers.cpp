#include "frame/shared_helpers.h"

std::string HexOfBytes(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

static int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool BytesOfHex(std::string_view hex, std::string& out)
{
    out.clear();
    const size_t pairs = hex.size() / 2;
    std::string bytes;
    bytes.reserve(pairs);
    for (size_t i = 0; i < pairs; ++i) {
        int hi = HexDigitValue(hex[2 * i]);
        int lo = HexDigitValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    out = std::move(bytes);
    return true;
}
