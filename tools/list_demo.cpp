// A list window over any table of a data folder (tools/list_demo_list.h).
//
//   list_demo DATA [--table kl] [--index klnaz|klkod] [--type TEXT] [--shot DIR]
//   list_demo DATA --open CODE [--value N] [--rows] [--export FILE] [--ui TABLE] [--type TEXT] [--shot DIR]
//
// Opens the table with the index in a list window inside an MDI main window;
// --type types TEXT (UTF-8) into it as keys would.  With --shot it writes
// DIR/list_demo.png and ends; without it the window stays open.  Run with
// QT_QPA_PLATFORM=offscreen where there is no display.
//
// --open runs the command CODE ("DNA", "DCA", "DEA" ...) as the program's
// menu would, so the list it opens is the program's own; --export writes it
// to FILE (".csv", ".txt", else RTF) and ends.  --ui names the program's
// text table (default: ../program/qevw.ces beside this tool).  --value N
// opens the list under a test master offering record N as a drug (link kind
// 6) and as a substance (7), so that a dependent list (a composition list,
// the drugs of a substance, a synonym list) has a value to follow.  --rows
// prints the shown rows as UTF-8 lines and ends.

#include <QApplication>
#include <QDir>
#include <QMdiSubWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/entry_points.h"
#include "frame/windows/data_form.h"
#include "list_demo_list.h"
#include "lists/drugs/product_history_lists.h"
#include "lists/list_entry_points.h"
#include "lists/toolkit/nul_edit.h"

