#include "frame/commands/command_services.h"

#include "datastore/language.h"
#include "datastore/user_files.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "platform/fs.h"

namespace {

CommandServices& Table()
{
    static CommandServices t;
    return t;
}

void Missing(const char* name)
{
    AppendRunLog(std::string(name) + ": nothing registered\r\n");
}

template <class F, class... A>
void Call(F CommandServices::*member, const char* name, A&&... args)
{
    if (auto f = Table().*member)
        f(std::forward<A>(args)...);
    else
        Missing(name);
}

QString Ui(const char* section, const char* key)
{
    return KamToQString(LookupText(UiTexts, section, key));
}

} // namespace

CommandServices SetCommandServices(CommandServices services)
{
    CommandServices old = std::move(Table());
    Table() = std::move(services);
    return old;
}

// Tests register recorders for these; the program runs the data store's own.
template <class... P, class Fallback, class... A>
void CallOr(std::function<void(P...)> CommandServices::*member, Fallback fallback, A&&... args)
{
    if (auto f = Table().*member)
        f(std::forward<A>(args)...);
    else
        fallback(std::forward<A>(args)...);
}

void SwitchLanguage(char language)
{
    CallOr(
        &CommandServices::loadLanguage, [](char l) { LoadLanguage(l); }, language);
}
void SwitchSignList()
{
    CallOr(&CommandServices::loadSignList, [] { LoadSignList(); });
}
void SwitchRebuildSignList()
{
    CallOr(&CommandServices::rebuildSignList, [] { RebuildSignList(); });
}
void RunNotesImport()
{
    CallOr(&CommandServices::importNotes, [] { ImportNotes(); });
}
void RepositionDrugLists()
{
    Call(&CommandServices::repositionDrugLists, "RepositionDrugLists");
}

std::array<std::string, 5> ListSearchWords(TDataForm* list)
{
    if (auto f = Table().searchWordsOf)
        return f(list);
    return {};
}

std::string QtFilterOf(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns;
        for (const QChar c : parts[i + 1]) {
            if (c == QLatin1Char(';'))
                patterns += QLatin1Char(' ');
            else if (c.isLetter() && c.toLower() != c.toUpper())
                patterns += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
            else
                patterns += c;
        }
        out << parts[i] + QStringLiteral(" (") + patterns.trimmed() + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;")).toStdString();
}

std::string RunFileDialog(const FileDialogRequest& request)
{
    if (auto f = Table().fileDialog)
        return f(request);
    QFileDialog dialog(request.parent, QString(), QString::fromStdString(request.folder),
                       QString::fromStdString(QtFilterOf(request.filter)));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save || !request.existing ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.empty())
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    if (!request.proposed.empty())
        dialog.selectFile(QString::fromStdString(request.proposed));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first().toStdString();
}

bool FileStemInFolder(const std::string& path, const std::string& folder, std::string& stem)
{
    const size_t slash = path.rfind('/');
    const std::string in = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    if (WithTrailingSlash(in) != WithTrailingSlash(folder))
        return false;
    stem = path.substr(slash + 1);
    if (const size_t dot = stem.rfind('.'); dot != std::string::npos)
        stem.resize(dot);
    return true;
}

std::string ChooseExportFile(QWidget* parent, bool kind)
{
    const ConfigValues cfg = Config().Snapshot();
    FileDialogRequest r;
    r.parent = parent;
    r.folder = cfg.NotesFolder;
    r.defaultSuffix = Ui("Nastaveni", kind ? "SignZkr" : "SignZZkr").toStdString();
    r.filter = Ui("Nastaveni", kind ? "Sign" : "SignZ").toStdString();
    if (!kind && !cfg.SignListName.empty()) {
        const std::string base = cfg.NotesFolder + Cp1250ToUtf8(cfg.SignListName);
        for (const char* ext : {".TXT", ".CSV"}) {
            const std::string path = ResolvePath(base + ext);
            if (FileExists(path)) {
                r.proposed = path;
                break;
            }
        }
    }
    return RunFileDialog(r);
}

namespace {
std::function<void()>& StartPageMarks()
{
    static std::function<void()> f;
    return f;
}
} // namespace

void SetClearStartPageMarks(std::function<void()> call)
{
    StartPageMarks() = std::move(call);
}

void ClearStartPageMarks()
{
    if (StartPageMarks())
        StartPageMarks()();
}
