#pragma once
// Shared by the data-window, placement and dialog tests: a host main window
// with an MDI area (itself a TDataForm), probe windows that record what
// reaches them, two demonstration windows over the demo drug table, text
// tables compiled from a few lines, and an RTF well-formedness check.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVBoxLayout>
#include <QWidget>

#include <cctype>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/windows/data_form.h"
#include "platform/gui/canvas.h"
#include "platform/gui/print_job.h"
#include "tests/support/gui_app.h"
#include "tests/support/text_tables.h"

namespace dftest {

inline void EnsureApp()
{
    test_support::EnsureGuiApp();
    static bool tablesBuilt = false;
    if (!tablesBuilt) {
        BuildKamTables();
        tablesBuilt = true;
    }
}

// Data code page text from UTF-8 source text.
inline std::string Kam(const char* utf8)
{
    return QStringToKam(QString::fromUtf8(utf8));
}

using test_support::CompileTable;

// The program's built text table of a language ("ces", "ang").
inline TextTablePtr ProgramTable(const char* language)
{
    TextTablePtr table;
    const std::string path = std::string(QEVW_PROGRAM_DIR) + "/qevw." + language;
    EXPECT_GE(LoadTextTable(table, path), TextTableResult::FirstSuccess) << path;
    return table;
}

// Puts a table in UiTexts for one test, and the old one back.
class ScopedUiTexts : public test_support::ScopedTextTable {
public:
    explicit ScopedUiTexts(TextTablePtr table) : ScopedTextTable(UiTexts, std::move(table)) {}
};

// Restores every configuration value at the end of a test.
class ScopedConfig {
public:
    ScopedConfig() : saved_(Config().Snapshot()) {}
    ~ScopedConfig()
    {
        Config().Update([this](ConfigValues& v) { v = saved_; });
    }

private:
    ConfigValues saved_;
};

// Installs a print job for one test, and the old one back.
template <class Job>
class ScopedPrintJob {
public:
    template <class... Args>
    explicit ScopedPrintJob(Args&&... args)
    {
        auto job = std::make_unique<Job>(std::forward<Args>(args)...);
        job_ = job.get();
        old_ = SetPrintJob(std::move(job));
    }
    ~ScopedPrintJob() { SetPrintJob(std::move(old_)); }
    Job& operator*() const { return *job_; }
    Job* operator->() const { return job_; }

private:
    Job* job_;
    std::unique_ptr<PrintJob> old_;
};

// The main window of the tests: a QMainWindow with an MDI area that is also
// the root TDataForm.
class TestHost : public QMainWindow, public TDataForm {
public:
    TestHost() : QMainWindow(nullptr), TDataForm(this, Role::MainWindow)
    {
        area = new QMdiArea(this);
        area->setBackground(QColor(0x80, 0x80, 0x80));
        setCentralWidget(area);
        SetMainDataForm(this, area);
        setWindowTitle(QStringLiteral("KALVO"));
        resize(1000, 700);
    }
    ~TestHost() override
    {
        FormDestroy();
        SetMainDataForm(nullptr, nullptr);
    }
    QMdiArea* area;
};

// A data window that records every value reaching it; `onReset` runs before
// the base's ResetData.  Frees itself when closed: create it with new.
class ProbeWindow : public QWidget, public TDataForm {
public:
    explicit ProbeWindow(uint16_t kind = 0, const char* name = "probe") : QWidget(nullptr), TDataForm(this)
    {
        Kind = kind;
        setObjectName(QString::fromLatin1(name));
        setWindowTitle(QString::fromLatin1(name));
        resize(240, 160);
    }
    ~ProbeWindow() override
    {
        FormDestroy();
        if (onDestroyed)
            onDestroyed();
    }
    void ResetData(int32_t value) override
    {
        received.push_back(value);
        if (onReset)
            onReset(value);
        TDataForm::ResetData(value);
    }
    // Puts the window into the MDI area and shows it.
    QMdiSubWindow* Show()
    {
        QMdiSubWindow* sub = AttachToMdiArea();
        if (sub != nullptr)
            sub->show();
        return sub;
    }

    std::vector<int32_t> received;
    std::function<void(int32_t)> onReset;
    std::function<void()> onDestroyed;
};

// Runs queued calls and deferred deletes.
inline void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

// Deletes every data window but `keep` (windows outside the MDI area are
// not deleted with the host).
inline void DeleteDataWindows(const TDataForm* keep)
{
    std::vector<DataFormRef> refs;
    for (TDataForm* f : AllDataForms())
        if (f != keep)
            refs.emplace_back(f);
    for (const DataFormRef& r : refs)
        delete r.get();
    Settle();
}

// A shown host main window for each test; every data window is deleted
// with it at the end.
class ShownHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        host = new TestHost;
        host->show();
    }
    void TearDown() override
    {
        DeleteDataWindows(host);
        delete host;
        Settle();
    }

    TestHost* host = nullptr;
};

