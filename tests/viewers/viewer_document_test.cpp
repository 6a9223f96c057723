// The viewer's documents: records of X6 document files in every layout, the
// broken ones, plain-text files, the photo page and the kind-specific edits.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "datastore/kamenici.h"
#include "datastore/packed_text.h"
#include "platform/fs.h"
#include "tests/support/bytes.h"
#include "viewers/viewer_document.h"
#include "writers/x6_writer.h"

namespace {

using Result = ViewerDocument::Result;
constexpr auto B = test_support::Bytes;

std::string BItem(uint16_t value, bool compressed)
{
    std::string item = B({'B', 0, 0, value & 0xFF, value >> 8});
    if (compressed)
        item.append(3, '\0');
    return item;
}

std::string OtherItem(bool compressed)
{
    return std::string(compressed ? 8 : 5, 'x');
}

// A long text of varied bytes, so that lengths pass 16 bits.
std::string LongText(size_t length)
{
    std::string s;
    const std::string words[] = {"lorem ", "ipsum ", "dolor ", "sit ", "amet ", "\x87\xA0st ", "4.5 "};
    for (size_t i = 0; s.size() < length; ++i)
        s.append(words[(i * 7 + i / 3) % 7]);
    s.resize(length);
    return s;
}

} // namespace

TEST(ViewerDocumentRead, LayoutsItemsAndRecordName)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    struct Case {
        const char* what;
        bool compressed;
        int headSize;
        bool flag;
        bool wide;
        size_t length;
    } cases[] = {
        {"stored, 16-byte heads", false, 16, false, false, 300},
        {"stored, 6-byte heads, numbered headings", false, 0, true, false, 300},
        {"compressed narrow, 14-byte heads", true, 14, false, false, 300},
        {"compressed narrow past 16 bits", true, 16, true, false, 70000},
        {"compressed wide past 16 bits", true, 16, false, true, 200000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        X6FileOptions options;
        options.compressed = c.compressed;
        options.headSize = c.headSize;
        X6Writer w(options);
        X6Record first;
        first.text = LongText(40);
        first.items.assign(10, OtherItem(c.compressed));
        w.Add(first);
        X6Record rec;
        rec.text = LongText(c.length);
        rec.items = {OtherItem(c.compressed), BItem(0, c.compressed), BItem(0x1234, c.compressed),
                     BItem(7, c.compressed)};
        rec.key = {0xFB, 0xEF, 0xBE, 0xFF, 0xFF, 0xFF};
        rec.flag = c.flag;
        rec.forceWide = c.wide;
        const uint32_t offset = w.Add(rec);
        ASSERT_EQ(w.WriteTo(folder + "/kodexa.dat"), 0);

        const ViewerDocument doc = ReadViewerDocument('E', "KODEXA", offset, folder);
        ASSERT_EQ(doc.result, Result::Ok);
        EXPECT_EQ(doc.items, 4);
        EXPECT_EQ(doc.bValue, 0x1234) << "the first non-zero B value";
        EXPECT_EQ(doc.spcLayout, c.flag || c.wide);
        EXPECT_EQ(doc.recordName, c.headSize >= 14 ? "----" : "") << "trailing _ removed";
        const std::string expected = c.compressed ? rec.text + std::string(2, '\0') : rec.text;
        EXPECT_EQ(doc.text.size(), expected.size());
        EXPECT_TRUE(doc.text == expected);

        // An article kind needs 10 items: the record of 4 counts as missing,
        // the first one of 10 is read.
        EXPECT_EQ(ReadViewerDocument('A', "kodexa.dat", offset, folder).result, Result::TooFewItems);
        EXPECT_EQ(ReadViewerDocument('K', "kodexa.dat", 16, folder).result, Result::Ok);
    }
}

