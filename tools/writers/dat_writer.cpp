#include "writers/dat_writer.h"

#include <stdexcept>

#include "datastore/db_table.h"
#include "platform/fs.h"

uint16_t PackFieldName(std::string_view name)
{
    if (name.size() > 3)
        throw std::invalid_argument("field name longer than three letters: " + std::string(name));
    return PackedFieldName(name);
}

static std::vector<DatField> FieldsOf(const TableLayout& layout)
{
    std::vector<DatField> fields;
    for (const FieldDef& f : layout.fields)
        fields.push_back({std::string(f.name), f.descriptor});
    return fields;
}

DatLayout::DatLayout(const TableLayout& layout) : DatLayout(FieldsOf(layout))
{}

DatLayout::DatLayout(std::vector<DatField> fields) : fields_(std::move(fields))
{
    if (fields_.empty() || fields_.size() > static_cast<size_t>(DatMaxFields))
        throw std::invalid_argument("a record file has 1 to 60 fields");
    for (const DatField& f : fields_) {
        PackFieldName(f.name); // validates
        offsets_.push_back(length_);
        length_ += FieldLength(f.descriptor);
    }
    if (length_ > 0xFFFF)
        throw std::invalid_argument("record length above 65535");
    if (3 * static_cast<int>(fields_.size()) + 5 > 2 * length_)
        throw std::invalid_argument("header longer than two records");
}

int DatLayout::Find(std::string_view name) const
{
    auto trimmed = [](std::string_view s) {
        while (!s.empty() && s.back() == ' ')
            s.remove_suffix(1);
        return s;
    };
    for (size_t i = 0; i < fields_.size(); ++i)
        if (trimmed(fields_[i].name) == trimmed(name))
            return static_cast<int>(i);
    return -1;
}

int DatLayout::Offset(std::string_view name) const
{
    const int i = Find(name);
    if (i < 0)
        throw std::invalid_argument("no field " + std::string(name));
    return offsets_[static_cast<size_t>(i)];
}

int DatLayout::Width(std::string_view name) const
{
    const int i = Find(name);
    if (i < 0)
        throw std::invalid_argument("no field " + std::string(name));
    return FieldLength(fields_[static_cast<size_t>(i)].descriptor);
}

static void CheckRecord(const DatLayout& layout, const std::string& rec)
{
    if (static_cast<int>(rec.size()) != layout.Length())
        throw std::invalid_argument("record of " + std::to_string(rec.size()) + " bytes, expected " +
                                    std::to_string(layout.Length()));
}

void DatLayout::PutText(std::string& rec, std::string_view name, std::string_view text) const
{
    CheckRecord(*this, rec);
    const int off = Offset(name);
    const int w = Width(name);
    if (static_cast<int>(text.size()) > w)
        throw std::invalid_argument("value too long for field " + std::string(name) + ": " +
                                    std::string(text));
    rec.replace(static_cast<size_t>(off), static_cast<size_t>(w),
                std::string(text) + std::string(static_cast<size_t>(w) - text.size(), ' '));
}

void DatLayout::PutRight(std::string& rec, std::string_view name, std::string_view text, char pad) const
{
    CheckRecord(*this, rec);
    const int off = Offset(name);
    const int w = Width(name);
    if (static_cast<int>(text.size()) > w)
        throw std::invalid_argument("value too long for field " + std::string(name) + ": " +
                                    std::string(text));
    rec.replace(static_cast<size_t>(off), static_cast<size_t>(w),
                std::string(static_cast<size_t>(w) - text.size(), pad) + std::string(text));
}

void DatLayout::PutInt(std::string& rec, std::string_view name, int64_t value) const
{
    CheckRecord(*this, rec);
    const int off = Offset(name);
    const int w = Width(name);
    if (w > 8)
        throw std::invalid_argument("binary field wider than 8 bytes: " + std::string(name));
    uint64_t v = static_cast<uint64_t>(value);
    for (int i = 0; i < w; ++i) {
        rec[static_cast<size_t>(off + i)] = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
}

std::string BuildDatFile(const DatLayout& layout, const std::vector<std::string>& records, uint16_t stamp)
{
    const size_t L = static_cast<size_t>(layout.Length());
    const size_t n = layout.Fields().size();
    const size_t headerRecords = 1 + static_cast<size_t>(layout.HeaderShift());
    std::string out(headerRecords * L, '\0');
    out[0] = 'D';
    out[1] = '6';
    out[2] = static_cast<char>(stamp & 0xFF);
    out[3] = static_cast<char>(stamp >> 8);
    out[4] = static_cast<char>(n);
    for (size_t i = 0; i < n; ++i) {
        const uint16_t name = PackFieldName(layout.Fields()[i].name);
        out[5 + 2 * i] = static_cast<char>(name & 0xFF);
        out[6 + 2 * i] = static_cast<char>(name >> 8);
        out[5 + 2 * n + i] = static_cast<char>(layout.Fields()[i].descriptor);
    }
    out.reserve(out.size() + records.size() * L);
    for (const std::string& rec : records) {
        CheckRecord(layout, rec);
        out += rec;
    }
    return out;
}

int WriteDatFile(const std::string& path, const DatLayout& layout, const std::vector<std::string>& records,
                 uint16_t stamp)
{
    return WriteFileAtomic(path, BuildDatFile(layout, records, stamp));
}