namespace {

// A window offering one record number as a drug and as a substance.
class OfferingWindow : public QWidget, public TDataForm {
public:
    explicit OfferingWindow(int32_t value) : QWidget(nullptr), TDataForm(this)
    {
        Kind = KindOf("lDM");
        setWindowTitle(QStringLiteral("master %1").arg(value));
        LinkKinds = {LinkKind::None, LinkKind::Substance, LinkKind::Drug};
        LinkValues = {0, value, value};
        resize(200, 60);
    }
    ~OfferingWindow() override { FormDestroy(); }
};

int Usage()
{
    std::fprintf(stderr,
                 "usage: list_demo DATA [--table kl] [--index klnaz|klkod] [--type TEXT] [--shot DIR]\n"
                 "       list_demo DATA --open CODE [--value N] [--rows] [--export FILE] [--ui TABLE] "
                 "[--type TEXT] [--shot "
                 "DIR]\n");
    return 2;
}

bool LoadTable(TextTableSlot& slot, const std::string& path)
{
    TextTablePtr table;
    if (LoadTextTable(table, path) < TextTableResult::FirstSuccess) {
        std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
        return false;
    }
    slot.Set(std::move(table));
    return true;
}

// The window the command opened: the newest list window.
TVyb* OpenedList()
{
    const std::vector<TVyb*> lists = ListWindows();
    return lists.empty() ? nullptr : lists.back();
}

int SaveShot(QWidget& host, const std::string& shots)
{
    QDir().mkpath(QString::fromStdString(shots));
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QString path = QDir(QString::fromStdString(shots)).filePath(QStringLiteral("list_demo.png"));
    if (!host.grab().save(path)) {
        std::fprintf(stderr, "%s: cannot be written\n", path.toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return Usage();
    std::string data = argv[1];
    if (!data.empty() && data.back() != '/')
        data += '/';
    std::string table = "kl", index = "klnaz", typed, shots, open, exportPath, ui;
    int32_t value = 0;
    bool printRows = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rows") {
            printRows = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        if (a == "--value")
            value = static_cast<int32_t>(std::strtol(argv[++i], nullptr, 10));
        else if (a == "--table")
            table = argv[++i];
        else if (a == "--index")
            index = argv[++i];
        else if (a == "--type")
            typed = argv[++i];
        else if (a == "--shot")
            shots = argv[++i];
        else if (a == "--open")
            open = argv[++i];
        else if (a == "--export")
            exportPath = argv[++i];
        else if (a == "--ui")
            ui = argv[++i];
        else
            return Usage();
    }
    BuildKamTables();
    SetDataDir(data);

    if (!open.empty()) {
        if (open.size() != 3)
            return Usage();
        if (ui.empty())
            ui = QCoreApplication::applicationDirPath().toStdString() + "/../program/qevw.ces";
        if (!LoadTable(UiTexts, ui) || !LoadTable(DataTexts, data + "kalvo.ces"))
            return 1;
        LoadCodeTables();
        SetupEdition(1);
        MainEntryPoints calls;
        AddCommandEntryPoints(calls);
        SetMainEntryPoints(std::move(calls));
        RegisterListCommands();

        listdemo::MdiHost host(900, 560);
        host.setWindowTitle(QStringLiteral("list_demo"));
        host.show();
        TDataForm* sender = &host;
        OfferingWindow* master = nullptr;
        if (value > 0) {
            master = new OfferingWindow(value);
            master->Master = &host;
            if (QMdiSubWindow* sub = master->AttachToMdiArea()) {
                sub->show();
                host.area->setActiveSubWindow(sub);
            }
            sender = master;
        }
        ExecuteCommand(sender, KindOf(open), 0);
        QApplication::processEvents();
        TVyb* window = OpenedList();
        if (window == nullptr) {
            std::fprintf(stderr, "%s opened no list\n", open.c_str());
            return 1;
        }
        if (QMdiSubWindow* sub = window->SubWindow()) {
            sub->showNormal();
            sub->setGeometry(10, 10, 860, 480);
        }
        for (QChar ch : QString::fromUtf8(typed.c_str()))
            window->Edt->TypeCharacter(ch);
        QApplication::processEvents();
        int result = 0;
        if (printRows) {
            for (int i = 1; i <= window->Rec.RowCount; ++i) {
                std::string text = window->Rec.Rows[static_cast<size_t>(i)].Text.Str();
                if (!text.empty())
                    text.erase(0, 1); // the status character
                std::printf("%s\n", KamToQString(text).toUtf8().constData());
            }
            if (exportPath.empty() && shots.empty()) {
                delete window;
                delete master;
                return 0;
            }
        }
        if (!exportPath.empty()) {
            if (!ExportDataWindow(window, exportPath)) {
                std::fprintf(stderr, "%s: not exported\n", exportPath.c_str());
                return 1;
            }
            std::printf("%s\n", exportPath.c_str());
        }
        if (!shots.empty())
            result = SaveShot(host, shots);
        if (exportPath.empty() && shots.empty())
            return app.exec();
        delete window;
        return result;
    }

    listdemo::MdiHost host(900, 560);
    host.setWindowTitle(QStringLiteral("list_demo"));
    host.show();
    listdemo::TableList list;
    std::string error;
    if (!list.Open(data, table, index, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // Digit keys type digits (7 at most); names type capitals (45 at most).
    const bool digitKey = (list.Table().sez.keyType & 0xE0) == 32;
    std::string options;
    options += static_cast<char>(digitKey ? 7 : 45);
    options += digitKey ? '9' : 'A';
    options += "?/)*<=";
    auto* window = new TVyb;
    window->Kind = 1;
    window->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    window->Master = &host;
    window->Rec.Letter = digitKey ? 'K' : 'N';
    window->Rec.Options = 0;
    const uint32_t flags =
        list.OpenIn(*window, listdemo::Kam((table + " / " + index + ": ").c_str()), options);
    if (flags != 0)
        std::fprintf(stderr, "geometry flags %u\n", flags);
    if (QMdiSubWindow* sub = window->SubWindow()) {
        sub->showNormal();
        sub->setGeometry(10, 10, 860, 480);
    }
    for (QChar ch : QString::fromUtf8(typed.c_str()))
        window->Edt->TypeCharacter(ch);
    if (shots.empty())
        return app.exec();
    return SaveShot(host, shots);
}
