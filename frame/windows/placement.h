#pragma once
// Placement of data windows in the main window's client area, the stored
// layout schemes, and the main window's own rectangle.
//
// Layout modes (WINDOWS=): 0 every window maximised, 1 windows left where they
// first showed, 2..4 the schemes SCH1..SCH3, in which each window kind has a
// rectangle in per mille of the client area (frame/config/placement_scheme.h).
// A window first shows at its design size (TDataForm::DesignSize) in a
// cascade from the top left; in mode 1 it shows maximised when the window
// below it, the active one, is maximised.
//
// The decisions are pure functions over rectangles, tested by tables; the
// functions at the end apply them to the MDI area.  Rectangles are QRects in
// the MDI viewport's coordinates (the client area; the toolbar is outside).

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <vector>

#include "frame/config/placement_scheme.h"

class QWidget;

// The rectangle of a record in a client area: per mille of the client height
// for top and height, of the client width for left and width (truncating).
QRect RecordRect(const PlacementRecord& record, QSize client);

// The record that places a window of `kind` in scheme `mode`: the exact
// record (kind without bit 15; the highest-numbered wins), else the highest
// record whose category agrees with the kind's in ever fewer low bits
// (masks 255, 510, ... 32640).  -1 when none.
int FindPlacementRecord(const PlacementTable& table, uint8_t mode, uint16_t kind);

// Moves a rectangle by (dx, dy) as long as another window's top-left corner
// sits on its own; `others` are the top-left corners of the other data
// windows with a Kind, in creation order.  (0, 0) moves nothing.
QRect CascadeRect(QRect rect, int dx, int dy, const std::vector<QPoint>& others);

// Cuts a rectangle that reaches past the client area's right or bottom edge
// back to it.  A side is never cut below `minimum`: the window moves up or
// left instead, but not past 0.
QRect FitToClient(QRect rect, QSize client, QSize minimum);

// Where a data window first shows: its design size (outer, with the
// sub-window's frame) cut to the client area but never below `minimum`, at
// the first step of a cascade from the top left that no other window's
// top-left corner holds (`step` pixels right and down per window), moved
// back left and up as far as needed to stay inside the client area.
QRect DesignRect(QSize design, QSize minimum, QSize client, int step, const std::vector<QPoint>& others);

struct PlacementRequest {
    uint8_t mode = 1;
    uint16_t kind = 0;
    QRect bounds;               // where the window is now
    QSize client;               // the client area
    QSize minimum;              // the window's smallest size
    std::vector<QPoint> others; // see CascadeRect
};

struct PlacementResult {
    bool maximised = false;
    QRect bounds;
};

// UmistiFormular's decision: mode 0 maximised; mode 1, a Kind of 0 or an
// empty client area keep the bounds; in a scheme the record's rectangle
// (else the bounds), cascaded by the scheme's shifts, fitted to the client.
PlacementResult DecidePlacement(const PlacementSchemes& schemes, const PlacementRequest& request);

struct PlacedWindow {
    uint16_t kind = 0;
    QRect bounds;
};

// Stores windows (with a non-zero kind) under `scheme` (2..4): each into the
// first record of its kind and scheme, else the first free record (skipped
// when there is neither), in per mille of the client area, with the kind's
// category.  Nothing when the client area is empty.
void StoreWindowScheme(PlacementTable& table, uint8_t scheme, const std::vector<PlacedWindow>& windows,
                       QSize client);

// The space a taskbar takes at each edge: the screen less its available area.
QMargins TaskbarMarginsOf(const QRect& screen, const QRect& available);

struct MainWindowInput {
    uint8_t programType = 3;
    QRect current;       // the main window's rectangle now
    int sampleWidth = 0; // pixel width of the 64-character sample sentence
    QRect sizePos;       // SIZEPOS
    QSize screen;        // the screen's size
    QRect desktop;       // the available area
    QMargins margins;    // TaskbarMarginsOf
};

// The main window's rectangle at start-up for its program type, kept on the
// desktop and clear of a taskbar at the top or left.
QRect ComputeMainWindowRect(const MainWindowInput& in);

// --- Applied to the running program ---------------------------------------

// Stores the rectangles of the data windows on screen into scheme 2..4 of
// the configuration's placement table.  A minimised window stores its
// restored rectangle.
void SaveWindowScheme(uint8_t scheme);
// Places every data window with a Kind as if the layout mode were `scheme`.
void ApplyWindowScheme(uint8_t scheme);
// The main window's rectangle (outer frame) for a program type; the screen is
// the main window's (the primary one before it exists).
QRect MainWindowRect(uint8_t programType, const QWidget* mainWindow, int sampleWidth);
// Taskbar margins of the main window's screen.
QMargins TaskbarMargins(const QWidget* mainWindow);
// The taskbar's state: no platform here reports it, so both are false.
void ReadTaskbar(bool& autoHide, bool& alwaysOnTop);
