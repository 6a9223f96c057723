#pragma once
// Saves that survive a kill: a child process saves in a loop while the parent
// kills it with SIGKILL at a random moment, then looks at what is on disk.
// Every tracked file must hold the whole content it had at some moment of a
// save of the version found or of the one before (nothing lost, nothing
// truncated, nothing from a later or an older save), the files of a pair must
// come from one moment while the kind says the pair is settled, and the next
// start must read the files.
//
// The allowed contents come from a reference run of the same saves in a
// folder of their own, one version after another.  The folders are on
// /dev/shm when there is one: a kill is about the process, not the disk, and
// saves there take microseconds, so that a thousand kills fit in seconds.
//
// Environment: QEVW_KILL_SEED (else a random seed; it is printed),
// QEVW_KILL_ROUNDS (kills per kind, 1000), QEVW_KILL_SECONDS (the bound per
// kind, 20 s).

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs.h"

namespace kill_test {

// The tracked files of a folder: name, content (nullopt: absent).
using FileState = std::map<std::string, std::optional<std::string>>;

struct Kind {
    std::string name;
    std::vector<std::string> files;
    // Files that must come from one moment of a save while `pairSettled`.
    std::vector<std::string> pair;
    std::function<bool(const std::string& folder)> pairSettled;
    // What the folder holds before version 0 is saved (may be empty).
    std::function<void(const std::string& folder)> prepare;
    // Saves version k over what the folder holds; `moment` is called after
    // each step that leaves the files in another state (nullptr in the child).
    std::function<void(const std::string& folder, int k, const std::function<void()>& moment)> save;
    // The highest version the folder's files name; -1 when none can be read.
    std::function<int(const std::string& folder)> version;
    // The next start over the folder that shows version k: "" when it read
    // the files as expected, else what went wrong.
    std::function<std::string(const std::string& folder, int k)> nextStart;
    // What a user does about a state the program leaves for someone to look
    // at (may be empty).
    std::function<void(const std::string& folder)> tidy;
};

struct Figures {
    unsigned seed = 0;
    int kills = 0;
    int versions = 0;      // the last version found on disk
    int midSave = 0;       // kills that left a save's temporary or work file
    int unsettled = 0;     // kills that left a pair for someone to look at
    double seconds = 0;    // the whole run, reference saves included
    double saveMicros = 0; // one save in the reference run, on average
};

// A forked child of a thread-sanitized process starts so slowly that the
// kills would land before its first save; such builds leave the test to the
// others.
constexpr bool ThreadSanitized()
{
#if defined(__SANITIZE_THREAD__)
    return true;
#else
    return false;
#endif
}

inline int EnvNumber(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

inline unsigned Seed()
{
    const char* v = std::getenv("QEVW_KILL_SEED");
    return v && *v ? static_cast<unsigned>(std::strtoul(v, nullptr, 10)) : std::random_device{}();
}

// A fresh folder, on /dev/shm when it can be written.
inline std::unique_ptr<QTemporaryDir> ScratchFolder()
{
    if (QDir("/dev/shm").exists()) {
        auto dir = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/qevw-kill-XXXXXX"));
        if (dir->isValid())
            return dir;
    }
    return std::make_unique<QTemporaryDir>();
}

inline FileState ReadState(const std::string& folder, const std::vector<std::string>& files)
{
    FileState s;
    for (const std::string& f : files) {
        std::string bytes;
        if (ReadWholeFile(folder + f, bytes) == 0)
            s[f] = std::move(bytes);
        else
            s[f] = std::nullopt;
    }
    return s;
}

// Names in the folder that no tracked file has and that a save writes on
// the way (temporary files begin with "."; work files hold "$").
inline std::vector<std::string> Leftovers(const std::string& folder)
{
    std::vector<std::string> out;
    const QStringList names = QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden);
    for (const QString& n : names)
        if (n.startsWith('.') || n.contains('$'))
            out.push_back(n.toStdString());
    return out;
}

inline std::string Show(const std::optional<std::string>& content)
{
    if (!content)
        return "absent";
    std::string s = std::to_string(content->size()) + " bytes";
    return s;
}

class Run {
public:
    explicit Run(const Kind& kind) : kind_(kind) {}