// --- The demonstration windows over the demo "kl" table -----------------

struct DemoRow {
    int32_t recNo = 0;
    std::string code; // data code page
    std::string name;
};

inline std::vector<DemoRow> DemoRows()
{
    std::vector<DemoRow> rows;
    TDbTable t;
    OpenTableIn(t, QEVW_DEMO_DATA_DIR "/", "kl", "klnaz", kKlLayout.Length());
    if (DbStatus != 0)
        return rows;
    std::string rec;
    for (int32_t pos = 0; pos < t.LeafCount(); ++pos) {
        ReadByOrder(t, pos, rec);
        if (DbStatus != 0)
            break;
        rows.push_back({t.recNo, GetFieldTrim(rec, kDrugCode.start, kDrugCode.length),
                        GetFieldTrim(rec, kDrugName.start, kDrugName.length)});
    }
    return rows;
}

// One RTF table row of cells (display code page), bold when asked.
inline std::string RtfRowOf(const std::vector<std::string>& cells, bool bold)
{
    std::string row = "\\trowd\\trgaph30";
    int x = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        x += i == 0 ? 1400 : 6000;
        row += "\\cellx" + std::to_string(x);
    }
    row += "\\intbl";
    for (const std::string& cell : cells) {
        row += bold ? "{\\b " : "{";
        AppendRtfEscaped(row, cell);
        row += "}\\cell";
    }
    row += "\\row\r\n";
    return row;
}

// The name list: offers the current row's record number under link kind 6.
class DemoList : public QWidget, public TDataForm {
public:
    // All rows of the demo table once, or exactly `rowCount` rows going round
    // the table as often as needed.
    explicit DemoList(uint16_t kind, size_t rowCount = 0) : QWidget(nullptr), TDataForm(this)
    {
        Kind = kind;
        LinkKinds[1] = LinkKind::Drug;
        Title = Kam("Přípravky {A\\B} ");
        Subtitle = Kam("podle názvu");
        auto* layout = new QVBoxLayout(this);
        list = new QListWidget(this);
        layout->addWidget(list);
        const std::vector<DemoRow> demo = DemoRows();
        if (rowCount == 0)
            rows = demo;
        for (size_t i = 0; i < rowCount && !demo.empty(); ++i)
            rows.push_back(demo[i % demo.size()]);
        for (const DemoRow& row : rows)
            list->addItem(KamToQString(row.code + "  " + row.name));
        setWindowTitle(KamToQString(Title + Subtitle));
        QObject::connect(list, &QListWidget::currentRowChanged, list, [this](int row) { Select(row); });
        resize(420, 300);
    }
    ~DemoList() override { FormDestroy(); }

    void Select(int row)
    {
        LinkValues[1] =
            row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(row)].recNo : -1;
        PropagateLinks();
    }

    bool IsEmpty() override { return rows.empty(); }

    void Tisk() override
    {
        TDataForm::Tisk();
        PrintJob& job = CurrentPrintJob();
        Canvas& c = job.Surface();
        const int h = PrintLineHeight + PrintLineHeight / 4;
        for (const DemoRow& row : rows) {
            if (PrintY + h >= job.PageHeight()) {
                job.NewPage();
                PrintY = 0;
            }
            c.TextOut(0, PrintY, KamToWin(row.code));
            c.TextOut(c.TextWidth("0000000000"), PrintY, KamToWin(row.name));
            PrintY += h;
        }
        EndPrintJobUnlessKept();
    }

    void Exportuj() override
    {
        TDataForm::Exportuj();
        if (!ExportFile.IsOpen())
            return;
        if (ExportFormat == ExportFormatCode::Rtf)
            ExportFile.Write(RtfRowOf({"KOD", KamToWin(Kam("Název"))}, true));
        for (const DemoRow& row : rows) {
            const std::string code = KamToWin(row.code);
            const std::string name = KamToWin(row.name);
            switch (ExportFormat) {
            case ExportFormatCode::Text: ExportFile.Write(code + "  " + name + "\r\n"); break;
            case ExportFormatCode::Csv: ExportFile.Write(code + ";" + name + "\r\n"); break;
            default: ExportFile.Write(RtfRowOf({code, name}, false)); break;
            }
        }
        if (ExportFormat == ExportFormatCode::Rtf)
            ExportFile.Write(kRtfTail);
        ExportFile.Close();
    }

    void Schrankuj() override
    {
        ClipStart(kRtfTail.size());
        const ConfigFont font = Config().Read([](const ConfigValues& v) { return v.PrintFont; });
        std::string plain;
        bool fits = ClipCopy(RtfHead(font)) && ClipCopy(RtfRowOf({"KOD", KamToWin(Kam("Název"))}, true));
        for (size_t i = 0; fits && i < rows.size(); ++i) {
            const std::string code = KamToWin(rows[i].code);
            const std::string name = KamToWin(rows[i].name);
            plain += code + "\t" + name + "\r\n";
            fits = ClipCopy(RtfRowOf({code, name}, false));
        }
        ClipReleaseReserve();
        ClipCopy(kRtfTail);
        ClipHandOver(plain);
    }

    QListWidget* list;
    std::vector<DemoRow> rows;
};

