#pragma once
// The sources of a disease classification (demo/mkn/, demo/mkno/): UTF-8
// files whose entries are written in the documents' rich-text markup
// (writers/ctrl_markup.h), together with the lines of the word list.
//
//   @entry A00            an entry keyed by its code; markup lines follow
//   @topic Úvodní pokyny  an entry keyed by the title's topic abbreviation
//                         (AbbreviateTopic, as the program follows the
//                         links and references that name it)
//   @word A00 Cholera     a line of the word list, in source order
//
// The entries of all "*.txt" files of the folder, in name order; the first
// entry of the first file is entry 0.

#include <string>
#include <vector>

#include "writers/mkn_writer.h"

struct MknSourceError {
    std::string file;
    int line = 0;
    std::string reason;
    std::string Text() const { return file + ":" + std::to_string(line) + ": " + reason; }
};

struct MknSources {
    std::vector<MknSourceEntry> entries;
    std::vector<std::string> words; // data code page
    std::vector<MknSourceError> errors;
};

// Adds the entries and word lines of one source.  False after any fault.
bool ParseMknSource(std::string_view utf8, const std::string& fileName, MknSources& out);
// Every "*.txt" of the folder, in name order.
bool LoadMknSources(const std::string& folder, MknSources& out);

// Builds "<name>.dat" and "<name>.slw" from a source folder; false with the
// faults in `errors` (the file bytes are then left empty).
bool BuildMknFromFolder(const std::string& folder, std::string& file, std::string& wordList,
                        std::vector<std::string>& errors);
