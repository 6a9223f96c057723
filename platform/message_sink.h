#pragma once
// Where message boxes go.  The program installs a sink that shows a real box
// (frame/message_box.h); batch runs and tools use the standard-error sink, and
// tests a recording one.  A sink is called on the main thread only.

#include <QString>

#include <vector>

#include "platform/replaceable.h"

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNoCancel, YesNo };

// Button ids a box returns.
namespace MessageAnswer {
constexpr int Ok = 1, Cancel = 2, Yes = 6, No = 7;
}

struct MessageRequest {
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    QString caption;
    QString text;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows the message and returns the button chosen.
    virtual int Show(const MessageRequest& request) = 0;
};

// Writes the text as one line to standard error and answers as if the first
// button were pressed (OK; Cancel for questions, which nobody can answer).
class StderrMessageSink : public MessageSink {
public:
    int Show(const MessageRequest& request) override;
};

// Records every request and answers with a preset button.
class RecordingMessageSink : public MessageSink {
public:
    explicit RecordingMessageSink(int answer = MessageAnswer::Ok) : log_(answer) {}
    int Show(const MessageRequest& request) override { return log_.Record(request); }
    std::vector<MessageRequest> Requests() const { return log_.Calls(); }
    void SetAnswer(int answer) { log_.SetAnswer(answer); }

private:
    CallLog<MessageRequest> log_;
};

// The sink in use; the standard-error sink until one is installed.  Returns
// the previous one (nullptr meant the default).
MessageSink* SetMessageSink(MessageSink* sink);
MessageSink& CurrentMessageSink();

// Installs a sink for its lifetime and puts the previous one back.
using ScopedMessageSink = ScopedInstall<MessageSink, SetMessageSink>;
