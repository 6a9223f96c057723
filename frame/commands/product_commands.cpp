#include "frame/commands/product_commands.h"

#include <QDir>
#include <QIcon>
#include <QMdiSubWindow>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <memory>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/commands/command_services.h"
#include "frame/commands/document_kinds.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/viewer_windows.h"
#include "frame/config/config_file.h"
#include "frame/hooks.h"
#include "frame/message_box.h"
#include "frame/start/ipc.h"
#include "frame/windows/data_form.h"
#include "frame/windows/icon_holder.h"
#include "platform/ascii.h"
#include "platform/fs.h"
#include "platform/gui/shell.h"

namespace {

bool DataFilePresent(const std::string& name)
{
    return FileExists(ResolveInFolder(DataDir(), name));
}

// The drug record a window offers: its link of kind 6, the offered ones
// first.
int32_t OfferedDrugRecord(const TDataForm* w)
{
    if (w == nullptr)
        return 0;
    for (int i : {2, 1, 0})
        if (w->LinkKinds[static_cast<size_t>(i)] == LinkKind::Drug &&
            w->LinkValues[static_cast<size_t>(i)] > 0)
            return w->LinkValues[static_cast<size_t>(i)];
    return 0;
}

void ShowNoBrowser(const std::string& suffix)
{
    ShowError(ProgramText("Chyby", "NoBrowser") + suffix);
}

} // namespace

QPixmap IkonaImage(const char* name)
{
    static std::unique_ptr<TIkona> holder;
    if (!holder)
        holder = std::make_unique<TIkona>();
    return holder->Image(name);
}

