// This test verifies that only one Tilewise holds a display, that the lock
// goes with its holder, and that display names that mean the same display
// share one lock.
#include "app/single_instance.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace tilewise {
namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tilewise-lock-test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string dir;
};

TEST_F(SingleInstanceTest, SecondHolderOfTheSameDisplayIsRefusedUntilTheFirstIsGone)
{
    auto first = SingleInstance::acquire(dir, ":5");
    ASSERT_TRUE(first);
    std::string error = "unchanged";
    EXPECT_FALSE(SingleInstance::acquire(dir, ":5.0", &error)) << "a screen number is the same display";
    EXPECT_EQ(error, "") << "refused because taken, not because of an error";
    EXPECT_TRUE(SingleInstance::acquire(dir, ":6")) << "another display is free";
    first.reset();
    EXPECT_TRUE(SingleInstance::acquire(dir, ":5"));
}

TEST_F(SingleInstanceTest, AnotherProcessHoldingTheLockBlocksUs)
{
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(release[1]); // or the read below never sees the end
        close(ready[0]);
        auto held = SingleInstance::acquire(dir, ":7");
        char c = held ? 'y' : 'n';
        [[maybe_unused]] ssize_t w = write(ready[1], &c, 1);
        [[maybe_unused]] ssize_t r = read(release[0], &c, 1);
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_FALSE(SingleInstance::acquire(dir, ":7"));
    close(release[1]); // the child ends; the kernel drops its lock
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    EXPECT_TRUE(SingleInstance::acquire(dir, ":7"));
}

TEST_F(SingleInstanceTest, LockNamesAreSafeAndNormalised)
{
    EXPECT_EQ(SingleInstance::lockName(":0"), "tilewise-_0.lock");
    EXPECT_EQ(SingleInstance::lockName(":0.1"), "tilewise-_0.lock");
    EXPECT_EQ(SingleInstance::lockName("unix:0"), "tilewise-_0.lock");
    EXPECT_EQ(SingleInstance::lockName("host.example:10.0"), "tilewise-host_example_10.lock");
    EXPECT_EQ(SingleInstance::lockName("../../x"), "tilewise-______x.lock");
}

TEST_F(SingleInstanceTest, UnwritableDirectoryIsAnError)
{
    std::string error;
    EXPECT_FALSE(SingleInstance::acquire(dir + "/missing", ":0", &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

} // namespace
} // namespace tilewise
