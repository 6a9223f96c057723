#pragma once
// A small data folder for the duplicity check, written with the record
// writers: "kl" with "klkod", "atc" with "atckod", "klc" with "klclek", "kk"
// with "kkkod" and "kab.dat", whose pairs are deliberately out of order.
//
// Products (record number = index + 1):
//   1 0000011 N02BE01 (full and 3-character levels)  substance 101 (only a 90001 pair)
//   2 0000012 N02BE01                                  substance 101
//   3 0000013 N02BA01 (3-character level)            substance 102 (no pair)
//   4 0000021 M01AE01 (full and 5-character)          substance 201 -> group 8003
//   5 0000022 M01AE02 (full and 5-character)          substance 202 (no pair)
//   6 0000031 M01AB05 (4-character)                   substance 203 -> 8003 and 95000
//   7 0000032 M01AB15 (4-character)                   substance 204 (only 90002)
//   8 0000041 A11CC05 (bit 0: no groups, full)        substances 301, 302 -> 8100
//   9 0000042 X99XX99 (not in atc)
//  10 0000051 C09AA05 (full)                           substances 301, 302 -> 8100 twice; "    0", "   -1"; 303 as "S"
//  11 0000053 C09CA01 (full)                           substance 301 -> 8100
//  12 0000061 C09CA01                                  32 substances 401..432 without pairs
//  13 0000062 C09AA05                                  substance "    0" only
//  14 0000063 C09CA01                                  substance "   -1" only

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "record_text_fixture.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

namespace dupfix {

using rtfix::Rec;

inline std::string Kam(const char* utf8)
{
    std::string s;
    EXPECT_TRUE(Utf8ToCp1250(utf8, s)) << utf8;
    WinToKamS(s);
    return s;
}

inline DatLayout TextLayout(int length)
{
    std::vector<DatField> fields;
    int left = length, n = 0;
    while (left > 0) {
        const int w = std::min(left, 128);
        fields.push_back(
            {std::string("F") + static_cast<char>('A' + n / 26) + static_cast<char>('A' + n % 26),
             static_cast<uint8_t>(w - 1)});
        left -= w;
        ++n;
    }
    return DatLayout(fields);
}

inline void Table(const std::string& dir, const std::string& dat, const std::string& sez, int length,
                  SezKeySpec key, const std::vector<std::string>& records)
{
    ASSERT_EQ(WriteDatFile(dir + dat + ".dat", TextLayout(length), records), 0) << dat;
    ASSERT_EQ(WriteSezFile(dir + sez + ".sez", records, key), 0) << sez;
}

// Three 6-bit characters of twice the number, the most significant first.
inline std::string SixBit2(int32_t n)
{
    const uint32_t v = static_cast<uint32_t>(2 * n);
    std::string s;
    for (int shift : {12, 6, 0})
        s.push_back(static_cast<char>(((v >> shift) & 63) + 32));
    return s;
}

inline void WriteKab(const std::string& dir, const std::vector<std::pair<int32_t, int32_t>>& pairs)
{
    std::vector<std::string> recs;
    for (const auto& [s, g] : pairs)
        recs.push_back(SixBit2(s) + SixBit2(g));
    ASSERT_EQ(WriteDatFile(dir + "kab.dat", DatLayout({{"SUB", 0x02}, {"GRP", 0x02}}), recs), 0);
}

inline std::string Drug(const char* code, const char* name, const char* text27, const char* text24,
                        const char* atc)
{
    return Rec(346).Put(1, code).Put(8, name).Put(78, text27).Put(117, text24).Put(193, atc).bytes;
}

inline std::string Atc(const char* code, const char* utf8Name, char flags = '@')
{
    std::string c = code;
    c.resize(7, ' ');
    return Rec(166).Put(1, c).Put(9, Kam(utf8Name)).Put(162, std::string(1, flags)).bytes;
}

// A number right-aligned in 5 characters, as substance codes are stored.
inline std::string R5(std::string_view s)
{
    return std::string(s.size() < 5 ? 5 - s.size() : 0, ' ') + std::string(s);
}

inline std::string Klc(const char* drug, const char* substance5, char kind, const char* amount6,
                       const char* unit)
{
    return Rec(21)
        .Put(1, drug)
        .Put(8, R5(substance5))
        .Put(13, std::string(1, kind))
        .Put(14, amount6)
        .Put(20, unit)
        .bytes;
}

inline std::string Kk(const char* code5, const char* utf8Name)
{
    return Rec(86).Put(1, R5(code5)).Put(6, " 0").Put(8, "`").Put(9, Kam(utf8Name)).bytes;
}

// Writes the folder and returns its path (with "/").
inline std::string WriteDuplicityFolder(const std::string& name)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::path(QEVW_BINARY_DIR) / "test-dupl" / name;
    fs::remove_all(root);
    fs::create_directories(root);
    const std::string dir = WithTrailingSlash(root.string());

