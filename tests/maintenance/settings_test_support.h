#pragma once
// What the settings dialog tests share: a temporary settings file that the
// dialogs save to and the test loads again (as NODALCFG names one), the
// program's and the demo data's texts, recorded boxes and error reports,
// fake file, font and colour choosers, and screenshots.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "frame/commands/command_services.h"
#include "frame/config/config_file.h"
#include "frame/report_hook.h"
#include "frame/windows/dialog_base.h"
#include "platform/fs.h"
#include "platform/gui/choosers.h"
#include "platform/message_sink.h"
#include "tests/frame/data_form_test_support.h"

namespace settingstest {

using namespace dftest;

inline TextTablePtr DemoDataTable(const char* language)
{
    TextTablePtr table;
    const std::string path = std::string(QEVW_DEMO_DATA_DIR) + "/kalvo." + language;
    EXPECT_GE(LoadTextTable(table, path), TextTableResult::FirstSuccess) << path;
    return table;
}

// The key line as the file holds it, between two line ends.
inline bool HasLine(const std::string& file, const std::string& line)
{
    return ("\r\n" + file).find("\r\n" + line + "\r\n") != std::string::npos;
}

// The lines of one section of the file, up to the next header.
inline std::string Section(const std::string& file, const std::string& header)
{
    const size_t at = file.find(header + "\r\n");
    if (at == std::string::npos)
        return {};
    const size_t start = at + header.size() + 2;
    const size_t end = file.find("\r\n[", start);
    return file.substr(start, end == std::string::npos ? std::string::npos : end + 2 - start);
}

// A click on the button; on a check box or radio button on its mark,
// since the text ends well before a stretched box does.
inline void Click(QAbstractButton* b)
{
    ASSERT_NE(b, nullptr);
    const bool mark = b->inherits("QCheckBox") || b->inherits("QRadioButton");
    QTest::mouseClick(b, Qt::LeftButton, {}, mark ? QPoint(6, b->height() / 2) : QPoint());
}
template <class W>
W* Child(QWidget* d, const char* name)
{
    W* w = d->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}
// Shows a dialog so that its controls have their sizes.
inline void Show(QWidget* d)
{
    d->show();
    QCoreApplication::processEvents();
}
inline void Shot(QWidget* d, const std::string& name)
{
    Show(d);
    EXPECT_TRUE(d->grab().save(QString::fromStdString(ScreenshotDir() + "/" + name + ".png")));
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        root_ = dir_.path().toStdString() + "/";
        notesFolder_ = root_ + "notes/";
        QDir().mkpath(QString::fromStdString(notesFolder_));
        oldPath_ = Config().ConfigPath();
        oldFallback_ = Config().FallbackConfigPath();
        Config().SetPaths(ConfigPath(), root_ + "nodal.cfg");
        // A file as a start after the first leaves it: read back, it saves
        // the same bytes (the first start's defaults write the toolbar
        // list short, which reads back with the duplicity button).
        for (int i = 0; i < 2; ++i) {
            Reload();
            ASSERT_TRUE(SaveConfig(true));
        }
        baseline_ = File();
        oldServices_ = SetCommandServices(Services());
        oldChoosers_ = SetChooserServices(Choosers());
    }
    void TearDown() override
    {
        SetChooserServices(std::move(oldChoosers_));
        SetCommandServices(std::move(oldServices_));
        Config().SetFileSystem(nullptr);
        Config().SetPaths(oldPath_, oldFallback_);
        Settle();
    }

    std::string ConfigPath() const { return root_ + "kalvo.ini"; }
    ConfigLoadInput Input() const
    {
        ConfigLoadInput in;
        in.programFolder = root_;
        in.dataFolder = std::string(QEVW_DEMO_DATA_DIR) + "/";
        in.screenWidth = 1400;
        in.screenHeight = 900;
        const std::string notes = notesFolder_;
        in.environment = [notes](const char* name) {
            return std::string(name) == "QEVNOTES" ? notes : std::string();
        };
        return in;
    }
    // Every setting back to its default, then the file read, as a new start.
    void Reload() { Config().Load(Input()); }
    // The file as the test began, read as a new start.
    void Restart()
    {
        WriteFileAtomic(ConfigPath(), baseline_);
        Reload();
    }
    std::string File() const
    {
        std::string s;
        ReadWholeFile(ConfigPath(), s);
        return s;
    }
    FileStamp Stamp() const
    {
        FileStamp st;
        GetFileStamp(ConfigPath(), &st);
        return st;
    }
    // Opens a dialog, runs `act` on it and confirms it.
    template <class Dialog, class F>
    void Confirm(F&& act)
    {
        Dialog d;
        Show(&d);
        act(d);
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    // A setting changed and saved before a dialog opens.
    template <class F>
    void Stored(F&& change)
    {
        Config().Update(std::forward<F>(change));
        ASSERT_TRUE(SaveConfig(true));
    }

    // What the fake choosers answer next (an empty answer is "cancelled").
    std::deque<std::string> filesChosen;
    std::deque<std::optional<QFont>> fontsChosen;
    std::deque<QColor> coloursChosen;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<QColor> colourStarts;

    std::string root_;
    std::string notesFolder_;
    RecordingMessageSink boxes;
    ScopedMessageSink sink{&boxes};
    ScopedErrorRecorder errors;
    ScopedConfig config;
    ScopedUiTexts ui{ProgramTable("ces")};
    test_support::ScopedTextTable data{DataTexts, DemoDataTable("ces")};

private:
    CommandServices Services()
    {
        CommandServices s;
        s.fileDialog = [this](const FileDialogRequest& r) {
            fileRequests.push_back(r);
            if (filesChosen.empty())
                return std::string();
            std::string f = filesChosen.front();
            filesChosen.pop_front();
            return f;
        };
        s.loadSignList = [] {};
        return s;
    }
    ChooserServices Choosers()
    {
        ChooserServices c;
        c.font = [this](const QFont&, QWidget*) -> std::optional<QFont> {
            if (fontsChosen.empty())
                return std::nullopt;
            std::optional<QFont> f = fontsChosen.front();
            fontsChosen.pop_front();
            return f;
        };
        c.colour = [this](const QColor& start, QWidget*) {
            colourStarts.push_back(start);
            if (coloursChosen.empty())
                return QColor();
            QColor q = coloursChosen.front();
            coloursChosen.pop_front();
            return q;
        };
        return c;
    }

    QTemporaryDir dir_;
    std::string baseline_;
    std::string oldPath_;
    std::string oldFallback_;
    CommandServices oldServices_;
    ChooserServices oldChoosers_;
};

} // namespace settingstest
