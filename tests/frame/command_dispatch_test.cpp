// The dispatcher: which handler a code reaches, and the steps before it.

#include "tests/frame/command_test_support.h"

#include <QMdiArea>
#include <QToolButton>

namespace {

using cmdtest::CommandFixture;
using cmdtest::Kam;

class Dispatch : public CommandFixture {};

TEST_F(Dispatch, EveryRowReachesItsHandlerWithItsOwnCode)
{
    RecordEveryHandler();
    struct Case {
        const char* code;
        const char* handler;
    };
    // One code per row of the table, and the catch-all rows with several.
    const Case cases[] = {
        {"VAC", "OpenAtcList"},
        {"VAA", "OpenAtcList"},
        {"VCC", "OpenCountryList"},
        {"VHC", "OpenHolderList"},
        {"VIC", "OpenIndicationGroupList"},
        {"XRN", "OpenReimbursementList"},
        {"XRA", "OpenReimbursementAtcList"},
        {"XRR", "OpenAtcReferenceList"},
        {"XTD", "OpenTextFoundList"},
        {"XTP", "OpenGoodsTextFoundList"},
        {"XQD", "OpenDrugCondition"},
        {"XQT", "OpenDeviceCondition"},
        {"DAA", "OpenDrugSubList"},
        {"DBA", "OpenDrugSubList"},
        {"DXC", "OpenSubstanceDrugList"},
        {"DNA", "OpenDrugList"},
        {"DCA", "OpenDrugList"},
        {"DRE", "OpenDrugList"},
        {"DMA", "OpenDrugList"},
        {"DAB", "OpenDrugList"},
        {"CXD", "OpenCompositionList"},
        {"CXN", "OpenCompositionList"},
        {"CXS", "OpenCompositionList"},
        {"CBA", "OpenComponentSynonymList"},
        {"CNA", "OpenComponentList"},
        {"CXA", "OpenComponentList"},
        {"FAC", "OpenGoodsCategoryList"},
        {"FCC", "OpenGoodsCountryList"},
        {"FFC", "OpenGoodsMakerList"},
        {"PNA", "OpenGoodsList"},
        {"PMA", "OpenGoodsList"},
        {"TNA", "OpenDeviceList"},
        {"UAC", "OpenDeviceHolderList"},
        {"UCC", "OpenDeviceCountryList"},
        {"UFC", "OpenDeviceMakerList"},
        {"UKC", "OpenDeviceClassList"},
        {"UTC", "OpenDeviceTypeList"},
        {"dAB", "OpenRecordViewer"},
        {"dAE", "OpenRecordViewer"},
        {"dAK", "OpenRecordViewer"},
        {"dIA", "OpenRecordViewer"},
        {"dIS", "OpenRecordViewer"},
        {"dLL", "OpenRecordViewer"},
        {"dMA", "OpenRecordViewer"},
        {"dPI", "OpenRecordViewer"},
        {"dSP", "OpenRecordViewer"},
        {"dXX", "OpenRecordViewer"},
        {"dNO", "OpenNotesViewer"},
        {"pAR", "OpenRecordViewer"},
        {"pPI", "OpenRecordViewer"},
        {"pMA", "OpenLekHlavList"},
        {"tMA", "OpenRecordViewer"},
        {"tPR", "OpenRecordViewer"},
        {"rCY", "OpenConsumptionList"},
        {"rHA", "OpenPriceHistory"},
        {"rTS", "OpenProductPdf"},
        {"rUL", "OpenProductPdf"},
        {"cSY", "OpenComponentSynonymList"},
        {"RMR", "StartCopy"},
        {"RMO", "StartCopy"},
        {"RDP", "StartCopy"},
        {"RMD", "OpenDuplicityCheck"},
        {"RWC", "OpenProductWebPage"},
        {"RWP", "OpenProductWebPage"},
        {"SSF", "TNastav1"},
        {"SSL", "TNastav2"},
        {"SSC", "TNastav3"},
        {"SSW", "TNastav4"},
        {"SSI", "TNastav5"},
        {"SSV", "TNastav6"},
        {"SOS", "TStatistika"},
        {"SHP", "TOAplikaci"},
        {"SHT", "ToggleToolTips"},
        {"SHD", "ToggleDataTips"},
        {"SHC", "HelpTopic"},
        {"SHI", "HelpTopic"},
        {"SHH", "HelpTopic"},
        {"SHA", "HelpOnWindow"},
        {"SWC", "ArrangeWindows"},
        {"SWT", "ArrangeWindows"},
        {"SWX", "ApplyWindowScheme"},
        {"SWY", "ApplyWindowScheme"},
        {"SWZ", "ApplyWindowScheme"},
        {"SUN", "ImportNotes"},
        {"SUU", "ChooseSignListSource"},
        {"sOM", "SwitchDataSet"},
        {"sOF", "SwitchDataSet"},
        {"sOT", "SwitchDataSet"},
        {"sOX", "ExitProgram"},
        {"sPW", "PrintWindow"},
        {"sPF", "EndPrintJob"},
        {"sPS", "PrinterSetup"},
        {"sBC", "CopyWindow"},
        {"sBF", "ExportWindow"},
        {"sBE", "ExportToSpreadsheet"},
        {"sBW", "ExportToWordProcessor"},
        {"sBX", "OpenExternalDocument"},
        {"sBM", "ShowMaximalDoses"},
        {"sBJ", "StartMaximJoin"},
    };
    for (const Case& c : cases) {
        seen.clear();
        ExecuteCommand(host, KindOf(c.code), 0);
        ASSERT_EQ(seen.size(), 1u) << c.code;
        EXPECT_EQ(seen[0].handler, c.handler) << c.code;
        EXPECT_EQ(seen[0].letters, c.code);
    }
}

TEST_F(Dispatch, TheCaseOfTheFirstLetterPicksTheGroup)
{
    RecordEveryHandler();
    // Only bit 15 differs.
    EXPECT_EQ(KindOf("DMA") | 0x8000, KindOf("dMA"));
    ExecuteCommand(host, KindOf("DMA"), 0);
    ExecuteCommand(host, 37281, 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].handler, "OpenDrugList");
    EXPECT_EQ(seen[1].handler, "OpenRecordViewer");
}

