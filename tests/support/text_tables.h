#pragma once
// Text tables compiled from a few lines of source (UTF-8, "[Section]" and
// "Key=Value"), as the tests build them on the fly.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "datastore/text_table.h"
#include "writers/text_table_writer.h"

namespace test_support {

// The compiled file's bytes.
inline std::string CompileTableBytes(std::string_view source)
{
    std::string bytes;
    textsrc::Error err;
    EXPECT_TRUE(textsrc::CompileSource(source, "test.ini", textsrc::kDefaultStamp, bytes, err))
        << err.Message();
    return bytes;
}

// The compiled table, loaded.
inline TextTablePtr CompileTable(std::string_view source)
{
    TextTablePtr table;
    EXPECT_GE(LoadTextTableFromBytes(table, CompileTableBytes(source)), TextTableResult::FirstSuccess);
    return table;
}

// Puts a table in a slot (UiTexts, DataTexts) for one test, and the old one
// back.
class ScopedTextTable {
public:
    ScopedTextTable(TextTableSlot& slot, TextTablePtr table) : slot_(slot), old_(slot.Get())
    {
        slot_.Set(std::move(table));
    }
    ~ScopedTextTable() { slot_.Set(old_); }
    ScopedTextTable(const ScopedTextTable&) = delete;
    ScopedTextTable& operator=(const ScopedTextTable&) = delete;

private:
    TextTableSlot& slot_;
    TextTablePtr old_;
};

// UI and data texts for one test, each compiled from its source; the old
// tables go back afterwards.
class ScopedTexts {
public:
    ScopedTexts(std::string_view ui, std::string_view data)
        : ui_(UiTexts, CompileTable(ui)), data_(DataTexts, CompileTable(data))
    {}

private:
    ScopedTextTable ui_;
    ScopedTextTable data_;
};

} // namespace test_support
