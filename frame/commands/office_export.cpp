#include "frame/commands/office_export.h"

#include <QStandardPaths>
#include <QStringList>

#include <atomic>
#include <chrono>

#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/commands/dispatcher.h"
#include "frame/message_box.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/data_form.h"
#include "platform/fs.h"
#include "platform/gui/shell.h"
#include "platform/system.h"

namespace {

constexpr int64_t kKeepNanoseconds = int64_t{3600} * 1000000000;
// The CSV import without its dialog: ";" between fields, '"' around texts,
// code page 1250 (the suite's number of it), from line 1.
constexpr const char* kCsvFilter = "--infilter=CSV:59,34,33,1";

std::string Ui(const char* key)
{
    return LookupText(UiTexts, "Office", key);
}

bool Export(TDataForm* form, OfficeTarget target)
{
    if (form == nullptr)
        form = ActiveDataForm();
    if (form == nullptr || form->IsEmpty())
        return false;
    const bool sheet = target == OfficeTarget::Spreadsheet;
    // The clipboard is filled first, so it holds the data whatever follows.
    form->Schrankuj();
    StatCount(StatCodeOfText(sheet ? "oCE" : "oCW"));
    const QString program = FindOfficeProgram();
    if (program.isEmpty()) {
        ShowError(Ui(sheet ? "noExcel" : "noWord"));
        return false;
    }
    const std::string folder = OfficeFolder();
    if (folder.empty()) {
        ShowError(Ui(sheet ? "errExcel" : "errWord") + TempFolder());
        return false;
    }
    static std::atomic<int> serial{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    const std::string path =
        folder + "kalvo-" + std::to_string(now) + "-" + std::to_string(++serial) + (sheet ? ".csv" : ".rtf");
    // A failure is reported there ("Chyby.FileSave", the path, the reason).
    if (!ExportDataWindow(form, path))
        return false;
    const int r =
        CurrentShell().StartDetached(program, OfficeArguments(target, QString::fromStdString(path)));
    if (r <= 32) {
        ShowError(Ui(sheet ? "errExcel" : "errWord") + program.toStdString());
        return false;
    }
    return true;
}

} // namespace

QString FindOfficeProgram()
{
    for (const char* name : {"soffice", "libreoffice"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QStringList OfficeArguments(OfficeTarget target, const QString& file)
{
    if (target == OfficeTarget::Spreadsheet)
        return {QStringLiteral("--calc"), QString::fromLatin1(kCsvFilter), QStringLiteral("-n"), file};
    return {QStringLiteral("--writer"), QStringLiteral("-n"), file};
}

std::string OfficeFolder()
{
    const std::string folder = TempFolder() + "kalvo-office-" + std::to_string(UserId());
    if (MakePrivateFolder(folder) != 0)
        return {};
    int64_t now = 0;
    const std::string probe = folder + "/.now";
    if (WriteFileAtomic(probe, "") == 0 && ModifiedTime(probe, &now)) {
        for (const FolderEntry& e : ListFolder(folder)) {
            int64_t at = 0;
            const std::string path = folder + "/" + e.name;
            if (e.kind == FolderEntry::Kind::File && e.name != ".now" && ModifiedTime(path, &at) &&
                now - at > kKeepNanoseconds)
                RealFileSystem().Remove(path);
        }
    }
    return folder + "/";
}

bool ExportToSpreadsheet(TDataForm* form)
{
    return Export(form, OfficeTarget::Spreadsheet);
}

bool ExportToWordProcessor(TDataForm* form)
{
    return Export(form, OfficeTarget::WordProcessor);
}

void RegisterOfficeExportCommands()
{
    RegisterCommandHandler("ExportToSpreadsheet", [](const CommandCall&) { ExportToSpreadsheet(); });
    RegisterCommandHandler("ExportToWordProcessor", [](const CommandCall&) { ExportToWordProcessor(); });
}
