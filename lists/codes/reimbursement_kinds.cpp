#include "lists/codes/reimbursement_kinds.h"

#include <QCheckBox>
#include <QPushButton>

#include <algorithm>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/config/config_file.h"
#include "frame/start/shared_helpers.h"
#include "ui_reimbursement_kinds.h"

namespace {

// Section "Uhr" holds "Init" and "pu" before its first kind.
constexpr std::string_view kFirstKindKey = "_";

// A value's first "&" stays the mnemonic; later ones are literal.
QString BoxCaption(char key, std::string_view name)
{
    std::string text(1, key == '_' ? ' ' : key);
    text += ' ';
    text += name;
    QString caption = KamToQString(text);
    const int mnemonic = caption.indexOf(QLatin1Char('&'));
    for (int i = caption.size() - 1; i > mnemonic; --i)
        if (caption[i] == QLatin1Char('&'))
            caption.insert(i, QLatin1Char('&'));
    return caption;
}

} // namespace

std::vector<ReimbursementKind> ReimbursementKinds()
{
    std::vector<ReimbursementKind> kinds;
    const TextTablePtr table = DataTexts.Get();
    std::string key(kFirstKindKey);
    std::string value;
    if (GetTextEntry(table, "Uhr", key, value) == 0)
        return kinds;
    do {
        if (key.size() == 1 && !value.empty())
            kinds.push_back({key[0], value});
    } while (NextTextEntry(table, "Uhr", key, value) != 0);
    return kinds;
}

TUhrada::TUhrada(std::string_view choice, QWidget* parent)
    : TDlgForm(parent), ui_(std::make_unique<Ui::ReimbursementKinds>())
{
    ui_->setupUi(this);
    setProperty("helpKeyword", QStringLiteral("Uhrada"));
    connect(ui_->helpButton, &QPushButton::clicked, this, [] { RequestHelp("Uhrada"); });
    const int boxWidth = ui_->frame->width() - 20;
    int top = 0;
    int boxHeight = 0;
    for (const ReimbursementKind& kind : ReimbursementKinds()) {
        auto* box = new QCheckBox(BoxCaption(kind.key, kind.name), this);
        if (boxHeight == 0)
            boxHeight = box->sizeHint().height() + 2;
        top = boxHeight * static_cast<int>(boxes_.size() + 1) - boxHeight / 2;
        box->setGeometry(15, top, boxWidth, boxHeight);
        box->setChecked(choice.find(kind.key) != std::string_view::npos);
        boxes_.push_back(box);
        keys_ += kind.key;
    }
    const int below = boxes_.empty() ? ui_->frame->y() : top + boxHeight + 6;
    ui_->frame->move(ui_->frame->x(), below);
    setFixedSize(width(), below + ui_->frame->height() + 8);
    PrepareDialog();
}

TUhrada::~TUhrada() = default;

void TUhrada::done(int result)
{
    choice_.clear();
    if (result == QDialog::Accepted)
        for (size_t i = 0; i < boxes_.size() && choice_.size() < kMaxReimbursementChoice; ++i)
            if (boxes_[i]->isChecked())
                choice_ += keys_[i];
    TDlgForm::done(result);
}

std::string ChooseReimbursementKinds(std::string_view choice)
{
    TUhrada dialog(choice);
    dialog.exec();
    return dialog.Choice();
}

std::string SavedReimbursementChoice()
{
    std::string letters = Config().Read([](const ConfigValues& v) { return v.ReimbColumnLetters; });
    if (!letters.empty() && letters[0] != '-')
        return letters;
    std::string init;
    if (GetTextEntry(DataTexts, "Uhr", "Init", init) == 0)
        return {};
    return ExpandReimbColumnLetters(letters, init);
}

void SaveReimbursementChoice(std::string_view choice)
{
    std::string letters(choice.substr(0, kMaxReimbursementChoice));
    Config().Update([&letters](ConfigValues& v) { v.ReimbColumnLetters = letters; });
}
