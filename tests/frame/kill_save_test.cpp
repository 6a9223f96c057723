// The settings file survives a kill at any moment of its save: a child saves
// in a loop while the parent kills it (see tests/support/kill_harness.h).

#include <gtest/gtest.h>

#include <string>

#include "frame/config/config_file.h"
#include "platform/fs.h"
#include "support/kill_harness.h"
#include "tests/frame/config_test_support.h"

namespace {

int VersionIn(const std::string& text)
{
    const size_t at = text.find("version ");
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 8);
}

TEST(KillSave, ASettingsSaveKilledAnywhereLeavesAWholeFile)
{
    if (kill_test::ThreadSanitized())
        GTEST_SKIP() << "the thread sanitizer slows a forked child too much";
    // Every save changes a value and the file's length; a section the
    // program does not own is carried from save to save.
    kill_test::Kind kind;
    kind.name = "settings";
    kind.files = {"kalvo.ini"};
    kind.save = [](const std::string& folder, int k, const std::function<void()>&) {
        ConfigFile config;
        config.SetPaths(folder + "kalvo.ini", "");
        config.Load(configtest::TestInput());
        config.Update([k](ConfigValues& v) {
            v.notesEditor = "/opt/editor/version " + std::to_string(k) + "/" + std::string(k % 97, 'e');
            v.SignListName = k % 2 ? "ODD" : "";
        });
        config.Save(false);
    };
    // A first save writes what a second one keeps (a file without TOOLBAR=
    // gets one that a later load reads otherwise): the versions start
    // after it.
    kind.prepare = [&](const std::string& folder) {
        configtest::WriteBytes(folder + "kalvo.ini", configtest::CrLf({"[Mine]", "keep=1"}));
        kind.save(folder, 0, nullptr);
    };
    kind.version = [](const std::string& folder) {
        std::string text;
        return ReadWholeFile(folder + "kalvo.ini", text) == 0 ? VersionIn(text) : -1;
    };
    kind.nextStart = [](const std::string& folder, int k) -> std::string {
        ConfigFile config;
        config.SetPaths(folder + "kalvo.ini", "");
        config.Load(configtest::TestInput());
        if (config.LoadFailed() || config.LoadedPath() != folder + "kalvo.ini")
            return "the start did not read the file";
        if (VersionIn(config.Snapshot().notesEditor) != k)
            return "the start read " + config.Snapshot().notesEditor;
        if (configtest::ReadBytes(folder + "kalvo.ini").find("[Mine]\r\nkeep=1\r\n") == std::string::npos)
            return "the carried section is gone";
        return "";
    };
    kill_test::Run(kind).Go();
}

} // namespace
