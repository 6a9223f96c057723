#include "frame/config/stored_paragraphs.h"

#include "frame/config/config_file.h"

namespace {

char FilterSlotKind(char kind)
{
    switch (kind) {
    case 'k': return 'K';
    case 'S': return 'S';
    case 'R':
    case 'r': return 'R';
    default: return 'E';
    }
}

char ViewerSlotKind(char kind)
{
    switch (kind) {
    case 'B':
    case 'b': return 'B';
    case 'R':
    case 'r': return 'R';
    case 'S': return 'S';
    case 'k': return 'k';
    case 'E': return 'E';
    default: return 'K';
    }
}

// The highlights have no slot of their own for "k".
char HighlightSlotKind(char kind)
{
    return kind == 'k' ? 'K' : ViewerSlotKind(kind);
}

} // namespace

std::string& ParagraphSelectionSlot(ParagraphSelections& p, char mode, char kind)
{
    // The slot letters above are all in kSecondKinds / kFirstKinds.
    return mode == kParagraphFilterMode ? *p.Second(FilterSlotKind(kind)) : *p.First(ViewerSlotKind(kind));
}

uint8_t& ParagraphHighlightSlot(ParagraphSelections& p, char kind)
{
    return *p.Start(HighlightSlotKind(kind));
}

const std::string& ParagraphSelectionSlot(const ParagraphSelections& p, char mode, char kind)
{
    return ParagraphSelectionSlot(const_cast<ParagraphSelections&>(p), mode, kind);
}

uint8_t ParagraphHighlightSlot(const ParagraphSelections& p, char kind)
{
    return ParagraphHighlightSlot(const_cast<ParagraphSelections&>(p), kind);
}

std::string StoredParagraphSelection(char mode, char kind)
{
    return Config().Read(
        [&](const ConfigValues& v) { return ParagraphSelectionSlot(v.paragraphCurrent, mode, kind); });
}

uint8_t StoredParagraphHighlight(char kind)
{
    return Config().Read(
        [&](const ConfigValues& v) { return ParagraphHighlightSlot(v.paragraphCurrent, kind); });
}

void StoreParagraphSelection(char mode, char kind, std::string_view selection,
                             std::optional<uint8_t> highlight)
{
    const std::string value(selection.substr(0, kMaxStoredParagraphCodes));
    Config().Update([&](ConfigValues& v) {
        ParagraphSelectionSlot(v.paragraphCurrent, mode, kind) = value;
        if (highlight)
            ParagraphHighlightSlot(v.paragraphCurrent, kind) = *highlight;
    });
}

void SwitchOffParagraphSelection(char mode, char kind)
{
    Config().Update([&](ConfigValues& v) {
        std::string& s = ParagraphSelectionSlot(v.paragraphCurrent, mode, kind);
        if (!s.empty() && static_cast<uint8_t>(s.back()) == 255)
            return;
        if (s.size() >= kMaxStoredParagraphCodes)
            s.resize(kMaxStoredParagraphCodes - 1);
        s.push_back(static_cast<char>(255));
    });
}
