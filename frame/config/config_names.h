#pragma once
// The colour and font values of the configuration file: colour names
// ("clRed", "clBtnFace") or "$" and eight hexadecimal digits, and fonts
// written as "name, size [style]".

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// A font as the file keeps it; windows build their QFont from it.
struct ConfigFont {
    std::string name; // code page 1250
    int size = 9;
    int style = 0; // bold 1, italic 2, underline 4, strike-out 8

    bool operator==(const ConfigFont&) const = default;
};

// Colours are 0x00BBGGRR values; system colours are 0xFF000000 + the system
// colour number (resolved to palette roles where drawn).
constexpr uint32_t kSystemColour = 0xFF000000u;
// The program's seven colours by default: clWindow, clWindowText,
// clAppWorkSpace, clGrayText, clBtnText, red, clBtnFace.
inline constexpr std::array<uint32_t, 7> kDefaultColourTable = {
    kSystemColour + 5,  kSystemColour + 8, kSystemColour + 12, kSystemColour + 17,
    kSystemColour + 18, 0x0000FFu,         kSystemColour + 15,
};
// The colour of a name ("clRed", "clBtnFace"); false for an unknown name.
bool ColourOfName(std::string_view name, uint32_t& colour);
// The colour as the file writes it: its name when it has one, else "$" and
// eight upper-case hexadecimal digits.
std::string ColourText(uint32_t colour);

// COLOURS=: up to seven comma-terminated items, each a colour name or "$"
// and at most eight hexadecimal digits; an unknown or malformed item keeps
// that colour as it was.
void ReadColours(std::string_view value, std::array<uint32_t, 7>& colours);
// FONTDLG= and its kind: "name, size [style]"; the default name for an empty
// one, size 9 unless it is 6 to 30, the style's low four bits.
ConfigFont ReadFont(std::string_view value);
// The font as the file writes it: "name, size [style]".
std::string FontText(const ConfigFont& font);
