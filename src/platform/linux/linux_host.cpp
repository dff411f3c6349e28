// The Linux hosts' failure line, their exit on a broken connection, and their wait.
#include "platform/linux/linux_host.hpp"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace zarvo::lnx {

void report(std::string_view line)
{
    std::fprintf(stderr, "zarvo1: %.*s\n", static_cast<int>(line.size()), line.data());
}

void fail(std::string_view line)
{
    report(line);
    std::_Exit(1);
}

void ignoreBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

void mapLargePicturesApart()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

EventWait::EventWait()
{
    sigset_t quit;
    sigemptyset(&quit);
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) {
            sigaddset(&quit, signal);
        }
    }
    sigprocmask(SIG_BLOCK, &quit, nullptr);
    signals_ = signalfd(-1, &quit, SFD_NONBLOCK | SFD_CLOEXEC);
}

EventWait::~EventWait()
{
    if (signals_ >= 0) {
        close(signals_);
    }
}

EventWait::Wake EventWait::wait(int connection, int timeoutMs) const
{
    std::array<pollfd, 2> fds{{{connection, POLLIN, 0}, {signals_, POLLIN, 0}}};
    if (poll(fds.data(), fds.size(), timeoutMs < 0 ? -1 : timeoutMs) <= 0) {
        return Wake::timeout;  // or interrupted: the caller's loop comes round again
    }
    if (fds[1].revents != 0) {
        return Wake::quit;
    }
    return fds[0].revents != 0 ? Wake::connection : Wake::timeout;
}

}  // namespace zarvo::lnx