TEST(ViewerDocumentRead, NineItemsMakeAnArticleMissing)
{
    QTemporaryDir dir;
    X6Writer w;
    X6Record rec;
    rec.text = LongText(40);
    rec.items.assign(9, OtherItem(true));
    w.Add(rec);
    ASSERT_EQ(w.WriteTo(dir.path().toStdString() + "/kodex.dat"), 0);
    for (char kind : {'A', 'B', 'K'})
        EXPECT_EQ(ReadViewerDocument(kind, "kodex", 16, dir.path().toStdString()).result,
                  Result::TooFewItems);
    EXPECT_EQ(ReadViewerDocument('X', "kodex", 16, dir.path().toStdString()).result, Result::Ok);
}

TEST(ViewerDocumentRead, BrokenRecordsAreDamagedWithoutReadingPastThem)
{
    const std::string folder = std::string(QEVW_FIXTURES_DIR) + "/broken";
    for (const char* name : {"doc_packed_beyond_slack", "doc_head_past_end", "doc_items_past_end",
                             "doc_text_past_end", "doc_no_marker"}) {
        const ViewerDocument doc = ReadViewerDocument('L', name, 16, folder);
        EXPECT_EQ(doc.result, Result::Damaged) << name;
        EXPECT_TRUE(doc.text.empty()) << name;
    }
    EXPECT_EQ(ReadViewerDocument('L', "doc_no_marker", 1 << 20, folder).result, Result::Damaged)
        << "an offset past the end";
    const ViewerDocument missing = ReadViewerDocument('L', "no_such_file", 16, folder);
    EXPECT_EQ(missing.result, Result::IoError);
    EXPECT_EQ(missing.ioStatus, IoResult::NotFound);
    EXPECT_EQ(IoResultText(missing.ioStatus), "file not found");
}

TEST(ViewerDocumentRead, ADecodedLengthThatDiffersKeepsTheText)
{
    QTemporaryDir dir;
    X6Writer w;
    X6Record rec;
    rec.text = LongText(500);
    w.Add(rec);
    std::string file = w.Finish();
    file[16 + 2] = static_cast<char>(static_cast<uint8_t>(file[16 + 2]) + 1); // T one too many
    ASSERT_EQ(WriteFileAtomic(dir.path().toStdString() + "/spc.dat", file), 0);
    const ViewerDocument doc = ReadViewerDocument('S', "spc", 16, dir.path().toStdString());
    EXPECT_EQ(doc.result, Result::LengthMismatch);
    EXPECT_EQ(doc.text, rec.text + std::string(2, '\0'));
}

TEST(ViewerDocumentRead, PlainTextFilesAreConvertedFromTheOffset)
{
    const std::string folder = std::string(QEVW_FIXTURES_DIR) + "/documents";
    ViewerDocument doc = ReadViewerDocument('K', "plain_kodex", 0, folder);
    ASSERT_EQ(doc.result, Result::Ok);
    EXPECT_FALSE(doc.spcLayout);
    EXPECT_EQ(doc.bValue, 0);
    const std::string start =
        B({19, 12, 16}) + " Lorem ipsum  dolor sit" + B({19, 113, 16}) + " Amet\r consectetur";
    EXPECT_EQ(doc.text.substr(0, start.size()), start);
    doc = ReadViewerDocument('K', "plain_kodex", 200, folder);
    EXPECT_EQ(doc.text, B({19, 20, 16}) + " Druhy dokument  dalsi radek");
}

