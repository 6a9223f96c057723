#include "frame/windows/dialog_base.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QToolBox>
#include <QToolButton>
#include <QTreeView>

#include <array>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/windows/caption_keys.h"
#include "frame/windows/data_form.h"
#include "frame/windows/style.h"

namespace {

// Dynamic properties that remember a translation on its control.
constexpr const char* kUiStyleProperty = "qevwUiFontStyle";

QByteArray KeyProperty(const char* what)
{
    return QByteArray("qevwKey_") + what;
}
QByteArray TextProperty(const char* what)
{
    return QByteArray("qevwText_") + what;
}

enum class Rule { Caption, Hint };

bool KeyParts(const QString& text, Rule rule, QString& section, QString& key)
{
    return rule == Rule::Caption ? CaptionKeyParts(text, section, key) : HintKeyParts(text, section, key);
}

// The text for `current`, a caption or hint held by `holder` under `what`.
// False when it is plain text (the control keeps it).
bool Translate(QObject* holder, const char* what, const QString& current, Rule rule, QString& out)
{
    const QByteArray keyProp = KeyProperty(what);
    const QByteArray textProp = TextProperty(what);
    const QVariant storedKey = holder->property(keyProp.constData());
    QString keyText;
    if (storedKey.isValid() && current == holder->property(textProp.constData()).toString()) {
        keyText = storedKey.toString();
    } else {
        QString section;
        QString key;
        if (current.isEmpty() || !KeyParts(current, rule, section, key)) {
            if (storedKey.isValid()) {
                // Set anew by the program as plain text: forget the old key.
                holder->setProperty(keyProp.constData(), QVariant());
                holder->setProperty(textProp.constData(), QVariant());
            }
            return false;
        }
        keyText = current;
    }
    QString section;
    QString key;
    KeyParts(keyText, rule, section, key);
    out = UiText(section, key);
    holder->setProperty(keyProp.constData(), keyText);
    holder->setProperty(textProp.constData(), out);
    return true;
}

// QAction::toolTip falls back to the text without "&" and a trailing "...";
// only a tool tip of its own is a hint.
QString OwnActionToolTip(const QAction* action)
{
    QString derived = action->text();
    derived.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    derived.remove(QLatin1Char('&'));
    derived.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    if (derived.endsWith(QStringLiteral("...")))
        derived.chop(3);
    else if (derived.endsWith(QChar(0x2026)))
        derived.chop(1);
    const QString tip = action->toolTip();
    return tip == derived ? QString() : tip;
}

bool IsDataWindowWidget(const QWidget* w)
{
    return qobject_cast<const QMdiSubWindow*>(w->parentWidget()) != nullptr;
}

void TranslateOne(QObject* o)
{
    QString out;
    if (auto* action = qobject_cast<QAction*>(o)) {
        const QString tip = OwnActionToolTip(action);
        if (Translate(action, "caption", action->text(), Rule::Caption, out))
            action->setText(out);
        if (!tip.isEmpty() && Translate(action, "hint", tip, Rule::Hint, out))
            action->setToolTip(out);
        return;
    }
    auto* w = qobject_cast<QWidget*>(o);
    if (w == nullptr)
        return;
    if ((w->isWindow() || IsDataWindowWidget(w)) &&
        Translate(w, "title", w->windowTitle(), Rule::Caption, out))
        w->setWindowTitle(out);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (Translate(label, "caption", label->text(), Rule::Caption, out))
            label->setText(out);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (Translate(button, "caption", button->text(), Rule::Caption, out))
            button->setText(out);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        if (Translate(group, "caption", group->title(), Rule::Caption, out))
            group->setTitle(out);
    } else if (auto* menu = qobject_cast<QMenu*>(w)) {
        if (Translate(menu, "caption", menu->title(), Rule::Caption, out))
            menu->setTitle(out);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < tabs->count(); ++i) {
            const QByteArray what = "tab" + QByteArray::number(i);
            if (Translate(tabs, what.constData(), tabs->tabText(i), Rule::Caption, out))
                tabs->setTabText(i, out);
        }
    } else if (auto* box = qobject_cast<QToolBox*>(w)) {
        for (int i = 0; i < box->count(); ++i) {
            const QByteArray what = "item" + QByteArray::number(i);
            if (Translate(box, what.constData(), box->itemText(i), Rule::Caption, out))
                box->setItemText(i, out);
        }
    }
    if (!w->toolTip().isEmpty() && Translate(w, "hint", w->toolTip(), Rule::Hint, out))
        w->setToolTip(out);
}

