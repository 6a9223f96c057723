#pragma once
// A synthetic disease classification for the benchmarks: 15,000 entries in
// the real structure (chapters, groups keyed by range, categories with
// subcategories) and a word list of about 2 MB.  The same seed gives the
// same bytes.

#include <cstdint>
#include <string>

struct MknScaleSet {
    std::string file;  // mkn.dat
    std::string words; // mkn.slw
    int entries = 0;
};

constexpr int kMknScaleEntries = 15000;

// Throws X6Error when an entry cannot be written (it should not).
MknScaleSet MakeScaleClassification(uint64_t seed, int entries = kMknScaleEntries);
