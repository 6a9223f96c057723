#pragma once
// One value shared between threads behind its own mutex: swapped whole by a
// registration, read by taking a copy, so a caller never runs code (or holds
// a reference) while the lock is held.  Used for the tables of functions the
// lower layers call back through.

#include <mutex>
#include <utility>

template <class T>
class GuardedValue {
public:
    // Puts `value` in place and hands back what was there.
    T Exchange(T value)
    {
        std::lock_guard lock(mutex_);
        T old = std::move(value_);
        value_ = std::move(value);
        return old;
    }

    T Get() const
    {
        std::lock_guard lock(mutex_);
        return value_;
    }

    // A copy of one member, taken under the lock.
    template <class M>
    M Member(M T::*member) const
    {
        std::lock_guard lock(mutex_);
        return value_.*member;
    }

private:
    mutable std::mutex mutex_;
    T value_{};
};
