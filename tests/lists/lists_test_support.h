#pragma once
// Shared by the list tests: the GUI application, the data-window host of the
// frame tests, and where screenshots go.

#include "frame/data_form_test_support.h"

namespace liststest {

using dftest::EnsureApp;
using dftest::Kam;
using dftest::ScreenshotDir;
using dftest::Settle;

// A base that makes the application before any widget member of a fixture.
struct WithApp {
    WithApp() { EnsureApp(); }
};

// Saves a grab into the build folder's screenshots for a person to look at.
inline void SaveShot(const QImage& image, const char* name)
{
    const QString path = QString::fromStdString(ScreenshotDir() + "/" + name);
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

} // namespace liststest
