#pragma once
// The readable sources of the icon programs and pictures (resources/icons/,
// docs/formats/icon-program.md) and their compilation into entries of
// section "Pict" of the program's text tables.
//
//   KEY.icon     one path program: commands "M x y", "L x y" and
//                "C x1 y1 x2 y2 x y" on the 0-255 grid, "#" comments
//   KEY.picture  one picture: a line per part, "BBGGRR fill|line SCALE REF"
//
// A program must start with M, stay within 255 bytes (85 triples), give every
// curve its three points and keep every number within 0-255.

#include <string>
#include <string_view>
#include <vector>

namespace iconsrc {

struct Error {
    std::string file;
    int line = 0; // 0 when the error concerns the whole file
    std::string reason;
    std::string Message() const; // "file:line: reason"
};

// The program bytes: triples (0 move, 1 line, 2 curve + two triples), x, y.
bool CompileIconProgram(std::string_view text, const std::string& fileName, std::string& out, Error& err);
// The picture value: parts "CCCCCCMSref" joined by "|".
bool CompilePicture(std::string_view text, const std::string& fileName, std::string& out, Error& err);

struct PictEntry {
    std::string key;
    std::string value; // bytes as the table must hold them
};
// Every KEY.icon and KEY.picture of the folder, sorted by key.  Keys are
// letters and digits, at most 14 of them ("Pict." + key fits a 19-character
// text reference).
bool CompileIconFolder(const std::string& folder, std::vector<PictEntry>& out, Error& err);

// The entries as a "[Pict]" section in the text-table source form, every byte
// of a value escaped as \xHH so that it reaches the table unconverted.
std::string PictSectionSource(const std::vector<PictEntry>& entries);

} // namespace iconsrc
