// Bytes as text: hexadecimal digits and Base64url.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "datastore/hex_base64.h"
#include "tests/support/bytes.h"

namespace {

constexpr auto Codes = test_support::Bytes;

TEST(Encoders, HexAndBase64Url)
{
    EXPECT_EQ(HexOfBytes(Codes({0x01, 0xAB, 0xFF})), "01ABFF");
    std::string out;
    EXPECT_TRUE(BytesOfHex("01abFF", out));
    EXPECT_EQ(out, Codes({0x01, 0xAB, 0xFF}));
    EXPECT_TRUE(BytesOfHex("01a", out));
    EXPECT_EQ(out, Codes({0x01}));
    EXPECT_FALSE(BytesOfHex("0g", out));

    const std::map<std::string, std::string> b64 = {
        {"", ""},
        {"a", "YQ"},
        {"ab", "YWI"},
        {"abc", "YWJj"},
        {"abcdef", "YWJjZGVm"},
        {Codes({0xFB, 0xFF}), "-_8"},
        {Codes({0xFB, 0xEF, 0xBE}), "----"},
        {Codes({0xFF, 0xFF, 0xFF}), "____"},
    };
    for (const auto& [in, expected] : b64) {
        EXPECT_EQ(Base64UrlEncode(in), expected);
        std::string back;
        EXPECT_TRUE(Base64UrlDecode(expected, back));
        EXPECT_EQ(back, in);
        // ((length + 2) x 4 div 3) - 2 characters.
        EXPECT_EQ(expected.size(), (in.size() + 2) * 4 / 3 - 2);
    }
    // Padding and the other alphabet's "+" and "/" are no Base64url.
    using namespace std::string_view_literals;
    for (std::string_view bad : {"YQ=="sv, "+/8"sv, "Y\0Q"sv}) {
        std::string back;
        EXPECT_FALSE(Base64UrlDecode(bad, back)) << bad;
    }
}

TEST(ConfigHexHelpers, EncodeAndDecode)
{
    EXPECT_EQ(HexOfBytes(std::string("\x00\x1F\xA0\xFF", 4)), "001FA0FF");
    EXPECT_EQ(HexOfBytes(""), "");
    std::string out = "keep";
    EXPECT_TRUE(BytesOfHex("001fA0Ff", out));
    EXPECT_EQ(out, std::string("\x00\x1F\xA0\xFF", 4));
    EXPECT_TRUE(BytesOfHex("41424", out));
    EXPECT_EQ(out, "AB");
    EXPECT_FALSE(BytesOfHex("4G", out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(BytesOfHex(" 41", out));
    EXPECT_TRUE(BytesOfHex("", out));
    EXPECT_EQ(out, "");
}

} // namespace