    Table(dir, "kl", "klkod", 346, {0, 7, 32, 7},
          {Drug("0000011", "Paracetamol A 500 mg", "TBL NOB", "500MG", "N02BE01"),
           Drug("0000012", "Paracetamol B", "TBL FLM", "500MG", "N02BE01"),
           Drug("0000013", "Acylpyrin", "TBL NOB", "500MG", "N02BA01"),
           Drug("0000021", "Ibuprofen", "TBL FLM", "400MG", "M01AE01"),
           Drug("0000022", "Naproxen", "TBL NOB", "250MG", "M01AE02"),
           Drug("0000031", "Diklofenak", "TBL ENT", "50MG", "M01AB05"),
           Drug("0000032", "Ketorolak", "TBL FLM", "10MG", "M01AB15"),
           Drug("0000041", "Vitamin D", "CPS MOL", "1000IU", "A11CC05"),
           Drug("0000042", "Nezname ATC", "TBL NOB", "1MG", "X99XX99"),
           Drug("0000051", "Kombinace", "TBL NOB", "5MG", "C09AA05"),
           Drug("0000053", "Sartan", "TBL NOB", "50MG", "C09CA01"),
           Drug("0000061", "Mnoho latek", "TBL NOB", "", "C09CA01"),
           Drug("0000062", "Skupina nula", "TBL NOB", "", "C09AA05"),
           Drug("0000063", "Skupina minus", "TBL NOB", "", "C09CA01")});

    Table(dir, "atc", "atckod", 166, {0, 7, 0, 7},
          {Atc("A11CC05", "Kolekalciferol", 'C'), Atc("C09AA05", "Ramipril", 'B'),
           Atc("C09CA01", "Losartan", 'B'), Atc("M", "Svalová a kosterní soustava"),
           Atc("M01", "Protizánětlivá a antirevmatická léčiva"), Atc("M01A", "Nesteroidní antiflogistika"),
           Atc("M01AB", "Deriváty kyseliny octové"), Atc("M01AB05", "Diklofenak", 'H'),
           Atc("M01AB15", "Ketorolak", 'H'), Atc("M01AE", "Deriváty kyseliny propionové"),
           Atc("M01AE01", "Ibuprofen", 'F'), Atc("M01AE02", "Naproxen", 'F'), Atc("N", "Nervový systém"),
           Atc("N02", "Analgetika"), Atc("N02B", "Jiná analgetika a antipyretika"),
           Atc("N02BA", "Kyselina salicylová a deriváty"), Atc("N02BA01", "Kyselina acetylsalicylová", 'P'),
           Atc("N02BE", "Anilidy"), Atc("N02BE01", "Paracetamol", 'R')});

    std::vector<std::string> klc = {
        Klc("0000011", " 101", 'L', "   500", "MG"), Klc("0000012", " 101", 'L', "500", "MG"),
        Klc("0000013", " 102", 'L', "   500", "MG"), Klc("0000021", " 201", 'L', "   400", "MG"),
        Klc("0000022", " 202", 'L', "   250", "MG"), Klc("0000031", " 203", 'L', "    50", "MG"),
        Klc("0000032", " 204", 'L', "    10", "MG"), Klc("0000041", " 301", 'L', "    25", "UG"),
        Klc("0000041", " 302", 'L', "    25", "UG"), Klc("0000051", "    0", 'L', "      ", "PL"),
        Klc("0000051", " 301", 'L', "     5", "MG"), Klc("0000051", " 302", 'L', "  12.5", "MG"),
        Klc("0000051", " 303", 'S', "     7", "MG"), Klc("0000051", "   -1", 'L', "      ", "PL"),
        Klc("0000053", " 301", 'L', "    50", "MG")};
    for (int s = 401; s <= 432; ++s)
        klc.push_back(Klc("0000061", std::to_string(s).c_str(), 'L', "     1", "MG"));
    klc.push_back(Klc("0000062", "    0", 'L', "      ", "PL"));
    klc.push_back(Klc("0000063", "   -1", 'L', "      ", "PL"));
    Table(dir, "klc", "klclek", 21, {0, 7, 32, 7}, klc);

    Table(dir, "kk", "kkkod", 86, {0, 5, 0, 5},
          {Kk(" 101", "PARACETAMOL"), Kk(" 201", "IBUPROFEN"), Kk(" 301", "RAMIPRIL"),
           Kk(" 8003", "SKUPINA: NESTEROIDNÍ ANTIFLOGISTIKA")}); // 8100 has no record

    // Out of order on purpose; enough records for the header read.
    std::vector<std::pair<int32_t, int32_t>> pairs = {{301, 8100}, {203, 95000}, {101, 90001}, {302, 8100},
                                                      {203, 8003}, {204, 90002}, {201, 8003}};
    for (int i = 0; i < 30; ++i)
        pairs.push_back({1000 + i, 90100 + i});
    WriteKab(dir, pairs);
    return dir;
}

} // namespace dupfix
