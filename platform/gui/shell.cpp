#include "platform/gui/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <atomic>

namespace {

std::atomic<ShellOps*> g_shell{nullptr};

ShellOps& RealShell()
{
    static ShellOps shell;
    return shell;
}

bool LooksLikeAddress(const QString& target)
{
    return target.contains(QStringLiteral("://")) ||
           target.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive);
}

} // namespace

int ShellOps::OpenUrl(const QString& url)
{
    const QUrl u = LooksLikeAddress(url) ? QUrl(url) : QUrl::fromLocalFile(url);
    if (!u.isValid())
        return ShellResult::NotFound;
    return QDesktopServices::openUrl(u) ? ShellResult::Started : ShellResult::NoAssociation;
}

int ShellOps::StartDetached(const QString& program, const QStringList& arguments)
{
    const QFileInfo info(program);
    if (program.contains(QLatin1Char('/'))) {
        if (!info.exists())
            return ShellResult::NotFound;
        if (!info.isExecutable() || info.isDir())
            return ShellResult::AccessDenied;
    }
    return QProcess::startDetached(program, arguments) ? ShellResult::Started : ShellResult::NotFound;
}

ShellOps* SetShell(ShellOps* shell)
{
    return g_shell.exchange(shell);
}

ShellOps& CurrentShell()
{
    ShellOps* s = g_shell.load();
    return s ? *s : RealShell();
}

int ShellOpenTarget(const QString& target, const QStringList& arguments)
{
    if (target.isEmpty())
        return ShellResult::NotFound;
    if (LooksLikeAddress(target))
        return CurrentShell().OpenUrl(target);
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable())
        return CurrentShell().StartDetached(target, arguments);
    if (!info.exists())
        return ShellResult::NotFound;
    return CurrentShell().OpenUrl(target);
}
