// The notes window's text: the display text with its sections, wrapping,
// the selection's output as RTF and plain text, and the print lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "datastore/kamenici.h"
#include "viewers/notes_text.h"

namespace {

// Every byte one unit wide.
CharWidths Unit()
{
    CharWidths w{};
    w.fill(1);
    return w;
}

std::vector<std::string> Shown(const NoteDisplay& d, int width)
{
    std::vector<std::string> out;
    for (size_t start : WrapDisplayLines(d.text, width, Unit()))
        out.emplace_back(DisplayLineText(d.text, start, width, Unit()));
    return out;
}

const std::string kNote = "010000101 ALPHA TBL\r\n010000102 BETA\r\n02hidden heading\r\n"
                          "free text one\r\ncontinues #2 here\r\n\r\nafter the break\r\n";

TEST(NotesText, RecordLinesThenAnEmptyLineThenTheFlowingFreeText)
{
    const NoteDisplay d = BuildNoteDisplay(kNote);
    EXPECT_EQ(Shown(d, 200),
              (std::vector<std::string>{"0000101 ALPHA TBL", "0000102 BETA", "",
                                        "free text one continues #2 here ", "after the break"}));
    EXPECT_EQ(d.firstSection, 10);
    EXPECT_EQ(d.text.substr(d.sectionStarts[10], 4), "free");
    EXPECT_EQ(d.sectionStarts[2], 0u); // "02" lines are hidden
    EXPECT_EQ(d.text.find("hidden"), std::string::npos);
}

TEST(NotesText, WrappingBreaksAtBlanksAndNeverInsideAWord)
{
    const NoteDisplay d = BuildNoteDisplay("01" + std::string("0000101 X") + "\r\n" + "aaa bbb ccc " +
                                           std::string(30, 'w') + " end\r\n");
    EXPECT_EQ(Shown(d, 8), (std::vector<std::string>{"0000101 ", "X", "", "aaa bbb ", "ccc ",
                                                     std::string(30, 'w'), "end"}));
}

TEST(NotesText, LongSourceLinesAreCutAt249AndKeptWhole)
{
    const std::string longLine(300, 'x');
    const NoteDisplay d = BuildNoteDisplay("010000101 A\r\n" + longLine + "\r\n");
    std::string all;
    for (const std::string& s : Shown(d, 1000))
        all += s;
    EXPECT_NE(all.find(std::string(249, 'x')), std::string::npos);
    EXPECT_EQ(std::count(d.text.begin(), d.text.end(), 'x'), 300);
}

TEST(NotesText, KamenickyLettersAreMappedForTheScreen)
{
    // "ř" in the data code page.
    std::string kam = "010000101 A\r\nt\xF8i\r\n";
    WinToKamS(kam);
    const NoteDisplay d = BuildNoteDisplay(kam);
    EXPECT_NE(d.text.find("t\xF8i"), std::string::npos);
}

TEST(NotesText, ASelectionInTheFreeTextExportsOnlyFromThere)
{
    const NoteDisplay d = BuildNoteDisplay(kNote);
    const std::vector<size_t> lines = WrapDisplayLines(d.text, 200, Unit());
    ASSERT_EQ(lines.size(), 5u);
    const NoteRange sel = OrderedSelection(d.text.size(), lines[3], d.text.size());
    const std::string rtf = NoteRtfBody(d, sel);
    EXPECT_EQ(rtf.find("0000101"), std::string::npos);
    EXPECT_EQ(rtf, "{\\b }{free text one continues #2 here  \\par after the break \\par \\par}\r\n");
    EXPECT_EQ(NotePlainText(d, sel), "free text one continues #2 here \r\nafter the break\r\n\r\n");

    const std::string whole = NoteRtfBody(d, OrderedSelection(0, 0, d.text.size()));
    EXPECT_EQ(whole.substr(0, whole.find("\r\n")), "{\\b }{0000101 ALPHA TBL \\par 0000102 BETA \\par}");
    EXPECT_EQ(std::count(whole.begin(), whole.end(), '{'), std::count(whole.begin(), whole.end(), '}'));
}

TEST(NotesText, RtfSpecialCharactersAreEscaped)
{
    const NoteDisplay d = BuildNoteDisplay("010000101 A\r\nbrace { back \\ end}\r\n");
    const std::string rtf = NoteRtfBody(d, OrderedSelection(0, 0, d.text.size()));
    EXPECT_NE(rtf.find("brace \\{ back \\\\ end\\}"), std::string::npos) << rtf;
}

TEST(NotesText, PrintLinesFollowThePageWidth)
{
    const NoteDisplay d = BuildNoteDisplay(kNote);
    std::vector<std::string> texts;
    for (const PrintLine& p : NotePrintLines(d, OrderedSelection(0, 0, d.text.size()), 16, Unit()))
        texts.push_back(p.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"0000101 ALPHA ", "TBL", "0000102 BETA", "free text one ",
                                               "continues #2 ", "here ", "after the break"}));
}

} // namespace
