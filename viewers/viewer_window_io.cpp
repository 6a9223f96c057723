// The HTML viewer's keys and links, its layout, and its print, copy and
// export.

#include "viewers/viewer_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "frame/commands/document_kinds.h"
#include "frame/config/config_file.h"
#include "frame/config/stored_paragraphs.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/dialog_base.h"
#include "frame/windows/style.h"
#include "lists/dialogs/paragraph_chooser.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/guarded_value.h"
#include "platform/gui/html_view.h"
#include "platform/gui/print_job.h"
#include "platform/gui/shell.h"
#include "ui_viewer_window.h"
#include "viewers/record_text.h"
#include "viewers/viewer_document.h"
#include "viewers/viewer_hooks.h"
#include "viewers/viewer_page.h"
#include "viewers/viewer_rtf.h"

// --- Links and keys ---------------------------------------------------------------

void TProhlizecN::LinkClicked(const QString& url)
{
    if (url.startsWith('#')) {
        wb_->ScrollToAnchorName(url.mid(1));
        return;
    }
    const QString lower = url.toLower();
    if (lower.startsWith("https://") || lower.startsWith("http://") || lower.startsWith("mailto:"))
        ShellOpenTarget(url, {});
    // Anything else would replace the page: ignored.
}

bool TProhlizecN::ShortcutKey(int key, Qt::KeyboardModifiers modifiers)
{
    if ((modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != Qt::ShiftModifier)
        return false;
    if (key == Qt::Key_F3 || key == Qt::Key_F10) {
        // A second press within about a quarter second is a bounce.
        const auto now = Now();
        const bool tooSoon = now - lastShortcut_ < std::chrono::milliseconds(260);
        lastShortcut_ = now;
        if (tooSoon)
            return true;
    }
    switch (key) {
    case Qt::Key_F2:
        if (ui_->FnPresc->isVisible() && ui_->FnPresc->isEnabled())
            FnPrescClick();
        return true;
    case Qt::Key_F3:
        if (ui_->FnContnt->isEnabled() && ui_->FnContnt->isVisible())
            FnContntClick();
        return true;
    case Qt::Key_F4:
        if (ui_->FnParagr->isEnabled() && ui_->FnParagr->isVisible())
            FnParagrClick();
        return true;
    case Qt::Key_F9:
        if (ui_->FnSearch->isEnabled() && ui_->FnSearch->isVisible())
            FnSearchClick();
        return true;
    case Qt::Key_F10:
        if (ui_->FnSlave->isEnabled()) {
            ui_->FnSlave->toggle();
            FnSlaveClick();
        }
        return true;
    default: return false;
    }
}

bool TProhlizecN::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::ShortcutOverride) {
        if (key->matches(QKeySequence::Copy) && watched != SearchEdit_) {
            event->accept();
            return false;
        }
        return QWidget::eventFilter(watched, event);
    }
    const bool first = !firstKeySeen_;
    firstKeySeen_ = true;
    if (watched == SearchEdit_) {
        if (key->key() == Qt::Key_Escape) {
            SearchPanel_->hide();
            wb_->setFocus();
            return true;
        }
        return false;
    }
    if (watched == Content_ && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        ContentChosen(Content_->currentRow());
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        // Not the first key after activation: it may be the one that closed
        // a dialog over the window.
        if (!first || watched == Content_)
            QTimer::singleShot(0, this, [this] { CloseWindow(); });
        return true;
    }
    if (key->matches(QKeySequence::Copy)) {
        Schrankuj();
        return true;
    }
    if (key->key() == Qt::Key_F5 && key->modifiers() == Qt::NoModifier) {
        // The browser's refresh goes to the main window instead.
        if (TDataForm* main = MainDataForm()) {
            QApplication::postEvent(main->Widget(),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier));
            QApplication::postEvent(main->Widget(),
                                    new QKeyEvent(QEvent::KeyRelease, Qt::Key_F5, Qt::NoModifier));
        }
        return true;
    }
    if (ShortcutKey(key->key(), key->modifiers()))
        return true;
    return QWidget::eventFilter(watched, event);
}

void TProhlizecN::FormActivate()
{
    TDataForm::FormActivate();
    firstKeySeen_ = false;
    wb_->SetInputEnabled(true);
    wb_->setFocus();
}

// --- Layout ---------------------------------------------------------------------

void TProhlizecN::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TProhlizecN::closeEvent(QCloseEvent* event)
{
    event->accept();
}