// The detail: follows link kind 6 and shows the record's fields.
class DemoDetail : public QWidget, public TDataForm {
public:
    explicit DemoDetail(uint16_t kind) : QWidget(nullptr), TDataForm(this)
    {
        Kind = kind;
        LinkKinds[0] = LinkKind::Drug;
        auto* form = new QFormLayout(this);
        for (const char* label : {"KOD", "NAZ", "SIL", "BAL", "ATC"}) {
            auto* value = new QLabel(this);
            form->addRow(QString::fromLatin1(label), value);
            values.push_back(value);
        }
        OpenTableIn(table, QEVW_DEMO_DATA_DIR "/", "kl", "klnaz", kKlLayout.Length());
        resize(380, 200);
    }
    ~DemoDetail() override { FormDestroy(); }

    void ResetData(int32_t value) override
    {
        TDataForm::ResetData(value);
        if (value <= 0 || Closing())
            return;
        ReadRecord(table.dat, value, record);
        if (DbStatus != 0)
            return;
        fields = {GetFieldTrim(record, kDrugCode.start, kDrugCode.length),
                  GetFieldTrim(record, kDrugName.start, kDrugName.length),
                  GetFieldTrim(record, kDrugStrength.start, kDrugStrength.length),
                  GetFieldTrim(record, kDrugPackage.start, kDrugPackage.length),
                  GetFieldTrim(record, kDrugAtc.start, kDrugAtc.length)};
        for (size_t i = 0; i < fields.size(); ++i)
            values[i]->setText(KamToQString(fields[i]));
        Title = fields[1];
        setWindowTitle(KamToQString(Title));
    }

    bool IsEmpty() override { return LinkValues[0] <= 0; }

    void Tisk() override
    {
        TDataForm::Tisk();
        Canvas& c = CurrentPrintJob().Surface();
        for (const std::string& f : fields) {
            c.TextOut(0, PrintY, KamToWin(f));
            PrintY += PrintLineHeight + PrintLineHeight / 4;
        }
        EndPrintJobUnlessKept();
    }

    TDbTable table;
    std::string record;
    std::vector<std::string> fields;
    std::vector<QLabel*> values;
};

// --- RTF ------------------------------------------------------------------

// Empty when the text is well formed for our purposes: groups balanced
// (escaped braces and "\'hh" respected, never below zero), ends at depth 0,
// no raw byte from 128 and no control byte but CR and LF.
inline std::string RtfProblem(std::string_view rtf)
{
    int depth = 0;
    for (size_t i = 0; i < rtf.size(); ++i) {
        const auto b = static_cast<unsigned char>(rtf[i]);
        if (b >= 128)
            return "raw byte " + std::to_string(b) + " at " + std::to_string(i);
        if (b < 32 && b != '\r' && b != '\n')
            return "control byte " + std::to_string(b) + " at " + std::to_string(i);
        if (b == '\\') {
            if (i + 1 >= rtf.size())
                return "backslash at the end";
            const char next = rtf[i + 1];
            if (next == '\'') {
                if (i + 3 >= rtf.size() || !std::isxdigit(static_cast<unsigned char>(rtf[i + 2])) ||
                    !std::isxdigit(static_cast<unsigned char>(rtf[i + 3])))
                    return "bad \\' escape at " + std::to_string(i);
                i += 3;
            } else if (next == '\\' || next == '{' || next == '}') {
                ++i;
            }
            continue;
        }
        if (b == '{')
            ++depth;
        if (b == '}' && --depth < 0)
            return "unbalanced } at " + std::to_string(i);
    }
    if (depth != 0)
        return "ends at depth " + std::to_string(depth);
    if (rtf.substr(0, 6) != "{\\rtf1")
        return "no RTF head";
    return {};
}

inline std::string ScreenshotDir()
{
    const std::string dir = std::string(QEVW_BINARY_DIR) + "/screenshots";
    QDir().mkpath(QString::fromStdString(dir));
    return dir;
}

} // namespace dftest
