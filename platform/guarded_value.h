#pragma once
// One value shared between threads behind its own mutex: swapped whole by a
// registration, read by taking a copy, so a caller never runs code (or holds
// a reference) while the lock is held.  HookTable below builds the tables of
// functions the lower layers call back through on it.

#include <functional>
#include <mutex>
#include <type_traits>
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

// A table of functions another layer registers (a struct of std::function
// members) and the forwarders that call through it.  A registration swaps the
// whole table and hands back the old one; a call copies its one function
// under the lock and runs it outside, so a hook may register or call others.
// A function nobody registered answers its neutral value.
template <class Table>
class HookTable {
public:
    Table Set(Table table) { return value_.Exchange(std::move(table)); }
    Table Get() const { return value_.Get(); }

    template <class F>
    F Function(F Table::*member) const
    {
        return value_.Member(member);
    }

    template <class F>
    bool Has(F Table::*member) const
    {
        return static_cast<bool>(value_.Member(member));
    }

    // Calls `member`; unregistered, it does nothing and answers R{}.
    template <class R, class... P, class... A>
    R Call(std::function<R(P...)> Table::*member, A&&... args) const
    {
        const std::function<R(P...)> f = value_.Member(member);
        if constexpr (std::is_void_v<R>) {
            if (f)
                f(std::forward<A>(args)...);
        } else {
            return f ? f(std::forward<A>(args)...) : R{};
        }
    }

    // The same with another answer when unregistered.
    template <class R, class... P, class... A>
    R CallOr(std::function<R(P...)> Table::*member, std::type_identity_t<R> unregistered, A&&... args) const
    {
        const std::function<R(P...)> f = value_.Member(member);
        return f ? f(std::forward<A>(args)...) : unregistered;
    }

private:
    GuardedValue<Table> value_;
};
