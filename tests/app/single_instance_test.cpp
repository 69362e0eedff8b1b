// One Tilewise per display, lock only in this user's private folder: no other user can block or steer it.
#include "app/shortcut_status.hpp"
#include "app/single_instance.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

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

TEST_F(SingleInstanceTest, SecondHolderOfADisplayByAnyOfItsNamesIsRefusedUntilTheFirstIsGone)
{
    auto first = SingleInstance::acquire(":5", dir.c_str(), error);
    ASSERT_TRUE(first) << error;
    error = "unchanged";
    EXPECT_FALSE(SingleInstance::acquire(":5", dir.c_str(), error));
    EXPECT_EQ(error, "") << "refused because taken, not because of an error";
    first.reset();
    EXPECT_TRUE(SingleInstance::acquire(":5", dir.c_str(), error)) << error;

    first = SingleInstance::acquire(":1", dir.c_str(), error);
    ASSERT_TRUE(first) << error;
    enum Lock { shared, own, refused };
    // Each beside the holder of ":1".
    const std::pair<const char*, Lock> cases[] = {
        {":01", shared},      {":1.0", shared},        {":001.2", shared},          {"unix:1", shared},
        {"unix/:1", shared},  {":10", own},            {":0", own},                 {"otherhost:1", own},
        {"localhost:1", own}, {"tcp/otherhost:1", own}, {"1", refused},             {":", refused},
        {":1.", refused},     {":1x", refused},        {"../../x:1", refused}};
    for (auto [display, expected] : cases) {
        SCOPED_TRACE(display);
        auto second = SingleInstance::acquire(display, dir.c_str(), error);
        EXPECT_EQ(bool(second), expected == own);
        if (second)
            EXPECT_EQ(fs::path(second->path()).parent_path(), dir + "/tilewise") << "no way out of the folder";
        else
            EXPECT_EQ(error, expected == shared ? std::string()
                                                : "cannot make sense of the display name '" +
                                                      std::string(display) + "'");
    }
}

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
    std::ofstream(path) << encodeShortcutStatus(long(getpid()), refusals);
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

TEST_F(SingleInstanceTest, FolderThatIsNotPrivatelyOursIsRefused)
{
    enum Fault { symlink, openMode, otherOwner, plainFile };
    const std::string elsewhere = dir + "/elsewhere";
    const std::string fix = "; remove it or set XDG_RUNTIME_DIR";
    // The fault, whether the folder is under XDG_RUNTIME_DIR rather than the
    // fallback, and what is said after the folder's path.
    const std::tuple<Fault, bool, std::string> cases[] = {
        {symlink, false, " is a symbolic link" + fix},
        {openMode, false, " can be used by other users (mode 0750)" + fix},
        {otherOwner, false, " is owned by another user (uid 65534)" + fix},
        {plainFile, false, " is not a folder" + fix},
        {symlink, true, " is a symbolic link; remove it"},
        {openMode, true, " can be used by other users (mode 0705); remove it"}};
    for (const auto& [fault, runtime, expected] : cases) {
        SCOPED_TRACE(expected);
        const std::string folder = runtime ? dir + "/tilewise" : fallback;
        fs::remove_all(folder);
        fs::remove_all(elsewhere);
        switch (fault) {
        case symlink:
            // A folder that would pass every check, but reached through a link.
            ASSERT_TRUE(fs::create_directory(elsewhere));
            fs::permissions(elsewhere, fs::perms::owner_all);
            fs::create_directory_symlink(elsewhere, folder);
            break;
        case openMode:
            // Open to the group alone, or to the others alone.
            ASSERT_TRUE(fs::create_directory(folder));
            fs::permissions(folder, fs::perms(runtime ? 0705 : 0750));
            break;
        case otherOwner:
            // Only root can give a folder to another user.
            if (geteuid() != 0)
                continue;
            ASSERT_TRUE(fs::create_directory(folder));
            fs::permissions(folder, fs::perms::owner_all);
            ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
            break;
        case plainFile:
            std::ofstream(folder).put('x');
            break;
        }
        EXPECT_FALSE(SingleInstance::acquire(":1", runtime ? dir.c_str() : nullptr, error, dir));
        EXPECT_EQ(error, folder + expected);
        EXPECT_FALSE(fs::exists(elsewhere + "/display-1.lock"));
    }
}

TEST_F(SingleInstanceTest, LockFileIsNeverMadeThroughALinkNorInAMissingRuntimeFolder)
{
    ASSERT_TRUE(fs::create_directory(dir + "/tilewise"));
    fs::permissions(dir + "/tilewise", fs::perms::owner_all);
    fs::create_symlink(dir + "/planted", dir + "/tilewise/display-1.lock");
    EXPECT_FALSE(SingleInstance::acquire(":1", dir.c_str(), error));
    EXPECT_EQ(error, dir + "/tilewise/display-1.lock is a symbolic link; remove it");
    EXPECT_FALSE(fs::exists(dir + "/planted"));

    const std::string missing = dir + "/missing";
    EXPECT_FALSE(SingleInstance::acquire(":1", missing.c_str(), error));
    EXPECT_EQ(error, "cannot create " + missing + "/tilewise: No such file or directory");
}

} // namespace
} // namespace tilewise