void TranslateTree(QObject* o)
{
    TranslateOne(o);
    // A copy: translating never adds children, but stay safe if it did.
    const QObjectList children = o->children();
    for (QObject* child : children)
        TranslateTree(child);
}

// --- Colours ------------------------------------------------------------

enum ControlClass : unsigned {
    LabelLike = 1,
    DataField = 2,
    Button = 4,
    Panel = 8,
    TabSet = 16,
    Notebook = 32,
    TabbedNotebook = 64,
    Grid = 128,
    Header = 256,
    Tree = 512,
};

unsigned ClassOf(const QWidget* w)
{
    // Parts Qt makes inside its own controls follow their control.
    if (w->objectName().startsWith(QStringLiteral("qt_")))
        return 0;
    const QWidget* parent = w->parentWidget();
    if (qobject_cast<const QLabel*>(w) || qobject_cast<const QCheckBox*>(w) ||
        qobject_cast<const QRadioButton*>(w) || qobject_cast<const QGroupBox*>(w))
        return LabelLike;
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
        qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
        qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QListView*>(w) ||
        qobject_cast<const QScrollArea*>(w))
        return DataField;
    if (qobject_cast<const QPushButton*>(w) || qobject_cast<const QToolButton*>(w))
        return Button;
    if (qobject_cast<const QTabBar*>(w))
        return qobject_cast<const QTabWidget*>(parent) ? 0u : unsigned{TabSet};
    if (qobject_cast<const QStackedWidget*>(w))
        return qobject_cast<const QTabWidget*>(parent) ? 0u : unsigned{Notebook};
    if (qobject_cast<const QTabWidget*>(w))
        return TabbedNotebook;
    if (qobject_cast<const QTableView*>(w))
        return Grid;
    if (qobject_cast<const QHeaderView*>(w))
        return Header;
    if (qobject_cast<const QTreeView*>(w))
        return Tree;
    if (w->metaObject() == &QFrame::staticMetaObject)
        return Panel;
    return 0;
}

unsigned StyleBits(const QFont& f)
{
    return (f.bold() ? 1u : 0u) | (f.italic() ? 2u : 0u) | (f.underline() ? 4u : 0u) |
           (f.strikeOut() ? 8u : 0u);
}

QFont WithStyle(QFont f, unsigned bits)
{
    if (bits & 1u)
        f.setBold(true);
    if (bits & 2u)
        f.setItalic(true);
    if (bits & 4u)
        f.setUnderline(true);
    if (bits & 8u)
        f.setStrikeOut(true);
    return f;
}

void SetRoles(QWidget* w, std::initializer_list<std::pair<QPalette::ColorRole, QColor>> roles, bool fill)
{
    QPalette p = w->palette();
    for (const auto& [role, colour] : roles)
        p.setColor(role, colour);
    w->setPalette(p);
    if (fill)
        w->setAutoFillBackground(true);
}

// A filled background: the Window role and whatever role the widget fills
// with (check boxes and radio buttons fill with Button).
void SetBackground(QWidget* w, const QColor& colour, const QColor& text)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(w->backgroundRole(), colour);
    p.setColor(QPalette::WindowText, text);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace

void TranslateCaptions(QObject* component)
{
    if (component != nullptr)
        TranslateTree(component);
}

