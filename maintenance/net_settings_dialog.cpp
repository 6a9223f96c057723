#include "maintenance/net_settings_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "datastore/service_hooks.h"
#include "maintenance/connection_editor.h"
#include "maintenance/settings_dialog_support.h"
#include "platform/cp1250.h"
#include "ui_set_net.h"

void ShowMemoLines(QPlainTextEdit* memo, const std::vector<std::string>& lines)
{
    QStringList text;
    for (const std::string& line : lines)
        text << Cp1250ToQString(line);
    memo->setPlainText(text.join(QLatin1Char('\n')));
}

TSetNet::TSetNet(QWidget* parent)
    : TDlgForm(parent), ui_(std::make_unique<Ui::SetNet>()), calls_(DefaultConnectionTestCalls())
{
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    PrepareDialog();
    editor_ = new ConnectionEditor(ConnectionControlsOf(*ui_), this);
    connect(ui_->b4test2, &QPushButton::clicked, this, &TSetNet::b4test2Click);
    connect(ui_->b4test1, &QPushButton::clicked, this, &TSetNet::b4test1Click);
    settings_dialog::WireButtons(
        this, ui_->OKBtn, ui_->CancelBtn, ui_->HelpBtn, [this] { OKBtnClick(); }, "NaVeKl");
}

TSetNet::~TSetNet() = default;

void TSetNet::OKBtnClick()
{
    editor_->Confirm();
    accept();
}

void TSetNet::reject()
{
    editor_->Restore();
    TDlgForm::reject();
}

void TSetNet::ShowLines(const std::vector<std::string>& lines)
{
    ShowMemoLines(ui_->m4test, lines);
}

void TSetNet::b4test2Click()
{
    editor_->ApplyChangedEdits();
    ui_->m4test->clear();
    const int32_t online = calls_.isOnline ? calls_.isOnline() : IsOnline();
    if (online == 0) {
        ShowLines({kNoNetworkLine});
        return;
    }
    std::vector<std::string> lines;
    RunBlockingWork([&] { lines = RunConnectionTest(calls_, false); });
    ShowLines(lines);
}

void TSetNet::b4test1Click()
{
    editor_->ApplyChangedEdits();
    ui_->m4test->clear();
    std::vector<std::string> lines;
    RunBlockingWork([&] { lines = RunInstallFolderTest(calls_); });
    ShowLines(lines);
}
