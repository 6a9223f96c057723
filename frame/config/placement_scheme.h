#pragma once
// The placement table of data windows and the three stored placement schemes
// ("[QEVW sch1]" .. "[QEVW sch3]" of the configuration file).
//
// A window kind is three letters packed in 5 bits each: first letter in bits
// 10-14, second in 5-9, third in 0-4, 'A' = 1.  Rectangles are in per mille
// of the main window's client area.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct PlacementRecord {
    uint8_t scheme = 0;   // 0 free; 2, 3, 4 = schemes 1, 2, 3
    uint8_t category = 0; // CategoryOfKind(kind)
    uint16_t kind = 0;    // window kind, bit 15 clear
    int32_t top = 0;
    int32_t left = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const PlacementRecord&) const = default;
};

constexpr size_t kPlacementRecords = 100;
using PlacementTable = std::array<PlacementRecord, kPlacementRecords>;

constexpr int kFirstScheme = 2;
constexpr int kLastScheme = 4;

// The table and the cascade steps of each scheme (index scheme - 2).
struct PlacementSchemes {
    PlacementTable table{};
    std::array<int32_t, 3> shiftRight{};
    std::array<int32_t, 3> shiftDown{};

    bool operator==(const PlacementSchemes&) const = default;
};

// Older files name windows with two or three letters; this literal maps each
// old code to its current one: " OLD=NEW OLD=NEW ...", 83 pairs.
extern const std::string_view kOldKindCodes;

// The kind of a three-letter code (each character's low 5 bits).
uint16_t PackKindCode(std::string_view threeLetters);
// The three letters of a kind (each 5-bit value + 64).
std::string KindCodeText(uint16_t kind);

// The category of a window kind: kinds of one family share the high bits of
// their category.  0 for a kind that is not in the table or has no first
// letter; bit 15 plays no part.
uint8_t CategoryOfKind(uint16_t kind);
// Number of kinds the category table holds.
size_t CategoryTableSize();

// Whether placement lines of this load use the old naming; decided at the
// first placement line of any scheme section.
enum class SchemeNaming { Undecided, Old, Current };

// A number of the configuration file: decimal digits with an optional sign
// and blanks around them, within the range of a signed 32-bit value.
bool ParseConfigInt(std::string_view text, int32_t& value);

// Reads one line of the section of scheme `scheme` (2..4): "SFTRIGHT=n",
// "SFTDOWN=n" or "ABC=left,top,width,height".  Lines that do not fit are
// ignored (see docs/formats/config.md).
void ReadSchemeLine(PlacementSchemes& schemes, int scheme, std::string_view line, SchemeNaming& naming);

// Reads the lines of one scheme section (the lines after its header up to
// the next "[" line).
void ReadScheme(PlacementSchemes& schemes, int scheme, const std::string_view* lines, size_t count,
                SchemeNaming& naming);

// True when no record of the table belongs to the scheme.
bool SchemeIsEmpty(const PlacementSchemes& schemes, int scheme);

// The built-in records of the scheme, in the free records from the first
// free one on (as many as fit), and its default steps.
void SetDefaultScheme(PlacementSchemes& schemes, int scheme);

// Appends the three scheme sections, each ended by one empty line, with
// CR LF line ends.
void WriteSchemes(const PlacementSchemes& schemes, std::string& out);
