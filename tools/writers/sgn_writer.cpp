#include "writers/sgn_writer.h"

#include <stdexcept>

#include "platform/fs.h"

namespace {

void Put16(std::string& out, uint32_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutPadded8(std::string& out, const std::string& text, const char* what)
{
    if (text.size() > 8)
        throw std::invalid_argument(std::string("sign set ") + what + " longer than 8 bytes: " + text);
    out += text;
    out.append(8 - text.size(), '\0');
}

} // namespace

std::string BuildSignSetFile(const std::vector<SignSetSpec>& sets)
{
    if (sets.empty())
        throw std::invalid_argument("a sign-set file needs at least one set");
    std::string out = "B6";
    Put16(out, 0);
    for (const SignSetSpec& s : sets) {
        if (s.bitCount < 0)
            throw std::invalid_argument("sign set " + s.name + " has a negative bit count");
        if (s.text1.size() > 0xFFFF || s.text2.size() > 0xFF)
            throw std::invalid_argument("sign set " + s.name + " has a text too long");
        if (s.flags == 0x40)
            throw std::invalid_argument("sign set " + s.name + " has the in-memory flags 0x40");
        PutPadded8(out, s.table, "table");
        PutPadded8(out, s.name, "name");
        Put32(out, static_cast<uint32_t>(s.bitCount));
        Put32(out, 0);
        Put16(out, static_cast<uint32_t>(s.text1.size()));
        out.push_back(static_cast<char>(s.text2.size()));
        out.push_back(static_cast<char>(s.flags));

        TBits bitmap = s.bits;
        bitmap.resize(static_cast<size_t>((static_cast<int64_t>(s.bitCount) - 1) / 8 + 1), 0);
        for (int64_t i = s.bitCount; i < static_cast<int64_t>(bitmap.size()) * 8; ++i)
            BitClear(bitmap, i);
        out.append(bitmap.begin(), bitmap.end());
        out += s.text1;
        out += s.text2;
    }
    return out;
}

int WriteSignSetFile(const std::string& path, const std::vector<SignSetSpec>& sets)
{
    return WriteFileAtomic(path, BuildSignSetFile(sets));
}
