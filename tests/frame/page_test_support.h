#pragma once
// Shared by the page and icon tests: a GUI application for fonts and the hint
// window, and text tables compiled from a few lines of source.

#include <gtest/gtest.h>

#include "datastore/text_table.h"
#include "tests/support/gui_app.h"
#include "tests/support/text_tables.h"

#include <string>
#include <string_view>

namespace page_test {

inline void EnsureApp()
{
    test_support::EnsureGuiApp();
}

using test_support::CompileTable;

// Installs tables as UiTexts and DataTexts for one test and puts the old ones back.
class ScopedTextTables {
public:
    ScopedTextTables(std::string_view uiSource, std::string_view dataSource = "[Empty]\nx=y\n")
        : ui_(UiTexts, CompileTable(uiSource)), data_(DataTexts, CompileTable(dataSource))
    {}

private:
    test_support::ScopedTextTable ui_;
    test_support::ScopedTextTable data_;
};

} // namespace page_test
