#pragma once
// Shared by the page and icon tests: a GUI application for fonts and the hint
// window, and text tables compiled from a few lines of source.

#include <gtest/gtest.h>

#include "datastore/text_table.h"
#include "writers/text_table_writer.h"

#include <QApplication>

#include <string>
#include <string_view>

namespace page_test {

inline void EnsureApp()
{
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "page_test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv); // lives for the whole test run
    }
}

// A table compiled from text-table source (UTF-8, "[Section]" and "Key=Value").
inline TextTablePtr CompileTable(std::string_view source)
{
    std::string bytes;
    textsrc::Error err;
    EXPECT_TRUE(textsrc::CompileSource(source, "test.ini", textsrc::kDefaultStamp, bytes, err)) << err.Message();
    TextTablePtr table;
    EXPECT_GE(LoadTextTableFromBytes(table, bytes), TextTableResult::FirstSuccess);
    return table;
}

// Installs tables as UiTexts and DataTexts for one test and puts the old ones back.
class ScopedTextTables {
public:
    ScopedTextTables(std::string_view uiSource, std::string_view dataSource = "[Empty]\nx=y\n")
        : oldUi_(UiTexts.Get()), oldData_(DataTexts.Get())
    {
        UiTexts.Set(CompileTable(uiSource));
        DataTexts.Set(CompileTable(dataSource));
    }
    ~ScopedTextTables()
    {
        UiTexts.Set(oldUi_);
        DataTexts.Set(oldData_);
    }

private:
    TextTablePtr oldUi_;
    TextTablePtr oldData_;
};

} // namespace page_test
