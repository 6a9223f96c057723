#pragma once
// The GUI application widget, font and clipboard tests need: made on first
// use and kept for the whole test run (Qt allows one per process).

#include <QApplication>

namespace test_support {

inline void EnsureGuiApp()
{
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "qevw_test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv); // lives for the whole test run
    }
}

} // namespace test_support
