#include "frame/commands/toolbar.h"

#include <QAction>
#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>

#include <array>
#include <map>

#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/entry_points.h"
#include "frame/windows/data_form.h"
#include "frame/windows/main_form.h"

namespace {

constexpr std::array<SpeedButtonSpec, 27> kButtons{{
    {"LekySB", "sOM"},   {"PfaSB", "sOF"},     {"PztSB", "sOT"},    {"LekNazSB", "DNA"}, {"LekDrzSB", "VHC"},
    {"LekAtcSB", "VAC"}, {"LekTextSB", "XTD"}, {"LekKomSB", "CNA"}, {"PfaNazSB", "PNA"}, {"PfaOblSB", "FAC"},
    {"PztNazSB", "TNA"}, {"PztTypSB", "UTC"},  {"MainSB", "dMA"},   {"LkdxSB", "dAK"},   {"LengSB", "dAE"},
    {"LpilSB", "dLL"},   {"LspcSB", "dSP"},    {"LintrSB", "dIS"},  {"LsAtcSB", "DBA"},  {"LslozSB", "CXD"},
    {"KlekySB", "DXC"},  {"PrintSB", "sPW"},   {"ExcelSB", "sBE"},  {"WordSB", "sBW"},   {"MknSB", "RMR"},
    {"DuplSB", "RMD"},   {"sToolSB", "SSI"},
}};

constexpr const char* kHolderName = "SpeedButtons";
constexpr int kButtonSize = 27;

QPointer<QToolBar>& MainBar()
{
    static QPointer<QToolBar> bar;
    return bar;
}

// A gap (nullptr) or a button name, per data set.
using Group = std::vector<const char*>;

std::vector<Group> GroupsOf(DataSetCode dataSet, bool duplicity)
{
    std::vector<Group> g(4);
    switch (static_cast<uint8_t>(dataSet)) {
    case 1:
        g[0] = {"PfaSB", "PztSB"};
        g[1] = {"LekNazSB", "LekDrzSB", "LekAtcSB", "LekTextSB", "LekKomSB"};
        g[2] = {"MainSB",  "LkdxSB",  "LengSB",  "LpilSB", "LspcSB",
                "LintrSB", "LsAtcSB", "LslozSB", nullptr,  "KlekySB"};
        break;
    case 2:
        g[0] = {"LekySB", "PztSB"};
        g[1] = {"PfaNazSB", "PfaOblSB"};
        g[2] = {"MainSB", "LkdxSB"};
        break;
    case 4:
        g[0] = {"LekySB", "PfaSB"};
        g[1] = {"PztNazSB", "PztTypSB"};
        break;
    default: break;
    }
    g[3] = {"PrintSB", "ExcelSB", "WordSB", "MknSB"};
    if (duplicity)
        g[3].push_back("DuplSB");
    g[3].push_back("sToolSB");
    return g;
}

bool DuplicityTextExists()
{
    std::string value;
    return GetTextEntry(UiTexts, "Dupl", "dup1", value) != 0;
}

void OnClick(QToolButton* button)
{
    QWidget* w = button;
    while (w != nullptr && dynamic_cast<TMainForm*>(w) == nullptr)
        w = w->parentWidget();
    if (auto* main = dynamic_cast<TMainForm*>(w)) {
        SpeedButtonClick(main, button);
        return;
    }
    const uint32_t tag = button->property("tag").toUInt();
    if (tag >= 256 && tag < 0x10000)
        ExecuteCommand(MainDataForm(), static_cast<uint16_t>(tag), 0);
}

} // namespace

void SpeedButtonClick(TMainForm* form, QToolButton* button)
{
    if (button == nullptr)
        return;
    StatCount(StatCodeOfText("oOU"));
    const uint32_t tag = button->property("tag").toUInt();
    if (tag >= 0x10000)
        return;
    uint16_t code = static_cast<uint16_t>(tag);
    if (code < 256)
        return;
    if (form->DataSet == DataSetCode::Goods) {
        if (code == KindOf("dMA"))
            code = KindOf("pMA");
        else if (code == KindOf("dAK"))
            code = KindOf("pAR");
    }
    ExecuteCommand(form, code, 0);
}

