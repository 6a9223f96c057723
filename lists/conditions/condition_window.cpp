#include "lists/conditions/condition_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPainter>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "datastore/db_status.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/windows/dialog_base.h"
#include "lists/codes/atc_list.h"
#include "lists/codes/code_lists.h"
#include "lists/conditions/condition_search.h"
#include "lists/conditions/result_lists.h"
#include "lists/toolkit/escape_watch.h"
#include "lists/toolkit/list_window.h"
#include "ui_podminka.h"

// The gauge of the search: 0..74, fore and back colours swapped at each wrap.
class ConditionGauge : public QWidget {
public:
    explicit ConditionGauge(QWidget* parent) : QWidget(parent) { setMinimumSize(120, 16); }
    void Set(int position, bool swapped)
    {
        position_ = position;
        swapped_ = swapped;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QColor fore = palette().color(QPalette::Highlight);
        const QColor back = palette().color(QPalette::Base);
        p.fillRect(rect(), swapped_ ? fore : back);
        p.fillRect(QRect(0, 0, width() * position_ / 74, height()), swapped_ ? back : fore);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    int position_ = 0;
    bool swapped_ = false;
};

namespace {

// A code list as a chooser: Enter (or a click) chooses the row and closes
// the list; every other action is the list's own.
class ChooserCodeList : public CodeList {
public:
    using CodeList::CodeList;
    ListAction React(VybRec& rec, ListAction action) override
    {
        if (action == ListAction::Enter || action == ListAction::RowClicked)
            return ListAction::ChooseAndClose;
        return CodeList::React(rec, action);
    }
};

// The masks of the typed values: the Qt mask and whether a character of it
// is an input place.
const QString kNationalMask = QStringLiteral("00/x000/00; ");
const QString kEuMask = QStringLiteral("\\E\\U/0/00/000/000; ");
const QString kDateMask = QStringLiteral("0000/00/00; ");
const QString kNumberMask = QStringLiteral("000; ");

// The characters of `shown` at the input places of `mask`, a blank where
// nothing was typed.
std::string InputPlaces(const QString& mask, const QString& shown)
{
    std::string out;
    const QString body = mask.section(';', 0, 0);
    int at = 0;
    for (int i = 0; i < body.size(); ++i, ++at) {
        const QChar c = body[i];
        if (c == '\\') {
            ++i; // an escaped literal
            continue;
        }
        if (QStringLiteral("09xXaAnN").contains(c)) {
            const QChar typed = at < shown.size() ? shown[at] : QChar(' ');
            out += QStringToKam(QString(typed));
        }
    }
    return out;
}

QString ShownText(std::string_view kam)
{
    return KamToQString(kam);
}

void CountUse(uint16_t kind)
{
    StatCount(kind);
}

} // namespace

bool ConditionChooserAvailable(ChooserKind kind)
{
    switch (kind) {
    case ChooserKind::Atc:
    case ChooserKind::Holder:
    case ChooserKind::IndicationGroup:
    case ChooserKind::DeviceType:
    case ChooserKind::Maker:
    case ChooserKind::Country: return true;
    default: return false;
    }
}

TPodminka::TPodminka(bool devices, uint16_t kind)
    : QWidget(nullptr), TDataForm(this), ui_(std::make_unique<Ui::Podminka>()), model_(devices)
{
    ui_->setupUi(this);
    Kind = kind;
    setAttribute(Qt::WA_DeleteOnClose);
    // Enter drops the criteria menu down: the window itself takes the keys.
    setFocusPolicy(Qt::StrongFocus);
    TranslateCaptions(this);
    ObarviFormular(this);
    Title = QStringToKam(windowTitle());

    toolBar1_ = new QToolBar(this);
    toolButton1_ = new QToolButton(toolBar1_);
    toolButton1_->setText(ShownText(ProgramText("Podminka", "Tlac")));
    toolButton1_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolButton1_->setObjectName("ToolButton1");
    toolBar1_->addWidget(toolButton1_);
    prohledat_ = toolBar1_->addAction(ShownText(model_.Name(devices ? 9 : 13)));
    prohledat_->setObjectName("Prohledat");
    prohledat_->setEnabled(false);
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->insertWidget(0, toolBar1_);
    gauge1_ = new ConditionGauge(ui_->Panel1);
    ui_->panelLayout->addWidget(gauge1_);
    gauge1_->hide();
    ui_->Edit->hide();
    ui_->Label1->hide();
    ui_->Edit->installEventFilter(this);
    connect(ui_->Edit, &QLineEdit::textEdited, this, [this](const QString& text) {
        // Upper case by character, the cursor kept.
        const int at = ui_->Edit->cursorPosition();
        ui_->Edit->setText(text.toUpper());
        ui_->Edit->setCursorPosition(at);
    });

    QTableWidget* grid = ui_->zadani;
    grid->setHorizontalHeaderLabels(
        {ShownText(ProgramText("Podminka", "DatPol")), ShownText(ProgramText("Podminka", "PozObs"))});
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->verticalHeader()->setDefaultSectionSize(font().pointSize() * 5 / 3 + 1 + 8);
    grid->setColumnWidth(0, fontMetrics().horizontalAdvance(QString(22, '0')));

    connect(toolButton1_, &QToolButton::clicked, this, [this] { DropMenu(); });
    connect(prohledat_, &QAction::triggered, this, [this] { ProhledatClick(); });

    model_.filterWord = Config().Read([](const ConfigValues& v) { return v.FilterFlags; });
    model_.optionByte = Config().Read([](const ConfigValues& v) { return v.KeySelectOption; });
    model_.synonymFilter = Config().Read([](const ConfigValues& v) { return v.SynonymFilter; });
    model_.compositionFilter = Config().Read([](const ConfigValues& v) { return v.CompositionFilter; });
    BuildMenu();
    RefreshGrid();
}

TPodminka::~TPodminka()
{
    FormDestroy();
}

QLineEdit* TPodminka::EditBox() const
{
    return ui_->Edit;
}

QTableWidget* TPodminka::Grid() const
{
    return ui_->zadani;
}

void TPodminka::FormActivate()
{
    TDataForm::FormActivate();
    if (!ui_->Edit->isVisible())
        setFocus(Qt::ActiveWindowFocusReason);
}

QSize TPodminka::DesignSize() const
{
    return QSize(560, 380);
}

// ------------------------------------------------------------------ menu

void TPodminka::BuildMenu()
{
    menu_ = new QMenu(this);
    std::function<void(QMenu*, const std::vector<ConditionMenuItem>&, bool)> add =
        [&](QMenu* into, const std::vector<ConditionMenuItem>& items, bool top) {
            for (const ConditionMenuItem& item : items) {
                QAction* a = nullptr;
                const CriterionRow& row = model_.Row(item.criterion);
                if (!item.children.empty()) {
                    QMenu* sub = into->addMenu(ShownText(item.caption));
                    add(sub, item.children, false);
                    a = sub->menuAction();
                } else {
                    a = into->addAction(ShownText(item.caption));
                    a->setData(QVariantList{item.criterion, item.valueIndex, item.menuIndex});
                    connect(a, &QAction::triggered, this, [this, item] {
                        if (item.valueIndex >= 0)
                            CodeItemClick(item.criterion, item.valueIndex, item.menuIndex);
                        else
                            CriterionClick(item.criterion);
                    });
                }
                // What needs the substance lists is not offered yet.
                if (item.valueIndex < 0 && ((row.source < 0 && !ConditionChooserAvailable(ChooserOf(row))) ||
                                            row.menuBits == kSubstanceHeadingBits))
                    a->setEnabled(false);
                if (top)
                    topActions_.push_back(a);
            }
        };
    add(menu_, model_.Menu(), true);
    SyncMenu();
}

void TPodminka::SyncMenu()
{
    const auto& items = model_.Menu();
    for (size_t i = 0; i < items.size() && i < topActions_.size(); ++i) {
        topActions_[i]->setVisible(items[i].visible);
        const CriterionRow& row = model_.Row(items[i].criterion);
        const bool offered = !((row.source < 0 && !ConditionChooserAvailable(ChooserOf(row))) ||
                               row.menuBits == kSubstanceHeadingBits);
        topActions_[i]->setEnabled(items[i].enabled && offered);
    }
    prohledat_->setEnabled(model_.Count() > 0);
}

void TPodminka::DropMenu()
{
    if (!toolButton1_->isEnabled() || searching_)
        return;
    menu_->popup(toolButton1_->mapToGlobal(QPoint(0, toolButton1_->height())));
}

// ------------------------------------------------------------------ values

void TPodminka::CriterionClick(int criterion)
{
    if (criterion < 1 || criterion > static_cast<int>(model_.Criteria().size()))
        return;
    model_.Choose(criterion);
    const CriterionRow& row = model_.Row(criterion);
    if (row.source < 0) {
        OpenChooser(criterion);
        return;
    }
    if (row.fieldLen == CriterionKind::RunDevices || row.fieldLen == CriterionKind::RunDrugs) {
        ProhledatClick();
        return;
    }
    QString mask;
    if (row.fieldPos != 0 && row.fieldLen == 9)
        mask = kEuMask;
    else if (row.fieldPos != 0 && row.fieldLen == 11)
        mask = kNationalMask;
    ShowEdit(model_.Name(criterion), mask, std::min<int>(row.fieldLen, 22));
    if (mask == kEuMask)
        ui_->Edit->setSelection(3, 1);
    else if (mask == kNationalMask)
        ui_->Edit->setSelection(8, 2);
}

void TPodminka::CodeItemClick(int criterion, int valueIndex, int menuIndex)
{
    model_.Choose(criterion);
    toolButton1_->setEnabled(true);
    const CriterionRow& row = model_.Row(criterion);
    if (row.fieldLen == CriterionKind::InsuranceData || row.fieldLen == CriterionKind::PriceType) {
        TDbTable register_;
        DbStatus = 0;
        OpenTable(register_, TFileId("cvzp"), TFileId("cvzpkod"), kCvzpLayout.Length());
        const bool open = DbStatus == 0;
        DbStatus = 0;
        if (!open) {
            ShowError(ProgramText("Chyby", "NoData"));
            ResetData(-1);
            return;
        }
    }
    Add(model_.ValueOfItem(valueIndex, menuIndex));
}

void TPodminka::Add(const std::string& value)
{
    const AddOutcome outcome =
        model_.AddCondition(value, [] { return AskYesNoCancel(ProgramText("Podminka", "ANebo")); });
    if (outcome == AddOutcome::AwaitsDate || outcome == AddOutcome::AwaitsNumber) {
        const std::string letter(1, model_.DateLetter());
        ShowEdit(ProgramText("Inr", letter), outcome == AddOutcome::AwaitsDate ? kDateMask : kNumberMask,
                 outcome == AddOutcome::AwaitsDate ? 8 : 3);
        return;
    }
    RefreshGrid();
    SyncMenu();
}

void TPodminka::ShowEdit(const std::string& label, const QString& mask, int maxLength)
{
    mask_ = mask;
    ui_->Edit->setInputMask(mask);
    if (mask.isEmpty()) {
        ui_->Edit->setMaxLength(maxLength);
        ui_->Edit->clear();
    } else {
        ui_->Edit->setText(QString());
    }
    ui_->Label1->setText(ShownText(label));
    ui_->Label1->show();
    ui_->Edit->show();
    ui_->Edit->setFocus();
    ui_->Edit->setCursorPosition(0);
    toolBar1_->hide();
}

void TPodminka::HideEdit()
{
    ui_->Edit->hide();
    ui_->Label1->hide();
    toolBar1_->show();
    setFocus();
}

std::string TPodminka::EditValue() const
{
    if (mask_.isEmpty())
        return QStringToKam(ui_->Edit->text());
    return InputPlaces(mask_, ui_->Edit->displayText());
}

void TPodminka::EditKey(int key)
{
    const std::string value = EditValue();
    const bool empty = value.find_first_not_of(' ') == std::string::npos;
    if (key == Qt::Key_Escape || empty) {
        HideEdit();
        return;
    }
    const int before = model_.Count();
    const bool date = mask_ == kDateMask;
    Add(value);
    // An incomplete date is refused: the edit stays for the missing digits.
    if (date && model_.Count() == before) {
        QApplication::beep();
        return;
    }
    HideEdit();
}

void TPodminka::RefreshGrid()
{
    QTableWidget* grid = ui_->zadani;
    grid->clearContents();
    const auto rows = model_.Grid();
    for (size_t r = 0; r < rows.size(); ++r) {
        grid->setItem(static_cast<int>(r), 0, new QTableWidgetItem(ShownText(rows[r].name)));
        grid->setItem(static_cast<int>(r), 1, new QTableWidgetItem(ShownText(rows[r].values)));
    }
}

// ------------------------------------------------------------------ choosers

void TPodminka::OpenChooser(int criterion)
{
    const ChooserKind kind = ChooserOf(model_.Row(criterion));
    if (!ConditionChooserAvailable(kind))
        return;
    TVyb* list = nullptr;
    auto self = std::make_shared<QPointer<TVyb>>();
    switch (kind) {
    case ChooserKind::Atc: {
        AtcListWindowSpec spec;
        spec.code = KindOf("VAC");
        spec.rowLayout = "ATC=08ActNaz.";
        spec.columnNames = "ATC,Act,Naz";
        spec.columnOrder = "2/90,0,1,2";
        spec.buttons = ">?E<=";
        ListWindowSpec w = AtcListSpecOf(spec);
        w.alwaysNew = true;
        w.options = 0x80;
        // Enter on a group chooses it and closes the list.
        list = OpenListWindow(w, std::make_shared<AtcList>([self] {
                                  if (*self)
                                      (*self)->SendAction(ActionCode::ChooseAndClose);
                              }));
        break;
    }
    case ChooserKind::Holder:
    case ChooserKind::IndicationGroup: {
        const CodeListSpec& spec = kind == ChooserKind::Holder ? kHolderList : kIndicationGroupList;
        ListWindowSpec w = CodeListWindowSpec(spec, KindOf(kind == ChooserKind::Holder ? "VHC" : "VIC"));
        w.alwaysNew = true;
        if (kind == ChooserKind::IndicationGroup)
            w.buttonState = model_.filterWord & 0xFF;
        list = OpenListWindow(w, std::make_shared<ChooserCodeList>(spec));
        break;
    }
    case ChooserKind::DeviceType:
    case ChooserKind::Maker:
    case ChooserKind::Country: {
        const bool type = kind == ChooserKind::DeviceType;
        const CodeListSpec& spec = type                         ? kDeviceTypeList
                                   : kind == ChooserKind::Maker ? kDeviceMakerList
                                                                : kDeviceCountryList;
        const char* code = type ? "UTC" : kind == ChooserKind::Maker ? "UFC" : "UCC";
        ListWindowSpec w = CodeListWindowSpec(spec, KindOf(code));
        w.alwaysNew = true;
        list = OpenListWindow(w, std::make_shared<ChooserCodeList>(spec));
        break;
    }
    default: break;
    }
    if (list == nullptr) {
        ResetData(-1);
        return;
    }
    *self = list;
    chooser_ = list;
    chooserCriterion_ = criterion;
    toolButton1_->setEnabled(false);
    Master = list;
    Dependent = true;
    LinkKinds[0] = list->LinkKinds[1];
}

void TPodminka::ResetData(int32_t value)
{
    toolButton1_->setEnabled(true);
    // Back in front of the result lists a former search left open.
    if (SubWindow() != nullptr && DataWindowArea() != nullptr)
        DataWindowArea()->setActiveSubWindow(SubWindow());
    raise();
    Dependent = false;
    Master = nullptr;
    chooser_ = nullptr;
    if (value < 1 || chooserCriterion_ == 0)
        return;
    model_.Choose(chooserCriterion_);
    const ChooserKind kind = ChooserOf(model_.Row(chooserCriterion_));
    chooserCriterion_ = 0;
    const bool en = EnglishTables();
    const char* table = nullptr;
    const char* index = nullptr;
    uint16_t length = 0;
    switch (kind) {
    case ChooserKind::Atc:
        table = en ? "atca" : "atc";
        index = en ? "atckoda" : "atckod";
        length = kAtcLayout.Length();
        break;
    case ChooserKind::Holder:
        table = "drzv";
        index = "drzvkod";
        length = kDrzvLayout.Length();
        break;
    case ChooserKind::IndicationGroup:
        table = en ? "isva" : "isv";
        index = en ? "isvkoda" : "isvkod";
        length = kIsvLayout.Length();
        break;
    case ChooserKind::DeviceType:
        table = "pzttypv";
        index = "pzttypko";
        length = kPzttypvLayout.Length();
        break;
    case ChooserKind::Maker:
        table = "pztvyrv";
        index = "pztvyrko";
        length = kPztvyrvLayout.Length();
        break;
    case ChooserKind::Country:
        table = "pztzemv";
        index = "pztzemko";
        length = kPztzemvLayout.Length();
        break;
    default: return;
    }
    TDbTable t;
    std::string record;
    DbStatus = 0;
    OpenTable(t, TFileId(table), TFileId(index), length);
    if (DbStatus == 0)
        ReadRecord(t.dat, value, record);
    const bool read = DbStatus == 0;
    DbStatus = 0;
    if (!read)
        return;
    const std::string code = ChooserValueOfRecord(kind, record);
    if (!code.empty())
        Add(code);
}

// ------------------------------------------------------------------ search

void TPodminka::ProhledatClick()
{
    if (model_.Count() == 0 || searching_)
        return;
    RunSearch();
}

void TPodminka::RunSearch()
{
    const bool devices = model_.Criteria().size() == DeviceCriteria().size();
    ConditionSearchSettings settings;
    settings.documentLetters = FlagLetters();
    settings.compositionFilter = (model_.compositionFilter & 1) != 0;
    settings.hideSynonyms = (model_.synonymFilter & 0x10) != 0;
    searching_ = true;
    toolBar1_->hide();
    gauge1_->Set(0, false);
    gauge1_->show();
    ConditionSearchResult result;
    {
        // Escape, or a close request, cancels; every other input waits.
        EscapeHeldWatch escape(true);
        ConditionSearchHooks hooks;
        hooks.gauge = [this](int position, bool swapped) {
            gauge1_->Set(position, swapped);
            QCoreApplication::processEvents();
        };
        hooks.cancelRequested = [&escape] { return escape.Pressed(); };
        result = RunConditionSearch(model_.Entries(), devices, settings, hooks);
    }
    searching_ = false;
    gauge1_->hide();
    toolBar1_->show();
    switch (result.status) {
    case ConditionSearchStatus::NoData:
        ShowError(ProgramText("Chyby", "NoData"));
        CloseWindow();
        return;
    case ConditionSearchStatus::TooMany: ShowError(ProgramText("Chyby", "TooMany")); break;
    default: break;
    }
    if (result.hits.empty()) {
        ShowError(ProgramText("Chyby", "NotFndDrg"));
        CloseWindow();
        return;
    }
    TVyb* list = nullptr;
    if (result.plan.kind == QueryKind::Drugs)
        list = ShowDrugConditionResult(result.hits);
    else if (result.plan.kind == QueryKind::Devices)
        list = ShowDeviceConditionResult(result.hits);
    // The sign sets failed to load: the conditions stay for another try.
    if (list == nullptr)
        return;
    CloseWindow();
}

// ------------------------------------------------------------------ keys

void TPodminka::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: DropMenu(); return;
    case Qt::Key_Escape: CloseWindow(); return;
    default: QWidget::keyPressEvent(event);
    }
}

bool TPodminka::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->Edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            EditKey(key);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TPodminka::closeEvent(QCloseEvent* event)
{
    if (searching_) {
        event->ignore();
        return;
    }
    if (chooser_)
        chooser_->CloseWindow();
    QWidget::closeEvent(event);
}

// ------------------------------------------------------------------ openers

namespace {

TPodminka* OpenCondition(bool devices, uint16_t kind)
{
    CountUse(kind);
    auto* w = new TPodminka(devices, kind);
    w->PlaceAndShow(false);
    w->setFocus(Qt::ActiveWindowFocusReason);
    return w;
}

} // namespace

TPodminka* OpenDrugCondition(uint16_t kind)
{
    return OpenCondition(false, kind);
}

TPodminka* OpenDeviceCondition(uint16_t kind)
{
    return OpenCondition(true, kind);
}
