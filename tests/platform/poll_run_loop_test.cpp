// The run loop: order of posted work, timers, readable descriptors, turn hooks, quitting on a signal.
#include "platform/poll_run_loop.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <string>

namespace tilewise {
namespace {

TEST(PollRunLoopTest, PostedWorkRunsInOrderAndWorkItPostsWaitsForTheNextTurn)
{
    PollRunLoop loop;
    std::string log;
    loop.post([&] {
        log += "a";
        loop.post([&] { log += "c"; });
    });
    loop.post([&] { log += "b"; });
    loop.runOnce(std::chrono::milliseconds(0));
    EXPECT_EQ(log, "ab");
    loop.runOnce(std::chrono::milliseconds(0));
    EXPECT_EQ(log, "abc");
}

TEST(PollRunLoopTest, TimersFireWhenDueRepeatAndCancel)
{
    PollRunLoop loop;
    int once = 0, repeating = 0;
    loop.addTimer(std::chrono::milliseconds(0), false, [&] { ++once; });
    RunLoop::TimerId id = loop.addTimer(std::chrono::milliseconds(1), true, [&] { ++repeating; });
    // The loop's own wait ends when the next timer is due.
    while (repeating < 3)
        loop.runOnce(std::chrono::seconds(5));
    EXPECT_EQ(once, 1);
    loop.cancelTimer(id);
    int before = repeating;
    loop.runOnce(std::chrono::milliseconds(5));
    EXPECT_EQ(repeating, before);

    // A timer cancelled by an earlier one in the same turn does not fire.
    RunLoop::TimerId second = 0;
    bool secondFired = false;
    loop.addTimer(std::chrono::milliseconds(0), false, [&] { loop.cancelTimer(second); });
    second = loop.addTimer(std::chrono::milliseconds(0), false, [&] { secondFired = true; });
    loop.runOnce(std::chrono::milliseconds(0));
    EXPECT_FALSE(secondFired);
}

TEST(PollRunLoopTest, ReadableDescriptorAndTurnHooks)
{
    PollRunLoop loop;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string got;
    int turns = 0;
    loop.watchFd(fds[0], [&] {
        char c;
        if (read(fds[0], &c, 1) == 1)
            got += c;
    });
    loop.addTurnHook([&] { ++turns; });
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    loop.runOnce(std::chrono::seconds(5));
    EXPECT_EQ(got, "x");
    EXPECT_EQ(turns, 1);

    loop.unwatchFd(fds[0]);
    ASSERT_EQ(write(fds[1], "y", 1), 1);
    loop.runOnce(std::chrono::milliseconds(0));
    EXPECT_EQ(got, "x");
    EXPECT_EQ(turns, 2);
    close(fds[0]);
    close(fds[1]);
}

TEST(PollRunLoopTest, SignalEndsRun)
{
    PollRunLoop loop;
    loop.quitOnSignals({SIGUSR1});
    bool after = false;
    loop.post([] { raise(SIGUSR1); });
    loop.run(); // returns only through the signal
    loop.post([&] { after = true; });
    loop.runOnce(std::chrono::milliseconds(0));
    EXPECT_TRUE(after);
    signal(SIGUSR1, SIG_DFL);
}

} // namespace
} // namespace tilewise
