#pragma once
// Runs html5lib's strict parser (tests/support/check_html.py) over a folder
// of pages written by a test.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <filesystem>
#include <string>

namespace html_check {

// An empty folder below the build folder for one set of pages.
inline std::filesystem::path FreshFolder(const std::string& name)
{
    const std::filesystem::path dir = std::filesystem::path(QEVW_BINARY_DIR) / "html-check" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline void ExpectValid(const std::filesystem::path& dir)
{
    QProcess p;
    p.start("/usr/bin/python3",
            {QString::fromStdString(std::string(QEVW_SOURCE_DIR) + "/tests/support/check_html.py"),
             QString::fromStdString(dir.string())});
    ASSERT_TRUE(p.waitForFinished(600000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    ASSERT_NE(p.exitCode(), 2) << "python3-html5lib is missing (scripts/setup installs it)";
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString() << err.toStdString();
}

} // namespace html_check
