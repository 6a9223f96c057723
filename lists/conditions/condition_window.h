#pragma once
// TPodminka: the compound search's condition window.  The user picks a
// criterion from the drop-down menu, then a value (from its submenu, typed
// into the mask edit, or chosen in a chooser list), and the grid shows the
// conditions by criterion; "Prohledat" runs the search and opens the result
// list.  The model (condition_model.h) holds the conditions; the engine
// (condition_search.h) runs them.

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>

#include "frame/windows/data_form.h"
#include "lists/conditions/condition_model.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTableWidget;
class QToolBar;
class QToolButton;
class TVyb;
class ConditionGauge;

namespace Ui {
class Podminka;
}

class TPodminka : public QWidget, public TDataForm {
    Q_OBJECT
public:
    TPodminka(bool devices, uint16_t kind);
    ~TPodminka() override;

    ConditionModel& Model() { return model_; }

    // --- The handlers ------------------------------------------------------
    // A criterion chosen from the menu: its chooser, the edit, or the search.
    void CriterionClick(int criterion);
    // A value chosen from a criterion's submenu.
    void CodeItemClick(int criterion, int valueIndex, int menuIndex);
    // Runs the search of the conditions and opens its result list.
    void ProhledatClick();
    // The record chosen in the chooser list.
    void ResetData(int32_t value) override;
    QSize DesignSize() const override;
    void FormActivate() override;

    // --- For the tests and the walk -----------------------------------------
    QToolButton* CriteriaButton() const { return toolButton1_; }
    QAction* SearchAction() const { return prohledat_; }
    QLineEdit* EditBox() const;
    QTableWidget* Grid() const;
    QMenu* CriteriaMenu() const { return menu_; }
    TVyb* Chooser() const { return chooser_.data(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
    void SyncMenu();
    void DropMenu();
    void Add(const std::string& value);
    void ShowEdit(const std::string& label, const QString& mask, int maxLength);
    void HideEdit();
    void EditKey(int key);
    std::string EditValue() const;
    void RefreshGrid();
    void OpenChooser(int criterion);
    void RunSearch();

    std::unique_ptr<Ui::Podminka> ui_;
    ConditionModel model_;
    QToolBar* toolBar1_ = nullptr;
    QToolButton* toolButton1_ = nullptr;
    QAction* prohledat_ = nullptr;
    QMenu* menu_ = nullptr;
    ConditionGauge* gauge1_ = nullptr;
    std::vector<QAction*> topActions_;
    QString mask_;
    QPointer<TVyb> chooser_;
    int chooserCriterion_ = 0;
    bool searching_ = false;
};

// The openers of the dispatcher ("XQD", "XQT").
TPodminka* OpenDrugCondition(uint16_t kind);
TPodminka* OpenDeviceCondition(uint16_t kind);

// Whether a chooser of that kind can be opened here: the ATC, holder and
// indication-group lists; the substance and device lists are still to come.
bool ConditionChooserAvailable(ChooserKind kind);
