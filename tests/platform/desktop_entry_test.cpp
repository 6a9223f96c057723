// Menu and desktop entries: Exec= quoted so that a desktop splits it back
// into the target, files the validator accepts, the user's XDG folders, and
// a failed write that leaves the old entry.

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <optional>
#include <sys/stat.h>

#include "platform/desktop_entry.h"
#include "platform/fs.h"
#include "tests/support/failing_file_system.h"
#include "tests/support/user_folders.h"

namespace {

// The value of a key of an entry's text, its string escapes undone.
std::string Value(const std::string& text, const std::string& key)
{
    const size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos)
        return "<none>";
    const size_t start = at + key.size() + 2;
    const std::string raw = text.substr(start, text.find('\n', start) - start);
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            out += raw[i];
            continue;
        }
        const char c = raw[++i];
        out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
    return out;
}

// Exec= split into arguments as the Desktop Entry Specification reads it.
std::vector<std::string> SplitExec(const std::string& exec)
{
    std::vector<std::string> args;
    std::optional<std::string> cur;
    bool quoted = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size()) {
                *cur += exec[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                *cur += c;
            }
        } else if (c == ' ') {
            if (cur)
                args.push_back(*cur);
            cur.reset();
        } else {
            if (!cur)
                cur.emplace();
            if (c == '"')
                quoted = true;
            else
                *cur += c;
        }
    }
    if (cur)
        args.push_back(*cur);
    for (std::string& a : args) {
        std::string plain;
        for (size_t i = 0; i < a.size(); ++i) {
            plain += a[i];
            if (a[i] == '%' && i + 1 < a.size() && a[i + 1] == '%')
                ++i;
        }
        a = plain;
    }
    return args;
}

// desktop-file-validate's complaints about a file (errors only).
std::string ValidatorErrors(const std::string& path)
{
    QProcess p;
    p.start(QStringLiteral("desktop-file-validate"), {QString::fromStdString(path)});
    if (!p.waitForFinished(20000))
        return "desktop-file-validate did not run";
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    QStringList errors;
    for (const QString& line : out.split(QLatin1Char('\n')))
        if (line.contains(QStringLiteral("error:")))
            errors << line;
    return errors.join(QLatin1Char('\n')).toStdString();
}

std::string Read(const std::string& path)
{
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

} // namespace

TEST(DesktopEntry, ExecSplitsBackIntoTheTargetAndTheValidatorAccepts)
{
    QTemporaryDir tmp;
    const std::string targets[] = {
        "/opt/kalvo app/qevw.sh", "/tmp/a$HOME/qevw",  "/tmp/100%/qevw", "/tmp/say \"hi\"/qevw",
        "/tmp/back\\slash/qevw",  "/tmp/tick`x`/qevw", "/usr/bin/qevw",
    };
    int n = 0;
    for (const std::string& target : targets) {
        ShellLink link;
        link.target = target;
        link.workingFolder = target.substr(0, target.rfind('/'));
        link.icon = link.workingFolder + "/qev.ico";
        link.description = "KALVO Win";
        const std::string path = tmp.path().toStdString() + "/entry" + std::to_string(n++) + ".desktop";
        const DesktopEntryResult r = CreateShellLink(path, link);
        ASSERT_TRUE(r.ok) << r.reason;
        const std::string text = Read(path);
        EXPECT_EQ(SplitExec(Value(text, "Exec")), std::vector<std::string>{target}) << text;
        EXPECT_EQ(Value(text, "Path"), link.workingFolder);
        EXPECT_EQ(Value(text, "Icon"), link.icon);
        EXPECT_EQ(Value(text, "Name"), "KALVO Win");
        EXPECT_EQ(Value(text, "Type"), "Application");
        EXPECT_EQ(ValidatorErrors(path), "") << text;
    }
}

TEST(DesktopEntry, EntriesGoToTheUsersMenuAndDesktopAsExecutableFiles)
{
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    test_support::ScopedUserFolders folders(root);
    ShellLink link;
    link.target = "/opt/kalvo/qevw";
    link.description = "KALVO Win";

    const DesktopEntryResult menu = CreateStartMenuLink(link, "KALVO Win", "KALVO");
    ASSERT_TRUE(menu.ok) << menu.reason;
    EXPECT_EQ(menu.path, root + "/data/applications/KALVO/KALVO Win.desktop");
    const DesktopEntryResult top = CreateStartMenuLink(link, "Corvana", "");
    EXPECT_EQ(top.path, root + "/data/applications/Corvana.desktop");
    const DesktopEntryResult desk = CreateDesktopLink(link, "KALVO Win");
    ASSERT_TRUE(desk.ok) << desk.reason;
    EXPECT_EQ(desk.path, root + "/home/Desktop/KALVO Win.desktop");
    for (const std::string& p : {menu.path, top.path, desk.path}) {
        struct stat st {};
        ASSERT_EQ(stat(p.c_str(), &st), 0) << p;
        EXPECT_EQ(st.st_mode & 0777, 0755u) << p;
        EXPECT_EQ(Value(Read(p), "Path"), "<none>") << "no working folder given";
        EXPECT_EQ(ValidatorErrors(p), "");
    }
}

TEST(DesktopEntry, AFailedWriteLeavesTheOldEntryAndNoTemporaryFile)
{
    QTemporaryDir tmp;
    const std::string path = tmp.path().toStdString() + "/KALVO Win.desktop";
    ShellLink link;
    link.target = "/old/qevw";
    link.description = "KALVO Win";
    ASSERT_TRUE(CreateShellLink(path, link).ok);
    const std::string before = Read(path);
    for (auto step :
         {test_support::FailingFileSystem::Step::Create, test_support::FailingFileSystem::Step::Write,
          test_support::FailingFileSystem::Step::Rename}) {
        test_support::FailingFileSystem fs;
        fs.failAt = step;
        fs.error = ENOSPC;
        link.target = "/new/qevw";
        const DesktopEntryResult r = CreateShellLink(path, link, fs);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.path, path);
        EXPECT_EQ(r.reason, SystemErrorText(ENOSPC));
        EXPECT_EQ(Read(path), before);
        EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("KALVO Win.desktop")});
    }
}
