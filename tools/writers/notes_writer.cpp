#include "writers/notes_writer.h"

#include <stdexcept>

#include "platform/coding.h"
#include "platform/fs.h"

namespace {
constexpr size_t kBlock = 256;
constexpr uint16_t kNoNote = 0xFFFF;
} // namespace

std::string NoteBytes(const std::string& text)
{
    return std::string(2, '\0') + text;
}

std::string PadBlocks(std::string bytes, size_t blocks)
{
    bytes.resize(blocks * kBlock, '\0');
    return bytes;
}

size_t NoteBlockCount(size_t textLength)
{
    return (2 + textLength) / kBlock + 1;
}

NotesSet BuildNotesSet(const std::vector<NoteSpec>& notes, int32_t recordCount)
{
    if (recordCount < 1)
        throw std::invalid_argument("notes set over a table without records");
    NotesSet set;
    set.entries.assign(static_cast<size_t>(recordCount), kNoNote);
    for (const NoteSpec& n : notes) {
        set.notes.append(n.blocksBefore * kBlock, '\0');
        const size_t first = set.notes.size() / kBlock;
        if (first >= kNoNote)
            throw std::invalid_argument("note past the last block an entry can name");
        const size_t need = NoteBlockCount(n.text.size());
        if (n.blocks != 0 && n.blocks < need)
            throw std::invalid_argument("note given fewer blocks than its text needs");
        set.notes += PadBlocks(NoteBytes(n.text), n.blocks ? n.blocks : need);
        for (int32_t r : n.records) {
            if (r < 1 || r >= recordCount)
                throw std::invalid_argument("note record out of range: " + std::to_string(r));
            uint16_t& e = set.entries[static_cast<size_t>(r)];
            if (e != kNoNote)
                throw std::invalid_argument("record with two notes: " + std::to_string(r));
            e = static_cast<uint16_t>(first);
        }
    }
    set.pointers.reserve(set.entries.size() * 2);
    for (uint16_t e : set.entries)
        AppendLE16(set.pointers, e);
    return set;
}

int WriteNotesSet(const std::string& base, const std::vector<NoteSpec>& notes, int32_t recordCount)
{
    const NotesSet set = BuildNotesSet(notes, recordCount);
    if (int r = WriteFileAtomic(base + ".NOT", set.notes))
        return r;
    return WriteFileAtomic(base + ".PNT", set.pointers);
}

std::vector<std::string> NoteHeaderCodes(const std::string& note)
{
    std::vector<std::string> codes;
    size_t at = 2;
    while (at + 1 < note.size() && note[at] == '0' && (note[at + 1] == '1' || note[at + 1] == '2')) {
        size_t end = note.find_first_of(std::string("\r\0", 2), at);
        if (end == std::string::npos)
            end = note.size();
        if (note[at + 1] == '1') {
            size_t digits = 0;
            while (at + 2 + digits < end && digits < 8 && note[at + 2 + digits] >= '0' &&
                   note[at + 2 + digits] <= '9')
                ++digits;
            if (digits == 7)
                codes.push_back(note.substr(at + 2, 7));
            else if (digits == 5)
                codes.push_back("00" + note.substr(at + 2, 5));
        }
        if (end >= note.size() || note[end] != '\r')
            break;
        at = end + 1;
        if (at < note.size() && note[at] == '\n')
            ++at;
    }
    return codes;
}

std::vector<std::string> CheckNotesSet(const std::string& notes, const std::string& pointers,
                                       const std::function<std::string(int32_t)>& codeOf)
{
    std::vector<std::string> faults;
    for (size_t i = 0; i + 1 < pointers.size(); i += 2) {
        const uint16_t e = DecodeLE16(pointers.data() + i);
        if (e == kNoNote)
            continue;
        const int32_t record = static_cast<int32_t>(i / 2);
        const size_t at = static_cast<size_t>(e) * kBlock;
        const std::string where = "record " + std::to_string(record) + " entry " + std::to_string(e);
        if (at + 4 > notes.size() || notes[at] != 0 || notes[at + 1] != 0 || notes[at + 2] != '0' ||
            (notes[at + 3] != '1' && notes[at + 3] != '2')) {
            faults.push_back(where + ": not at a note start");
            continue;
        }
        const size_t zero = notes.find('\0', at + 2);
        const std::string note = notes.substr(at, (zero == std::string::npos ? notes.size() : zero) - at);
        const std::vector<std::string> codes = NoteHeaderCodes(note);
        bool named = false;
        for (const std::string& c : codes)
            named |= c == codeOf(record);
        if (!named)
            faults.push_back(where + ": the note does not name " + codeOf(record));
    }
    return faults;
}
