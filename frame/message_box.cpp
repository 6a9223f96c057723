#include "frame/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include <atomic>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "frame/report_hook.h"

namespace {

std::atomic<int> g_dbFailures{0};

MessageRequest Request(MessageIcon icon, MessageButtons buttons, std::string_view kamText)
{
    MessageRequest r;
    r.icon = icon;
    r.buttons = buttons;
    r.caption = QString::fromLatin1(kProgramCaption);
    r.text = KamToQString(kamText);
    return r;
}

int Ask(MessageButtons buttons, std::string_view text)
{
    if (!OnMainThread())
        return MessageAnswer::Cancel;
    return CurrentMessageSink().Show(Request(MessageIcon::Question, buttons, text));
}

void ShowQueued(MessageRequest request)
{
    RunOnMainThread([request] { CurrentMessageSink().Show(request); });
}

} // namespace

int AskOkCancel(std::string_view text)
{
    return Ask(MessageButtons::OkCancel, text);
}

int AskYesNoCancel(std::string_view text)
{
    return Ask(MessageButtons::YesNoCancel, text);
}

int AskYesNo(std::string_view text)
{
    return Ask(MessageButtons::YesNo, text);
}

void ShowError(std::string_view text)
{
    ShowQueued(Request(MessageIcon::Error, MessageButtons::Ok, text));
}

void ShowMessage(std::string_view text)
{
    ShowQueued(Request(MessageIcon::None, MessageButtons::Ok, text));
}

std::string DbErrorLine(const TFileId& id, int32_t status, int32_t position, uint16_t code)
{
    return "DB Error: " + std::to_string(status) + " (loc." + std::to_string(code) + ")  File \"" +
           FileIdToStr(id) + "\":  record " + std::to_string(position);
}

void ShowDbError(const TFileId& id, int32_t position, uint16_t code)
{
    // DbStatus belongs to the calling thread: read it before queueing.
    const int32_t status = DbStatus;
    if (status > 0)
        g_dbFailures.fetch_add(1);
    ShowQueued(Request(status > 0 ? MessageIcon::Error : MessageIcon::Warning, MessageButtons::Ok,
                       DbErrorLine(id, status, position, code)));
}

int DbFailureCount()
{
    return g_dbFailures.load();
}

int QtMessageBoxSink::Show(const MessageRequest& request)
{
    QMessageBox box;
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    switch (request.icon) {
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::None: break;
    }
    switch (request.buttons) {
    case MessageButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MessageButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return MessageAnswer::Ok;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: return MessageAnswer::Cancel;
    }
}

void InstallMessageBoxes(bool boxes)
{
    static QtMessageBoxSink qtSink;
    static StderrMessageSink stderrSink;
    SetMessageSink(boxes ? static_cast<MessageSink*>(&qtSink) : &stderrSink);
    DbErrorHook.store(&ShowDbError);
    SetErrorReportHook([](const std::string& text) { ShowError(text); });
}
