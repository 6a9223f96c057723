#include <gtest/gtest.h>

#include <string>

#include "datastore/run_log.h"

namespace {

std::string Line(int i)
{
    return "line " + std::to_string(i) + "\r\n";
}

} // namespace

TEST(RunLog, KeepsItsNewestWholeLinesWithinTheBound)
{
    ClearRunLog();
    std::string all;
    for (int i = 0; i < 40000; ++i) {
        AppendRunLog(Line(i));
        all += Line(i);
        if (i % 1000 == 0)
            ASSERT_LE(RunLogText().size(), kRunLogMaxBytes) << i;
    }
    const std::string log = RunLogText();
    ASSERT_GT(all.size(), kRunLogMaxBytes);
    EXPECT_GE(log.size(), kRunLogMaxBytes / 2);
    EXPECT_EQ(all.substr(all.size() - log.size()), log) << "the newest part, unchanged";
    EXPECT_EQ(log.rfind("line ", 0), 0u) << "a whole first line";
    ClearRunLog();
}

TEST(RunLog, AnAppendLargerThanTheLogKeepsItsEnd)
{
    ClearRunLog();
    AppendRunLog("old\r\n");
    std::string huge(kRunLogMaxBytes * 2, 'a');
    huge.replace(huge.size() - 5, 5, "end\r\n");
    AppendRunLog(huge);
    const std::string log = RunLogText();
    EXPECT_LE(log.size(), kRunLogMaxBytes);
    EXPECT_EQ(log.find("old"), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 5), "end\r\n");
    ClearRunLog();
}