void ObarviFormular(QWidget* form)
{
    if (form == nullptr)
        return;
    const auto [table, fontSetting] =
        Config().Read([](const ConfigValues& v) { return std::make_pair(v.ColourTable, v.DialogFont); });
    std::array<QColor, 7> c;
    for (int i = 0; i < 7; ++i)
        c[static_cast<size_t>(i)] = ProgramColour(table, i);
    const QFont dialogFont = FontOfSetting(fontSetting);

    QList<QWidget*> widgets = form->findChildren<QWidget*>();
    widgets.prepend(form);
    // The styles of the form description, before any font changes them.
    for (QWidget* w : widgets)
        if (!w->property(kUiStyleProperty).isValid())
            w->setProperty(kUiStyleProperty, StyleBits(w->font()));
    for (QWidget* w : widgets)
        w->setFont(WithStyle(dialogFont, w->property(kUiStyleProperty).toUInt()));

    const TDataForm* data = DataFormOf(form);
    QColor b = c[ColourIndex::DialogBackground];
    if ((data != nullptr && data->IsMainWindow()) || qobject_cast<QMainWindow*>(form) != nullptr)
        b = c[ColourIndex::MainBackground];
    else if ((data != nullptr && !data->IsMainWindow()) || IsDataWindowWidget(form))
        b = c[ColourIndex::FieldBackground];
    const QColor& field = c[ColourIndex::FieldBackground];
    const QColor& text = c[ColourIndex::Text];
    const QColor& buttonText = c[ColourIndex::ButtonText];
    const QColor& dialog = c[ColourIndex::DialogBackground];

    SetBackground(form, b, text);
    for (QWidget* w : widgets) {
        if (w == form)
            continue;
        const unsigned cls = ClassOf(w);
        if (cls & LabelLike)
            SetBackground(w, b, text);
        if (cls & DataField) {
            SetRoles(w, {{QPalette::Base, field}, {QPalette::Text, text}}, false);
            if (qobject_cast<QScrollArea*>(w) != nullptr)
                SetRoles(w, {{QPalette::Window, field}, {QPalette::WindowText, text}}, true);
        }
        if (cls & Button)
            SetRoles(w, {{QPalette::ButtonText, buttonText}}, false);
        if (cls & (Panel | Notebook))
            SetBackground(w, dialog, text);
        if (cls & TabSet) {
            SetBackground(w, dialog, text);
            SetRoles(w, {{QPalette::Button, dialog}}, false);
        }
        if (cls & TabbedNotebook)
            SetRoles(w, {{QPalette::WindowText, text}}, false);
        if (cls & Grid) {
            auto* grid = static_cast<QTableView*>(w);
            SetRoles(w, {{QPalette::Base, field}, {QPalette::Text, text}}, false);
            // The fixed cells are the grid's headers.
            for (QHeaderView* h : {grid->horizontalHeader(), grid->verticalHeader()})
                SetRoles(h, {{QPalette::Button, dialog}, {QPalette::Window, dialog}}, true);
        }
        if (cls & Header)
            SetRoles(w, {{QPalette::WindowText, text}, {QPalette::ButtonText, text}}, false);
        if (cls & Tree)
            SetRoles(w, {{QPalette::Base, field}}, false);
    }
}

QPoint DialogPosition(const QRect& over, const QSize& size, const QRect& screen)
{
    // Integer halves truncate toward zero, as the placement always did.
    int top = over.top() + (over.height() - size.height()) / 2;
    int left = over.left() + (over.width() - size.width()) / 2;
    const int bottomLimit = screen.top() + screen.height() - size.height();
    const int rightLimit = screen.left() + screen.width() - size.width();
    if (top > bottomLimit)
        top = bottomLimit;
    if (left > rightLimit)
        left = rightLimit;
    if (top < screen.top())
        top = screen.top();
    if (left < screen.left())
        left = screen.left();
    return QPoint(left, top);
}

// ------------------------------------------------------------------ TDlgForm

namespace {
QWidget* DefaultOwner(QWidget* parent)
{
    if (parent != nullptr)
        return parent;
    TDataForm* main = MainDataForm();
    return main != nullptr ? main->Widget() : nullptr;
}
} // namespace

TDlgForm::TDlgForm(QWidget* parent) : QDialog(DefaultOwner(parent))
{}

TDlgForm::~TDlgForm() = default;

void TDlgForm::PrepareDialog()
{
    TranslateCaptions(this);
    ObarviFormular();
}

void TDlgForm::ObarviFormular()
{
    ::ObarviFormular(this);
}

void TDlgForm::UmistiDialog()
{
    QRect over;
    QScreen* screen = nullptr;
    const TDataForm* main = MainDataForm();
    const QWidget* mainWidget = main != nullptr ? main->Widget() : nullptr;
    if (mainWidget != nullptr && mainWidget->isVisible() && !mainWidget->isMinimized()) {
        over = mainWidget->frameGeometry();
        screen = mainWidget->screen();
    } else {
        over = Config().Read(
            [](const ConfigValues& v) { return QRect(v.mainLeft, v.mainTop, v.mainWidth, v.mainHeight); });
    }
    if (QScreen* at = QGuiApplication::screenAt(over.center()))
        screen = at;
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    move(DialogPosition(over, frameGeometry().size(), screen->geometry()));
}

void TDlgForm::showEvent(QShowEvent* event)
{
    if (!placed_ && !event->spontaneous()) {
        placed_ = true;
        UmistiDialog();
    }
    QDialog::showEvent(event);
}