TEST(PlainTextConversion, NumberedLines)
{
    struct Case {
        const char* what;
        std::string text;
        std::string out;
    } cases[] = {
        {"12, 12, 13", "12a\r\n12b\r\n13c", B({19, 12, 16}) + "a b" + B({19, 113, 16}) + "c"},
        {"a single 5 after 10 is 50, 40 above", "10 a\r\n5 b",
         B({19, 10, 16}) + " a" + B({19, 0xD2, 0x1F}) + " b"},
        {"11 is 10", "11a\r\n10b", B({19, 10, 16}) + "a\rb"},
        {"continuations: 99 with CR, 20 with a blank", "20a\n20b\n99c\n99d",
         B({19, 20, 16}) + "a b" + B({19, 99, 16}) + "c\rd"},
        {"a line ending in \" #\" ends in a CR", "20 a #\n20 b", B({19, 20, 16}) + " a\r b"},
        {"LF-only line ends, no number on a line", "20 a\nno number\n", B({19, 20, 16}) + " ano number"},
        {"a text starting with digits", "123 x", B({19, 12, 16}) + "3 x"},
        {"(99 - 59) x 100 + 99 = 4099 does not fit: 99", "59 a\n99 b",
         B({19, 59, 16}) + " a" + B({19, 99, 16}) + " b"},
        {"a zero byte ends the text", std::string("20 a\0 20 b", 10), B({19, 20, 16}) + " a"},
        {"a continuation needs more than two bytes written", "1\n1\n", B({19, 10, 16}) + "\r"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlainTextToCtrlText(c.text), c.out) << c.what;
    // The output outgrows the input: three bytes per paragraph code.
    EXPECT_GT(PlainTextToCtrlText("1\n2\n3\n4\n").size(), std::string("1\n2\n3\n4\n").size());
}

TEST(PhotoPage, OnlineOfflineAndBase)
{
    BuildKamTables();
    const std::string head =
        "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
        "<meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1250\">\r\n"
        "</head>\r\n<body>\r\n";
    EXPECT_EQ(BuildPhotoPage(" 0012345 ", true, "https://h/files/photos/", "x"),
              head +
                  "<img src=\"https://h/files/photos/0012345.png\" width=\"98%\">\r\n</body>\r\n</html>\r\n");
    std::string noWeb = "Nen\xA1 p\xA9ipojen\xA1 <&>";
    EXPECT_EQ(BuildPhotoPage("0012345", false, "https://h/", noWeb),
              head + "<h3>Nen\xED p\xF8ipojen\xED &lt;&amp;&gt;</h3>\r\n</body>\r\n</html>\r\n");
}

TEST(DocumentEdits, InsertionsRewritesAndSelections)
{
    const std::string text = B({19, 3, 16}) + "a" + B({19, 8, 16}) + "b" + B({0});
    std::string t = text;
    InsertBeforeSection(t, 8, 9, "X");
    EXPECT_EQ(t, B({19, 3, 16}) + "a" + "X" + B({19, 8, 16}) + "b" + B({0}));
    t = text;
    InsertBeforeSection(t, 9, 3, "X");
    EXPECT_EQ(t, "X" + text) << "the fallback value";
    t = text;
    InsertBeforeSection(t, 7, -1, "X");
    EXPECT_EQ(t, B({19, 3, 16}) + "a" + B({19, 8, 16}) + "bX" + B({0})) << "no such code: before the end";
    // A 19 inside a parameter pair is no code.
    t = B({24, 19, 0x07, 19, 0x17}) + "a";
    EXPECT_FALSE(HasSection(t, 7));
    EXPECT_TRUE(HasSection(text, 3));

    t = "a{b" + B({13}) + "c}d" + B({13}) + "e{f";
    RewriteContraText(t);
    EXPECT_EQ(t, "ad" + B({14}) + "e{f");
    t = B({24, '{', 0x07, '}', 0x17}) + "x";
    RewriteContraText(t);
    EXPECT_EQ(t, B({24, '{', 0x07, '}', 0x17}) + "x") << "braces in parameters are no braces";

    const std::string spc = B({18, 11, 16}) + "4.4 x 4.3" + B({18, 11, 16}) + "4.5 see 4.2 and 4.3" +
                            B({18, 11, 16}) + "4.6 y 4.2";
    EXPECT_EQ(InteractionSelection(spc), "\x42\x43\x45");
    EXPECT_EQ(InteractionSelection(B({18, 11, 16}) + "4.5 none" + B({18, 11, 16}) + "4.6 4.2"), "\x45");
}
