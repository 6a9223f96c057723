#include "maintenance/fonts_colours_dialog.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/message_box.h"
#include "frame/windows/style.h"
#include "maintenance/settings_dialog_support.h"
#include "platform/cp1250.h"
#include "platform/gui/canvas.h"
#include "platform/gui/choosers.h"
#include "ui_nastav3.h"

namespace {

// Parts of the mock-up and what a click on them does: a colour of the table,
// or the note that the system sets that colour.
constexpr int kSystemPart = -1;
struct MockupPart {
    const char* name;
    int colour;
};
constexpr MockupPart kParts[] = {
    {"Panel4", 0},
    {"Label23", 1},
    {"Panel1", 2},
    {"Panel5", 4},
    {"Label28", 5},
    {"Panel6", 6},
    {"Panel0", kSystemPart},
    {"Panel2", kSystemPart},
    {"Panel3", kSystemPart},
    {"Label22", kSystemPart},
    {"Label24", kSystemPart},
    {"Label25", kSystemPart},
    {"Label26", kSystemPart},
    {"Label27", kSystemPart},
};

QColor System(Colour c)
{
    return ColourOfSetting(c);
}

void Fill(QWidget* w, const QColor& background, const QColor& text)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

ConfigFont ConfigFontOf(const QFont& f, const std::string& name)
{
    ConfigFont c;
    c.name = name;
    c.size = ConfigFontSize(f.pointSizeF());
    c.style = (f.bold() ? 1 : 0) | (f.italic() ? 2 : 0) | (f.underline() ? 4 : 0) | (f.strikeOut() ? 8 : 0);
    return c;
}

} // namespace

TNastav3::TNastav3(QWidget* parent) : TDlgForm(parent), ui_(std::make_unique<Ui::Nastav3>())
{
    ui_->setupUi(this);
    PrepareDialog();
    settings_dialog::MakeBold({ui_->Box3, ui_->Box4});
    working_ = FontsAndColoursOf(Config().Snapshot());
    ShowFonts();
    PaintMockup();

    for (const MockupPart& part : kParts)
        if (auto* w = findChild<QWidget*>(QString::fromLatin1(part.name)))
            w->installEventFilter(this);
    QPushButton* const fontButtons[] = {ui_->Button2, ui_->Button3, ui_->Button4, ui_->Button5};
    for (int i = 0; i < 4; ++i)
        connect(fontButtons[i], &QPushButton::clicked, this, [this, i] { ChooseFontOf(i); });
    connect(ui_->Button1, &QPushButton::clicked, this, &TNastav3::Button1Click);
    settings_dialog::WireButtons(
        this, ui_->OKBtn, ui_->CancelBtn, ui_->HelpBtn, [this] { OKBtnClick(); }, "NaBaPi");
}

TNastav3::~TNastav3() = default;

void TNastav3::ShowFonts()
{
    QLabel* const labels[] = {ui_->Label32, ui_->Label33, ui_->Label34, ui_->Label15};
    for (size_t i = 0; i < 4; ++i)
        labels[i]->setText(Cp1250ToQString(FontLabelText(working_.fonts[i])));
}

void TNastav3::PaintMockup()
{
    auto colour = [this](int i) { return ProgramColour(working_.colours, i); };
    const QColor inactiveBorder = System(SysColour::InactiveBorder);
    Fill(ui_->Panel0, System(SysColour::Desktop), System(SysColour::WindowText));
    Fill(ui_->Panel2, inactiveBorder, System(SysColour::WindowText));
    Fill(ui_->Panel3, inactiveBorder, System(SysColour::WindowText));
    Fill(ui_->Panel5, System(SysColour::BtnFace), colour(ColourIndex::ButtonText));
    Fill(ui_->Label12, System(SysColour::ActiveCaption), System(SysColour::CaptionText));
    for (QLabel* l : {ui_->Label22, ui_->Label24})
        Fill(l, System(SysColour::InactiveCaption), System(SysColour::InactiveCaptionText));
    Fill(ui_->Label25, inactiveBorder, System(SysColour::MenuText));
    Fill(ui_->Label26, inactiveBorder, System(SysColour::GrayText));
    Fill(ui_->Label27, System(SysColour::Highlight), System(SysColour::HighlightText));
    Fill(ui_->Panel1, colour(ColourIndex::MainBackground), colour(ColourIndex::Text));
    Fill(ui_->Panel4, colour(ColourIndex::FieldBackground), colour(ColourIndex::Text));
    Fill(ui_->Label23, colour(ColourIndex::FieldBackground), colour(ColourIndex::Text));
    Fill(ui_->Label28, colour(ColourIndex::FieldBackground), colour(ColourIndex::Highlight));
    Fill(ui_->Panel6, colour(ColourIndex::DialogBackground), colour(ColourIndex::Text));
}

bool TNastav3::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress ||
        static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return TDlgForm::eventFilter(watched, event);
    for (const MockupPart& part : kParts) {
        if (watched->objectName() != QLatin1String(part.name))
            continue;
        if (part.colour == kSystemPart)
            ShowMessage(LookupText(UiTexts, "Nastaveni", "Hlaska10"));
        else
            ChooseColourOf(part.colour);
        return true;
    }
    return TDlgForm::eventFilter(watched, event);
}

void TNastav3::ChooseFontOf(int index)
{
    if (index < 0 || index > 3)
        return;
    ConfigFont& slot = working_.fonts[static_cast<size_t>(index)];
    const std::optional<QFont> chosen = ChooseFont(FontOfSetting(slot), this);
    if (!chosen)
        return;
    // The texts are Central European: a family that cannot write them, or
    // whose name the settings file cannot hold, keeps the old font.
    const QString family = chosen->family();
    std::string name;
    if (!FamilyWritesLatin(family) || !Utf8ToCp1250(family.toStdString(), name) || name.empty())
        return;
    slot = ConfigFontOf(*chosen, name);
    ShowFonts();
}

void TNastav3::ChooseColourOf(int index)
{
    if (index < 0 || index >= ColourIndex::Count)
        return;
    const QColor chosen = ChooseColour(ProgramColour(working_.colours, index), this);
    if (!chosen.isValid())
        return;
    working_.colours[static_cast<size_t>(index)] = ColourOfQColor(chosen);
    PaintMockup();
}

void TNastav3::Button1Click()
{
    working_.colours = kDefaultColourTable;
    PaintMockup();
}

void TNastav3::OKBtnClick()
{
    Config().Update([this](ConfigValues& v) { ApplyFontsAndColours(working_, v); });
    SaveConfig(true);
    accept();
}
