#pragma once
// zlib as the peer of the compressed-text benchmarks: one raw deflate stream
// per text, no header, so its size compares with the packed text alone.

#include <string>
#include <zlib.h>

inline std::string DeflateRaw(const std::string& text, int level, int memLevel)
{
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, memLevel, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, text.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
