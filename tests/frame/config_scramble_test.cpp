// The scrambled proxy settings of the configuration file.

#include <gtest/gtest.h>

#include <string>

#include "frame/config/config_scramble.h"

namespace {

TEST(ConfigValues, ScramblingIsPrintableDeterministicAndKeyed)
{
    const std::string key = ScrambleKeyFor("QEVW.EXE", "/opt/kalvo/v1");
    EXPECT_EQ(key, ScrambleKeyFor("qevw", "/opt/kalvo/v7/"));
    const std::string plain = std::string("user:p\xE1ss|=\x01 x", 13);
    const std::string s = ScrambleSetting(plain, key);
    EXPECT_EQ(s, ScrambleSetting(plain, key));
    EXPECT_EQ(s.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
              std::string::npos);
    EXPECT_EQ(UnscrambleSetting(s, key), plain);
    EXPECT_EQ(UnscrambleSetting(s, ScrambleKeyFor("qevw", "/opt/other/v1/")), "");
    EXPECT_EQ(UnscrambleSetting(s, ScrambleKeyFor("other", "/opt/kalvo/v1/")), "");
    EXPECT_EQ(UnscrambleSetting("plain text", key), "");
    std::string damaged = s;
    damaged[damaged.size() / 2] = damaged[damaged.size() / 2] == 'A' ? 'B' : 'A';
    EXPECT_EQ(UnscrambleSetting(damaged, key), "");
    EXPECT_EQ(ScrambleSetting("", key), "");
}

} // namespace
