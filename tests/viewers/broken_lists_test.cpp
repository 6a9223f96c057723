// Broken medication lists (tests/fixtures/broken/list_*): each gives a
// report or nothing, through the window's and the batch's paths alike.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "frame/hooks.h"
#include "platform/fs.h"
#include "viewers/duplicity_check.h"
#include "viewers/medication_list.h"

namespace {

const char* const kBroken[] = {"list_binary.txt",    "list_nul_bytes.txt", "list_invalid_utf8.txt",
                               "list_truncated.xml", "list_unclosed.xml",  "list_long_line.txt"};

std::string BrokenPath(const char* name)
{
    return std::string(QEVW_FIXTURES_DIR) + "/broken/" + name;
}

class BrokenLists : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = DataDir();
        SetDataDir(WithTrailingSlash(QEVW_DEMO_DATA_DIR));
    }
    void TearDown() override
    {
        DuplicityBatchMode = false;
        SetDataDir(previous_);
    }

private:
    std::string previous_;
};

TEST_F(BrokenLists, GiveAReportOrNothing)
{
    struct Expect {
        int minCount, maxCount;
        int report; // 0 none, 1 some, 2 either (where the cut falls)
    };
    const Expect expected[] = {{0, 500, 1}, {1, 3, 1}, {1, 1, 1}, {1, 11, 2}, {2, 2, 0}, {1, 1, 0}};
    for (size_t i = 0; i < std::size(kBroken); ++i) {
        SCOPED_TRACE(kBroken[i]);
        const ListSourceText source = ReadListSource(BrokenPath(kBroken[i]));
        ASSERT_TRUE(source.readable);
        std::string text = source.text;
        std::vector<int32_t> positions;
        std::vector<std::string> dosages;
        ListValues values;
        const int n = ParseMedicationList(text, positions, dosages, values);
        EXPECT_GE(n, expected[i].minCount);
        EXPECT_LE(n, expected[i].maxCount);
        EXPECT_LE(n, static_cast<int>(positions.size()));
        if (expected[i].report != 2)
            EXPECT_EQ(!text.empty(), expected[i].report == 1) << text;
        // Every report line is one of the two kinds.
        size_t at = 0;
        while (!text.empty() && at < text.size()) {
            const std::string line = text.substr(at, text.find("\r\n", at) - at);
            EXPECT_TRUE(line.rfind("nenalezen ", 0) == 0 || line.rfind("parafarm. ", 0) == 0) << line;
            const size_t next = text.find("\r\n", at);
            at = next == std::string::npos ? text.size() : next + 2;
        }
        std::vector<LekRec> leks;
        std::vector<DupRec> dups;
        DuplicityBatchMode = true;
        ASSERT_EQ(ResetDuplicityCheck(), "");
        const int k = FillAndCheck(positions, n, dosages, leks, dups);
        EXPECT_EQ(k, static_cast<int>(dups.size()));
    }
}

TEST_F(BrokenLists, TheBatchAnswersEveryOne)
{
    for (const char* name : kBroken) {
        SCOPED_TRACE(name);
        const BatchDuplicityResult r = BatchDuplicityCheck({"|b=" + BrokenPath(name) + "|", "|"});
        EXPECT_NE(r.kind, BatchDuplicityResult::Failed) << r.reason;
    }
}

} // namespace
