// The one table of stored paragraph selections shared by the chooser, the
// text search and the viewers.

#include <gtest/gtest.h>

#include <string>

#include "frame/config/config_file.h"
#include "frame/config/stored_paragraphs.h"

namespace {

// Puts the settings back after a test.
class SavedConfig {
public:
    SavedConfig() : saved_(Config().Snapshot()) {}
    ~SavedConfig()
    {
        Config().Update([this](ConfigValues& v) { v = saved_; });
    }
    const ParagraphSelections& Defaults() const { return saved_.paragraphDefaults; }

private:
    ConfigValues saved_;
};

// The configuration key of the slot a (mode, kind) pair writes: the field
// that changed after the store, named as the file names it.
std::string ChangedSlot(const ParagraphSelections& before, const ParagraphSelections& after)
{
    static const char* const kFirst[] = {"KODEX", "CODEX", "BREV", "PFA", "ENG", "SPC"};
    static const char* const kSecond[] = {"FKODEX", "FCODEX", "FPFA", "FENG", "FSPC"};
    static const char* const kStart[] = {"FAVORS.K", "FAVORS.B", "FAVORS.S", "FAVORS.R", "FAVORS.E"};
    std::string changed;
    auto note = [&changed](const char* name) { changed += (changed.empty() ? "" : " ") + std::string(name); };
    for (size_t i = 0; i < before.first.size(); ++i)
        if (before.first[i] != after.first[i])
            note(kFirst[i]);
    for (size_t i = 0; i < before.second.size(); ++i)
        if (before.second[i] != after.second[i])
            note(kSecond[i]);
    for (size_t i = 0; i < before.start.size(); ++i)
        if (before.start[i] != after.start[i])
            note(kStart[i]);
    return changed;
}

TEST(ParagraphChooserStore, EachModeAndKindHasItsSlot)
{
    SavedConfig saved;
    struct Case {
        char mode;
        char kind;
        const char* slot;
        const char* highlight;
    };
    const Case cases[] = {
        {'F', 'k', "FKODEX", nullptr},   {'F', 'K', "FENG", nullptr},    {'F', 'E', "FENG", nullptr},
        {'F', 'L', "FENG", nullptr},     {'F', 'S', "FSPC", nullptr},    {'F', 'R', "FPFA", nullptr},
        {'F', 'r', "FPFA", nullptr},     {'V', 'B', "BREV", "FAVORS.B"}, {'V', 'b', "BREV", "FAVORS.B"},
        {'V', 'R', "PFA", "FAVORS.R"},   {'x', 'r', "PFA", "FAVORS.R"},  {'V', 'S', "SPC", "FAVORS.S"},
        {'V', 'k', "CODEX", "FAVORS.K"}, {'V', 'E', "ENG", "FAVORS.E"},  {'V', 'K', "KODEX", "FAVORS.K"},
        {'V', 'X', "KODEX", "FAVORS.K"},
    };
    uint8_t n = 1;
    for (const Case& c : cases) {
        const std::string value(3, static_cast<char>(n));
        const ParagraphSelections before = Config().Snapshot().paragraphCurrent;
        StoreParagraphSelection(c.mode, c.kind, value,
                                c.highlight ? std::optional<uint8_t>(n) : std::nullopt);
        const ParagraphSelections after = Config().Snapshot().paragraphCurrent;
        const std::string expected =
            std::string(c.slot) + (c.highlight ? " " + std::string(c.highlight) : "");
        EXPECT_EQ(ChangedSlot(before, after), expected) << c.mode << c.kind;
        EXPECT_EQ(StoredParagraphSelection(c.mode, c.kind), value) << c.mode << c.kind;
        if (c.highlight)
            EXPECT_EQ(StoredParagraphHighlight(c.kind), n) << c.kind;
        // The defaults the settings dialog keeps are never touched.
        EXPECT_EQ(Config().Snapshot().paragraphDefaults, saved.Defaults());
        ++n;
    }
}

TEST(ParagraphChooserStore, KeepsTheShowAllByteAndCutsAt80)
{
    SavedConfig saved;
    const std::string withShowAll = std::string("\x12\x13", 2) + '\xFF';
    StoreParagraphSelection('V', 'K', withShowAll);
    EXPECT_EQ(StoredParagraphSelection('V', 'K'), withShowAll);
    StoreParagraphSelection('F', 'S', std::string(90, '\x41'));
    EXPECT_EQ(StoredParagraphSelection('F', 'S'), std::string(80, '\x41'));
}

TEST(ParagraphChooserStore, SwitchingOffKeepsTheSelection)
{
    SavedConfig saved;
    const std::string full(80, '\x41');
    struct Case {
        std::string stored;
        std::string expected;
    };
    const Case cases[] = {
        {"\x12\x13", "\x12\x13\xFF"},
        // Already off: one 255 only.
        {"\x12\xFF", "\x12\xFF"},
        // Full: the last code makes room, the stored form stays within 80.
        {full, std::string(79, '\x41') + '\xFF'},
    };
    for (const Case& c : cases) {
        StoreParagraphSelection('F', 'S', c.stored);
        SwitchOffParagraphSelection('F', 'S');
        EXPECT_EQ(StoredParagraphSelection('F', 'S'), c.expected);
        // The other mode's slot of the kind is another slot.
        StoreParagraphSelection('V', 'S', "\x42");
        SwitchOffParagraphSelection('V', 'S');
        EXPECT_EQ(StoredParagraphSelection('F', 'S'), c.expected);
        EXPECT_EQ(StoredParagraphSelection('V', 'S'), "\x42\xFF");
    }
}

} // namespace
