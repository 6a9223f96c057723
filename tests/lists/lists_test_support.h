#pragma once
// Shared by the list tests: the GUI application, the data-window host of the
// frame tests, and where screenshots go.

#include <gtest/gtest.h>

#include <QMdiSubWindow>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/commands/command_services.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/config/placement_scheme.h"
#include "frame/data_form_test_support.h"
#include "frame/entry_points.h"
#include "frame/windows/style.h"
#include "lists/drugs/product_history_lists.h"
#include "lists/list_entry_points.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/message_sink.h"
#include "tests/support/text_tables.h"

namespace liststest {

using dftest::EnsureApp;
using dftest::Kam;
using dftest::ScreenshotDir;
using dftest::Settle;

// A base that makes the application before any widget member of a fixture.
struct WithApp {
    WithApp() { EnsureApp(); }
};

// Saves a grab into the build folder's screenshots for a person to look at.
inline void SaveShot(const QImage& image, const char* name)
{
    const QString path = QString::fromStdString(ScreenshotDir() + "/" + name);
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

// A list window's options: the longest prefix, the edit kind, the button
// letters.
inline std::string Options(int maxLength, char kind, const char* letters = "")
{
    return std::string(1, static_cast<char>(maxLength)) + kind + letters;
}

// Sizes a list window's sub-window so that its client is `width` wide and
// its grid offers `lines` lines.
inline void SizeForLines(TVyb* w, int lines, int width = 520)
{
    const int rh = w->Tb->RowHeight();
    const int s = w->LineHeight + 3;
    const int gridHeight = (lines + 1) * rh + 3;
    const int clientHeight = gridHeight + s + 3 * TVyb::Margin - 1;
    QMdiSubWindow* sub = w->SubWindow();
    ASSERT_NE(sub, nullptr);
    sub->resize(sub->width() - w->width() + width, sub->height() - w->height() + clientHeight);
    Settle();
}

// What a list-window test installs for its run, and puts back at its end:
// the usual settings (free placement, no typing hint, no caption blinking),
// usage counts and menu drop-downs recorded, the lists' entry points, the
// list counters and the edit's pending key cleared.
class ListTestEnvironment {
public:
    ListTestEnvironment()
    {
        EnsureApp();
        BuildKamTables();
        Config().Update([](ConfigValues& v) {
            v.placementMode = WindowMode::Free;
            v.tipUser = false;
            v.BlinkOff = 1;
        });
        UpdateServices services;
        services.statCount = [this](uint16_t key) { counts.push_back(key); };
        services.statCountDuration = [this](uint16_t key, double days) {
            durations.push_back(key);
            EXPECT_GE(days, 0.0);
        };
        oldServices_ = SetUpdateServices(std::move(services));
        oldDropDown_ = SetDropDownMenuHook([this](int tag) { dropDowns.push_back(tag); });
        MainEntryPoints calls;
        AddListEntryPoints(calls);
        oldCalls_ = SetMainEntryPoints(std::move(calls));
        ListCounters().Clear();
        TANulEdit::ClearPendingKey();
    }
    ~ListTestEnvironment()
    {
        SetMainEntryPoints(std::move(oldCalls_));
        SetDropDownMenuHook(std::move(oldDropDown_));
        SetUpdateServices(std::move(oldServices_));
    }
    ListTestEnvironment(const ListTestEnvironment&) = delete;
    ListTestEnvironment& operator=(const ListTestEnvironment&) = delete;

    std::vector<uint16_t> counts;
    std::vector<uint16_t> durations;
    std::vector<int> dropDowns;

private:
    dftest::ScopedConfig config_;
    UpdateServices oldServices_;
    DropDownMenuHook oldDropDown_;
    MainEntryPoints oldCalls_;
};

// The record number of a key in a table of the data folder (0: none).
inline int32_t RecordOfKey(const char* table, const char* index, const std::string& key)
{
    TDbTable t;
    OpenTable(t, TFileId(table), TFileId(index), 0);
    std::string buf;
    FindRecord(t, key, buf);
    const int32_t r = DbStatus == 0 ? t.recNo : 0;
    OpenTable(t, TFileId(), TFileId(), 0);
    DbStatus = 0;
    return r;
}

// A shown host main window for each test; every data window goes with it at
// the end.  A fixture that installs more calls SetUp() after its own set-up
// and TearDown() before its own clean-up.
class HostedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = new dftest::TestHost;
        host->show();
    }
    void TearDown() override
    {
        dftest::DeleteDataWindows(host);
        delete host;
        Settle();
    }

    dftest::TestHost* host = nullptr;
};

// The list commands over the demo folder under a shown host main window:
// the program's UI texts, the demo data texts, the dispatcher with the list
// handlers, and a recording message sink.  Every data window goes with the
// host at the end.
class DemoListsTest : public HostedTest {
protected:
    void SetUp() override
    {
        EnsureApp();
        savedDataDir_ = DataDir();
        SetDataDir(QEVW_DEMO_DATA_DIR "/");
        savedHandlers_ = SetCommandHandlers({});
        savedServices_ = SetCommandServices({});
        MainEntryPoints calls;
        AddCommandEntryPoints(calls);
        savedCalls_ = SetMainEntryPoints(std::move(calls));
        RegisterListCommands();
        previousSink_ = SetMessageSink(&sink);
        Config().Update([](ConfigValues& v) {
            v.placementMode = WindowMode::Free;
            v.BlinkOff = 1;
            v.tipUser = false;
        });
        HostedTest::SetUp();
    }
    void TearDown() override
    {
        HostedTest::TearDown();
        SetMessageSink(previousSink_);
        SetMainEntryPoints(std::move(savedCalls_));
        SetCommandServices(std::move(savedServices_));
        SetCommandHandlers(std::move(savedHandlers_));
        SetDataDir(savedDataDir_);
    }

    // The list window of a command (the newest of its kind).
    TVyb* ListOf(const char* code) const
    {
        TVyb* found = nullptr;
        for (TDataForm* f : AllDataForms())
            if (auto* w = dynamic_cast<TVyb*>(f); w != nullptr && w->Kind == KindOf(code))
                found = w;
        return found;
    }

    static std::vector<std::string> RowTexts(const TVyb* w)
    {
        std::vector<std::string> out;
        for (int i = 1; i <= w->Rec.RowCount; ++i)
            out.push_back(w->Rec.Rows[static_cast<size_t>(i)].Text.Str());
        return out;
    }

    RecordingMessageSink sink;
    dftest::ScopedConfig config;
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    test_support::ScopedTextTable data{DataTexts, [] {
                                           TextTablePtr t;
                                           LoadTextTable(t, QEVW_DEMO_DATA_DIR "/kalvo.ces");
                                           return t;
                                       }()};

private:
    std::string savedDataDir_;
    CommandHandlers savedHandlers_;
    CommandServices savedServices_;
    MainEntryPoints savedCalls_;
    MessageSink* previousSink_ = nullptr;
};

} // namespace liststest
