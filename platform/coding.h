#pragma once
// Fixed-width little-endian encoding and decoding, the one copy every stored
// format and protocol shares.  Every stored integer of the data folder, the
// ZIP reader and the hand-over frame is little-endian, whatever the host.

#include <cstdint>
#include <string>

inline uint16_t DecodeLE16(const void* at)
{
    const auto* p = static_cast<const unsigned char*>(at);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t DecodeLE24(const void* at)
{
    const auto* p = static_cast<const unsigned char*>(at);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16);
}

inline uint32_t DecodeLE32(const void* at)
{
    const auto* p = static_cast<const unsigned char*>(at);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t DecodeLE64(const void* at)
{
    const auto* p = static_cast<const unsigned char*>(at);
    return static_cast<uint64_t>(DecodeLE32(p)) | (static_cast<uint64_t>(DecodeLE32(p + 4)) << 32);
}

inline void EncodeLE16(void* at, uint16_t v)
{
    auto* p = static_cast<unsigned char*>(at);
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline void EncodeLE32(void* at, uint32_t v)
{
    auto* p = static_cast<unsigned char*>(at);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

inline void AppendLE16(std::string& out, uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

inline void AppendLE32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
