#pragma once
// The main window's speed buttons: 27 buttons, each with its command code in
// its "tag" property, a 24 x 24 glyph drawn here and the hint "Pruh." + its
// name.  Which buttons show is the configuration's TOOLBAR= list
// ("-dMA-dAK-...-"); they are placed left to right, 28 pixels apart, with a
// gap of 14 between groups, by the data set.
//
// Main thread only.

#include "datastore/data_set.h"
#include <QIcon>
#include <QPixmap>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class QToolBar;
class QToolButton;
class QWidget;
class TMainForm;

struct SpeedButtonSpec {
    const char* name;
    const char* letters; // the command code's three letters
};
// The buttons in the order the toolbar dialog lists them.
std::span<const SpeedButtonSpec> SpeedButtons();

constexpr int kSpeedButtonStep = 28;
constexpr int kSpeedButtonGap = 14;

// Whether "-" + the code's letters + "-" occurs in a TOOLBAR= list.
bool ToolbarListHas(std::string_view list, uint16_t code);

// Creates the buttons on the toolbar (once), then shows and places those of
// the data set that the list holds.
void LayoutSpeedButtons(QToolBar* bar, DataSetCode dataSet);
// The same with an explicit list (tests, the toolbar dialog's preview).
void LayoutSpeedButtons(QToolBar* bar, DataSetCode dataSet, std::string_view list);
// After the toolbar dialog: lays the buttons out again for the main window's
// data set and shows or hides the toolbar.
void RelayoutToolbarAfterSettings(bool visible);

// A click on a speed button of the main window: counted, then its command
// runs for the main window (the goods data set opens its own record viewers
// for the drug buttons "dMA" and "dAK").  Codes below 256 or above 16 bits
// run nothing.
void SpeedButtonClick(TMainForm* form, QToolButton* button);

// Enables the record and output buttons for the enabled menu groups.
void EnableSpeedButtons(const std::string& groups, bool dataWindows);

// The buttons' holder on a toolbar, and a button by name.
QWidget* SpeedButtonHolder(QToolBar* bar);
QToolButton* SpeedButtonNamed(QToolBar* bar, std::string_view name);
// The main window's toolbar (nullptr when none was laid out).
QToolBar* MainToolBar();

// The 24 x 24 glyph of a button's code (an empty pixmap for another code).
QPixmap SpeedButtonGlyph(uint16_t code);
QIcon SpeedButtonIcon(uint16_t code);
