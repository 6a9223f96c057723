#pragma once
// The font and colour choosers the settings dialogs open.  Tests replace both
// through SetChooserServices, as they replace the dispatcher's file dialog;
// an empty member opens the real QFontDialog or QColorDialog.
//
// Main thread only.

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

struct ChooserServices {
    // The chosen font; nullopt when the user cancelled.
    std::function<std::optional<QFont>(const QFont& initial, QWidget* parent)> font;
    // The chosen colour; an invalid colour when the user cancelled.
    std::function<QColor(const QColor& initial, QWidget* parent)> colour;
};

// Replaces the choosers and returns the ones they replace.
ChooserServices SetChooserServices(ChooserServices services);

std::optional<QFont> ChooseFont(const QFont& initial, QWidget* parent);
QColor ChooseColour(const QColor& initial, QWidget* parent);

// Whether an installed family writes the Latin script (the program's texts
// are Central European Latin); false for a family that is not installed.
bool FamilyWritesLatin(const QString& family);
