#include "datastore/run_log.h"

#include <mutex>

namespace {

std::mutex& LogMutex()
{
    static std::mutex m;
    return m;
}

std::string& LogText()
{
    static std::string text;
    return text;
}

} // namespace

void AppendRunLog(std::string_view text)
{
    std::lock_guard lock(LogMutex());
    LogText().append(text);
}

std::string RunLogText()
{
    std::lock_guard lock(LogMutex());
    return LogText();
}

void ClearRunLog()
{
    std::lock_guard lock(LogMutex());
    LogText().clear();
}