namespace {

QWidget* EnsureButtons(QToolBar* bar)
{
    if (QWidget* holder = SpeedButtonHolder(bar))
        return holder;
    auto* holder = new QWidget(bar);
    holder->setObjectName(QString::fromLatin1(kHolderName));
    for (const SpeedButtonSpec& spec : kButtons) {
        auto* b = new QToolButton(holder);
        const uint16_t code = KindOf(spec.letters);
        b->setObjectName(QString::fromLatin1(spec.name));
        b->setProperty("tag", QVariant::fromValue<uint32_t>(code));
        const std::string key = std::string("Pruh.") + spec.name;
        b->setProperty("helpKeyword", QString::fromLatin1(key.c_str()));
        b->setToolTip(KamToQString(LookupText(UiTexts, "Pruh", spec.name)));
        b->setIcon(SpeedButtonIcon(code));
        b->setIconSize(QSize(24, 24));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->resize(kButtonSize, kButtonSize);
        b->hide();
        QObject::connect(b, &QToolButton::clicked, b, [b] { OnClick(b); });
    }
    bar->addWidget(holder);
    return holder;
}

// --- Glyphs -----------------------------------------------------------------

enum class Shape { Page, List, Pill, Jar, Plus, Printer, Grid, Lines, Cross, Pair, Gear };

struct GlyphSpec {
    const char* letters;
    Shape shape;
    QRgb colour;
    const char* label;
};

constexpr GlyphSpec kGlyphs[] = {
    {"sOM", Shape::Pill, 0x2F6FD0, ""},    {"sOF", Shape::Jar, 0x2E9A4A, ""},
    {"sOT", Shape::Plus, 0xE07020, ""},    {"DNA", Shape::List, 0x2F6FD0, "N"},
    {"VHC", Shape::List, 0x8050B0, "H"},   {"VAC", Shape::List, 0xC03030, "A"},
    {"XTD", Shape::List, 0x407080, "T"},   {"CNA", Shape::List, 0x208080, "L"},
    {"PNA", Shape::List, 0x2E9A4A, "N"},   {"FAC", Shape::List, 0x2E9A4A, "K"},
    {"TNA", Shape::List, 0xE07020, "N"},   {"UTC", Shape::List, 0xE07020, "T"},
    {"dMA", Shape::Page, 0x2F6FD0, "M"},   {"dAK", Shape::Page, 0x8050B0, "K"},
    {"dAE", Shape::Page, 0x3060A0, "EN"},  {"dLL", Shape::Page, 0x2E9A4A, "PL"},
    {"dSP", Shape::Page, 0xC03030, "SPC"}, {"dIS", Shape::Page, 0xB07000, "!"},
    {"DBA", Shape::Page, 0xC03030, "ATC"}, {"CXD", Shape::Page, 0x208080, "S"},
    {"DXC", Shape::Pair, 0x208080, ""},    {"sPW", Shape::Printer, 0x505050, ""},
    {"sBE", Shape::Grid, 0x2E7D32, ""},    {"sBW", Shape::Lines, 0x2B5797, ""},
    {"RMR", Shape::Cross, 0xC03030, ""},   {"RMD", Shape::Pair, 0xD04040, "D"},
    {"SSI", Shape::Gear, 0x606060, ""},
};

void DrawLabel(QPainter& p, const QRectF& r, const QString& text, const QColor& colour)
{
    if (text.isEmpty())
        return;
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(text.size() >= 3 ? 7 : (text.size() == 2 ? 9 : 11));
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

void DrawPage(QPainter& p, const QColor& c, const QString& label)
{
    QPainterPath page;
    page.moveTo(4.5, 1.5);
    page.lineTo(15.5, 1.5);
    page.lineTo(20.5, 6.5);
    page.lineTo(20.5, 22.5);
    page.lineTo(4.5, 22.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(15.5, 1.5), QPointF(15.5, 6.5));
    p.drawLine(QPointF(15.5, 6.5), QPointF(20.5, 6.5));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(5, 17, 15, 5));
    DrawLabel(p, QRectF(4, 6, 17, 11), label, c);
}

void DrawList(QPainter& p, const QColor& c, const QString& label)
{
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 3.5, 15, 18));
    p.setPen(QPen(QColor(120, 120, 120), 1.5));
    for (int y : {8, 12, 16})
        p.drawLine(QPointF(4, y), QPointF(14, y));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(11, 10, 12, 12));
    DrawLabel(p, QRectF(11, 10, 12, 12), label, Qt::white);
}

