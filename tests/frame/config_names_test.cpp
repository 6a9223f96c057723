// Colour names of the configuration file.

#include <gtest/gtest.h>

#include "frame/config/config_names.h"

namespace {

TEST(ConfigValues, ColourNamesAndTexts)
{
    uint32_t c = 0;
    EXPECT_TRUE(ColourOfName("clBtnFace", c));
    EXPECT_EQ(c, kSystemColour + 15);
    EXPECT_TRUE(ColourOfName("clSkyBlue", c));
    EXPECT_EQ(c, 0xF0CAA6u);
    EXPECT_FALSE(ColourOfName("clNothing", c));
    EXPECT_EQ(ColourText(0x000080), "clMaroon");
    EXPECT_EQ(ColourText(kSystemColour + 12), "clAppWorkSpace");
    EXPECT_EQ(ColourText(0x00010203), "$00010203");
}

} // namespace
