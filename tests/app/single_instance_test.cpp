// This test verifies that only one Tilewise holds a display, that names
// meaning one display share its lock, and that the lock is only ever made
// in a private folder of this user's: another local user can neither keep
// Tilewise out nor steer where it creates a file.
#include "app/shortcut_status.hpp"
#include "app/single_instance.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tilewise {
namespace {

namespace fs = std::filesystem;

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tilewise-lock-test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        fallback = dir + "/tilewise-" + std::to_string(geteuid());
    }
    void TearDown() override { fs::remove_all(dir); }

    static mode_t modeOf(const std::string& path)
    {
        struct stat st {};
        EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }

    std::string dir;      // stands for both XDG_RUNTIME_DIR and /tmp
    std::string fallback; // where the lock goes without XDG_RUNTIME_DIR
    std::string error;
};

TEST_F(SingleInstanceTest, SecondHolderIsRefusedUntilTheFirstIsGone)
{
    auto first = SingleInstance::acquire(":5", dir.c_str(), error);
    ASSERT_TRUE(first) << error;
    error = "unchanged";
    EXPECT_FALSE(SingleInstance::acquire(":5", dir.c_str(), error));
    EXPECT_EQ(error, "") << "refused because taken, not because of an error";
    first.reset();
    EXPECT_TRUE(SingleInstance::acquire(":5", dir.c_str(), error)) << error;
}

enum class Lock { Shared, Own, Refused };

struct DisplayCase {
    const char* display;
    Lock expected; // beside a holder of ":1"
};

class SingleInstanceDisplayTest : public SingleInstanceTest,
                                  public ::testing::WithParamInterface<DisplayCase> {};

TEST_P(SingleInstanceDisplayTest, NamesOfOneDisplayShareItsLock)
{
    auto first = SingleInstance::acquire(":1", dir.c_str(), error);
    ASSERT_TRUE(first) << error;
    const DisplayCase& c = GetParam();
    auto second = SingleInstance::acquire(c.display, dir.c_str(), error);
    switch (c.expected) {
    case Lock::Shared:
        EXPECT_FALSE(second);
        EXPECT_EQ(error, "");
        break;
    case Lock::Own:
        ASSERT_TRUE(second) << error;
        EXPECT_EQ(fs::path(second->path()).parent_path(), dir + "/tilewise") << "no way out of the folder";
        break;
    case Lock::Refused:
        EXPECT_FALSE(second);
        EXPECT_EQ(error, "cannot make sense of the display name '" + std::string(c.display) + "'");
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    SingleInstance, SingleInstanceDisplayTest,
    ::testing::Values(DisplayCase{":01", Lock::Shared}, DisplayCase{":1.0", Lock::Shared},
                      DisplayCase{":001.2", Lock::Shared}, DisplayCase{"unix:1", Lock::Shared},
                      DisplayCase{"unix/:1", Lock::Shared}, DisplayCase{":10", Lock::Own},
                      DisplayCase{":0", Lock::Own}, DisplayCase{"otherhost:1", Lock::Own},
                      DisplayCase{"localhost:1", Lock::Own}, DisplayCase{"tcp/otherhost:1", Lock::Own},
                      DisplayCase{"1", Lock::Refused}, DisplayCase{":", Lock::Refused},
                      DisplayCase{":1.", Lock::Refused}, DisplayCase{":1x", Lock::Refused},
                      DisplayCase{"../../x:1", Lock::Refused}));

TEST_F(SingleInstanceTest, PrivateFolderIsMadeWhereTheEnvironmentSays)
{
    auto runtime = SingleInstance::acquire(":1", dir.c_str(), error, dir);
    ASSERT_TRUE(runtime) << error;
    EXPECT_EQ(runtime->path(), dir + "/tilewise/display-1.lock");
    EXPECT_EQ(modeOf(dir + "/tilewise"), 0700u);
    EXPECT_EQ(modeOf(runtime->path()), 0600u);
    // tilewisectl finds the running program's files without taking the lock.
    EXPECT_EQ(SingleInstance::siblingPathFor("unix:01.0", dir.c_str(), ".shortcuts", dir),
              runtime->siblingPath(".shortcuts"));

    for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/run"}) {
        auto lock = SingleInstance::acquire(":2", unusable, error, dir);
        ASSERT_TRUE(lock) << error;
        EXPECT_EQ(lock->path(), fallback + "/display-2.lock");
        EXPECT_EQ(modeOf(fallback), 0700u);
        EXPECT_EQ(SingleInstance::siblingPathFor(":2", unusable, ".shortcuts", dir),
                  fallback + "/display-2.shortcuts");
    }
}

