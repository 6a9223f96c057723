#pragma once
// Main-window tests: folders made with the writers, a page that records the
// events it gets, page hooks that record which page was made, and a scope
// that puts every process-wide table back.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/entry_points.h"
#include "frame/hooks.h"
#include "frame/pages/hints.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "frame/windows/main_form.h"
#include "frame/windows/style.h"
#include "platform/message_sink.h"
#include "start_fixtures.h"

namespace main_test {

using start_test::CompileTableBytes;
using start_test::WriteText;

inline const char* kUiTexts = "[Chyby]\n"
                              "DbVer=Nesprávná verze databáze.\n"
                              "[Uvod]\n"
                              "Ver=25.01\n"
                              "[Inst]\n"
                              "newVer=Nová verze:\\x20\n";

// A page that records every event and answers through `answer` (the code
// unchanged when empty: nothing handled).
class RecordingPage : public TPraded {
public:
    using TPraded::TPraded;
    std::vector<std::pair<int32_t, uint8_t>> events;
    std::function<int32_t(int32_t code, uint8_t shift)> answer;
    int layouts = 0;
    int paints = 0;
    int ticks = 0;

    int32_t HandleEvent(int32_t code, uint8_t shift) override
    {
        events.emplace_back(code, shift);
        return answer ? answer(code, shift) : code;
    }
    void Layout() override { ++layouts; }
    void Paint() override
    {
        ++paints;
        canvas->SetBrush(0x00C08040);
        canvas->FillRect(Rect{20, 20, 220, 120});
    }
    void Tick() override { ++ticks; }
    std::vector<int32_t> Codes() const
    {
        std::vector<int32_t> c;
        for (const auto& e : events)
            c.push_back(e.first);
        return c;
    }
};

// Which pages the hooks made, and the page calls.
struct PageLog {
    std::vector<std::string> made;  // "TInstWin", "THlpWin ?", "TMknWin 1" ...
    std::vector<std::string> calls; // "GoToTopic Obsah_" ...
    RecordingPage* last = nullptr;
};

inline PageHooks RecordingHooks(PageLog& log)
{
    PageHooks h;
    auto make = [&log](const PageContext& c, std::string name) {
        auto p = std::make_unique<RecordingPage>(c.state, c.canvas, c.width, c.height);
        log.last = p.get();
        log.made.push_back(std::move(name));
        return std::unique_ptr<TPraded>(std::move(p));
    };
    h.makeInstWin = [make](const PageContext& c) { return make(c, "TInstWin"); };
    h.makeHlpWin = [make](const PageContext& c, char mode) {
        return make(c, std::string("THlpWin ") + mode);
    };
    h.makeMknWin = [make](const PageContext& c, int v) { return make(c, "TMknWin " + std::to_string(v)); };
    h.makeDuplicity = [make](const PageContext& c) { return make(c, "TDuplicity"); };
    h.makePrazdno = [make](const PageContext& c) { return make(c, "TPrazdno"); };
    h.goToTopic = [&log](TPraded*, const std::string& t) { log.calls.push_back("GoToTopic " + t); };
    h.goToCode = [&log](TPraded*, const std::string& t) { log.calls.push_back("GoToCode " + t); };
    h.loadListFromText = [&log](TPraded*, const std::string& t) {
        log.calls.push_back("LoadListFromText " + t);
    };
    h.loadListFromSource = [&log](TPraded*, const std::string& t) {
        log.calls.push_back("LoadListFromSource " + t);
    };
    h.openPassedList = [&log](TPraded*, const std::string& t) { log.calls.push_back("OpenPassedList " + t); };
    return h;
}

// A program folder and a data folder with a drug table, and every table of
// hooks saved and put back.
class MainFormFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_test::EnsureApp();
        ASSERT_TRUE(tmp_.isValid());
        root = tmp_.path().toStdString() + "/";
        base = root + "base/";
        program = base + "qevw_v250100/";
        data = base + "data/";
        QDir().mkpath(QString::fromStdString(program));
        WriteText(program + "qevw.ces", CompileTableBytes(kUiTexts));
        MakeData(346, "[Verze]\nCislo=1\nNadpis=KALVO - zkušební data\n");

        savedStart_ = ProgramStart();
        savedPageHooks_ = SetPageHooks({});
        savedEntries_ = SetMainEntryPoints({});
        savedUpdate_ = SetUpdateServices({});
        savedViewer_ = SetViewerServices({});
        previousSink_ = SetMessageSink(&sink);
        TMainForm::SetExitRoutine([this](int code) { exitCalls.push_back(code); });
        ClearRunLog();
        UpdateStatusText().Set("");
        UpdateShared().SetStartPageNotice("");
        Config().Update([](ConfigValues& v) { v.DeclinedPackage.clear(); });
        ListCounters().Clear();

        StartValues& s = ProgramStart();
        s = StartValues{};
        s.ProgramFolder = program;
        s.OwnExecutable = program + "qevw";
        s.ProgramType = ProgramKind::Normal;
        SetDataDir(data);
    }

    void TearDown() override
    {
        TMainForm::SetExitRoutine({});
        SetMessageSink(previousSink_);
        SetPageHooks(std::move(savedPageHooks_));
        SetMainEntryPoints(std::move(savedEntries_));
        SetUpdateServices(std::move(savedUpdate_));
        SetViewerServices(std::move(savedViewer_));
        FreeTextTable(UiTexts);
        FreeTextTable(DataTexts);
        PublishProgramType(0);
        ProgramStart() = savedStart_;
        InputBusy = false;
    }

    void MakeData(int recordLength, const std::string& dataTexts)
    {
        QDir().mkpath(QString::fromStdString(data));
        start_test::WriteDrugTable(data, 0x0150, recordLength);
        WriteText(data + "kalvo.ces", CompileTableBytes(dataTexts));
    }

    // The window's creation with an environment that finds no configuration
    // outside the program folder.
    std::unique_ptr<TMainForm> Make()
    {
        MainFormOptions o;
        o.environment = [](const char*) { return std::string(); };
        o.sink = &sink;
        o.handOver = false;
        return std::make_unique<TMainForm>(o);
    }
    std::unique_ptr<TMainForm> MakeStarted()
    {
        auto w = Make();
        w->Start();
        return w;
    }

    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> t;
        for (const auto& r : sink.Requests())
            t.push_back(r.text.toStdString());
        return t;
    }

    RecordingMessageSink sink;
    std::vector<int> exitCalls;
    std::string root, base, program, data;

private:
    QTemporaryDir tmp_;
    StartValues savedStart_;
    PageHooks savedPageHooks_;
    MainEntryPoints savedEntries_;
    UpdateServices savedUpdate_;
    ViewerServices savedViewer_;
    MessageSink* previousSink_ = nullptr;
};

} // namespace main_test
