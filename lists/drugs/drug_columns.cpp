// The column sets of the drug lists and the texts of the user's sign list,
// which every drug-based list shares.

#include <array>
#include <cstring>

#include "datastore/drug_row.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/config/config_file.h"
#include "lists/drugs/drug_lists.h"
#include "lists/toolkit/column_language.h"
#include "platform/ascii.h"
#include "platform/coding.h"

namespace {

// The user's list shipped with the data; it has a name of its own.
constexpr std::string_view kShippedList = "VIDUD";

std::string SignListName()
{
    const UserFileHooks hooks = CurrentUserFileHooks();
    std::string name = hooks.signListName ? hooks.signListName() : std::string();
    WinToKamS(name);
    return name;
}

bool IsShippedList(const std::string& name)
{
    return AsciiUpper(name) == kShippedList;
}

// The list's name as the user reads it.
std::string ShownListName(const std::string& name)
{
    return IsShippedList(name) ? ProgramText("PozList", "SZP") : name;
}

} // namespace

const DrugColumnSet kCombinedDrugColumns{
    false,
    "KodNaz-42Dop=73-35Oba-04DrzZeDSR Ob InSATCRC =26TR =03Ex ZavDP NV VP =03DD =07DDB=09EAN=03BraUh "
    "=03Cla=06",
    "Kod,Naz,Dop,Oba,Drz,ZeD,SR,Ob,InS,ATC,RC,TR,Ex,Zav,DP,NV,VP,DD,DDB,EAN,Bra,Uh,Cla",
    "Kod/18,Naz/42,Dop/24,SR,Ob,Drz,ZeD,VP,Uh,ATC,Cla,Naz/66,TR/3,DP,NV,Zav,Dop,TR,Naz,InS,Ex,DD,DDB,RC/"
    "40,EAN/18,Bra,"
    "RC/60",
    "Naz/42,Kod/18,Dop/24,SR,Ob,Drz,ZeD,VP,Uh,ATC,Cla,Naz/66,TR/3,DP,NV,Zav,Dop,TR,Naz,InS,Ex,DD,DDB,RC/"
    "40,EAN/18,Bra,"
    "RC/60",
    "RC/60,TR/3,Naz/42,Kod/18,Dop/24,Cla,SR,Ob,Drz,ZeD,VP,Uh,ATC,Naz/"
    "66,DP,NV,Zav,Dop,TR,Naz,InS,Ex,DD,DDB,EAN/18,Bra",
    "EAN,Naz/42,Kod/18,Dop/24,Cla,SR,Ob,Drz,ZeD,VP,Uh,ATC,Naz/66,TR/3,DP,NV,Zav,Dop,TR,Naz,InS,Ex,DD,DDB,RC/"
    "40,Bra,"
    "RC/60",
    "Kod/18,Naz/42,Dop/24,ATC,SR,Ob,Drz,ZeD,VP,Uh,Cla,Naz/66,TR/3,DP,NV,Zav,Dop,TR,Naz,InS,Ex,DD,DDB,RC/"
    "40,EAN/18,Bra,"
    "RC/60",
};

const DrugColumnSet kSplitDrugColumns{
    true,
    "KodNaz-42Sil-15LFo-15Bal-14Oba-04DrzZeDSR Ob InSATCRC =26TR =03Ex ZavDP NV VP =03DD "
    "=07DDB=09EAN=03BraUh =03Cla="
    "06",
    "Kod,Naz,Sil,LFo,Bal,Oba,Drz,ZeD,SR,Ob,InS,ATC,RC,TR,Ex,Zav,DP,NV,VP,DD,DDB,EAN,Bra,Uh,Cla",
    "Kod/18,Naz/42,Sil/33,LFo/27,Bal/21,SR,Ob,Drz,ZeD,VP,Uh,ATC,Cla,Naz/66,TR/"
    "3,DP,NV,Zav,Sil,TR,Naz,InS,LFo,Bal,Ex,DD,"
    "DDB,RC/40,EAN,Bra,RC/60",
    "Naz/42,Kod/18,Sil/33,LFo/27,Bal/21,SR,Ob,Drz,ZeD,VP,Uh,ATC,Cla,Naz/66,TR/"
    "3,DP,NV,Zav,Sil,TR,Naz,InS,LFo,Bal,Ex,DD,"
    "DDB,RC/40,EAN,Bra,RC/60",
    "RC/60,TR/3,Naz/42,Kod/18,Sil/33,LFo/27,Bal/21,Cla,SR,Ob,Drz,ZeD,VP,Uh,ATC,Naz/"
    "66,DP,NV,Zav,Sil,TR,Naz,InS,LFo,Bal,"
    "Ex,DD,DDB,EAN,Bra",
    "EAN,Naz/42,Kod/18,Sil/33,LFo/27,Bal/21,Cla,SR,Ob,Drz,ZeD,VP,Uh,ATC,Naz/66,TR/"
    "3,DP,NV,Zav,Sil,TR,Naz,InS,LFo,Bal,"
    "Ex,DD,DDB,RC/40,Bra,RC/60",
    "Kod/18,Naz/42,Sil/33,LFo/27,Bal/21,ATC,SR,Ob,Drz,ZeD,VP,Uh,Cla,Naz/66,TR/"
    "3,DP,NV,Zav,Sil,TR,Naz,InS,LFo,Bal,Ex,DD,"
    "DDB,RC/40,EAN,Bra,RC/60",
};

