// The clipboard block of data windows and its hand-over.

#include <gtest/gtest.h>

#include "frame/config/placement_scheme.h"
#include "platform/gui/clipboard.h"
#include "tests/frame/data_form_test_support.h"

using namespace dftest;

TEST(DataFormClipboard, AppendsUpToTheBlockSize)
{
    EnsureApp();
    ClipFree();
    EXPECT_FALSE(TDataForm::ClipPCopy("text")) << "no block yet";

    ClipStart();
    EXPECT_EQ(ClipLength, 0);
    // A short string of 255 characters loses its last one.
    const std::string s255(255, 'a');
    EXPECT_TRUE(TDataForm::ClipPCopy(s255));
    EXPECT_EQ(ClipLength, 254);
    EXPECT_EQ(ClipCursor, 254u);
    EXPECT_EQ(ClipBytes(), std::string(254, 'a'));
    // The next text overwrites the previous terminating zero.
    EXPECT_TRUE(TDataForm::ClipCopy(std::string("bc\0ignored", 10)));
    EXPECT_EQ(ClipBytes(), std::string(254, 'a') + "bc");

    struct Case {
        const char* name;
        std::vector<size_t> sizes; // appended in order
        std::vector<bool> accepted;
    };
    const Case cases[] = {
        {"exact fit with the terminating zero", {65529}, {true}},
        {"one byte more", {65530}, {false}},
        {"a 70,000-byte text", {70000}, {false}},
        {"two parts that fit exactly, then one more byte", {30000, 35529, 1, 0}, {true, true, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClipStart();
        size_t total = 0;
        for (size_t i = 0; i < c.sizes.size(); ++i) {
            const std::string text(c.sizes[i], static_cast<char>('a' + i));
            EXPECT_EQ(TDataForm::ClipCopy(text), c.accepted[i]) << "append " << i;
            if (c.accepted[i])
                total += c.sizes[i];
            EXPECT_EQ(ClipLength, total);
        }
    }
    ClipFree();
}

TEST(DataFormClipboard, TheReserveKeepsRoomForTheClosing)
{
    EnsureApp();
    ClipStart(kRtfTail.size());
    const size_t room = kClipBlockSize - kRtfTail.size() - 1;
    EXPECT_FALSE(TDataForm::ClipCopy(std::string(room + 1, 'x')));
    EXPECT_TRUE(TDataForm::ClipCopy(std::string(room, 'x')));
    EXPECT_FALSE(TDataForm::ClipCopy("y")) << "the reserve is not for rows";
    ClipReleaseReserve();
    EXPECT_TRUE(TDataForm::ClipCopy(kRtfTail));
    EXPECT_EQ(ClipLength, kClipBlockSize - 1);
    EXPECT_EQ(ClipBytes().substr(ClipBytes().size() - kRtfTail.size()), kRtfTail);
    ClipFree();
}

TEST(DataFormClipboard, HandsOverRtfAndPlainText)
{
    EnsureApp();
    ScopedConfig config;
    Config().Update([](ConfigValues& v) { v.PrintFont = ConfigFont{"Arial CE", 10, 0}; });
    TestHost host;
    auto* list = new DemoList(PackKindCode("DNA"), 30);
    list->Master = &host;
    list->Schrankuj();
    EXPECT_EQ(ClipLength, 0) << "the block is handed over and freed";

    std::string rtf;
    ASSERT_TRUE(ClipboardRtf(rtf));
    EXPECT_EQ(RtfProblem(rtf), "");
    EXPECT_EQ(rtf.rfind(RtfHead(ConfigFont{"Arial CE", 10, 0}), 0), 0u);
    const std::string firstName = KamToWin(list->rows.front().name);
    EXPECT_NE(rtf.find(RtfEscape(firstName)), std::string::npos);
    const QString text = ClipboardText();
    EXPECT_TRUE(text.startsWith(KamToQString(list->rows.front().code) + QLatin1Char('\t') +
                                KamToQString(list->rows.front().name)));
    EXPECT_EQ(text.count(QLatin1Char('\n')), static_cast<qsizetype>(list->rows.size()));
    delete list;
}

TEST(DataFormClipboard, AFullBlockIsStillAWholeDocument)
{
    EnsureApp();
    TestHost host;
    auto* list = new DemoList(PackKindCode("DNA"), 2000); // far more than the block holds
    list->Master = &host;
    list->Schrankuj();
    std::string rtf;
    ASSERT_TRUE(ClipboardRtf(rtf));
    EXPECT_GT(rtf.size(), kClipBlockSize - 200) << "the block was filled";
    EXPECT_LT(rtf.size(), kClipBlockSize);
    EXPECT_EQ(RtfProblem(rtf), "");
    EXPECT_EQ(rtf.substr(rtf.size() - kRtfTail.size()), kRtfTail);
    // The plain text holds one row more than the block: the one that no
    // longer fitted.
    // Lines: the head, the column header, the rows, and two of the closing.
    const size_t rtfRows = static_cast<size_t>(std::count(rtf.begin(), rtf.end(), '\n')) - 4;
    EXPECT_EQ(static_cast<size_t>(ClipboardText().count(QLatin1Char('\n'))), rtfRows + 1);
    delete list;
}
