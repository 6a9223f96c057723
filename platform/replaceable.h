#pragma once
// Pieces shared by the services a test can swap out (the message sink, the
// shell): a scope that installs a replacement and puts the previous one back,
// and the thread-safe list a recording replacement keeps of its calls.

#include <mutex>
#include <utility>
#include <vector>

// Installs a service for its lifetime through `Set` (which returns the one it
// replaces) and puts the previous one back.
template <class Service, Service* (*Set)(Service*)>
class ScopedInstall {
public:
    explicit ScopedInstall(Service* service) : previous_(Set(service)) {}
    ~ScopedInstall() { Set(previous_); }
    ScopedInstall(const ScopedInstall&) = delete;
    ScopedInstall& operator=(const ScopedInstall&) = delete;

private:
    Service* previous_;
};

// Every call a recording service got, in order, and the answer it gives.
template <class Call>
class CallLog {
public:
    explicit CallLog(int answer) : answer_(answer) {}

    // Keeps the call; the preset answer.
    int Record(Call call)
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        return answer_;
    }
    std::vector<Call> Calls() const
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void SetAnswer(int answer)
    {
        std::lock_guard lock(mutex_);
        answer_ = answer;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    int answer_;
};
