#pragma once
// What the settings dialogs share: bold captions, the three buttons of the
// form's last row, and the main window they capture and offer to choosers.
//
// Main thread only.

#include <QFont>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <string>

#include "frame/start/shared_helpers.h"
#include "frame/windows/dialog_base.h"

namespace settings_dialog {

// Bold captions over the dialog font the form has by now.
inline void MakeBold(std::initializer_list<QWidget*> widgets)
{
    for (QWidget* w : widgets) {
        QFont f = w->font();
        f.setBold(true);
        w->setFont(f);
    }
}

// OK runs `ok` (which stores and saves, then closes); Cancel closes as
// Escape and the close box do; Help asks for the form's help topic.
inline void WireButtons(TDlgForm* dialog, QPushButton* okButton, QPushButton* cancelButton,
                        QPushButton* helpButton, std::function<void()> ok, std::string helpKeyword)
{
    QObject::connect(okButton, &QPushButton::clicked, dialog, std::move(ok));
    QObject::connect(cancelButton, &QPushButton::clicked, dialog, &QDialog::reject);
    if (helpButton != nullptr)
        QObject::connect(helpButton, &QPushButton::clicked, dialog,
                         [keyword = std::move(helpKeyword)] { RequestHelp(keyword); });
}

} // namespace settings_dialog
