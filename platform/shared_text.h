#pragma once
// A text that one thread writes (the loader's status line) while another
// polls and paints it.  Readers work on a copy taken under the lock.

#include <mutex>
#include <string>
#include <string_view>

class SharedText {
public:
    std::string Get() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }
    void Set(std::string_view text)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        text_.assign(text);
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};
