#pragma once
// Shared by the list tests: the GUI application, the data-window host of the
// frame tests, and where screenshots go.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/text_table.h"
#include "frame/commands/command_services.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/data_form_test_support.h"
#include "frame/entry_points.h"
#include "lists/list_window.h"
#include "lists/product_history_lists.h"
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

// The list commands over the demo folder under a shown host main window:
// the program's UI texts, the demo data texts, the dispatcher with the list
// handlers, and a recording message sink.  Every data window goes with the
// host at the end.
class DemoListsTest : public ::testing::Test {
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
        host = new dftest::TestHost;
        host->show();
    }
    void TearDown() override
    {
        dftest::DeleteDataWindows(host);
        delete host;
        Settle();
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

    dftest::TestHost* host = nullptr;
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
