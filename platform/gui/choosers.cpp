#include "platform/gui/choosers.h"

#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>

#include <utility>

namespace {

ChooserServices& Table()
{
    static ChooserServices services;
    return services;
}

} // namespace

ChooserServices SetChooserServices(ChooserServices services)
{
    ChooserServices old = std::move(Table());
    Table() = std::move(services);
    return old;
}

std::optional<QFont> ChooseFont(const QFont& initial, QWidget* parent)
{
    if (auto f = Table().font)
        return f(initial, parent);
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return font;
}

QColor ChooseColour(const QColor& initial, QWidget* parent)
{
    if (auto f = Table().colour)
        return f(initial, parent);
    return QColorDialog::getColor(initial, parent);
}

bool FamilyWritesLatin(const QString& family)
{
    return QFontDatabase::families(QFontDatabase::Latin).contains(family, Qt::CaseInsensitive);
}