QSize TProhlizecN::DesignSize() const
{
    constexpr int kColumns = 80;
    constexpr int kLines = 30;
    const ConfigFont font = Config().Read([](const ConfigValues& v) { return v.TextFont; });
    const QFontMetrics text(FontOfSetting(font));
    const int around = 2 * (wb_->frameWidth() + static_cast<int>(wb_->document()->documentMargin()));
    const int page = kColumns * text.averageCharWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    // The tabs and the button bar as FormResize lays them out.
    const int textHeight = fontMetrics().height();
    const int bar = (textHeight < 12 ? 17 : textHeight + 5) + 2;
    const int tabs = TabControl_->fontMetrics().height() + 10; // with or without tabs yet
    return QSize(page + around, kLines * text.lineSpacing() + around + tabs + bar);
}

void TProhlizecN::FormResize()
{
    const int w = width();
    const int h = height();
    int textHeight = fontMetrics().height();
    int bh = textHeight < 12 ? 17 : textHeight + 5;
    const int bar = bh + 2;
    const DocumentKindRow& kind = DocumentKindOf(DocumentKind);
    const int count = kind.barButtons;
    int bw = 5 * bh;
    if (bw * count > w && count > 0)
        bw = w / count;
    vata_->setGeometry(0, h - bar, w, bar);
    const int tabHeight = TabControl_->isHidden() ? 0 : TabControl_->sizeHint().height();
    TabControl_->setGeometry(0, h - bar - tabHeight, w, tabHeight);
    Pages_->setGeometry(0, 0, w, h - bar - tabHeight);
    if (DocumentKind != 0) {
        if (!kind.Has(kFilterButton))
            ui_->FnParagr->hide();
        if (!kind.Has(kContentsButton))
            ui_->FnContnt->hide();
        if (!kind.Has(kPrescriptionButton))
            ui_->FnPresc->hide();
    }
    int x = w;
    for (QToolButton* b : {ui_->FnSlave, ui_->FnSearch, ui_->FnParagr, ui_->FnContnt, ui_->FnPresc,
                           ui_->FnWCon, ui_->FnWPri}) {
        if (b->isHidden())
            continue;
        x -= bw;
        b->setGeometry(x, 1, bw, bh);
    }
    zmena_->setGeometry(14, std::max(0, Pages_->height() - 40), std::max(40, w - 28), 28);
    ui_->zOK->move(zmena_->width() - ui_->zOK->width() - 2, 2);
    zCapt_->resize(zmena_->width() - ui_->zOK->width() - 10, 20);
    ui_->neni1->move(w / 2 - 36, std::max(0, Pages_->height() / 2 - 50));
    ui_->neni2->move(w / 2 + 4, std::max(0, Pages_->height() / 2 - 50));
    neni_->setGeometry(10, Pages_->height() / 2, std::max(10, w - 20), 60);
}

// --- Output ---------------------------------------------------------------------

void TProhlizecN::CountUsage()
{
    StatCount(Kind);
}

bool TProhlizecN::IsEmpty()
{
    if (DocumentKindOf(DocumentKind).Composed())
        return false;
    return TDataForm::IsEmpty() && offset_ < 0;
}

void TProhlizecN::Tisk()
{
    StatCount(StatCodeOfText("oCP"));
    CountUsage();
    TDataForm::Tisk();
    PrintJob& job = CurrentPrintJob();
    PrintY = wb_->Print(job.Surface(), job.PageWidth(), job.PageHeight(), PrintY, [&job] { job.NewPage(); });
}

void TProhlizecN::Schrankuj()
{
    StatCount(StatCodeOfText("oCC"));
    CountUsage();
    CopyToClipboard();
}

void TProhlizecN::CopyToClipboard()
{
    QApplication::clipboard()->setMimeData(wb_->SelectionMimeData(true));
}

void TProhlizecN::Exportuj()
{
    StatCount(StatCodeOfText("oCF"));
    CountUsage();
    TDataForm::Exportuj();
    if (!ExportFile.IsOpen())
        return;
    if (ExportFormat == ExportFormatCode::Text || ExportFormat == ExportFormatCode::Csv) {
        QString text = wb_->PageText();
        text.replace(QChar::Nbsp, QChar(' '));
        text.replace(QChar::LineSeparator, QChar('\n'));
        text.replace(QChar::ObjectReplacementCharacter, QString());
        std::string bytes = QStringToCp1250(text);
        std::string crlf;
        crlf.reserve(bytes.size() + bytes.size() / 20);
        for (char c : bytes) {
            if (c == '\n')
                crlf += "\r\n";
            else
                crlf.push_back(c);
        }
        ExportFile.Write(crlf + "\r\n");
    } else {
        ExportFile.Write(DocumentToRtf(*wb_->document(), ""));
    }
}
