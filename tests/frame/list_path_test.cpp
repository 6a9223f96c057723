// A start hands its list file over to a copy with another working folder.

#include <gtest/gtest.h>

#include "frame/start/ipc.h"

TEST(WithAbsoluteListPath, OnlyRelativeFilePathsChange)
{
    struct Case {
        const char* options;
        const char* out;
    };
    const Case cases[] = {
        {"|q=dupl|b=lists/a.xml|", "|q=dupl|b=/home/u/lists/a.xml|"},
        {"|b=lists\\a.xml|z|", "|b=/home/u/lists\\a.xml|z|"},
        {"|b=/srv/a.xml|", "|b=/srv/a.xml|"},
        {"|b=\\\\server\\a.xml|", "|b=\\\\server\\a.xml|"},
        {"|b=ERP_BLOCK|", "|b=ERP_BLOCK|"}, // a block name
        {"|q=dupl|", "|q=dupl|"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithAbsoluteListPath(c.options, "/home/u"), c.out) << c.options;
    // Too long for an option list: left as it was.
    const std::string longOptions = "|b=x/" + std::string(240, 'a') + "|";
    EXPECT_EQ(WithAbsoluteListPath(longOptions, "/home/u/" + std::string(20, 'f')), longOptions);
}
