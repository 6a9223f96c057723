// Which file is the configuration: a table of environments over a temporary
// home folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <map>

#include "tests/frame/config_test_support.h"

using namespace configtest;

TEST(ConfigLocate, TableOfEnvironments)
{
    struct Case {
        const char* name;
        std::map<std::string, std::string> env; // "@" stands for the temporary folder
        std::vector<std::string> files;         // created below the temporary folder
        std::string configPath;
        std::string fallbackPath; // "" when ConfigPath exists
    };
    const Case cases[] = {
        {"NODALCFG names the file",
         {{"NODALCFG", "@/cfg/my.ini"}, {"HOME", "@/home"}},
         {"home/kalvo.ini"},
         "@/cfg/my.ini",
         "@/prog/nodal.cfg"},
        {"NODALCFG of an existing file", {{"NODALCFG", "@/cfg/my.ini"}}, {"cfg/my.ini"}, "@/cfg/my.ini", ""},
        {"USERPROFILE with the file",
         {{"USERPROFILE", "@/profile"}, {"APPDATA", "@/appdata"}},
         {"profile/kalvo.ini"},
         "@/profile/kalvo.ini",
         ""},
        {"USERPROFILE without the file: APPDATA, existing or not",
         {{"USERPROFILE", "@/profile"}, {"APPDATA", "@/appdata"}},
         {},
         "@/appdata/kalvo.ini",
         "@/prog/nodal.cfg"},
        {"USERPROFILE wins over HOME",
         {{"USERPROFILE", "@/profile"}, {"HOME", "@/home"}},
         {"profile/kalvo.ini", "home/kalvo.ini"},
         "@/profile/kalvo.ini",
         ""},
        {"HOME with the file",
         {{"HOME", "@/home"}},
         {"home/kalvo.ini", "home/.config/kalvo.ini"},
         "@/home/kalvo.ini",
         ""},
        {"HOME without the file: ~/.config",
         {{"HOME", "@/home"}},
         {"home/.config/kalvo.ini"},
         "@/home/.config/kalvo.ini",
         ""},
        {"HOME without any file", {{"HOME", "@/home"}}, {}, "@/home/.config/kalvo.ini", "@/prog/nodal.cfg"},
        {"XDG_CONFIG_HOME before ~/.config",
         {{"HOME", "@/home"}, {"XDG_CONFIG_HOME", "@/xdg"}},
         {"home/.config/kalvo.ini"},
         "@/xdg/kalvo.ini",
         "@/prog/nodal.cfg"},
        {"nothing set: the program folder's file in any letter case",
         {},
         {"prog/Nodal.CFG"},
         "@/prog/Nodal.CFG",
         ""},
        {"nothing set and no file", {}, {}, "@/prog/nodal.cfg", "@/prog/nodal.cfg"},
        {"empty values count as unset",
         {{"NODALCFG", ""}, {"USERPROFILE", ""}, {"HOME", "@/home"}},
         {"home/kalvo.ini"},
         "@/home/kalvo.ini",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const std::string root = dir.path().toStdString();
        auto expand = [&](const std::string& s) {
            std::string r = s;
            if (!r.empty() && r[0] == '@')
                r = root + r.substr(1);
            return r;
        };
        QDir().mkpath(QString::fromStdString(root + "/prog"));
        for (const std::string& f : c.files) {
            const std::string p = root + "/" + f;
            QDir().mkpath(QString::fromStdString(p.substr(0, p.find_last_of('/'))));
            WriteBytes(p, "[QEV other]\r\n");
        }
        ConfigFile config;
        config.Locate(root + "/prog/", [&](const char* name) {
            auto it = c.env.find(name);
            return it == c.env.end() ? std::string() : expand(it->second);
        });
        EXPECT_EQ(config.ConfigPath(), expand(c.configPath));
        EXPECT_EQ(config.FallbackConfigPath(), expand(c.fallbackPath));
    }
}

TEST(ConfigLocate, BackupNames)
{
    EXPECT_EQ(BackupPathOf("/home/u/kalvo.ini"), "/home/u/kalvo.BAK");
    EXPECT_EQ(BackupPathOf("/opt/v1.2/nodal"), "/opt/v1.2/nodal.BAK");
    EXPECT_EQ(BackupPathOf("/home/u/.kalvorc"), "/home/u/.kalvorc.BAK");
    EXPECT_EQ(BackupPathOf("a.b.cfg"), "a.b.BAK");
}
