#include "platform/desktop_entry.h"

#include <QStandardPaths>

#include <cerrno>

#include "platform/fs.h"

namespace {

// Menus and file managers start an entry only when its file is executable.
constexpr unsigned kEntryMode = 0755;

std::string Folder(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location).toStdString();
}

DesktopEntryResult Missing(const std::string& name)
{
    DesktopEntryResult r;
    r.path = name + ".desktop";
    r.reason = SystemErrorText(ENOENT);
    return r;
}

} // namespace

std::string DesktopExecArgument(std::string_view argument)
{
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}

std::string DesktopStringValue(std::string_view value)
{
    std::string out;
    for (char c : value) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::string DesktopEntryText(const ShellLink& link)
{
    std::string exec = DesktopExecArgument(link.target);
    if (!link.arguments.empty())
        exec += " " + DesktopExecArgument(link.arguments);
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=" + DesktopStringValue(link.description) + "\n";
    text += "Comment=" + DesktopStringValue(link.description) + "\n";
    text += "Exec=" + DesktopStringValue(exec) + "\n";
    if (!link.workingFolder.empty())
        text += "Path=" + DesktopStringValue(link.workingFolder) + "\n";
    if (!link.icon.empty())
        text += "Icon=" + DesktopStringValue(link.icon) + "\n";
    // A minimised start has no counterpart; no terminal is the nearest.
    text += "Terminal=false\n";
    return text;
}

DesktopEntryResult CreateShellLink(const std::string& linkPath, const ShellLink& link, FileSystemOps& ops)
{
    DesktopEntryResult r;
    r.path = linkPath;
    SaveMode mode;
    mode.makeFolders = true;
    mode.fileMode = kEntryMode;
    FileSaver saver(linkPath, ops, mode);
    saver.Write(DesktopEntryText(link));
    r.ok = saver.Commit();
    if (!r.ok)
        r.reason = saver.ErrorText();
    return r;
}

DesktopEntryResult CreateStartMenuLink(const ShellLink& link, const std::string& name,
                                       const std::string& subfolder, FileSystemOps& ops)
{
    std::string folder = ApplicationsFolder();
    if (folder.empty())
        return Missing(name);
    folder = WithTrailingSlash(folder);
    if (!subfolder.empty())
        folder = WithTrailingSlash(folder + subfolder);
    return CreateShellLink(folder + name + ".desktop", link, ops);
}

DesktopEntryResult CreateDesktopLink(const ShellLink& link, const std::string& name, FileSystemOps& ops)
{
    const std::string folder = DesktopFolder();
    if (folder.empty())
        return Missing(name);
    return CreateShellLink(WithTrailingSlash(folder) + name + ".desktop", link, ops);
}

std::string ApplicationsFolder()
{
    return Folder(QStandardPaths::ApplicationsLocation);
}

std::string DesktopFolder()
{
    return Folder(QStandardPaths::DesktopLocation);
}
