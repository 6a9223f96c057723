#pragma once
// TIkona: the holder of the 46 named 33 x 33 images that list windows and
// pages copy (toolbar glyphs, list and viewer icons).  It is never shown; the
// main window creates it before its page.  The images are the program's own,
// compiled in from resources/ikona/ (a Qt resource file).  An unknown name
// gives an empty image.

#include <QPixmap>
#include <QString>

#include <map>
#include <string_view>
#include <vector>

class TIkona {
public:
    static constexpr int kSize = 33;
    TIkona();

    // The image of a name (exact, case-sensitive); an empty pixmap for an
    // unknown name.
    QPixmap Image(std::string_view name) const;
    bool Has(std::string_view name) const;
    int Count() const { return static_cast<int>(images_.size()); }

    // The names the holder keeps, in their fixed order.
    static const std::vector<const char*>& Names();

private:
    std::map<QString, QPixmap> images_;
};