    Figures Go()
    {
        const int rounds = EnvNumber("QEVW_KILL_ROUNDS", 1000);
        const int seconds = EnvNumber("QEVW_KILL_SECONDS", 20);
        figures_.seed = Seed();
        std::printf("[kill %s] seed %u (QEVW_KILL_SEED=%u repeats it)\n", kind_.name.c_str(), figures_.seed,
                    figures_.seed);
        std::fflush(stdout);
        std::mt19937 rng(figures_.seed);
        const auto start = std::chrono::steady_clock::now();
        const auto deadline = start + std::chrono::seconds(seconds);

        live_ = ScratchFolder();
        ref_ = ScratchFolder();
        if (!live_->isValid() || !ref_->isValid()) {
            ADD_FAILURE() << "no scratch folder";
            return figures_;
        }
        const std::string live = live_->path().toStdString() + "/";
        for (const std::string& folder : {live, RefFolder()})
            if (kind_.prepare)
                kind_.prepare(folder);
        kind_.save(live, 0, nullptr);
        // A few saves measure how long one takes, which scales the delays.
        ExtendReference(5);

        int current = 0;
        while (figures_.kills < rounds && std::chrono::steady_clock::now() < deadline) {
            const int from = current + 1;
            // The delay counts from the child's first save, so that the
            // kills spread over about three saves whatever a fork costs.
            const auto delay = std::chrono::microseconds(std::uniform_int_distribution<int>(
                0, std::max(100, static_cast<int>(3 * figures_.saveMicros)))(rng));
            std::fflush(nullptr);
            int ready[2];
            if (pipe(ready) != 0) {
                ADD_FAILURE() << "pipe failed";
                break;
            }
            const pid_t child = fork();
            if (child < 0) {
                ADD_FAILURE() << "fork failed";
                break;
            }
            if (child == 0) {
                close(ready[0]);
                const char go = 'g';
                if (write(ready[1], &go, 1) != 1)
                    _exit(3);
                for (int k = from;; ++k)
                    kind_.save(live, k, nullptr);
            }
            close(ready[1]);
            char go = 0;
            if (read(ready[0], &go, 1) != 1)
                ADD_FAILURE() << kind_.name << ": the child did not start";
            close(ready[0]);
            std::this_thread::sleep_for(delay);
            kill(child, SIGKILL);
            int status = 0;
            waitpid(child, &status, 0);
            ++figures_.kills;
            if (!WIFSIGNALED(status)) {
                ADD_FAILURE() << kind_.name << ": the saving child ended by itself, status " << status;
                break;
            }
            std::string why;
            const int found = Check(live, current, why);
            if (!why.empty()) {
                ADD_FAILURE() << kind_.name << ", kill " << figures_.kills << " (seed " << figures_.seed
                              << ", delay " << delay.count() << " us): " << why;
                break;
            }
            current = found;
            if (kind_.tidy)
                kind_.tidy(live);
            for (const std::string& n : Leftovers(live))
                QFile::remove(QString::fromStdString(live + n));
            // The next child starts where the reference's next save starts:
            // the version found, saved whole (a kill may have left it with
            // some files new and some old).
            kind_.save(live, current, nullptr);
        }
        figures_.versions = current;
        figures_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("[kill %s] %d kills in %.1f s, %d versions saved, %d kills inside a save, %d left a "
                    "pair to look at; one save %.0f us\n",
                    kind_.name.c_str(), figures_.kills, figures_.seconds, figures_.versions, figures_.midSave,
                    figures_.unsettled, figures_.saveMicros);
        std::fflush(stdout);
        EXPECT_GE(figures_.kills, std::min(rounds, 100))
            << kind_.name << ": too few kills in the time allowed";
        return figures_;
    }

private:
    std::string RefFolder() const { return ref_->path().toStdString() + "/"; }

    void ExtendReference(int upTo)
    {
        while (static_cast<int>(moments_.size()) <= upTo) {
            const int k = static_cast<int>(moments_.size());
            std::vector<FileState> seen;
            const auto t0 = std::chrono::steady_clock::now();
            kind_.save(RefFolder(), k, [&] { seen.push_back(ReadState(RefFolder(), kind_.files)); });
            const double us =
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
            figures_.saveMicros = (figures_.saveMicros * k + us) / (k + 1);
            seen.push_back(ReadState(RefFolder(), kind_.files));
            moments_.push_back(std::move(seen));
        }
    }

    // The version found (current when nothing newer), or `why` says what is wrong.
    int Check(const std::string& folder, int current, std::string& why)
    {
        const int found = kind_.version(folder);
        if (found < current) {
            why = "the files show version " + std::to_string(found) + " after version " +
                  std::to_string(current) + " was whole";
            return current;
        }
        ExtendReference(found);
        // The moments the kill may have caught: the end of the save before,
        // and every moment of the save of the version found.
        std::vector<const FileState*> allowed;
        if (found > 0)
            allowed.push_back(&moments_[static_cast<size_t>(found - 1)].back());
        for (const FileState& s : moments_[static_cast<size_t>(found)])
            allowed.push_back(&s);
        const FileState now = ReadState(folder, kind_.files);
        for (const std::string& f : kind_.files) {
            const bool known = std::any_of(allowed.begin(), allowed.end(),
                                           [&](const FileState* s) { return s->at(f) == now.at(f); });
            if (!known) {
                why = f + " (" + Show(now.at(f)) + ") is no whole state of version " + std::to_string(found) +
                      " or " + std::to_string(found - 1);
                return current;
            }
        }
        if (!kind_.pair.empty()) {
            if (kind_.pairSettled(folder)) {
                const bool one = std::any_of(allowed.begin(), allowed.end(), [&](const FileState* s) {
                    return std::all_of(kind_.pair.begin(), kind_.pair.end(),
                                       [&](const std::string& f) { return s->at(f) == now.at(f); });
                });
                if (!one) {
                    why = "the pair";
                    for (const std::string& f : kind_.pair)
                        why += " " + f;
                    why += " holds files of two moments while it counts as settled";
                    return current;
                }
            } else {
                ++figures_.unsettled;
            }
        }
        if (!Leftovers(folder).empty())
            ++figures_.midSave;
        why = kind_.nextStart(folder, found);
        return found;
    }

    const Kind& kind_;
    Figures figures_;
    std::unique_ptr<QTemporaryDir> live_, ref_;
    // moments_[k]: the states during the save of version k, the last one
    // its end.
    std::vector<std::vector<FileState>> moments_;
};

} // namespace kill_test
