#pragma once
// The main menu, the Window menu and the sign-list menu.  The menu is built at
// run time from section "Menu" of the program's texts, so captions, order,
// shortcuts and command codes follow the language file:
//
//   MA=caption|shortcut|name   top-level entries, keys "M" + letter, first;
//   XA=caption|shortcut|name   the sub-entries of the top-level entry whose
//                              name begins with "X", keys "X" + letter.
//
// Captions are data code page texts ("-" makes a separator).  A sub-item's
// name is a group character and the three letters of its command code; the
// group decides in which data sets the item shows and when it is enabled.
// Item data holds the tag: a command code below 0x10000, 0x10000 + n the
// data window at registry position n, 0x12000 and above the sign lists.
//
// Main thread only.

#include "datastore/data_set.h"
#include <QPointer>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;
class TDataForm;

namespace MenuTag {
constexpr uint32_t WindowBase = 0x10000;
constexpr uint32_t NoSignList = 0x12000;
constexpr uint32_t BuiltInSignList = 0x12001;
constexpr uint32_t FirstUserSignList = 0x12010;
constexpr uint32_t SignListSeparator = 0x12099;
} // namespace MenuTag

// One entry of section "Menu".
struct MenuEntry {
    std::string key;
    std::string caption;  // data code page
    std::string shortcut; // as the file writes it ("Ctrl+P", "Ctrl+Del")
    std::string name;     // four characters
};
// The entries of section "Menu" in table order.
std::vector<MenuEntry> ReadMenuEntries();
// Splits "caption|shortcut|name".
MenuEntry ParseMenuEntry(std::string key, std::string_view value);

// Visibility masks (AND the data set) of a top-level item's and a
// sub-item's first name character.
uint8_t TopLevelMask(char first, DataSetCode dataSet, uint16_t dataParts);
uint8_t SubItemMask(char group, DataSetCode dataSet, uint16_t dataParts);
// The enabled group characters for an active data window (nullptr: none).
std::string EnabledGroups(TDataForm* active);
// A shortcut text as Qt reads it: the old key names (BkSp, PgUp, PgDn, Ins,
// Del) mapped; empty when it does not parse.
QString ShortcutText(std::string_view text);

// --- The menus of the main window ------------------------------------------

// BuildMainMenu: fills the window's menu bar for a data set.
void FillMainMenu(QMainWindow* window, DataSetCode dataSet);
// The same for given data parts (else the main window's).
void FillMainMenu(QMainWindow* window, DataSetCode dataSet, uint16_t dataParts);
void RefreshMainMenus(TDataForm* active);
void RebuildWindowMenu();
void BuildSignListMenu();
void DropDownMainMenu(int tag);
// The click handler of every item.
void MenuItemClick(QAction* item);

// The built menus (nullptr before the first build).
QMenuBar* MainMenuBar();
QMenu* WindowMenu();
QMenu* SignListMenu();
// The top-level item of a tag (its position among the top-level entries).
QAction* TopLevelItem(int tag);
// Every item of the main menu with a name, top-level ones included.
std::vector<QAction*> MainMenuItems();
QAction* MenuItemNamed(std::string_view name);

// Forgets the built menus (the main window's start and its end).
void ResetMenuState();