void DrawPill(QPainter& p, const QColor& c)
{
    p.translate(12, 12);
    p.rotate(-40);
    p.setPen(QPen(c.darker(140), 1));
    p.setBrush(c);
    p.drawRoundedRect(QRectF(-10, -4.5, 10, 9), 4.5, 4.5);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0, -4.5, 10, 9), 4.5, 4.5);
    p.resetTransform();
}

void DrawJar(QPainter& p, const QColor& c)
{
    p.setPen(QPen(c.darker(140), 1));
    p.setBrush(c.lighter(130));
    p.drawRoundedRect(QRectF(5.5, 7.5, 13, 15), 2, 2);
    p.setBrush(c.darker(120));
    p.drawRect(QRectF(7.5, 2.5, 9, 5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7.5, 12.5, 9, 6));
}

void DrawPlus(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(2, 2, 20, 20), 4, 4);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(10, 5, 4, 14));
    p.drawRect(QRectF(5, 10, 14, 4));
}

void DrawPrinter(QPainter& p, const QColor& c)
{
    p.setPen(QPen(QColor(70, 70, 70), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 2.5, 11, 8));
    p.setBrush(c.lighter(160));
    p.drawRoundedRect(QRectF(2.5, 9.5, 19, 9), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 15.5, 11, 7));
    p.setPen(QColor(40, 160, 40));
    p.drawPoint(QPointF(19, 12));
}

void DrawGrid(QPainter& p, const QColor& c)
{
    p.setPen(QPen(c, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 3.5, 19, 17));
    p.setBrush(c);
    p.drawRect(QRectF(2.5, 3.5, 19, 4));
    for (int x : {8, 14})
        p.drawLine(QPointF(x + 0.5, 3.5), QPointF(x + 0.5, 20.5));
    for (int y : {11, 15})
        p.drawLine(QPointF(2.5, y + 0.5), QPointF(21.5, y + 0.5));
}

void DrawLines(QPainter& p, const QColor& c)
{
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 15, 21));
    p.setPen(QPen(c, 1.5));
    for (int y : {6, 10, 14, 18})
        p.drawLine(QPointF(7, y), QPointF(y == 18 ? 13 : 17, y));
}

void DrawCross(QPainter& p, const QColor& c)
{
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(1.5, 1.5, 21, 21));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(10, 5, 4, 14));
    p.drawRect(QRectF(5, 10, 14, 4));
}

void DrawPair(QPainter& p, const QColor& c, const QString& label)
{
    p.setPen(QPen(c.darker(140), 1));
    p.setBrush(c.lighter(150));
    p.drawEllipse(QRectF(1.5, 5.5, 13, 13));
    p.setBrush(c);
    p.drawEllipse(QRectF(9.5, 5.5, 13, 13));
    DrawLabel(p, QRectF(9.5, 5.5, 13, 13), label, Qt::white);
}

void DrawGear(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.translate(12, 12);
    for (int i = 0; i < 8; ++i) {
        p.drawRect(QRectF(-2, -11, 4, 6));
        p.rotate(45);
    }
    p.drawEllipse(QRectF(-7.5, -7.5, 15, 15));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(-3, -3, 6, 6));
    p.resetTransform();
}

void DrawShape(QPainter& p, const GlyphSpec& g)
{
    const QColor c = QColor::fromRgb(g.colour);
    const QString label = QString::fromLatin1(g.label);
    switch (g.shape) {
    case Shape::Page: DrawPage(p, c, label); break;
    case Shape::List: DrawList(p, c, label); break;
    case Shape::Pill: DrawPill(p, c); break;
    case Shape::Jar: DrawJar(p, c); break;
    case Shape::Plus: DrawPlus(p, c); break;
    case Shape::Printer: DrawPrinter(p, c); break;
    case Shape::Grid: DrawGrid(p, c); break;
    case Shape::Lines: DrawLines(p, c); break;
    case Shape::Cross: DrawCross(p, c); break;
    case Shape::Pair: DrawPair(p, c, label); break;
    case Shape::Gear: DrawGear(p, c); break;
    }
}

} // namespace