TEST_F(Dispatch, CodesNoRowTakesDoNothing)
{
    RecordEveryHandler();
    for (const char* code : {"VZZ", "XAA", "EAA", "dZZ", "pXX", "tXX", "rAA", "cXA", "RXX", "SSX", "sOA",
                             "sBZ", "SWL", "AAA", "uAA"})
        ExecuteCommand(host, KindOf(code), 0);
    // Codes without all three letters name no command either.
    for (uint16_t code : {uint16_t(0), uint16_t(1), uint16_t(KindOf("DN")), uint16_t(0x8000)})
        ExecuteCommand(host, code, 0);
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(RunLogText().empty()) << RunLogText();
}

TEST_F(Dispatch, AnUnregisteredHandlerLeavesOneRunLogLineNamingIt)
{
    ExecuteCommand(host, KindOf("VAC"), 0);
    EXPECT_EQ(RunLogText(), "OpenAtcList: nothing registered (VAC)\r\n");
    ClearRunLog();
    ExecuteCommand(host, KindOf("sBM"), 0);
    EXPECT_EQ(RunLogText(), "ShowMaximalDoses: nothing registered (sBM)\r\n");
}

TEST_F(Dispatch, RequestBytesAndModeAreClearedForEverySenderButTheMainWindow)
{
    RecordEveryHandler();
    auto* other = new dftest::ProbeWindow(KindOf("DNA"));
    struct Case {
        TDataForm* sender;
        int32_t value;
        bool kept;
        bool fromMainWindow;
    };
    const Case cases[] = {
        {host, 1, true, true},
        {host, 0, true, false},
        {other, 1, false, false},
        {nullptr, 1, false, false},
    };
    for (const Case& c : cases) {
        seen.clear();
        host->RequestMode = RequestModeCode::RequestedPosition;
        RequestedParagraph = 0x45;
        RequestedSection = 7;
        ExecuteCommand(c.sender, KindOf("dSP"), c.value);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].fromMainWindow, c.fromMainWindow);
        EXPECT_EQ(host->RequestMode, c.kept ? 6 : 0);
        EXPECT_EQ(RequestedParagraph, c.kept ? 0x45 : 0);
        EXPECT_EQ(RequestedSection, c.kept ? 7 : 0);
    }
}

TEST_F(Dispatch, TheLookupRequestGoesToTheCommandOnceAndIsCleared)
{
    RecordEveryHandler();
    host->LookupRequest = Kam("PARALEN");
    ExecuteCommand(host, KindOf("DNA"), 0);
    ExecuteCommand(host, KindOf("DNA"), 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].lookup, Kam("PARALEN"));
    EXPECT_EQ(seen[1].lookup, "");
    EXPECT_TRUE(host->LookupRequest.empty());
    // Also a command that takes no lookup uses it up.
    host->LookupRequest = "X";
    ExecuteCommand(host, KindOf("SHC"), 0);
    EXPECT_TRUE(host->LookupRequest.empty());
}

