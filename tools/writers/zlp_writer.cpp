#include "writers/zlp_writer.h"

#include <algorithm>
#include <stdexcept>

#include "datastore/zlp_table.h"
#include "platform/coding.h"
#include "platform/fs.h"

void ZlpThresholdBytes(int threshold, uint8_t& monthBase, uint8_t& fraction)
{
    // threshold = 3 * b2 - 120, +1 when b3 > 96, +1 more when b3 > 176.
    const int base = (threshold + 120) / 3;
    const int rest = threshold + 120 - 3 * base;
    if (threshold + 120 < 0 || base > 255)
        throw std::invalid_argument("zlp: threshold out of range");
    monthBase = static_cast<uint8_t>(base);
    fraction = rest == 0 ? 0 : rest == 1 ? 100 : 200;
}

std::string BuildZlpFile(const ZlpSpec& spec)
{
    using namespace ZlpFormat;
    if (spec.letters.empty() || spec.letters.size() > kMaxLetters)
        throw std::invalid_argument("zlp: 1 to 15 letters");
    for (char c : spec.letters)
        if (c < 'A' || c > 'Y')
            throw std::invalid_argument("zlp: letters are A to Y");

    std::vector<uint16_t> names = {0};
    std::vector<uint8_t> widths = {kCodeWidth};
    for (char c : spec.letters) {
        names.push_back(static_cast<uint16_t>((c - 64) << 10));
        widths.push_back(1);
    }
    size_t entry = kCodeWidth + spec.letters.size();
    while (kHeaderBytes + 3 * names.size() > 2 * entry) {
        names.push_back(0);
        widths.push_back(8);
        entry += 8;
    }

    std::string out(2 * entry, '\0');
    out[2] = static_cast<char>(spec.monthBase);
    out[3] = static_cast<char>(spec.fraction);
    out[4] = static_cast<char>(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EncodeLE16(&out[kHeaderBytes + 2 * i], names[i]);
        out[kHeaderBytes + 2 * names.size() + i] = static_cast<char>(widths[i] - 1);
    }

    std::vector<ZlpRow> rows = spec.rows;
    std::sort(rows.begin(), rows.end(), [](const ZlpRow& a, const ZlpRow& b) { return a.code < b.code; });
    for (size_t i = 0; i < rows.size(); ++i) {
        const ZlpRow& r = rows[i];
        if (r.code == 0 || r.code > 0xFFFFFF)
            throw std::invalid_argument("zlp: a code is 1 to 0xFFFFFF");
        if (i > 0 && rows[i - 1].code == r.code)
            throw std::invalid_argument("zlp: code " + std::to_string(r.code) + " twice");
        if (r.values.size() != spec.letters.size())
            throw std::invalid_argument("zlp: one value per letter");
        std::string e(entry, '\0');
        e[0] = static_cast<char>(r.code & 0xFF);
        e[1] = static_cast<char>((r.code >> 8) & 0xFF);
        e[2] = static_cast<char>(r.code >> 16);
        std::copy(r.values.begin(), r.values.end(), e.begin() + kCodeWidth);
        out += e;
    }
    return out;
}

int WriteZlpFile(const std::string& path, const ZlpSpec& spec)
{
    return WriteFileAtomic(path, BuildZlpFile(spec));
}
