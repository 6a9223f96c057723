#pragma once
// The program's seven colours and its fonts as Qt sees them, and the hook
// through which windows ask the menus to follow the active data window.
//
// Every painter, dialog and data window takes its colours from ProgramColour
// and builds its fonts with FontOfSetting, so that a changed setting looks the
// same everywhere.

#include <QColor>
#include <QFont>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "frame/config/config_file.h"
#include "platform/gui/canvas.h"

class TDataForm;

// The entries of COLOURS=, by what the program paints with them.
namespace ColourIndex {
constexpr int FieldBackground = 0; // edits, lists, grids, MDI children
constexpr int Text = 1;
constexpr int MainBackground = 2; // the main window's client area
constexpr int GreyText = 3;
constexpr int ButtonText = 4;
constexpr int Highlight = 5;        // highlighted text
constexpr int DialogBackground = 6; // dialogs, panels, notebooks, fixed cells
constexpr int Count = 7;
} // namespace ColourIndex

// One colour word of the configuration (0x00BBGGRR, or 0xFF000000 + a system
// colour number) as a QColor.  System colours come from the application
// palette (clWindow Base, clWindowText Text, clBtnFace Button, clBtnText
// ButtonText, clGrayText the disabled Text, clHighlight and
// clHighlightText, active captions Highlight and HighlightedText, inactive
// ones and the inactive border Mid with Text, clMenuText WindowText); the
// application workspace and the desktop are a fixed grey, as most styles have
// no role for them.
QColor ColourOfSetting(uint32_t colour);

// Entry `index` (0..6) of a colour table; an index outside gives black.
QColor ProgramColour(const std::array<uint32_t, 7>& table, int index);
// The same from the configuration's current COLOURS=.
QColor ProgramColour(int index);

// The family a configured font name asks for: the name in code page 1250,
// with a trailing " CE" (the old name of a font's Central European variant)
// dropped, since the same font covers those letters here.
QString FontFamilyOfSetting(std::string_view name);

// The font of a setting: family as above (a missing family falls back through
// Qt's matching), size in points (a negative size is a pixel height), style
// bits bold 1, italic 2, underline 4, strike-out 8.
QFont FontOfSetting(const ConfigFont& font);

// The same setting as a canvas font (printing draws through a canvas).
CanvasFont CanvasFontOfSetting(const ConfigFont& font);

// The menus' refresh for the active data window (nullptr when there is none).
// The menu code installs the hook; until then RefreshMenus does nothing.
using RefreshMenusHook = std::function<void(TDataForm* active)>;
// Installs a hook and returns the one it replaces.
RefreshMenusHook SetRefreshMenusHook(RefreshMenusHook hook);
void RefreshMenus(TDataForm* active);

// Drops down the main menu whose tag is given (4: the items for a chosen
// record, 6: the same in the device data set), so that the user picks what
// to open for it.  The menu code installs the hook; until then it does
// nothing.
using DropDownMenuHook = std::function<void(int tag)>;
// Installs a hook and returns the one it replaces.
DropDownMenuHook SetDropDownMenuHook(DropDownMenuHook hook);
void DropDownMenu(int tag);
