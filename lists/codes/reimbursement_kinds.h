#pragma once
// The reimbursement kinds and their chooser.  The kinds are the one-character
// keys of the data text section "Uhr" from the key "_" on ("_" stands for a
// blank key), their names the values.  A choice is a string of kind keys in
// the order of the section, at most 31.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/windows/dialog_base.h"

class QCheckBox;

namespace Ui {
class ReimbursementKinds;
}

constexpr size_t kMaxReimbursementChoice = 31;

struct ReimbursementKind {
    char key = ' ';   // "_" for the blank key
    std::string name; // data code page, with its "&" mnemonic
};
// The kinds of the data texts, in table order.
std::vector<ReimbursementKind> ReimbursementKinds();

// The kind chooser: one box per kind, ticked when its key is in the choice
// it starts with.  After OK, Choice() holds the ticked keys in box order;
// after Cancel it is empty.
class TUhrada : public TDlgForm {
    Q_OBJECT
public:
    explicit TUhrada(std::string_view choice, QWidget* parent = nullptr);
    ~TUhrada() override;

    std::string Choice() const { return choice_; }
    const std::vector<QCheckBox*>& Boxes() const { return boxes_; }
    // The keys of the boxes, in box order.
    const std::string& Keys() const { return keys_; }

protected:
    void done(int result) override;

private:
    std::unique_ptr<Ui::ReimbursementKinds> ui_;
    std::vector<QCheckBox*> boxes_;
    std::string keys_;
    std::string choice_;
};

// Shows TUhrada modally with `choice` ticked; the new choice, empty when the
// user cancelled or ticked nothing.
std::string ChooseReimbursementKinds(std::string_view choice);

// The saved choice: the configuration's reimbursement letters, its "-XY"
// form and an empty value expanded from the data text "Uhr.Init" (all kinds
// but X and Y; all of them).
std::string SavedReimbursementChoice();
// Replaces the saved choice; the next configuration save writes it.
void SaveReimbursementChoice(std::string_view choice);
