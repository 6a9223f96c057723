#include "frame/config/config_scramble.h"

#include "datastore/hex_base64.h"
#include "platform/ascii.h"

namespace {

uint64_t Fnv1a(std::string_view s, uint64_t h = 0xcbf29ce484222325ull)
{
    for (unsigned char c : s) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

uint64_t SplitMix(uint64_t& state)
{
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

void XorStream(std::string& bytes, size_t from, uint64_t seed)
{
    uint64_t state = seed;
    uint64_t word = 0;
    for (size_t i = from; i < bytes.size(); ++i) {
        if ((i - from) % 8 == 0)
            word = SplitMix(state);
        bytes[i] = static_cast<char>(bytes[i] ^ static_cast<char>(word >> (8 * ((i - from) % 8))));
    }
}

uint32_t CheckOf(std::string_view plain, uint64_t keyHash)
{
    std::string k(8, '\0');
    for (int i = 0; i < 8; ++i)
        k[static_cast<size_t>(i)] = static_cast<char>(keyHash >> (8 * i));
    return static_cast<uint32_t>(Fnv1a(plain, Fnv1a(k)) >> 16);
}

} // namespace

std::string ScrambleSetting(std::string_view plain, std::string_view key)
{
    if (plain.empty())
        return {};
    const uint64_t keyHash = Fnv1a(key);
    const uint32_t check = CheckOf(plain, keyHash);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>(check >> (8 * i));
    bytes += plain;
    XorStream(bytes, 0, keyHash);
    return Base64UrlEncode(bytes);
}

std::string UnscrambleSetting(std::string_view scrambled, std::string_view key)
{
    std::string bytes;
    if (scrambled.empty() || !Base64UrlDecode(scrambled, bytes) || bytes.size() < 5)
        return {};
    const uint64_t keyHash = Fnv1a(key);
    XorStream(bytes, 0, keyHash);
    uint32_t check = 0;
    for (int i = 0; i < 4; ++i)
        check |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[static_cast<size_t>(i)])) << (8 * i);
    std::string plain = bytes.substr(4);
    if (CheckOf(plain, keyHash) != check)
        return {};
    return plain;
}

std::string ScrambleKeyFor(std::string_view executableName, std::string_view programFolder)
{
    std::string exe = AsciiLower(executableName);
    if (exe.size() > 4 && exe.compare(exe.size() - 4, 4, ".exe") == 0)
        exe.resize(exe.size() - 4);
    std::string folder(programFolder);
    while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    size_t slash = folder.find_last_of('/');
    std::string base = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    return exe + "|" + base;
}
