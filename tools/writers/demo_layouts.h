#pragma once
// The record tables of the data folder as the demo builder writes them: each
// table's key indexes and how a source value becomes field bytes.  The fields
// themselves (names, descriptors, positions) are the table's layout in
// datastore/table_layouts.h, which the readers share.  Used by the builder's
// normal and scale modes and by the tests.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

struct DemoIndexSpec {
    std::string id;    // index identity = file name without ".sez"
    std::string field; // first key field
    int width = 0;     // key field width; 0 = the field's own width
    uint8_t type = 0;  // key type 0, 32, 160, 192
    int k = 0;         // key length in characters
};

// How a source value becomes field bytes.  Auto follows the descriptor family:
// text left-aligned, 0x80 family right-aligned with blanks, 0x90 digit codes
// zero-padded, 0xA0 quantities right-aligned, 0xB0 amounts, 0xF0 binary
// numbers little-endian.
enum class DemoForm {
    Auto,
    Left,           // text as given, even in a numeric family
    CDate,          // ISO date -> compact date (4 characters); other text as given
    PDate,          // ISO date -> packed date (u16)
    Doc,            // document name -> byte offset in the family's file
    Letter512,      // one letter c -> c x 512 (u16)
    SixBit,         // decimal number n -> 2n as three 6-bit characters
    DailyDose,      // "1.5" -> integer part right-aligned in 5, three decimals
    ClearingAmount, // an amount, or "c.c." -> "      cc."
};

struct DemoFieldRule {
    DemoFieldRule(std::string f, DemoForm fo = DemoForm::Auto, std::string fam = {}, int64_t def = 0)
        : field(std::move(f)), form(fo), family(std::move(fam)), binaryDefault(def)
    {}
    std::string field;
    DemoForm form = DemoForm::Auto;
    std::string family;        // Doc: the document file ("letak")
    int64_t binaryDefault = 0; // binary fields without a value
};

struct DemoTableSpec {
    std::string id;     // "kl"; the file is id + ".dat"
    std::string source; // "kl.csv"
    DatLayout layout;   // from FindTableLayout(id)
    std::vector<DemoIndexSpec> indexes;
    std::vector<DemoFieldRule> rules;
    uint16_t stamp = 0;

    const DemoFieldRule* Rule(std::string_view field) const;
    SezKeySpec Key(const DemoIndexSpec& ix) const;
};

// Every record table of the data folder, in the order of the manifest.
const std::vector<DemoTableSpec>& DemoTableSpecs();
// nullptr for an unknown identity.
const DemoTableSpec* FindDemoTableSpec(std::string_view id);
// Throws std::invalid_argument for an unknown identity (a builder bug).
const DemoTableSpec& DemoTable(std::string_view id);

// The kl data stamp of the demo set and of the synthetic set: bits 4-11 tell
// data sets apart between running copies of the program.
constexpr uint16_t kDemoKlStamp = 0x0D50;
constexpr uint16_t kScaleKlStamp = 0x0E60;
