// The commands the frame carries out itself.

#include <QApplication>
#include <QClipboard>
#include <QMainWindow>
#include <QMdiArea>
#include <QToolBar>

#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/commands/command_services.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/menus.h"
#include "frame/commands/office_export.h"
#include "frame/commands/product_commands.h"
#include "frame/commands/toolbar.h"
#include "frame/commands/viewer_windows.h"
#include "frame/config/config_file.h"
#include "frame/hooks.h"
#include "frame/message_box.h"
#include "frame/start/ipc.h"
#include "frame/start/shared_helpers.h"
#include "frame/start/web_check.h"
#include "frame/windows/data_form.h"
#include "frame/windows/main_form.h"
#include "frame/windows/placement.h"
#include "platform/cp1250.h"
#include "platform/fs.h"

namespace {

std::string Letters(const CommandCall& c)
{
    return KindLetters(c.code);
}

// The active data window when it is one and shows something.
TDataForm* ActiveWindowWithData()
{
    TDataForm* f = ActiveDataForm();
    if (f == nullptr || f == MainDataForm() || f->IsEmpty())
        return nullptr;
    return f;
}

QWidget* MainWidget()
{
    TDataForm* main = MainDataForm();
    return main != nullptr ? main->Widget() : nullptr;
}

QString UiDisplay(const char* section, const char* key)
{
    return KamToQString(LookupText(UiTexts, section, key));
}

void StartCopy(const CommandCall& c)
{
    StatCount(c.code);
    const std::string l = Letters(c);
    std::vector<std::string> args{l == "RMR" ? "/q=mkn" : l == "RMO" ? "/q=mkno" : "/q=dopl"};
    for (std::string& a : DataFolderArguments())
        args.push_back(std::move(a));
    LaunchWithHandshake(std::string(), args, nullptr, false);
}

void ToggleTips(const CommandCall& c, bool data)
{
    const bool on = Config().Update([data](ConfigValues& v) {
        bool& flag = data ? v.tipData : v.tipUser;
        flag = !flag;
        return flag;
    });
    if (QAction* item = MenuItemNamed(data ? "SSHD" : "SSHT"))
        item->setChecked(on);
    if (on)
        StatCount(StatCodeOfText(data ? "oHD" : "oHU"));
    SaveConfig(true);
}

void HelpTopic(const CommandCall& c)
{
    const std::string l = Letters(c);
    RequestHelp(l == "SHC" ? "Obsah_" : l == "SHI" ? "Rejstr" : "NapDok");
}

void HelpOnWindow(const CommandCall&)
{
    std::string keyword;
    TDataForm* f = ActiveDataForm();
    if (f != nullptr && f != MainDataForm() && f->Widget())
        keyword = f->Widget()->property("helpKeyword").toString().toStdString();
    RequestHelp(keyword.empty() ? "Obsah_" : keyword);
}

void ArrangeWindows(const CommandCall& c)
{
    QMdiArea* area = DataWindowArea();
    if (area == nullptr)
        return;
    if (Letters(c) == "SWC")
        area->cascadeSubWindows();
    else
        area->tileSubWindows();
}

void ApplyScheme(const CommandCall& c)
{
    ApplyWindowScheme(static_cast<uint8_t>(Letters(c)[2] - 'X' + 2));
}

void ChooseSignListSource(const CommandCall&)
{
    const std::string path = ChooseExportFile(MainWidget(), false);
    if (path.empty())
        return;
    const std::string notes = Config().Read([](const ConfigValues& v) { return v.NotesFolder; });
    std::string file;
    std::string name;
    if (!FileStemInFolder(path, notes, file) || !Utf8ToCp1250(file, name)) {
        ShowError(LookupText(UiTexts, "Chyby", "NotNotes") + QStringToKam(QString::fromStdString(notes)));
        return;
    }
    Config().Update([&](ConfigValues& v) { v.SignListName = name; });
    if (name.empty())
        return;
    SaveConfig(true);
    SwitchRebuildSignList();
    if (!Config().Read([](const ConfigValues& v) { return v.SignListName.empty(); }))
        StatCount(StatCodeOfText("oOE"));
    // The list is now among the folder's lists: the menu shows it once.
    BuildSignListMenu();
}

void CloseDataWindowsLastToFirst()
{
    std::vector<DataFormRef> registered;
    for (uint16_t i = 0; i < OpenDataWindows.Count && i < kMaxDataWindows; ++i)
        registered.push_back(OpenDataWindows.Items[i]);
    TDataForm* main = MainDataForm();
    for (auto it = registered.rbegin(); it != registered.rend(); ++it) {
        TDataForm* f = it->get();
        if (f == nullptr || f == main)
            continue;
        f->Master = nullptr;
        f->CloseWindow();
    }
    // Unregistered ones (beyond the registry) and the registry itself.
    CloseDataWindowsButMain();
}

void SwitchDataSet(const CommandCall& c)
{
    const char third = Letters(c)[2];
    const DataSetCode set = third == 'M'   ? DataSetCode::Drugs
                            : third == 'F' ? DataSetCode::Goods
                                           : DataSetCode::Devices;
    TDataForm* main = MainDataForm();
    if (auto* form = dynamic_cast<TMainForm*>(main))
        form->DataSet = set;
    SetCurrentDataSet(set);
    PublishDataSet(set);
    CloseDataWindowsLastToFirst();
    auto* window = main != nullptr ? qobject_cast<QMainWindow*>(main->Widget()) : nullptr;
    FillMainMenu(window, set);
    RefreshMainMenus(nullptr);
    DropDownMainMenu(set == DataSetCode::Devices ? 3 : 2);
    QToolBar* bar = MainToolBar();
    if (auto* form = dynamic_cast<TMainForm*>(main))
        bar = form->ToolBar();
    LayoutSpeedButtons(bar, set);
}

void ExitProgram(const CommandCall&)
{
    if (auto* form = dynamic_cast<TMainForm*>(MainDataForm()))
        form->Terminate(0);
    else
        QCoreApplication::exit(0);
}

void PrintWindow(const CommandCall&)
{
    if (TDataForm* f = ActiveWindowWithData())
        PrintDataWindow(f);
}

void CopyWindow(const CommandCall&)
{
    if (TDataForm* f = ActiveWindowWithData())
        f->Schrankuj();
}

void ExportWindow(const CommandCall&)
{
    TDataForm* f = ActiveWindowWithData();
    if (f == nullptr)
        return;
    const bool viewer = dynamic_cast<RecordViewerWindow*>(f) != nullptr;
    FileDialogRequest r;
    r.save = true;
    r.parent = MainWidget();
    r.defaultSuffix = UiDisplay("HlaskyWin", viewer ? "ExportExt1" : "ExportExt2").toStdString();
    r.filter = UiDisplay("HlaskyWin", viewer ? "Export1" : "Export2").toStdString();
    const std::string path = RunFileDialog(r);
    if (!path.empty())
        ExportDataWindow(f, path);
}

void ExternalDocument(const CommandCall&)
{
    auto* viewer = dynamic_cast<RecordViewerWindow*>(ActiveWindowWithData());
    if (viewer == nullptr)
        return;
    const std::string fileName = viewer->DocumentFileName();
    const std::string name = ExternalDocumentName(fileName, viewer->TextKindLetter());
    if (QClipboard* clip = QGuiApplication::clipboard())
        clip->setText(Cp1250ToQString(name));
    const bool nine = fileName.size() >= 9 && fileName[8] == '9';
    OpenExternalDocument(nine ? name + "9" : name);
}

void Maximal(const CommandCall& c)
{
    const bool join = Letters(c) == "sBJ";
    if (join ? !HasStartMaximJoin() : !HasShowMaximalDoses()) {
        AppendRunLog(std::string(join ? "StartMaximJoin" : "ShowMaximalDoses") + ": nothing registered (" +
                     Letters(c) + ")\r\n");
        return;
    }
    if (join)
        StartMaximJoin();
    else
        ShowMaximalDoses();
}

} // namespace