std::span<const SpeedButtonSpec> SpeedButtons()
{
    return kButtons;
}

bool ToolbarListHas(std::string_view list, uint16_t code)
{
    return list.find("-" + KindLetters(code) + "-") != std::string_view::npos;
}

QWidget* SpeedButtonHolder(QToolBar* bar)
{
    return bar ? bar->findChild<QWidget*>(QString::fromLatin1(kHolderName), Qt::FindDirectChildrenOnly)
               : nullptr;
}

QToolButton* SpeedButtonNamed(QToolBar* bar, std::string_view name)
{
    QWidget* holder = SpeedButtonHolder(bar);
    if (holder == nullptr)
        return nullptr;
    return holder->findChild<QToolButton*>(QString::fromLatin1(name.data(), static_cast<int>(name.size())),
                                           Qt::FindDirectChildrenOnly);
}

QToolBar* MainToolBar()
{
    return MainBar();
}

void LayoutSpeedButtons(QToolBar* bar, DataSetCode dataSet)
{
    const std::string list = Config().Read([](const ConfigValues& v) { return v.ToolbarSelection; });
    LayoutSpeedButtons(bar, dataSet, list);
}

void LayoutSpeedButtons(QToolBar* bar, DataSetCode dataSet, std::string_view list)
{
    if (bar == nullptr)
        return;
    MainBar() = bar;
    QWidget* holder = EnsureButtons(bar);
    for (QToolButton* b : holder->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        b->hide();
        b->move(b->x(), 0);
    }
    int x = 0;
    for (const Group& group : GroupsOf(dataSet, DuplicityTextExists())) {
        for (const char* name : group) {
            if (name == nullptr) {
                x += kSpeedButtonGap;
                continue;
            }
            QToolButton* b = SpeedButtonNamed(bar, name);
            if (b == nullptr || !ToolbarListHas(list, static_cast<uint16_t>(b->property("tag").toUInt())))
                continue;
            b->move(x, 0);
            b->show();
            x += kSpeedButtonStep;
        }
        x += kSpeedButtonGap;
    }
    holder->setFixedSize(std::max(x, 1), kButtonSize);
}

void RelayoutToolbarAfterSettings(bool visible)
{
    QToolBar* bar = MainBar();
    if (bar == nullptr)
        return;
    LayoutSpeedButtons(bar, CurrentDataSet());
    bar->setVisible(visible);
}

void EnableSpeedButtons(const std::string& groups, bool dataWindows)
{
    QToolBar* bar = MainBar();
    if (bar == nullptr)
        return;
    auto has = [&groups](char c) { return groups.find(c) != std::string::npos; };
    auto enable = [bar](std::initializer_list<const char*> names, bool on) {
        for (const char* n : names)
            if (QToolButton* b = SpeedButtonNamed(bar, n))
                b->setEnabled(on);
    };
    enable({"MainSB", "LkdxSB"}, has('D') || has('G') || has('Z'));
    enable({"LengSB", "LpilSB", "LspcSB", "LintrSB", "LsAtcSB", "LslozSB"}, has('D'));
    enable({"KlekySB"}, has('C'));
    enable({"PrintSB", "ExcelSB", "WordSB"}, dataWindows);
}

QPixmap SpeedButtonGlyph(uint16_t code)
{
    static std::map<uint16_t, QPixmap> cache;
    if (auto it = cache.find(code); it != cache.end())
        return it->second;
    const std::string letters = KindLetters(code);
    for (const GlyphSpec& g : kGlyphs) {
        if (letters != g.letters)
            continue;
        QPixmap pm(24, 24);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        DrawShape(p, g);
        p.end();
        cache[code] = pm;
        return pm;
    }
    return {};
}

QIcon SpeedButtonIcon(uint16_t code)
{
    const QPixmap pm = SpeedButtonGlyph(code);
    return pm.isNull() ? QIcon() : QIcon(pm);
}
