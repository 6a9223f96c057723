#pragma once
// The update lock: only one update procedure of an installation runs at a
// time, across the threads of a process (the loader, dialogs, installer
// workers) and across processes (a copy in installer mode, a second start).
// It is a mutex of the process plus an exclusive lock on the installation
// base's ".qevw-update.lock"; without a base only the mutex.
//
// Threads: any; a hold may be released on another thread than the one that
// took it.

#include <string>

#include "platform/fs.h"

inline constexpr const char* kUpdateLockName = ".qevw-update.lock";

class UpdateLockHold {
public:
    UpdateLockHold() = default;
    ~UpdateLockHold() { Release(); }
    UpdateLockHold(const UpdateLockHold&) = delete;
    UpdateLockHold& operator=(const UpdateLockHold&) = delete;

    // Takes the lock of `base` (empty: the process mutex alone), waiting at
    // most `waitMs`; true when held.
    bool Take(const std::string& base, int waitMs);
    void Release();
    bool Held() const { return held_; }

private:
    bool held_ = false;
    FileLock file_;
};

// Takes an exclusive or shared lock on `path`, making the (empty) file when
// it is missing; 0 or the I/O result of FileLock::Take.
int TakeLockFile(FileLock& lock, const std::string& path, bool exclusive, int waitMs);
