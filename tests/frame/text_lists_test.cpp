// The shared text list and its file.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>
#include <vector>

#include "frame/text_lists.h"
#include "platform/fs.h"
#include "start_fixtures.h"

using start_test::ReadText;
using start_test::WriteText;

namespace {

TEST(Files, TextListRoundTripAndFailures)
{
    QTemporaryDir tmp;
    const std::string path = tmp.path().toStdString() + "/list.txt";
    ASSERT_EQ(SaveTextList({"a", "b \x9A"}, path), 0);
    EXPECT_EQ(ReadText(path), "a\r\nb \x9A\r\n");
    ASSERT_EQ(LoadTextList(path), 0);
    EXPECT_EQ(SharedTextLines(), (std::vector<std::string>{"a", "b \x9A"}));

    WriteText(path, "x\r\ny\nz\rw");
    ASSERT_EQ(LoadTextList(path), 0);
    EXPECT_EQ(SharedTextLines(), (std::vector<std::string>{"x", "y", "z", "w"}));

    // A failed read leaves the list as it was.
    EXPECT_EQ(LoadTextList(path + ".missing"), IoResult::NotFound);
    EXPECT_EQ(SharedTextLines().size(), 4u);
    EXPECT_NE(SaveTextList({"a"}, tmp.path().toStdString() + "/list.txt/inside"), 0);
    EXPECT_EQ(ReadText(path), "x\r\ny\nz\rw");
}

} // namespace
