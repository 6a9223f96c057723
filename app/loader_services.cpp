#include "app/loader_services.h"

#include <cassert>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/sign_sets.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "datastore/zlp_table.h"
#include "frame/config/config_file.h"
#include "frame/dates.h"
#include "frame/entry_points.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/main_form.h"
#include "frame/windows/style.h"
#include "platform/gui/http_transfer.h"
#include "platform/main_thread_call.h"

namespace {

class FrameLoaderServices : public LoaderServices {
public:
    FrameLoaderServices()
    {
        const StartValues& s = ProgramStart();
        in_.programType = PublishedProgramType();
        in_.dataSet = PublishedDataSet();
        in_.options = s.Options;
        in_.positionals = s.Positionals;
        in_.positionalCount = s.PositionalCount;
        in_.dataDir = DataDir();
        in_.programFolder = s.ProgramFolder;
        in_.installRoot = s.SharedRoot;
        in_.stationName = s.WorkstationName;
        languageIndex_ = Config().Read([](const ConfigValues& v) { return v.LanguageIndex; });
        ownWindow_ = Ipc().OwnWindow;
    }

    LoaderInputs Inputs() override { return in_; }

    void LoadParagraphLists() override { ::LoadParagraphLists(); }

    void SetupEdition() override { ::SetupEdition(static_cast<uint8_t>(in_.dataSet)); }

    void LoadCodeTables() override
    {
        const CodeTablesResult r = ::LoadCodeTables(in_.dataSet, languageIndex_ == 1 ? 1 : 0);
        // The boxes are queued for the main thread; the loader goes on.
        if (r.countryStatus != 0)
            ShowError(LookupText(UiTexts, "Chyby", "WrongZem"));
        if (r.isvStatus != 0 && in_.dataSet == DataSetCode::Drugs)
            ShowError(LookupText(UiTexts, "Chyby", "WrongIS"));
    }

    uint32_t SendStartQuery(const std::string& query) override { return SendCopyData(query, ownWindow_); }

    void DropDownMenu(int tag) override
    {
        PostToMainThread([tag] {
            assert(IsMainThread());
            ::DropDownMenu(tag);
        });
    }

    int AskOkCancel(const std::string& text) override
    {
        // The loader's texts are in the display code page; the box takes
        // the data code page.
        std::string kam = text;
        WinToKamS(kam);
        return CallOnMainThread([kam] {
            assert(IsMainThread());
            return ::AskOkCancel(kam);
        });
    }

    LoaderSettings ReadSettings() override
    {
        return Config().Read([](const ConfigValues& v) {
            LoaderSettings s;
            s.autoUpdate = v.AutoUpdateSetting;
            s.nextCheckDate = v.NextCheckDate;
            s.newsOption = v.NewsOption;
            s.newsDate = v.newsDate;
            s.zlpDate = v.zlpDate;
            s.zlpSize = v.zlpSize;
            s.connectionFlags = v.ConnectionFlags;
            return s;
        });
    }

    void SaveDeclinedPackage(const std::string& text) override
    {
        Config().Update([&text](ConfigValues& v) { v.DeclinedPackage = text; });
        SaveConfig(false);
    }

    void ClearZlpSettings() override
    {
        Config().Update([](ConfigValues& v) {
            v.zlpDate.clear();
            v.zlpSize.clear();
        });
        SaveConfig(false);
    }

    std::string TodayYmd() override { return DateTextYmd(0); }
    uint16_t TodayCode() override { return ::TodayCode(); }
    SharedText& StatusLine() override { return UpdateStatusText(); }
    std::string UiText(const std::string& section, const std::string& key) override
    {
        return KamToWin(LookupText(UiTexts, section, key));
    }
    void StopNetwork() override { StopHttpTransfers(); }

private:
    LoaderInputs in_;
    uint8_t languageIndex_ = 0;
    uint32_t ownWindow_ = 0;
};

} // namespace

std::shared_ptr<LoaderServices> MakeFrameLoaderServices()
{
    return std::make_shared<FrameLoaderServices>();
}

void AddLoaderEntryPoints(MainEntryPoints& calls)
{
    calls.startLoader = [] { StartPomalyStart(MakeFrameLoaderServices()); };
    calls.requestLoaderStop = [] { RequestPomalyStartStop(); };
    calls.waitLoaderEnd = [](int ms) { return WaitPomalyStartEnd(ms); };
    calls.loadMaximList = [] { return ::LoadMaximList() == 0; };
    calls.freeRunTables = [] {
        FreeCodeTables();
        FreeUserFileState();
        ClearSignSets(SignSets(), 0, -2);
    };
}
