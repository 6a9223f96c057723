#include "datastore/hex_base64.h"

#include <cstdint>

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

namespace {
constexpr char kBase64UrlAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
}

std::string Base64UrlEncode(std::string_view bytes)
{
    const char* alphabet = kBase64UrlAlphabet;
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(alphabet[(v >> 18) & 63]);
        out.push_back(alphabet[(v >> 12) & 63]);
        out.push_back(alphabet[(v >> 6) & 63]);
        out.push_back(alphabet[v & 63]);
    }
    const size_t left = bytes.size() - i;
    if (left > 0) {
        uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (left == 2)
            v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out.push_back(alphabet[(v >> 18) & 63]);
        out.push_back(alphabet[(v >> 12) & 63]);
        if (left == 2)
            out.push_back(alphabet[(v >> 6) & 63]);
    }
    return out;
}

bool Base64UrlDecode(std::string_view text, std::string& out)
{
    out.clear();
    uint32_t acc = 0;
    int bits = 0;
    for (char c : text) {
        const char* p = std::char_traits<char>::find(kBase64UrlAlphabet, 64, c);
        if (!p)
            return false;
        acc = (acc << 6) | static_cast<uint32_t>(p - kBase64UrlAlphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((acc >> bits) & 0xFF));
        }
    }
    return true;
}
