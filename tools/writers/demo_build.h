#pragma once
// The demo data-set builder: reads the editable sources of demo/ (UTF-8 CSV
// tables, text-table sources, rich-text documents) into memory, checks the
// rules that tie the files together, and writes the complete data folder,
// the manifest last.  The scale mode (demo_scale.h) replaces the large tables
// and documents of the same in-memory set with synthetic ones before writing.
//
//   DemoLog log(print);
//   DemoDataSet set;
//   if (LoadDemoSources(srcDir, set, log) && CheckDemoDataSet(set, log))
//       WriteDemoFolder(outDir, set, log);
//
// Every step reports through the log and returns false after an error; no
// file is written unless loading and checking passed.  The output depends on
// the sources alone: the manifest's date is the release date of
// demo/release.csv, never the clock.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "writers/csv_source.h"
#include "writers/demo_common.h"
#include "writers/demo_layouts.h"
#include "writers/text_table_writer.h"
#include "writers/x6_writer.h"

// One compressed-text file of the folder ("letak.dat") being filled.
struct DemoDocFile {
    std::string family; // file name without ".dat"
    bool compressed = true;
    bool numbered = false; // records carry the numbered-heading flag
    int minItems = 10;     // records get at least this many items
    std::unique_ptr<X6Writer> writer;
    std::map<std::string, uint32_t> offsets; // record name -> head offset
    uint64_t textBytes = 0;                  // decoded text, for the measurements
};

struct DemoDataSet {
    // Data records of each record table (records[i] is record number i + 1).
    std::map<std::string, std::vector<std::string>> records;
    // Where each record came from ("kl.csv:12"); empty for made records.
    std::map<std::string, std::vector<std::string>> origins;
    // Compressed-text files by family.
    std::map<std::string, DemoDocFile> docs;
    // symbol.dat, the limitation legend (rich text, no header).
    std::string symbol;
    // kalvo.hla, the second help file, and doping.dat, the doping list.
    std::string helpFile, dopingFile;
    // The disease classifications and their word lists (mkn.dat, mkn.slw,
    // mkno.dat, mkno.slw).
    std::string mknFile, mknWords, mknoFile, mknoWords;
    // The pictures the documents show (code 25): path below the folder
    // ("pictures/LET_PICT/a/amlobrzobr1.png") and size.
    struct Picture {
        std::string path;
        int width = 0;
        int height = 0;
    };
    std::vector<Picture> pictures;
    // Whether products with a photo get one ("photos/CODE.png"); the large
    // synthetic set goes without.
    bool photos = true;
    // The data text tables: sources as parsed (with the generated sections)
    // and the compiled bytes.
    textsrc::Source ces, ang;
    std::string cesBytes, angBytes;
    // Drug codes of the shipped user sign list "VIDUD".
    std::vector<std::string> vidudCodes;
    // Release: the manifest's date and edition letters.
    int year = 0, month = 0, day = 0;
    std::string ware;
    uint16_t klStamp = kDemoKlStamp;

    const std::vector<std::string>& Records(const std::string& id) const;
    std::string Origin(const std::string& id, size_t index) const;
};

// The document families of the folder and how their records are written.
// `ind_ome` is stored with exactly one item per record; the others are
// compressed with at least 10 items.
DemoDocFile MakeDemoDocFile(const std::string& family);
const std::vector<std::string>& DemoDocFamilies();

// Items of a document record: one per paragraph start (code 19, or code 18
// with the heading styles 10 and 11), padded to `minItems`, at most 255; a
// "B" item first when `bValue` is not 0.  Each item is `itemSize` bytes.
std::vector<std::string> DemoDocItems(const std::string& text, int minItems, size_t itemSize,
                                      uint16_t bValue);

// Adds a record (rich text without its closing zero bytes for compressed
// files) under `name`; false with a message for a duplicate name, a name
// that is no record name, or a text the writer refuses.
bool AddDemoDocument(DemoDocFile& file, const std::string& name, const std::string& text, uint16_t bValue,
                     const std::string& where, DemoLog& log);

// Document markup (demo/README.md) -> rich text in the data code page.
// Errors name `file` and the line.  `items` (when given) receives the item
// count of an "@I n" directive, else -1.
bool DemoMarkupToCtrlText(std::string_view utf8, const std::string& file, std::string& out, uint16_t& bValue,
                          DemoLog& log, int* items = nullptr);

// Fills one record of `spec` from a CSV row.  Doc fields are resolved through
// the documents already loaded into `set`.
bool FillDemoRecord(const DemoTableSpec& spec, const CsvTable& csv, size_t row, const DemoDataSet& set,
                    std::string& rec, DemoLog& log);

// Reads every source of srcDir into `set`.
bool LoadDemoSources(const std::string& srcDir, DemoDataSet& set, DemoLog& log);

// Adds the generated sections to a text-table source and compiles it: the
// section "Nadpis" with "Odst" + each Odst key and "Ospc" + each Ospc key,
// and "DNV" as a copy of "Dnv".
bool CompileDemoTextTable(textsrc::Source& src, const std::string& name, std::string& bytes, DemoLog& log);

// The rules that tie the files together (the cross-file rules of the data
// folder reference): codes that point into other tables and text sections,
// counts kept in records, small files at least 185 bytes.
bool CheckDemoDataSet(const DemoDataSet& set, DemoLog& log);

// Sets the fields that follow from other tables (kl PEA = its kle records).
void DeriveDemoFields(DemoDataSet& set);

// Turns a loaded set into another release of the same data: the release
// date (the manifest's "date=" and "ver=", "Verze.Cislo", the year and
// quarter in "Stat.Nadpis"), "Verze.Nadpis" (`title` in UTF-8, when not empty) and
// the name of the first drug, which gets " " + the release stamp; the text
// tables are compiled again.  False with a message for a date before the
// set's own.
bool MakeDemoRelease(DemoDataSet& set, int year, int month, int day, const std::string& title, DemoLog& log);

// Writes the whole folder: record files and indexes, sign sets, word lists,
// documents, symbol.dat, text tables, the presence marker, and kalvo.kvo
// last (then checks it).
bool WriteDemoFolder(const std::string& outDir, const DemoDataSet& set, DemoLog& log);

// The kl.sgn sets of a drug record (the membership rules of the lists'
// filter), in file order: Actual, Act_Old, nVeter, nHomeo, ActReg, Prizes,
// Stocked, OnePack.  `releaseYear` decides which cancelled drugs are old.
std::array<bool, 8> DemoKlSigns(const std::string& rec, int releaseYear);

// The zlp table of the drug records: letters C, S, L and H, a threshold three
// months above the data month of "Verze.Cislo"; a drug is flagged for C when
// its record number is a multiple of 5, S when it leaves 1 divided by 7, L
// when it leaves 2 divided by 3 and H when it is a multiple of 11 (value 0),
// else not (value 12).
std::string DemoZlpFile(const DemoDataSet& set);

// Word-list lines: folded drug names with their flag characters.
std::string DemoKlWordList(const std::vector<std::string>& kl, int releaseYear);
