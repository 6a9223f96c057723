#pragma once
// Shared by the dispatcher, command, menu, toolbar and macro tests: a host
// main window that carries the request fields, handlers that record what
// reaches them, usage counters that record their keys, and a scope that puts
// every process-wide table back.

#include <gtest/gtest.h>

#include <QMenuBar>
#include <QTemporaryDir>
#include <QToolBar>

#include <map>
#include <string>
#include <vector>

#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "frame/commands/command_services.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/menus.h"
#include "frame/commands/toolbar.h"
#include "frame/entry_points.h"
#include "frame/hooks.h"
#include "frame/start/ipc.h"
#include "frame/windows/request.h"
#include "frame/windows/style.h"
#include "platform/gui/shell.h"
#include "platform/message_sink.h"
#include "tests/frame/data_form_test_support.h"

namespace cmdtest {

using dftest::Kam;

// The main window of these tests, with the request fields of the real one.
class RequestHost : public dftest::TestHost, public MainRequestFields {
public:
    RequestHost() { toolBar = addToolBar(QStringLiteral("ToolBar")); }
    QToolBar* toolBar;
};

// One call a recording handler saw.
struct SeenCall {
    std::string handler;
    std::string letters;
    int32_t value = 0;
    std::string lookup;
    bool fromMainWindow = false;
    bool fromMain = false; // the sender was the main window
};

// Every table a command test changes, saved and put back; a fresh run (the
// first command still to come), usage counters that record their keys.
class CommandFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        dftest::EnsureApp();
        savedHandlers_ = SetCommandHandlers({});
        savedServices_ = SetCommandServices({});
        savedViewer_ = SetViewerServices({});
        UpdateServices u;
        u.statCount = [this](uint16_t key) { counted.push_back(key); };
        savedUpdate_ = SetUpdateServices(std::move(u));
        savedRefresh_ = SetRefreshMenusHook({});
        savedDropDown_ = SetDropDownMenuHook({});
        MainEntryPoints calls;
        AddCommandEntryPoints(calls);
        savedEntries_ = SetMainEntryPoints(std::move(calls));
        previousSink_ = SetMessageSink(&sink);
        ClearRunLog();
        ResetFirstCommand();
        RequestedParagraph = 0;
        RequestedSection = 0;
        // Nothing a command starts may leave the test: programs and pages go
        // to the recording shell, queries to an empty socket folder.
        ASSERT_TRUE(sockets_.isValid());
        previousShell_ = SetShell(&shell);
        savedIpc_ = Ipc();
        Ipc() = IpcState{};
        Ipc().OwnWindow = OwnWindowOfProcess();
        Ipc().OwnExeName = QEVW_PROGRAM_DIR "/qevw"; // a real program, never started
        SetSocketFolderOverride(sockets_.path().toStdString() + "/");
        // Settings the commands save go to a file of the test.
        savedConfigPath_ = Config().ConfigPath();
        savedFallbackPath_ = Config().FallbackConfigPath();
        Config().SetPaths(sockets_.path().toStdString() + "/kalvo.ini", std::string());
        host = new RequestHost;
        host->show();
    }
    void TearDown() override
    {
        dftest::DeleteDataWindows(host);
        ResetMenuState();
        delete host;
        host = nullptr;
        dftest::Settle();
        SetSocketFolderOverride("");
        Config().SetPaths(savedConfigPath_, savedFallbackPath_);
        Ipc() = savedIpc_;
        SetShell(previousShell_);
        SetMessageSink(previousSink_);
        SetUpdateServices(std::move(savedUpdate_));
        SetViewerServices(std::move(savedViewer_));
        SetCommandServices(std::move(savedServices_));
        SetCommandHandlers(std::move(savedHandlers_));
        SetMainEntryPoints(std::move(savedEntries_));
        SetRefreshMenusHook(std::move(savedRefresh_));
        SetDropDownMenuHook(std::move(savedDropDown_));
    }

    // A handler under every name of the table that records its calls.
    void RecordEveryHandler()
    {
        for (const CommandRow& row : CommandTable())
            Record(std::string(row.handler));
    }
    void Record(const std::string& name)
    {
        RegisterCommandHandler(name, [this, name](const CommandCall& c) {
            seen.push_back(
                {name, KindLetters(c.code), c.value, c.lookup, c.fromMainWindow, c.sender == MainDataForm()});
        });
    }

    bool Counted(const char* letters) const
    {
        const uint16_t key = StatCodeOfText(letters);
        return std::find(counted.begin(), counted.end(), key) != counted.end();
    }
    size_t CountOf(const char* letters) const
    {
        const uint16_t key = StatCodeOfText(letters);
        return static_cast<size_t>(std::count(counted.begin(), counted.end(), key));
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> t;
        for (const auto& r : sink.Requests())
            t.push_back(r.text.toStdString());
        return t;
    }

    RequestHost* host = nullptr;
    std::vector<SeenCall> seen;
    std::vector<uint16_t> counted;
    RecordingMessageSink sink;
    RecordingShell shell;
    dftest::ScopedConfig config;

private:
    CommandHandlers savedHandlers_;
    CommandServices savedServices_;
    ViewerServices savedViewer_;
    UpdateServices savedUpdate_;
    MainEntryPoints savedEntries_;
    RefreshMenusHook savedRefresh_;
    DropDownMenuHook savedDropDown_;
    MessageSink* previousSink_ = nullptr;
    ShellOps* previousShell_ = nullptr;
    IpcState savedIpc_;
    QTemporaryDir sockets_;
    std::string savedConfigPath_;
    std::string savedFallbackPath_;
};

} // namespace cmdtest
