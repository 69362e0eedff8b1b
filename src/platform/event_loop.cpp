#include "platform/event_loop.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace tilewise {

namespace {

// Written from the signal handler.
volatile sig_atomic_t signalFd = -1;

void onSignal(int)
{
    const int saved = errno;
    if (signalFd >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t n = write(signalFd, &byte, 1);
    }
    errno = saved;
}

} // namespace

EventLoop::~EventLoop()
{
    if (signalPipe_[0] >= 0) {
        signalFd = -1;
        close(signalPipe_[0]);
        close(signalPipe_[1]);
    }
}

void EventLoop::quitOnSignals(std::initializer_list<int> signalNumbers)
{
    if (signalPipe_[0] < 0) {
        if (pipe2(signalPipe_, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        signalFd = signalPipe_[1];
        watchFd(signalPipe_[0], [this] {
            char buf[16];
            while (read(signalPipe_[0], buf, sizeof buf) > 0) {
            }
            quit();
        });
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : signalNumbers)
        sigaction(s, &sa, nullptr);
}

} // namespace tilewise
