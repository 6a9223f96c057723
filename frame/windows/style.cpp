#include "frame/windows/style.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/cp1250.h"

namespace {

constexpr uint32_t kAppWorkspace = kSystemColour + 12;

RefreshMenusHook& MenusHook()
{
    static RefreshMenusHook hook;
    return hook;
}

} // namespace

QColor ColourOfSetting(uint32_t colour)
{
    if (colour == kAppWorkspace || colour == SysColour::Desktop)
        return QColor(0x80, 0x80, 0x80);
    // An inactive window's frame and caption: the palette's mid tone with
    // plain text, so that they read as inactive in any style.
    if (colour == SysColour::InactiveCaption || colour == SysColour::InactiveBorder ||
        colour == SysColour::InactiveCaptionText) {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
            const QPalette p = QGuiApplication::palette();
            return colour == SysColour::InactiveCaptionText ? p.color(QPalette::Active, QPalette::Text)
                                                            : p.color(QPalette::Active, QPalette::Mid);
        }
    }
    return ToQColor(colour);
}

QColor ProgramColour(const std::array<uint32_t, 7>& table, int index)
{
    if (index < 0 || index >= ColourIndex::Count)
        return QColor(0, 0, 0);
    return ColourOfSetting(table[static_cast<size_t>(index)]);
}

QColor ProgramColour(int index)
{
    const std::array<uint32_t, 7> table = Config().Read([](const ConfigValues& v) { return v.ColourTable; });
    return ProgramColour(table, index);
}

QString FontFamilyOfSetting(std::string_view name)
{
    QString family = Cp1250ToQString(name).trimmed();
    if (family.endsWith(QStringLiteral(" CE"), Qt::CaseInsensitive))
        family.chop(3);
    return family.trimmed();
}

QFont FontOfSetting(const ConfigFont& font)
{
    QFont q;
    const QString family = FontFamilyOfSetting(font.name);
    if (!family.isEmpty())
        q.setFamilies({family});
    q.setStyleHint(QFont::SansSerif);
    if (font.size > 0)
        q.setPointSize(font.size);
    else if (font.size < 0)
        q.setPixelSize(-font.size);
    q.setBold((font.style & 1) != 0);
    q.setItalic((font.style & 2) != 0);
    q.setUnderline((font.style & 4) != 0);
    q.setStrikeOut((font.style & 8) != 0);
    return q;
}

CanvasFont CanvasFontOfSetting(const ConfigFont& font)
{
    CanvasFont c;
    const QString family = FontFamilyOfSetting(font.name);
    if (!family.isEmpty())
        c.family = family.toLatin1().toStdString();
    c.size = font.size > 0 ? font.size : (font.size < 0 ? std::max(1, -font.size * 72 / 96) : 9);
    c.bold = (font.style & 1) != 0;
    c.italic = (font.style & 2) != 0;
    c.underline = (font.style & 4) != 0;
    c.colour = 0;
    return c;
}

RefreshMenusHook SetRefreshMenusHook(RefreshMenusHook hook)
{
    std::swap(MenusHook(), hook);
    return hook;
}

void RefreshMenus(TDataForm* active)
{
    // A copy, so that a hook may replace itself while it runs.
    const RefreshMenusHook hook = MenusHook();
    if (hook)
        hook(active);
}

namespace {

DropDownMenuHook& DropDownHook()
{
    static DropDownMenuHook hook;
    return hook;
}

} // namespace

DropDownMenuHook SetDropDownMenuHook(DropDownMenuHook hook)
{
    std::swap(DropDownHook(), hook);
    return hook;
}

void DropDownMenu(int tag)
{
    const DropDownMenuHook hook = DropDownHook();
    if (hook)
        hook(tag);
}
