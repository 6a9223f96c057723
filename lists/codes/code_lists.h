#pragma once
// The code lists the drug lists are chosen from: indication groups,
// countries and registration holders.  The three lists differ only in the
// data of one CodeListSpec (table, fields, columns, texts, the drug list
// Enter opens); one CodeList serves the callbacks of each window.
//
// Tables follow the language of the moment: every opening and every fetch
// picks the English edition's table when the configuration's LanguageIndex
// is 1.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "datastore/db_table.h"
#include "datastore/table_layouts.h"
#include "frame/windows/link_kind.h"
#include "lists/toolkit/list_source.h"
#include "lists/toolkit/vyb_types.h"

class TVyb;

// A table and its two indexes in one language.
struct TableNames {
    const char* table;
    const char* codeIndex;
    const char* nameIndex;
};

// Whether the lists read the English edition's tables (LanguageIndex 1).
bool EnglishTables();
// The names of the current language.
const TableNames& CurrentNames(const TableNames& czech, const TableNames& english);

// Info kind 3 of a list that has only the shared buttons: their hints and
// captions, and the typing hint; nothing for a blank letter.
std::string SharedButtonInfo(uint8_t sub, const TVybRow& row, std::string_view key);

// Where a fetch mode other than the seek starts a walk over the positions
// first..last (`atTopPos` for the thumb, mode 7) and its step (+1, or -1 for
// the modes that fill backwards); false for a mode without a walk.
bool FetchWalkStart(const VybRec& rec, int32_t first, int32_t last, int32_t atTopPos, int32_t& pos,
                    int& step);

// When typed text turns a code list to name order.
enum class NameOrderRule : uint8_t {
    FirstNotDigit, // the first character is not a digit
    LongerThan3,   // more than three characters
    NameOnly,      // one order: neither Tab nor typing switch it
};

// How a record of a code list becomes its row text (after the status
// character).
enum class CodeRowKind : uint8_t {
    KeysAndName,  // each key field and a blank, then the name
    KeyThenName,  // the key field and the name side by side
    ClassGroup,   // the displayed group code (11), the activity mark, the name in two parts
    CategoryTree, // key, blank, name, character 255 and the tree marker
};

// Which records a code list does not show.
enum class HideRule : uint8_t {
    None,
    FlagSet,   // hideFlag is not blank
    FlagBlank, // hideFlag is blank (inactive)
};

// What the hint of column 1 says besides the cell.
enum class Column1Hint : uint8_t {
    Cell,
    DeviceCountry, // the device country's name
    ActiveMark,    // "VybPom.vu1" for "*", "vu1_" for an empty cell
};

struct CodeListSpec {
    const char* handlerName; // the dispatcher's name of the opener
    TableNames czech;
    TableNames english;
    const TableLayout* layout;
    // The row text after the status character: each key field and a blank,
    // then the name.  A key field of length 0 is absent.
    FieldPos key1;
    FieldPos key2;
    FieldPos name;
    FieldPos hideFlag; // see hideRule (length 0: none)
    const char* rowLayout;
    const char* columnNames;
    const char* columnOrder;
    uint8_t maxTyped;
    const char* buttons;
    const char* captionKey; // section VybPom
    const char* headerKey;
    const char* headingHintKey; // + the column number (nullptr: no heading hints)
    const char* icon;
    LinkKind offeredLink;
    int32_t count; // preset until the first seek
    // Enter opens the restricted list of these letters through `opener`
    // (nullptr: the drug lists' OpenDrugSubList) with this link kind.
    const char* restrictedList;
    LinkKind restrictedLink;
    NameOrderRule nameOrder;
    // Tab switches the order while at most this many characters are typed.
    size_t tabWhileTyped;
    HideRule hideRule = HideRule::FlagSet;
    CodeRowKind rowKind = CodeRowKind::KeysAndName;
    void (*opener)(uint16_t code, LinkKind linkKind) = nullptr;
    // The heading hint is the key alone for every column.
    bool oneHeadingHint = false;
    // A literal geometry instead of the compiled layout (nullptr: compile).
    const char* geometry = nullptr;
    Column1Hint column1Hint = Column1Hint::Cell;
    // The typed code is a displayed classification code, sought compact.
    bool compactCodeSeek = false;
    // The list letter the window opens with.
    char startLetter = 'C';
    // Tab switches the order (within tabWhileTyped).
    bool tabSwitches = true;
};

extern const CodeListSpec kIndicationGroupList;
extern const CodeListSpec kCountryList;
extern const CodeListSpec kHolderList;
// The code lists of the device and goods data sets.
extern const CodeListSpec kDeviceCountryList;
extern const CodeListSpec kDeviceMakerList;
extern const CodeListSpec kDeviceHolderList;
extern const CodeListSpec kDeviceTypeList;
extern const CodeListSpec kDeviceClassList;
extern const CodeListSpec kGoodsCountryList;
extern const CodeListSpec kGoodsMakerList;
// Every code list, for registration by handler name.
std::span<const CodeListSpec* const> AllCodeListSpecs();

// The compact key a typed classification code is sought by: a code of
// digits without points gets a point after each two digits, then it is
// padded with "0" to 11 characters and converted; a fourth character "~"
// is dropped, and so are trailing blanks.
std::string ClassGroupSeekKey(std::string_view typed);

// One code-list window's list: its table in the current language.
class CodeList : public ListSource {
public:
    explicit CodeList(const CodeListSpec& spec) : spec_(spec) {}

    // Opens the table of the current language with the index of `letter`
    // ("C" code, else name); false on a data-store failure.
    bool Open(char letter);

    std::string_view CheckTables() override;
    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override;
    ListAction React(VybRec& rec, ListAction action) override;
    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override;

    // The list letter typed text asks for.
    char LetterFor(std::string_view typed) const;
    // The row text of a record (status character first).
    std::string RowText(std::string_view record) const;

    const CodeListSpec& Spec() const { return spec_; }

protected:
    // Where the seek of mode 2 starts: the typed prefix, or its compact
    // form in the code order of the classification groups.
    std::string SeekKey(const VybRec& rec) const;
    // Whether the list shows a record (its activity flag).
    bool Shown(std::string_view record) const;

    const CodeListSpec& spec_;
    TDbTable table_;
    std::string record_;
};

// Opens (or raises) a code list; nothing but "Chyby.NoData" when its table
// cannot be read.  Returns the window, nullptr when none was made.
TVyb* OpenCodeList(const CodeListSpec& spec, uint16_t code);
void OpenIndicationGroupList(uint16_t code);
void OpenCountryList(uint16_t code);
void OpenHolderList(uint16_t code);

// The window of a code list.
ListWindowSpec CodeListWindowSpec(const CodeListSpec& spec, uint16_t code);
