#pragma once
// Points the user's home and XDG folders into a temporary folder for one
// test ("home", "data" and "config" below it), and puts the old ones back.

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

class ScopedUserFolders {
public:
    explicit ScopedUserFolders(const std::string& root)
    {
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
            const char* v = std::getenv(name);
            saved_.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
        }
        setenv("HOME", (root + "/home").c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    }
    ~ScopedUserFolders()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name, value->c_str(), 1);
            else
                unsetenv(name);
        }
    }
    ScopedUserFolders(const ScopedUserFolders&) = delete;
    ScopedUserFolders& operator=(const ScopedUserFolders&) = delete;

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

} // namespace test_support