TEST_F(SingleInstanceTest, ShortcutStatusIsReadOnlyWhileItsProgramRuns)
{
    const std::string path = dir + "/display-1.shortcuts";
    const std::vector<KeyboardShortcuts::Refusal> refusals{
        {"clipLeft", KeyboardShortcuts::Shortcut(123, 6144), HotKeyStatus::taken}};
    {
        std::ofstream(path) << encodeShortcutStatus(long(getpid()), refusals);
    }
    EXPECT_EQ(readShortcutStatus(path), (ShortcutRefusals{{"clipLeft", "taken by another program"}}));
    // A program that died without removing its file, and files that are no
    // status at all, tell nothing.
    for (const std::string& text : {encodeShortcutStatus(0x7ffffff0L, refusals), std::string("{\"pid\":1"),
                                    std::string(R"({"pid":"1","refused":{}})")}) {
        std::ofstream(path) << text;
        EXPECT_EQ(readShortcutStatus(path), std::nullopt) << text;
    }
    EXPECT_EQ(readShortcutStatus(dir + "/missing"), std::nullopt);
}

enum class Fault { Symlink, OpenMode, OtherOwner, PlainFile };

struct FolderCase {
    Fault fault;
    bool runtime;         // the folder under XDG_RUNTIME_DIR rather than the fallback
    const char* expected; // after the folder's path
};

class SingleInstanceFolderTest : public SingleInstanceTest,
                                 public ::testing::WithParamInterface<FolderCase> {};

TEST_P(SingleInstanceFolderTest, FolderThatIsNotPrivatelyOursIsRefused)
{
    const FolderCase& c = GetParam();
    const std::string folder = c.runtime ? dir + "/tilewise" : fallback;
    const std::string elsewhere = dir + "/elsewhere";
    switch (c.fault) {
    case Fault::Symlink:
        // A folder that would pass every check, but reached through a link.
        ASSERT_TRUE(fs::create_directory(elsewhere));
        fs::permissions(elsewhere, fs::perms::owner_all);
        fs::create_directory_symlink(elsewhere, folder);
        break;
    case Fault::OpenMode:
        ASSERT_TRUE(fs::create_directory(folder));
        fs::permissions(folder, fs::perms(0755));
        break;
    case Fault::OtherOwner:
        if (geteuid() != 0)
            GTEST_SKIP() << "only root can give a folder to another user";
        ASSERT_TRUE(fs::create_directory(folder));
        fs::permissions(folder, fs::perms::owner_all);
        ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
        break;
    case Fault::PlainFile:
        std::ofstream(folder).put('x');
        break;
    }
    EXPECT_FALSE(SingleInstance::acquire(":1", c.runtime ? dir.c_str() : nullptr, error, dir));
    EXPECT_EQ(error, folder + c.expected);
    EXPECT_FALSE(fs::exists(elsewhere + "/display-1.lock"));
}

INSTANTIATE_TEST_SUITE_P(
    SingleInstance, SingleInstanceFolderTest,
    ::testing::Values(
        FolderCase{Fault::Symlink, false, " is a symbolic link; remove it or set XDG_RUNTIME_DIR"},
        FolderCase{Fault::OpenMode, false,
                   " can be used by other users (mode 0755); remove it or set XDG_RUNTIME_DIR"},
        FolderCase{Fault::OtherOwner, false,
                   " is owned by another user (uid 65534); remove it or set XDG_RUNTIME_DIR"},
        FolderCase{Fault::PlainFile, false, " is not a folder; remove it or set XDG_RUNTIME_DIR"},
        FolderCase{Fault::Symlink, true, " is a symbolic link; remove it"},
        FolderCase{Fault::OpenMode, true, " can be used by other users (mode 0755); remove it"}));

TEST_F(SingleInstanceTest, LockFileIsNeverMadeThroughALink)
{
    ASSERT_TRUE(fs::create_directory(dir + "/tilewise"));
    fs::permissions(dir + "/tilewise", fs::perms::owner_all);
    fs::create_symlink(dir + "/planted", dir + "/tilewise/display-1.lock");
    EXPECT_FALSE(SingleInstance::acquire(":1", dir.c_str(), error));
    EXPECT_EQ(error, dir + "/tilewise/display-1.lock is a symbolic link; remove it");
    EXPECT_FALSE(fs::exists(dir + "/planted"));
}

TEST_F(SingleInstanceTest, MissingRuntimeFolderIsAnError)
{
    const std::string missing = dir + "/missing";
    EXPECT_FALSE(SingleInstance::acquire(":1", missing.c_str(), error));
    EXPECT_EQ(error, "cannot create " + missing + "/tilewise: No such file or directory");
}

} // namespace
} // namespace tilewise
