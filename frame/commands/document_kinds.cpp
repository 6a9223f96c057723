// The document kinds of the record viewer, one row each.  Columns: letter,
// command, link, source, icon, title key, document file, opener checks the
// file, reads the record, text kind, change letter, usage key, initial
// filter, visibility key, tabs, tab usage, requested tab limit, bar buttons,
// features.

#include "frame/commands/document_kinds.h"

#include <array>

#include "frame/commands/kind_code.h"

namespace {

using R = DocumentKindRow;
using S = DocumentSource;
using F = InitialFilter;
using T = TabStyle;
using U = TabUsage;
constexpr LinkKind kDrug = LinkKind::Drug;
constexpr LinkKind kGoods = LinkKind::Goods;
constexpr LinkKind kDevice = LinkKind::Device;
constexpr LinkKind kSubstance = LinkKind::Substance;

// clang-format off
constexpr std::array kRows{
    R{'1', "tMA", kDevice, S::DeviceMethod, "ILSPC", "TMetod", "pztmet", true, true, ' ', 0, "",
      F::MethodText, "VybL", T::Short, U::None, 0, 3, kContentsButton},
    R{'2', "tMB", kDevice, S::DeviceMethod, "ILSPC", "TMetod", "", false, false, ' ', 0, "",
      F::MethodText, "VybL", T::Short, U::None, 0, 3, kContentsButton},
    R{'A', "dIA", kDrug, S::ArticleInteractions, "ILCl", "intKVO", "kodex", true, true, 'R', 'C', "iD ",
      F::Interactions, "VybA", T::Hidden, U::Chapter, 0, 3, 0},
    R{'B', "dAB", kDrug, S::Article, "ILCl", "Brevir", "kodex", true, true, 'R', 'C', "iB ",
      F::Stored, "VybB", T::Short, U::Chapter, 0, 4, kFilterButton | kPrescriptionButton},
    R{'E', "dAE", kDrug, S::EnglishArticle, "ILCl", "Engest", "kodexa", true, true, 'E', '-', "",
      F::Stored, "VybE", T::Short, U::None, 0, 3, kFilterButton},
    R{'I', "dIS", kDrug, S::SpcInteractions, "ILSPC", "intSPC", "spc", true, true, 'S', 'S', "iD ",
      F::SpcSection, "VybL", T::Named, U::None, 0, 3, 0},
    R{'K', "dAK", kDrug, S::Article, "ILCl", "Clanek", "kodex", true, true, 'R', 'C', "iK ",
      F::Stored, "VybK", T::Short, U::Chapter, 0, 4, kFilterButton | kPrescriptionButton},
    R{'L', "dLL", kDrug, S::Leaflet, "ILLet", "Letak", "letak", true, true, 'L', 'L', "iL ",
      F::All, "VybL", T::Short, U::None, 0, 4, kContentsButton | kPrescriptionButton},
    R{'M', "dMA", kDrug, S::DrugRecord, "ILHl", "Hlavni", "", false, true, ' ', 'H', "iM ",
      F::All, "VybM", T::Named, U::Main, 7, 3, kWebButtons},
    R{'N', "cSN", kSubstance, S::Synonyms, "IKSyn", "Clanek", "", false, false, ' ', 0, "",
      F::All, "VybN", T::Short, U::None, 0, 3, kFilterButton},
    R{'P', "dPI", kDrug, S::Photo, "ILObr", "Foto", "", false, true, ' ', 0, "iP ",
      F::All, "VybL", T::Empty, U::None, 0, 3, kContentsButton},
    R{'Q', "pPI", kGoods, S::Photo, "ILObr", "Foto", "", false, true, ' ', 0, "iQ ",
      F::All, "VybQ", T::Empty, U::None, 0, 3, kFilterButton},
    R{'R', "pAR", kGoods, S::GoodsArticle, "ILCl", "Clanek", "pfakodex", true, true, 'R', 0, "",
      F::Stored, "VybR", T::Short, U::None, 0, 3, kFilterButton},
    R{'S', "dSP", kDrug, S::Spc, "ILSPC", "SPC", "spc", true, true, 'S', 'S', "iS ",
      F::Stored, "VybL", T::Short, U::Paragraph, 19, 5,
      kContentsButton | kFilterButton | kPrescriptionButton | kMaxDoseRequest},
    R{'T', "tPR", kDevice, S::DeviceRecord, "ILHl", "THlav", "pztuhsx", false, true, ' ', 0, "",
      F::All, "VybT", T::Named, U::None, 0, 3, kContentsButton},
    R{'X', "dXX", kDrug, S::Contraindications, "ILPoz", "Kontra", "kodex", false, true, 'R', '-', "",
      F::All, "VybX", T::Short, U::None, 0, 3, kFilterButton},
    R{'Y', "cSY", kSubstance, S::Synonyms, "IKSyn", "Clanek", "", false, false, ' ', 0, "",
      F::All, "VybY", T::Short, U::None, 0, 3, kFilterButton},
};

constexpr R kUnknown{0, "", kDrug, S::Article, "ILCl", "Clanek", "", false, true, ' ', 0, "",
                     F::All, "", T::Short, U::None, 0, 3, kFilterButton};
// clang-format on

} // namespace

std::span<const DocumentKindRow> DocumentKinds()
{
    return kRows;
}

const DocumentKindRow& DocumentKindOf(char letter)
{
    for (const DocumentKindRow& r : kRows)
        if (r.letter == letter)
            return r;
    return kUnknown;
}

const DocumentKindRow* DocumentKindOfCommand(uint16_t code)
{
    const std::string letters = KindLetters(code);
    for (const DocumentKindRow& r : kRows)
        if (r.command == letters)
            return &r;
    return nullptr;
}