TEST_F(Dispatch, TheFirstCommandCountsTheOptionsInEffectOnce)
{
    RecordEveryHandler();
    Config().Update([](ConfigValues& v) {
        v.ToolbarVisible = true;
        v.SignListName = "MOJE";
        v.FilterFlags = 0x100 | 0x04 | 0x40;
        v.paragraphCurrent.start[0] = 0x41; // K
        v.paragraphCurrent.first[0] = "AB"; // K
        v.tipUser = true;
        v.tipData = false;
        v.SeptacOption = 1;
        v.windowMode = WindowMode::Sch2;
    });
    host->LookupRequest = "P";
    ExecuteCommand(host, KindOf("DNA"), 0);
    for (const char* key : {"oSP", "oOE", "oLE", "oFB", "oFS", "oFU", "oPK", "oQK", "oHU", "oHW", "oWS"})
        EXPECT_EQ(CountOf(key), 1u) << key;
    for (const char* key : {"oSI", "oFA", "oFO", "oFZ", "oPS", "oQS", "oHD", "oWO"})
        EXPECT_FALSE(Counted(key)) << key;
    const size_t after = counted.size();
    ExecuteCommand(host, KindOf("DNA"), 0);
    EXPECT_EQ(counted.size(), after);

    // Another run with other settings counts the other side.
    counted.clear();
    ResetFirstCommand();
    Config().Update([](ConfigValues& v) {
        v = ConfigValues{};
        v.tipUser = false;
        v.tipData = true;
        v.SeptacOption = 0;
        v.windowMode = WindowMode::Max;
    });
    ExecuteCommand(host, KindOf("SHC"), 0);
    for (const char* key : {"oSI", "oHD", "oWO"})
        EXPECT_EQ(CountOf(key), 1u) << key;
    for (const char* key : {"oSP", "oOE", "oLE", "oHU", "oHW", "oWS"})
        EXPECT_FALSE(Counted(key)) << key;
    // The main window's one-shot request counts as a pending lookup.
    counted.clear();
    ResetFirstCommand();
    host->Kind = KindOf("DNA");
    ExecuteCommand(host, KindOf("SHC"), 0);
    EXPECT_TRUE(Counted("oSP"));
    host->Kind = 0;
}

TEST_F(Dispatch, WindowCommandsAreCountedByTheirOwnCodeBeforeTheyRun)
{
    ExecuteCommand(host, KindOf("SHC"), 0); // the first command's counts out of the way
    Record("ArrangeWindows");
    Record("ApplyWindowScheme");
    size_t countedWhenRun = 0;
    RegisterCommandHandler("ArrangeWindows", [&](const CommandCall&) { countedWhenRun = CountOf("SWC"); });
    ExecuteCommand(host, KindOf("SWC"), 0);
    EXPECT_EQ(countedWhenRun, 1u);
    ExecuteCommand(host, KindOf("SWY"), 0);
    EXPECT_EQ(CountOf("SWY"), 1u);
    // Other groups are not counted by the dispatcher.
    ExecuteCommand(host, KindOf("SHC"), 0);
    EXPECT_FALSE(Counted("SHC"));
}

TEST_F(Dispatch, TheToolbarDialogLaysTheToolbarOutWhenItsListOrFlagChanged)
{
    LayoutSpeedButtons(host->toolBar, DataSetCode::Drugs, "-dMA-");
    struct Case {
        const char* newList;
        bool newVisible;
        bool laidOut;
    };
    const Case cases[] = {
        {"-dMA-", false, false},
        {"-dMA-sPW-", false, true},
        {"-dMA-", true, true},
    };
    for (const Case& c : cases) {
        Config().Update([](ConfigValues& v) {
            v.ToolbarSelection = "-dMA-";
            v.ToolbarVisible = false;
        });
        host->toolBar->setVisible(false);
        LayoutSpeedButtons(host->toolBar, DataSetCode::Drugs, "-dMA-");
        RegisterCommandHandler("TNastav5", [&c](const CommandCall&) {
            Config().Update([&c](ConfigValues& v) {
                v.ToolbarSelection = c.newList;
                v.ToolbarVisible = c.newVisible;
            });
        });
        ExecuteCommand(host, KindOf("SSI"), 0);
        QToolButton* print = SpeedButtonNamed(host->toolBar, "PrintSB");
        ASSERT_NE(print, nullptr);
        EXPECT_EQ(!print->isHidden(), c.laidOut && std::string(c.newList).find("sPW") != std::string::npos)
            << c.newList;
        EXPECT_EQ(!host->toolBar->isHidden(), c.laidOut && c.newVisible) << c.newList;
    }
}

TEST_F(Dispatch, TheLanguageSwitchFollowsAChangedChoiceOnly)
{
    std::vector<char> switched;
    CommandServices s;
    s.loadLanguage = [&](char l) { switched.push_back(l); };
    SetCommandServices(std::move(s));
    for (const uint8_t chosen : {uint8_t(0), uint8_t(1), uint8_t(1), uint8_t(0)}) {
        RegisterCommandHandler("TNastav2", [chosen](const CommandCall&) {
            Config().Update([chosen](ConfigValues& v) { v.LanguageIndex = chosen; });
        });
        ExecuteCommand(host, KindOf("SSL"), 0);
    }
    EXPECT_EQ(switched, (std::vector<char>{'E', 'C'}));
    // A dialog that is not there yet changes nothing and switches nothing.
    RegisterCommandHandler("TNastav2", {});
    ExecuteCommand(host, KindOf("SSL"), 0);
    EXPECT_EQ(switched.size(), 2u);
}

TEST_F(Dispatch, RefreshesTheMenusAfterEveryCommand)
{
    RecordEveryHandler();
    std::vector<TDataForm*> refreshed;
    SetRefreshMenusHook([&](TDataForm* active) { refreshed.push_back(active); });
    ExecuteCommand(host, KindOf("DNA"), 0);
    ExecuteCommand(host, KindOf("SHC"), 0);
    EXPECT_EQ(refreshed.size(), 2u);
}

} // namespace