std::string DrugCodeOfRecord(int32_t record)
{
    TDbTable t;
    DbStatus = 0;
    OpenTable(t, TFileId("kl"), TFileId(), 0);
    std::string code;
    if (DbStatus == 0) {
        std::string buf;
        ReadRecord(t.dat, record, buf);
        if (DbStatus == 0)
            code = std::string(FieldBytes(buf, kDrugCode));
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    DbStatus = 0;
    return code;
}

// --- Record viewers ---------------------------------------------------------------

void OpenRecordViewer(uint16_t code, bool fromMainWindow, uint16_t extra)
{
    StatCount(code);
    const DocumentKindRow* kind = DocumentKindOfCommand(code);
    if (kind == nullptr)
        return;
    const LinkKind linkKind = kind->link;
    TDataForm* main = MainDataForm();
    TDataForm* master = nullptr;
    int32_t value = 0;
    int32_t result = 1;
    if (fromMainWindow) {
        master = main;
        value = main != nullptr ? main->LinkValues[0] : 0;
    } else {
        result = FindDataWindow(code, linkKind, value, master);
        if (result == 0) {
            if (master != nullptr) {
                QWidget* w =
                    master->SubWindow() ? static_cast<QWidget*>(master->SubWindow()) : master->Widget();
                w->show();
                w->raise();
            }
            return;
        }
        if (result < 0)
            return;
    }
    if (value < 1)
        return;
    if (kind->IsPhoto()) {
        if (IsOnline() == 0) {
            ShowError(ProgramText("Chyby", "NoWeb"));
            return;
        }
    } else if (kind->openerChecksFile && !DataFilePresent(std::string(kind->documentFile) + ".dat")) {
        ShowError(ProgramText("Chyby", "NoData"));
        return;
    }
    RecordViewerWindow* viewer = MakeRecordViewer();
    if (viewer == nullptr) {
        AppendRunLog("TProhlizecN: nothing registered (" + KindLetters(code) + ")\r\n");
        return;
    }
    TDataForm& f = viewer->Form();
    if (master != nullptr && master != main) {
        std::array<std::string, 5> words = ListSearchWords(master);
        for (std::string& w : words)
            w = KamToWin(w);
        viewer->SetSearchWords(words);
    }
    f.LinkKinds = {linkKind, LinkKind::None, LinkKind::None};
    f.LinkValues[0] = value;
    viewer->SetDocument(kind->letter, extra);
    f.Master = master;
    f.Dependent = true;
    f.Kind = code;
    if (f.Widget())
        f.Widget()->setWindowIcon(QIcon(IkonaImage(std::string(kind->icon).c_str())));
    viewer->SetupViewer("Prohlizec." + std::string(kind->titleKey));
    f.ResetData(value);
    f.Dependent = !fromMainWindow && result == 1;
    viewer->SetSlaveButton(f.Dependent);
    f.PlaceAndShow(master == main);
}

void OpenNotesViewer(uint16_t code)
{
    TDataForm* master = nullptr;
    int32_t value = 0;
    const int32_t result = FindDataWindow(code, LinkKind::Drug, value, master);
    if (result == 0) {
        if (master != nullptr)
            master->Widget()->raise();
        return;
    }
    if (result < 0 || value < 1)
        return;
    NotesViewerWindow* viewer = MakeNotesViewer();
    if (viewer == nullptr) {
        AppendRunLog("TProhlizec: nothing registered (" + KindLetters(code) + ")\r\n");
        return;
    }
    TDataForm& f = viewer->Form();
    f.LinkKinds = {LinkKind::Drug, LinkKind::None, LinkKind::None};
    f.LinkValues[0] = value;
    viewer->SetDocumentLetter('N');
    f.Master = master;
    f.Dependent = true;
    f.Kind = code;
    if (f.Widget())
        f.Widget()->setWindowIcon(QIcon(IkonaImage("ILPoz")));
    viewer->SetTitle(ProgramText("Prohlizec", "Pozn"));
    f.ResetData(value);
    f.Dependent = result == 1;
    viewer->SetSlaveButton(f.Dependent);
    f.PlaceAndShow(master == MainDataForm());
}

// --- Documents and pages ------------------------------------------------------------

void OpenProductPdf(uint16_t code)
{
    const char letter = KindLetters(code)[2];
    const QString pattern = QString(QLatin1Char(letter)) + QStringLiteral("*.PDF");
    // Case ignored, the first by name.
    QStringList names;
    for (const QString& n :
         QDir(QString::fromStdString(DataDir())).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase))
        if (n.startsWith(QLatin1Char(letter), Qt::CaseInsensitive) &&
            n.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            names << n;
    if (names.isEmpty()) {
        MessageRequest m;
        m.icon = MessageIcon::Warning;
        m.buttons = MessageButtons::Ok;
        m.caption = QString::fromLatin1(kProgramCaption);
        m.text = KamToQString(ProgramText("Chyby", "FileNo")) + QString::fromStdString(DataDir()) + pattern;
        CurrentMessageSink().Show(m);
        return;
    }
    const std::string path = DataDir() + names.first().toStdString();
    const int r = ShellOpen(path, {}, false);
    if (r <= 32) {
        MessageRequest m;
        m.icon = MessageIcon::Error;
        m.buttons = MessageButtons::Ok;
        m.caption = QStringLiteral("Error");
        m.text = QStringLiteral("Unable to start external program: error") + QString::number(r);
        CurrentMessageSink().Show(m);
    }
}

void OpenProductWebPage(const std::string& productCode, const std::string& extra)
{
    std::string code = productCode;
    if (code.empty()) {
        const int32_t record = OfferedDrugRecord(ActiveDataForm());
        if (record <= 0)
            return;
        code = DrugCodeOfRecord(record);
        if (code.empty())
            return;
    }
    std::string address;
    if (GetTextEntry(UiTexts, "WGra", "web1", address) == 0 || address.empty()) {
        ShowNoBrowser("");
        return;
    }
    const std::string url = KamToQString(address + code + extra).toStdString();
    const int r = ShellOpen(url, {}, false);
    if (r < 33)
        ShowNoBrowser(std::to_string(r));
}

std::string ExternalDocumentName(const std::string& fileName, char textKind)
{
    std::string name = fileName.substr(0, std::min<size_t>(fileName.size(), 85));
    const bool nine = name.size() >= 9 && name[8] == '9';
    switch (textKind) {
    case 'R':
    case 'r': return name + ".kox";
    case 'S': return name + ".spx";
    case 'L': return name + ".lex";
    case 'E':
    case 'e': return name + ".ang";
    default: return name + (nine ? ".kox" : ".dat");
    }
}

std::string ExternalDocumentEntry(const std::string& extension)
{
    const ConfigValues cfg = Config().Snapshot();
    const std::string items = AsciiLower(cfg.chirItems + cfg.jipkaItems);
    std::string bare = extension;
    if (!bare.empty() && bare[0] == '.')
        bare.erase(0, 1);
    const std::string all = cfg.chirItems + cfg.jipkaItems;
    for (const std::string& key : {"." + bare, bare}) {
        const std::string needle = "|" + AsciiLower(key) + "=";
        const size_t p = items.find(needle);
        if (p == std::string::npos)
            continue;
        const size_t start = p + needle.size();
        const size_t end = all.find('|', start);
        return all.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    return {};
}

namespace {

// Blank-separated fields; a double-quoted field may hold blanks.
std::vector<std::string> SplitFields(const std::string& text)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        if (i >= text.size())
            break;
        std::string field;
        if (text[i] == '"') {
            const size_t end = text.find('"', i + 1);
            field = text.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? text.size() : end + 1;
        } else {
            const size_t end = text.find(' ', i);
            field = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? text.size() : end;
        }
        out.push_back(field);
    }
    return out;
}

} // namespace

void OpenExternalDocument(const std::string& documentName)
{
    const size_t dot = documentName.find('.');
    if (dot == std::string::npos)
        return;
    const std::string extension = documentName.substr(dot, 9);
    const std::string entry = ExternalDocumentEntry(extension);
    const std::vector<std::string> fields = SplitFields(entry);
    if (fields.size() < 2)
        return;
    const std::string folder = WithTrailingSlash(fields[0]);
    const std::string& program = fields[1];
    // The file without the program's own "9" mark of the extension.
    std::string file = documentName;
    if (file.size() > dot + 4 && file.back() == '9')
        file.pop_back();
    std::vector<std::string> candidates = {folder + file};
    if (file.size() >= 1)
        candidates.push_back(folder + file.substr(0, 1) + "/" + file);
    if (file.size() >= 2)
        candidates.push_back(folder + file.substr(0, 2) + "/" + file);
    QStringList arguments;
    for (const std::string& c : candidates) {
        const std::string path = ResolvePath(c);
        if (FileExists(path)) {
            arguments << QString::fromStdString(path);
            break;
        }
    }
    CurrentShell().StartDetached(QString::fromStdString(program), arguments);
}
