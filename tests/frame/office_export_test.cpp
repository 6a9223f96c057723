// "sBE" and "sBW" on a window that writes two rows: with a fake office
// program first on PATH, without one, and on an empty window.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QTemporaryDir>

#include <cstdlib>
#include <sys/stat.h>

#include "frame/commands/office_export.h"
#include "frame/windows/data_form.h"
#include "platform/fs.h"
#include "platform/gui/shell.h"
#include "platform/message_sink.h"
#include "tests/frame/data_form_test_support.h"

namespace {

class RowsWindow : public QWidget, public TDataForm {
public:
    RowsWindow() : QWidget(nullptr), TDataForm(this) {}
    ~RowsWindow() override { FormDestroy(); }
    bool IsEmpty() override { return empty; }
    void Exportuj() override
    {
        TDataForm::Exportuj();
        ExportFile.Write(ExportFormat == ExportFormatCode::Csv ? "kod;n\xE1zev\r\n0000113;\"Alfa\"\r\n"
                                                               : "{\\b 0000113 Alfa}\\par\r\n}");
    }
    void Schrankuj() override { ++copies; }
    bool empty = false;
    int copies = 0;
};

class OfficeExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dftest::EnsureApp();
        ASSERT_TRUE(dir.isValid());
        oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        oldTmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
        bin = dir.path().toStdString() + "/bin";
        ASSERT_EQ(MakeFolder(bin, 0755), 0);
    }
    void TearDown() override
    {
        setenv("PATH", oldPath.c_str(), 1);
        SetShell(nullptr);
    }
    void FakeOffice()
    {
        ASSERT_EQ(WriteFileAtomic(bin + "/soffice", "#!/bin/sh\nexit 0\n"), 0);
        ::chmod((bin + "/soffice").c_str(), 0755);
        setenv("PATH", bin.c_str(), 1);
    }

    QTemporaryDir dir;
    std::string oldPath, oldTmp, bin;
    RecordingShell shell;
    RecordingMessageSink boxes;
    ScopedMessageSink installed{&boxes};
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
};

TEST_F(OfficeExportTest, TheSpreadsheetGetsASemicolonCsvAndTheWriterAnRtf)
{
    FakeOffice();
    SetShell(&shell);
    RowsWindow w;
    ASSERT_TRUE(ExportToSpreadsheet(&w));
    ASSERT_TRUE(ExportToWordProcessor(&w));
    EXPECT_EQ(w.copies, 2); // the clipboard first, as the copy command fills it
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].target.endsWith(QStringLiteral("/soffice")));
    ASSERT_EQ(calls[0].arguments.size(), 4);
    EXPECT_EQ(calls[0].arguments[0], QStringLiteral("--calc"));
    EXPECT_EQ(calls[0].arguments[1], QStringLiteral("--infilter=CSV:59,34,33,1"));
    EXPECT_EQ(calls[0].arguments[2], QStringLiteral("-n"));
    const std::string csv = calls[0].arguments[3].toStdString();
    EXPECT_TRUE(csv.size() > 4 && csv.compare(csv.size() - 4, 4, ".csv") == 0);
    std::string bytes;
    ASSERT_EQ(ReadWholeFile(csv, bytes), 0);
    EXPECT_EQ(bytes, "kod;n\xE1zev\r\n0000113;\"Alfa\"\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(csv.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(OfficeFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    EXPECT_EQ(calls[1].arguments.value(0), QStringLiteral("--writer"));
    const std::string rtf = calls[1].arguments.value(2).toStdString();
    ASSERT_EQ(ReadWholeFile(rtf, bytes), 0);
    EXPECT_EQ(bytes.rfind("{\\rtf1", 0), 0u);
    EXPECT_TRUE(boxes.Requests().empty());
}

TEST_F(OfficeExportTest, AnEmptyWindowStartsNothing)
{
    FakeOffice();
    SetShell(&shell);
    RowsWindow w;
    w.empty = true;
    EXPECT_FALSE(ExportToSpreadsheet(&w));
    EXPECT_EQ(w.copies, 0);
    EXPECT_TRUE(shell.Calls().empty());
}

TEST_F(OfficeExportTest, WithoutTheSuiteTheClipboardIsFilledAndAMessageShows)
{
    setenv("PATH", bin.c_str(), 1); // nothing there
    SetShell(&shell);
    RowsWindow w;
    EXPECT_FALSE(ExportToWordProcessor(&w));
    EXPECT_EQ(w.copies, 1);
    EXPECT_TRUE(shell.Calls().empty());
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_TRUE(boxes.Requests()[0].text.contains(QStringLiteral("LibreOffice Writer")));
}

} // namespace