void RegisterFrameCommands()
{
    RegisterCommandHandler("OpenRecordViewer",
                           [](const CommandCall& c) { OpenRecordViewer(c.code, c.fromMainWindow, 0); });
    RegisterCommandHandler("OpenNotesViewer", [](const CommandCall& c) { OpenNotesViewer(c.code); });
    RegisterCommandHandler("OpenProductPdf", [](const CommandCall& c) { OpenProductPdf(c.code); });
    RegisterCommandHandler("StartCopy", StartCopy);
    RegisterCommandHandler("OpenDuplicityCheck", [](const CommandCall&) { OpenWebCheck(true, "dup", ""); });
    RegisterCommandHandler("OpenProductWebPage", [](const CommandCall& c) {
        OpenProductWebPage(std::string(),
                           Letters(c) == "RWP" ? LookupText(UiTexts, "WGra", "ceny") : std::string());
    });
    RegisterCommandHandler("ToggleToolTips", [](const CommandCall& c) { ToggleTips(c, false); });
    RegisterCommandHandler("ToggleDataTips", [](const CommandCall& c) { ToggleTips(c, true); });
    RegisterCommandHandler("HelpTopic", HelpTopic);
    RegisterCommandHandler("HelpOnWindow", HelpOnWindow);
    RegisterCommandHandler("ArrangeWindows", ArrangeWindows);
    RegisterCommandHandler("ApplyWindowScheme", ApplyScheme);
    RegisterCommandHandler("ImportNotes", [](const CommandCall&) { RunNotesImport(); });
    RegisterCommandHandler("ChooseSignListSource", ChooseSignListSource);
    RegisterCommandHandler("SwitchDataSet", SwitchDataSet);
    RegisterCommandHandler("ExitProgram", ExitProgram);
    RegisterCommandHandler("PrintWindow", PrintWindow);
    RegisterCommandHandler("EndPrintJob", [](const CommandCall&) { EndPrintJob(); });
    RegisterCommandHandler("PrinterSetup", [](const CommandCall&) { PrinterSetup(MainWidget()); });
    RegisterCommandHandler("CopyWindow", CopyWindow);
    RegisterCommandHandler("ExportWindow", ExportWindow);
    RegisterCommandHandler("OpenExternalDocument", ExternalDocument);
    RegisterCommandHandler("ShowMaximalDoses", Maximal);
    RegisterCommandHandler("StartMaximJoin", Maximal);
    RegisterOfficeExportCommands();
}
