#include "datastore/ctrl_text.h"

#include <algorithm>

#include "datastore/packed_text.h"

namespace {

uint8_t At(std::string_view text, int pos)
{
    return static_cast<uint8_t>(text[static_cast<size_t>(pos)]);
}

} // namespace

bool CtrlItemAt(std::string_view text, int pos, CtrlItem& item)
{
    const int size = static_cast<int>(text.size());
    item = CtrlItem{};
    if (pos < 0 || pos >= size)
        return false;
    item.offset = pos;
    const uint8_t b = At(text, pos);
    if (b >= 32) {
        int end = pos + 1;
        while (end < size && At(text, end) >= 32)
            ++end;
        item.kind = CtrlItemKind::Text;
        item.length = end - pos;
        return true;
    }
    item.code = b;
    if (b < 16) {
        item.kind = CtrlItemKind::Code;
        item.length = 1;
        return true;
    }
    item.kind = CtrlItemKind::Params;
    item.length = ControlItemLength(text, pos);
    // Whole only when an odd length of at least 3 ends on a closing high byte.
    item.truncated = item.length < 3 || item.length % 2 == 0 || At(text, pos + item.length - 1) < 16;
    return true;
}

CtrlTokenizer::CtrlTokenizer(std::string_view text, int start) : text_(text), pos_(start)
{
    if (pos_ < 0)
        pos_ = 0;
}

bool CtrlTokenizer::Peek(CtrlItem& item) const
{
    if (stopped_)
        return false;
    return CtrlItemAt(text_, pos_, item);
}

bool CtrlTokenizer::Next(CtrlItem& item)
{
    if (!Peek(item))
        return false;
    pos_ = item.End();
    if (item.truncated)
        stopped_ = true;
    return true;
}

int CtrlPairValue(std::string_view text, const CtrlItem& item, int index)
{
    if (index < 0 || index >= item.PairCount())
        return 0;
    return Peek12(text, item.offset + 1 + 2 * index);
}

std::vector<int> CtrlPairValues(std::string_view text, const CtrlItem& item)
{
    std::vector<int> values;
    const int n = item.PairCount();
    values.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        values.push_back(Peek12(text, item.offset + 1 + 2 * i));
    return values;
}

std::string CtrlStringParam(std::string_view text, const CtrlItem& item, int firstPair)
{
    std::string out;
    if (item.kind != CtrlItemKind::Params || firstPair < 0 || firstPair >= item.PairCount())
        return out;
    // Unpack6 reads the pairs after pos; bound it by the item's whole pairs.
    const std::string_view span = text.substr(0, static_cast<size_t>(item.offset + 1 + 2 * item.PairCount()));
    int pos = item.offset + 2 * firstPair;
    Unpack6(span, pos, out);
    return out;
}

std::string_view CtrlTextUpToEnd(std::string_view text)
{
    CtrlTokenizer walk(text);
    CtrlItem item;
    while (walk.Next(item))
        if (item.IsCode(0))
            return text.substr(0, static_cast<size_t>(item.offset));
    return text;
}

int CtrlLastWholeItemEnd(std::string_view text, int limit)
{
    if (limit < 0 || limit > static_cast<int>(text.size()))
        limit = static_cast<int>(text.size());
    CtrlTokenizer walk(text);
    CtrlItem item;
    int end = 0;
    while (walk.Next(item)) {
        if (item.truncated)
            break;
        if (item.IsText()) {
            // A text run may be cut anywhere.
            end = std::min(item.End(), limit);
            if (item.End() >= limit)
                break;
            continue;
        }
        if (item.End() > limit)
            break;
        end = item.End();
    }
    return end;
}

// ---------------------------------------------------------------- writer

namespace {

void AppendPairs(std::string& out, const int* values, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const int v = values[i] & 0x0FFF;
        out.push_back(static_cast<char>(v & 0xFF));
        const int high = (v >> 8) + (i + 1 == count ? 16 : 0);
        out.push_back(static_cast<char>(high));
    }
}

} // namespace

CtrlTextWriter& CtrlTextWriter::Text(std::string_view bytes)
{
    out_.append(bytes);
    return *this;
}

CtrlTextWriter& CtrlTextWriter::Field(std::string_view bytes)
{
    for (char c : bytes)
        out_.push_back(static_cast<uint8_t>(c) < 32 ? ' ' : c);
    return *this;
}

CtrlTextWriter& CtrlTextWriter::Code(uint8_t code)
{
    if (code >= 16)
        return Code(code, {0});
    out_.push_back(static_cast<char>(code));
    return *this;
}

CtrlTextWriter& CtrlTextWriter::Code(uint8_t code, std::initializer_list<int> values)
{
    if (code < 16)
        return Code(code);
    out_.push_back(static_cast<char>(16 | (code & 0x0F)));
    if (values.size() == 0) {
        const int zero = 0;
        AppendPairs(out_, &zero, 1);
    } else {
        AppendPairs(out_, values.begin(), values.size());
    }
    return *this;
}

CtrlTextWriter& CtrlTextWriter::Code(uint8_t code, const std::vector<int>& values)
{
    if (code < 16)
        return Code(code);
    out_.push_back(static_cast<char>(16 | (code & 0x0F)));
    if (values.empty()) {
        const int zero = 0;
        AppendPairs(out_, &zero, 1);
    } else {
        AppendPairs(out_, values.data(), values.size());
    }
    return *this;
}

CtrlTextWriter& CtrlTextWriter::CodeString(uint8_t code, std::string_view text,
                                           std::initializer_list<int> values)
{
    return CodeString(code, text, std::vector<int>(values));
}

CtrlTextWriter& CtrlTextWriter::CodeString(uint8_t code, std::string_view text,
                                           const std::vector<int>& values)
{
    out_.push_back(static_cast<char>(16 | (code & 0x0F)));
    // The numbers come first; none of them is the last pair.
    for (int value : values) {
        const int v = value & 0x0FFF;
        out_.push_back(static_cast<char>(v & 0xFF));
        out_.push_back(static_cast<char>(v >> 8));
    }
    std::string packed;
    Pack6(text, true, packed);
    if (packed.empty())
        packed = std::string("\x00\x10", 2);
    out_.append(packed);
    return *this;
}

CtrlTextWriter& CtrlTextWriter::Raw(std::string_view bytes)
{
    out_.append(bytes);
    return *this;
}

std::string CtrlCodeBytes(uint8_t code, std::initializer_list<int> values)
{
    CtrlTextWriter w;
    if (code < 16)
        w.Code(code);
    else
        w.Code(code, values);
    return w.Take();
}
