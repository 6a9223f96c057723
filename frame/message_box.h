#pragma once
// The program's message boxes and its data-store error handler.  Texts are
// byte strings in the data code page, as every message text of the program;
// they become display text here.  Boxes go through the message sink of
// platform/message_sink.h, so tests record them and batch runs write them to
// standard error.
//
// Threads: a box is always shown on the main thread.  Called from another
// thread, ShowError, ShowMessage and ShowDbError queue their box and return
// at once; the questions cannot wait for the user there and answer Cancel.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/message_sink.h"

struct TFileId;

// Every question box carries this caption.
inline constexpr const char* kProgramCaption = "KALVO";

// OK / Cancel with a question icon; returns 1 (OK) or 2 (Cancel).
int AskOkCancel(std::string_view text);
// Yes / No / Cancel with a question icon; returns 6, 7 or 2.
int AskYesNoCancel(std::string_view text);
// Yes / No with a question icon; returns 6 or 7.
int AskYesNo(std::string_view text);
// An error box with an OK button.
void ShowError(std::string_view text);
// A plain box with an OK button.
void ShowMessage(std::string_view text);

// The data-store error handler: one line, "DB Error: " + DbStatus + " (loc."
// + code + ")  File \"" + identity + "\":  record " + position, as an error
// when DbStatus is above 0, else as a warning; then the program goes on.
void ShowDbError(const TFileId& id, int32_t position, uint16_t code);
std::string DbErrorLine(const TFileId& id, int32_t status, int32_t position, uint16_t code);
// How many data-store failures (DbStatus above 0) ShowDbError has seen.
int DbFailureCount();

// Shows real boxes (QMessageBox); needs a QApplication.
class QtMessageBoxSink : public MessageSink {
public:
    int Show(const MessageRequest& request) override;
};

// The start of the message unit: ShowDbError becomes the data-store error
// hook and error reports go to ShowError.  With `boxes` the boxes are real
// QMessageBox windows; without (batch runs, tools) they go to standard error.
void InstallMessageBoxes(bool boxes);
