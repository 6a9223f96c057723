#include "platform/session_end.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The write end of the pipe the signal handler wakes the event loop with.
volatile sig_atomic_t g_wakeFd = -1;

std::function<void()>& Handler()
{
    static std::function<void()> handler;
    return handler;
}

extern "C" void OnEndSignal(int sig)
{
    // Only async-signal-safe calls here: the default comes back for a second
    // signal, and one byte wakes the main thread.
    std::signal(sig, SIG_DFL);
    const int saved = errno;
    const char byte = static_cast<char>(sig);
    if (g_wakeFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(g_wakeFd, &byte, 1);
    }
    errno = saved;
}

} // namespace

bool OnSessionEnd(std::function<void()> handler)
{
    Handler() = std::move(handler);
    static bool installed = false;
    if (installed)
        return true;
    if (QCoreApplication::instance() == nullptr)
        return false;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [fd = fds[0]] {
        char bytes[16];
        while (::read(fd, bytes, sizeof bytes) > 0) {
        }
        if (Handler())
            Handler()();
    });
    g_wakeFd = fds[1];
    struct sigaction action = {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGTERM, &action, nullptr) != 0 || sigaction(SIGHUP, &action, nullptr) != 0)
        return false;
    installed = true;
    return true;
}
