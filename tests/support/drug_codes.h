#pragma once
// A drug table of nothing but codes ("kl.dat" and its code index
// "klkod.sez"), as the tests of the user's files need it: drug i (1-based
// record number) has code 0000100 + i.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/table_layouts.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

namespace test_support {

inline std::string DrugCode(int record)
{
    return std::to_string(10000000 + 100 + record).substr(1);
}

// Writes the table of `drugs` records into `folder` (ending in "/").
inline void WriteDrugCodes(const std::string& folder, int drugs)
{
    const DatLayout kl(kKlLayout);
    std::vector<std::string> records;
    for (int r = 1; r <= drugs; ++r) {
        std::string rec = kl.BlankRecord();
        kl.PutText(rec, "KOD", DrugCode(r));
        records.push_back(rec);
    }
    ASSERT_EQ(WriteDatFile(folder + "kl.dat", kl, records), 0);
    ASSERT_EQ(WriteSezFile(folder + "klkod.sez", records, SezKeySpec{0, 7, 32, 7}), 0);
}

} // namespace test_support
