#include "platform/message_sink.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<MessageSink*> g_sink{nullptr};

StderrMessageSink& DefaultSink()
{
    static StderrMessageSink sink;
    return sink;
}

} // namespace

int StderrMessageSink::Show(const MessageRequest& request)
{
    const QByteArray line = request.text.toUtf8();
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
    switch (request.buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::YesNo: return MessageAnswer::No;
    default: return MessageAnswer::Cancel;
    }
}

MessageSink* SetMessageSink(MessageSink* sink)
{
    return g_sink.exchange(sink);
}

MessageSink& CurrentMessageSink()
{
    MessageSink* s = g_sink.load();
    return s ? *s : DefaultSink();
}
