// The command table: which handler runs which code.  Rows are matched in
// order, so the specific codes of a group stand before the group's catch-all
// row ("D??" after "DAA", "DBA", "DXC").

#include <array>

#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"

namespace {

// Owners of handlers other layers register.
constexpr std::string_view kCodeLists = "lists: ATC, code and reimbursement lists";
constexpr std::string_view kDrugLists = "lists: drug lists";
constexpr std::string_view kTextSearch = "lists: full-text search";
constexpr std::string_view kConditions = "lists: compound search conditions";
constexpr std::string_view kSubstances = "lists: substance and composition lists";
constexpr std::string_view kGoods = "lists: non-drug goods lists";
constexpr std::string_view kDevices = "lists: medical-device lists";
constexpr std::string_view kSettings = "maintenance: settings and information dialogs";
constexpr std::string_view kOffice = "frame: spreadsheet and word-processor export";
constexpr std::string_view kMaxim = "viewers: maximal doses";

using R = CommandRow;
constexpr CommandStep kNone = CommandStep::None;

constexpr std::array kRows{
    R{"VA?", "OpenAtcList", kCodeLists, kNone},
    R{"VC?", "OpenCountryList", kCodeLists, kNone},
    R{"VH?", "OpenHolderList", kCodeLists, kNone},
    R{"VI?", "OpenIndicationGroupList", kCodeLists, kNone},
    R{"XRN", "OpenReimbursementList", kCodeLists, kNone},
    R{"XRA", "OpenReimbursementAtcList", kCodeLists, kNone},
    R{"XRR", "OpenAtcReferenceList", kCodeLists, kNone},
    R{"XTD", "OpenTextFoundList", kTextSearch, kNone},
    R{"XTP", "OpenGoodsTextFoundList", kGoods, kNone},
    R{"XQD", "OpenDrugCondition", kConditions, kNone},
    R{"XQT", "OpenDeviceCondition", kConditions, kNone},
    R{"DAA", "OpenDrugSubList", kDrugLists, kNone},
    R{"DBA", "OpenDrugSubList", kDrugLists, kNone},
    R{"DXC", "OpenSubstanceDrugList", kSubstances, kNone},
    R{"D??", "OpenDrugList", kDrugLists, kNone},
    R{"CXD", "OpenCompositionList", kSubstances, kNone},
    R{"CXN", "OpenCompositionList", kSubstances, kNone},
    R{"CXS", "OpenCompositionList", kSubstances, kNone},
    R{"CBA", "OpenComponentSynonymList", kSubstances, kNone},
    R{"C??", "OpenComponentList", kSubstances, kNone},
    R{"FA?", "OpenGoodsCategoryList", kGoods, kNone},
    R{"FC?", "OpenGoodsCountryList", kGoods, kNone},
    R{"FF?", "OpenGoodsMakerList", kGoods, kNone},
    R{"P??", "OpenGoodsList", kGoods, kNone},
    R{"T??", "OpenDeviceList", kDevices, kNone},
    R{"UA?", "OpenDeviceHolderList", kDevices, kNone},
    R{"UC?", "OpenDeviceCountryList", kDevices, kNone},
    R{"UF?", "OpenDeviceMakerList", kDevices, kNone},
    R{"UK?", "OpenDeviceClassList", kDevices, kNone},
    R{"UT?", "OpenDeviceTypeList", kDevices, kNone},
    R{"dAB", "OpenRecordViewer", {}, kNone},
    R{"dAE", "OpenRecordViewer", {}, kNone},
    R{"dAK", "OpenRecordViewer", {}, kNone},
    R{"dIA", "OpenRecordViewer", {}, kNone},
    R{"dIS", "OpenRecordViewer", {}, kNone},
    R{"dLL", "OpenRecordViewer", {}, kNone},
    R{"dMA", "OpenRecordViewer", {}, kNone},
    R{"dPI", "OpenRecordViewer", {}, kNone},
    R{"dSP", "OpenRecordViewer", {}, kNone},
    R{"dXX", "OpenRecordViewer", {}, kNone},
    R{"dNO", "OpenNotesViewer", {}, kNone},
    R{"pAR", "OpenRecordViewer", {}, kNone},
    R{"pPI", "OpenRecordViewer", {}, kNone},
    R{"pMA", "OpenLekHlavList", kGoods, kNone},
    R{"tMA", "OpenRecordViewer", {}, kNone},
    R{"tPR", "OpenRecordViewer", {}, kNone},
    R{"rC?", "OpenConsumptionList", {}, kNone},
    R{"rH?", "OpenPriceHistory", {}, kNone},
    R{"rT?", "OpenProductPdf", {}, kNone},
    R{"rU?", "OpenProductPdf", {}, kNone},
    R{"cS?", "OpenComponentSynonymList", kSubstances, kNone},
    R{"RMR", "StartCopy", {}, kNone},
    R{"RMO", "StartCopy", {}, kNone},
    R{"RDP", "StartCopy", {}, kNone},
    R{"RMD", "OpenDuplicityCheck", {}, kNone},
    R{"RWC", "OpenProductWebPage", {}, kNone},
    R{"RWP", "OpenProductWebPage", {}, kNone},
    R{"SSF", "TNastav1", kSettings, kNone},
    R{"SSL", "TNastav2", kSettings, CommandStep::Language},
    R{"SSC", "TNastav3", kSettings, CommandStep::Colours},
    R{"SSW", "TNastav4", kSettings, kNone},
    R{"SSI", "TNastav5", kSettings, CommandStep::Toolbar},
    R{"SSV", "TNastav6", kSettings, kNone},
    R{"SOS", "TStatistika", kSettings, kNone},
    R{"SHP", "TOAplikaci", kSettings, kNone},
    R{"SHT", "ToggleToolTips", {}, kNone},
    R{"SHD", "ToggleDataTips", {}, kNone},
    R{"SHC", "HelpTopic", {}, kNone},
    R{"SHI", "HelpTopic", {}, kNone},
    R{"SHH", "HelpTopic", {}, kNone},
    R{"SHA", "HelpOnWindow", {}, kNone},
    R{"SWC", "ArrangeWindows", {}, kNone},
    R{"SWT", "ArrangeWindows", {}, kNone},
    R{"SWX", "ApplyWindowScheme", {}, kNone},
    R{"SWY", "ApplyWindowScheme", {}, kNone},
    R{"SWZ", "ApplyWindowScheme", {}, kNone},
    R{"SUN", "ImportNotes", {}, kNone},
    R{"SUU", "ChooseSignListSource", {}, kNone},
    R{"sOM", "SwitchDataSet", {}, kNone},
    R{"sOF", "SwitchDataSet", {}, kNone},
    R{"sOT", "SwitchDataSet", {}, kNone},
    R{"sOX", "ExitProgram", {}, kNone},
    R{"sPW", "PrintWindow", {}, kNone},
    R{"sPF", "EndPrintJob", {}, kNone},
    R{"sPS", "PrinterSetup", {}, kNone},
    R{"sBC", "CopyWindow", {}, kNone},
    R{"sBF", "ExportWindow", {}, kNone},
    R{"sBE", "ExportToSpreadsheet", kOffice, kNone},
    R{"sBW", "ExportToWordProcessor", kOffice, kNone},
    R{"sBX", "OpenExternalDocument", {}, kNone},
    R{"sBM", "ShowMaximalDoses", kMaxim, kNone},
    R{"sBJ", "StartMaximJoin", kMaxim, kNone},
};

} // namespace

std::span<const CommandRow> CommandTable()
{
    return kRows;
}

bool PatternMatches(std::string_view pattern, uint16_t code)
{
    if (pattern.size() != 3)
        return false;
    const std::string letters = KindLetters(code);
    for (size_t i = 0; i < 3; ++i)
        if (pattern[i] != '?' && pattern[i] != letters[i])
            return false;
    return true;
}

const CommandRow* FindCommandRow(uint16_t code)
{
    // A code without its three letters names no command.
    if ((code & 0x7C00) == 0 || (code & 0x03E0) == 0 || (code & 0x001F) == 0)
        return nullptr;
    for (const CommandRow& row : kRows)
        if (PatternMatches(row.pattern, code))
            return &row;
    return nullptr;
}
