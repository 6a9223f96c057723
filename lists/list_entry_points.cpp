#include "lists/list_entry_points.h"

#include <algorithm>
#include <array>
#include <string>

#include "frame/commands/command_services.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/entry_points.h"
#include "frame/windows/data_form.h"
#include "lists/codes/atc_list.h"
#include "lists/codes/code_lists.h"
#include "lists/codes/reimbursement_lists.h"
#include "lists/conditions/condition_window.h"
#include "lists/devices/device_lists.h"
#include "lists/drugs/drug_lists.h"
#include "lists/drugs/product_history_lists.h"
#include "lists/goods/goods_categories.h"
#include "lists/goods/goods_header.h"
#include "lists/goods/goods_lists.h"
#include "lists/substances/substance_lists.h"
#include "lists/toolkit/list_window.h"

void AddListEntryPoints(MainEntryPoints& calls)
{
    calls.refreshListMarks = [] {
        for (TVyb* w : ListWindows())
            if (w->LinkKinds[1] == LinkKind::Drug && !w->Closing())
                w->SendAction(ActionCode::RefillInPlace);
    };
    calls.dropRowHints = [] {
        for (TVyb* w : ListWindows())
            if (!w->Closing())
                w->ShowRowHint(0);
    };
}

namespace {

// The five words of a full-text search a list was built with: five short
// strings of 41 bytes, a length, then up to 40 characters.
std::array<std::string, 5> SearchWordsOf(TDataForm* form)
{
    std::array<std::string, 5> words;
    auto* list = dynamic_cast<TVyb*>(form);
    if (list == nullptr || list->Source() == nullptr)
        return words;
    const std::string block = list->Source()->SearchWords();
    for (size_t i = 0; i < 5 && (i + 1) * 41 <= block.size(); ++i) {
        const size_t at = i * 41;
        const size_t n = std::min<size_t>(static_cast<unsigned char>(block[at]), 40);
        words[i] = block.substr(at + 1, n);
    }
    return words;
}

} // namespace

void RegisterListCommands()
{
    RegisterCommandHandler("OpenDrugList", [](const CommandCall& c) { OpenDrugList(c.code, c.lookup); });
    RegisterCommandHandler("OpenDrugSubList", [](const CommandCall& c) {
        OpenDrugSubList(c.code, KindLetters(c.code)[1] == 'B' ? LinkKind::Drug : LinkKind::AtcGroup);
    });
    for (const CodeListSpec* spec : AllCodeListSpecs())
        RegisterCommandHandler(spec->handlerName,
                               [spec](const CommandCall& c) { OpenCodeList(*spec, c.code); });
    RegisterCommandHandler("OpenAtcList", [](const CommandCall& c) { OpenAtcList(c.code, c.lookup); });
    RegisterCommandHandler("OpenReimbursementList",
                           [](const CommandCall& c) { OpenReimbursementList(c.code); });
    RegisterCommandHandler("OpenReimbursementAtcList",
                           [](const CommandCall& c) { OpenReimbursementAtcList(c.code); });
    RegisterCommandHandler("OpenAtcReferenceList",
                           [](const CommandCall& c) { OpenAtcReferenceList(c.code); });
    RegisterCommandHandler("OpenConsumptionList", [](const CommandCall& c) { OpenConsumptionList(c.code); });
    RegisterCommandHandler("OpenPriceHistory", [](const CommandCall& c) { OpenPriceHistory(c.code); });
    RegisterCommandHandler("OpenDrugCondition", [](const CommandCall& c) { OpenDrugCondition(c.code); });
    RegisterCommandHandler("OpenDeviceCondition", [](const CommandCall& c) { OpenDeviceCondition(c.code); });
    RegisterSubstanceListCommands();
    RegisterCommandHandler("OpenGoodsList", [](const CommandCall& c) { OpenGoodsList(c.code, c.lookup); });
    RegisterCommandHandler("OpenGoodsTextFoundList",
                           [](const CommandCall& c) { OpenGoodsTextFoundList(c.code); });
    RegisterCommandHandler("OpenLekHlavList", [](const CommandCall& c) { OpenLekHlavList(c.code); });
    RegisterCommandHandler("OpenGoodsCategoryList",
                           [](const CommandCall& c) { OpenGoodsCategoryList(c.code); });
    RegisterCommandHandler("OpenDeviceList", [](const CommandCall& c) { OpenDeviceList(c.code, c.lookup); });

    CommandServices s = SetCommandServices({});
    s.searchWordsOf = SearchWordsOf;
    s.repositionDrugLists = [] {
        for (TDataForm* f : AllDataForms())
            if (auto* list = dynamic_cast<TVyb*>(f);
                list != nullptr && (f->LinkKinds[0] == LinkKind::Drug || f->LinkKinds[1] == LinkKind::Drug))
                list->Reposition();
    };
    SetCommandServices(std::move(s));
}
