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
    constexpr size_t kKeep = kRunLogMaxBytes / 4 * 3;
    std::lock_guard lock(LogMutex());
    std::string& log = LogText();
    if (log.size() + text.size() <= kRunLogMaxBytes) {
        log.append(text);
        return;
    }
    if (text.size() >= kKeep) {
        log.assign(text.substr(text.size() - kKeep));
        return;
    }
    // Cut at a line end where there is one, so the log starts with a whole line.
    size_t cut = log.size() + text.size() - kKeep;
    const size_t lineEnd = log.find('\n', cut - 1);
    if (lineEnd != std::string::npos)
        cut = lineEnd + 1;
    log.erase(0, cut);
    log.append(text);
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

std::string TakeRunLog()
{
    std::lock_guard lock(LogMutex());
    std::string out;
    out.swap(LogText());
    return out;
}
