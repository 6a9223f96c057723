#include "maintenance/installer_state.h"

#include "datastore/run_log.h"
#include "maintenance/folder_log.h"

namespace {

size_t Slot(int n)
{
    return n >= 0 && n < 8 ? static_cast<size_t>(n) : 0;
}

} // namespace

void InstallerState::SetResult(int n, std::string text)
{
    std::lock_guard lock(mutex_);
    results_[Slot(n)] = std::move(text);
}
void InstallerState::AppendResult(int n, std::string_view text)
{
    std::lock_guard lock(mutex_);
    results_[Slot(n)] += text;
}
std::string InstallerState::Result(int n) const
{
    std::lock_guard lock(mutex_);
    return results_[Slot(n)];
}
void InstallerState::SetDetail(int n, std::string text)
{
    std::lock_guard lock(mutex_);
    details_[Slot(n)] = std::move(text);
}
void InstallerState::AppendDetail(int n, std::string_view text)
{
    std::lock_guard lock(mutex_);
    details_[Slot(n)] += text;
}
std::string InstallerState::Detail(int n) const
{
    std::lock_guard lock(mutex_);
    return details_[Slot(n)];
}
void InstallerState::AddMessage(std::string line)
{
    std::lock_guard lock(mutex_);
    messages_.push_back(std::move(line));
}
void InstallerState::ClearMessages()
{
    std::lock_guard lock(mutex_);
    messages_.clear();
}
std::vector<std::string> InstallerState::Messages() const
{
    std::lock_guard lock(mutex_);
    return messages_;
}
void InstallerState::SetMessages(std::vector<std::string> lines)
{
    std::lock_guard lock(mutex_);
    messages_ = std::move(lines);
}

InstallerSnapshot InstallerState::Snapshot() const
{
    InstallerSnapshot s;
    s.stepCount = stepCount.load();
    s.step = ShownStep(step.load(), s.stepCount);
    s.state = state.load();
    s.progress = progress.load();
    s.total = total.load();
    std::lock_guard lock(mutex_);
    s.results = results_;
    s.details = details_;
    if (!messages_.empty())
        s.lastMessage = messages_.back();
    return s;
}

void InstallerState::Reset()
{
    step = InstallStep::Waiting;
    stepCount = 6;
    state = 0;
    progress = 0;
    total = 0;
    std::lock_guard lock(mutex_);
    results_ = {};
    details_ = {};
    messages_.clear();
}

uint16_t InstallerState::ShownStep(uint16_t step, uint16_t stepCount)
{
    return step == 0 || step > stepCount + 3 ? InstallStep::Waiting : step;
}

void InstallerLogLine(std::string_view text)
{
    InstallerLogHandle& h = InstallerLog();
    std::lock_guard lock(h.mutex);
    if (h.log.IsOpen())
        h.log.Line(text);
}

void FlushRunLogToInstallerLog()
{
    InstallerLogHandle& h = InstallerLog();
    std::lock_guard lock(h.mutex);
    if (!h.log.IsOpen())
        return;
    // Taken and emptied in one step: a line another thread adds meanwhile
    // is either written now or stays for the next flush.
    const std::string text = TakeRunLog();
    if (!text.empty())
        h.log.Append(text);
}

std::string InstallerWhereLine(const InstallerState& state)
{
    return "where:" + std::to_string(state.progress.load()) + " step:" + std::to_string(state.step.load()) +
           " mstep: " + std::to_string(state.stepCount.load()) +
           " ires:" + std::to_string(state.state.load());
}