const DrugColumnSet& ActiveDrugColumns()
{
    return Config().Read([](const ConfigValues& v) { return v.longDrugColumns; }) ? kSplitDrugColumns
                                                                                  : kCombinedDrugColumns;
}

const std::string& DrugColumnWidthTable()
{
    // The codes a row layout names without a length take the drug record's
    // field lengths, every one as text (a text field's descriptor is its
    // length - 1); the drug row's own columns give theirs in the layouts.
    static const std::string table = [] {
        std::string t(1, static_cast<char>(kKlLayout.FieldCount()));
        for (const FieldDef& f : kKlLayout.fields) {
            char b[2];
            EncodeLE16(b, PackedFieldName(f.name));
            t.append(b, 2);
        }
        for (const FieldDef& f : kKlLayout.fields)
            t += static_cast<char>(DescriptorLength(f.descriptor) - 1);
        return t;
    }();
    return table;
}

std::string_view DrugColumnOrder(const DrugColumnSet& set, char letter)
{
    switch (letter) {
    case 'K': return set.orderK;
    case 'N': return set.orderN;
    case 'R':
    case 'U': return set.orderR;
    case 'E': return set.orderE;
    default: return set.orderSub;
    }
}

std::string DrugListGeometry(const DrugColumnSet& set, char letter)
{
    std::string layout(set.rowLayout);
    if (letter == 'E') {
        const size_t at = layout.find("EAN=03");
        if (at != std::string::npos)
            layout.replace(at, 6, "EAN=13");
    }
    layout += '.';
    return CompileColumnLayout(layout, DrugColumnWidthTable(), set.names);
}

std::string DrugListOrder(const DrugColumnSet& set, char letter)
{
    return ColumnNamesToOrder(set.names, DrugColumnOrder(set, letter));
}

std::string DrugListHeader(const DrugColumnSet& set, char letter, std::string_view extra)
{
    std::string header(1, '\0');
    header += ProgramText("VybLek", "hdr");
    header += extra;
    if (set.split) {
        // Over the details (the NUL stands for the status character).
        constexpr auto kDetailsAt = static_cast<size_t>(kDrugRowDetails.Offset());
        const std::string split = ProgramText("VybLek", "hdr3");
        for (size_t i = 0; i < split.size() && kDetailsAt + i < header.size(); ++i)
            header[kDetailsAt + i] = split[i];
    }
    if (letter == 'E') {
        // The EAN list's wider EAN column: blanks before the Braille column.
        constexpr auto kEanAt = static_cast<size_t>(kDrugRowBraille.Offset());
        header.insert(std::min(kEanAt, header.size()), 10, ' ');
    }
    return header;
}

std::string UserListHintLine(int64_t recordNumber)
{
    const auto list = SignListSnapshot();
    if (!list || !list->active || !SignListHas(*list, recordNumber))
        return {};
    return "\r" + ProgramText("Cudl", "usr") + ShownListName(SignListName());
}

std::string UserListButtonText(uint8_t sub, uint16_t buttonState)
{
    const bool on = (buttonState & 0x200) != 0;
    const auto list = SignListSnapshot();
    const bool loaded = list && list->active;
    switch (sub) {
    case 0: {
        if (!loaded)
            return ProgramText("Cudl", "usrJak");
        const std::string name = SignListName();
        std::string hint =
            IsShippedList(name) ? ProgramText("Cudl", "usrSZP") : ProgramText("Cudl", "usrt") + name;
        if (on)
            hint += "\r" + ProgramText("Cudl", "usrtf");
        return hint;
    }
    case 1: return ProgramText("Cudl", on ? "usr00" : "usr0");
    case 2: return on ? "D" : "";
    default: return {};
    }
}
