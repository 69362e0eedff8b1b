// The file store on real folders with real other processes: what the user wrote is never lost.
#include "settings/file_defaults_store.hpp"

#include "platform/diagnostics.hpp"
#include "temp_folder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tilewise {
namespace {

namespace fs = std::filesystem;
using testing_support::readText;
using testing_support::writeText;
using Values = std::map<std::string, DefaultsValue>;
using Names = std::vector<std::string>;

std::size_t lineCount(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Runs `body` in a child process; its result is the exit status.
template <typename F> pid_t forkChild(F body)
{
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    return child;
}

int exitStatus(pid_t child)
{
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// One byte through a pipe between the test and a child. The waiting side
// drops its write end first, so a child that dies ends the wait.
struct Handshake {
    int fd[2]{-1, -1};
    Handshake() { EXPECT_EQ(::pipe(fd), 0); }
    ~Handshake()
    {
        ::close(fd[0]);
        ::close(fd[1]);
    }
    bool send() const { return ::write(fd[1], "x", 1) == 1; }
    bool wait()
    {
        ::close(fd[1]);
        fd[1] = -1;
        char byte = 0;
        return ::read(fd[0], &byte, 1) == 1;
    }
};

class FileDefaultsStoreTest : public ::testing::Test {
protected:
    // Names in the folder starting with `prefix`.
    static Names namesIn(const fs::path& dir, const std::string& prefix)
    {
        Names out;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().starts_with(prefix))
                out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    testing_support::TempFolder temp_;
    fs::path root_ = temp_.path();
    fs::path dir_ = root_ / "tilewise";
    fs::path file_ = dir_ / "defaults.json";
    std::ostringstream out_, err_;
    diag::Capture capture_{out_, err_};
};

TEST_F(FileDefaultsStoreTest, ParallelWritersInOtherProcessesLoseNoKey)
{
    fs::create_directories(dir_);
    FileDefaultsStore(dir_).set("Before", true);
    constexpr int keysEach = 100;
    std::vector<pid_t> children;
    for (int c = 0; c < 2; ++c) {
        children.push_back(forkChild([&] {
            FileDefaultsStore store(dir_);
            for (int i = 0; i < keysEach; ++i) {
                std::string key = std::to_string(c) + "-";
                if (!store.set(key.append(std::to_string(i)), true))
                    return 1;
            }
            return 0;
        }));
    }
    for (pid_t child : children)
        EXPECT_EQ(exitStatus(child), 0);

    std::optional<ParsedDefaults> parsed = parseDefaultsText(readText(file_));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->values.size(), 2u * keysEach + 1);
    EXPECT_EQ(FileDefaultsStore(dir_).allValues().size(), 2u * keysEach + 1);
    EXPECT_EQ(err_.str(), "");
}

TEST_F(FileDefaultsStoreTest, WriterKilledMidBurstLeavesAWholeFileAndTheNextWriteRemovesItsTemporary)
{
    Handshake ready;
    // Large values make each write long enough to be cut in the middle.
    const std::string filler(256 * 1024, 'x');
    pid_t child = forkChild([&] {
        FileDefaultsStore writer(dir_);
        for (int i = 0;; ++i)
            if (!writer.set("Filler", filler + std::to_string(i)) || (i == 5 && !ready.send()))
                return 2;
    });
    ASSERT_TRUE(ready.wait());
    ::kill(child, SIGKILL);
    EXPECT_EQ(exitStatus(child), 128 + SIGKILL);
    // Planted too, in case the kill fell between two writes.
    writeText(dir_ / ".defaults.json.tmp-crash1", "{\"A\": fal");

    FileDefaultsStore reader(dir_);
    std::optional<std::string> read = reader.stringValue("Filler");
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->starts_with(filler));
    EXPECT_TRUE(reader.set("After", true));
    EXPECT_EQ(namesIn(dir_, ".defaults.json.tmp"), Names{});
    EXPECT_EQ(FileDefaultsStore(dir_).value("After"), DefaultsValue(true));
    EXPECT_EQ(err_.str(), "");
}

TEST_F(FileDefaultsStoreTest, FileAnotherUserCannotReadIsNeverReplaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a file that a second user cannot read";
    const std::string original = "{\"A\": \"root's\"}";
    fs::create_directories(dir_);
    ASSERT_EQ(::chmod(root_.c_str(), 0755), 0);
    // Anyone may replace files in the folder: only the store stops itself.
    ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
    writeText(file_, original);
    ASSERT_EQ(::chmod(file_.c_str(), 0600), 0);

    pid_t child = forkChild([&] {
        const gid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
            ::setresuid(nobody, nobody, nobody) != 0)
            return 10;
        FileDefaultsStore store(dir_);
        if (store.readable())
            return 11;
        if (store.set("A", std::string("mine")) || store.remove("B"))
            return 12;
        // Kept in memory for this process.
        if (store.stringValue("A") != "mine")
            return 13;
        const std::string report = err_.str();
        if (lineCount(report) != 1 ||
            report.find("cannot read " + file_.string() + ": Permission denied") == std::string::npos)
            return 14;
        return 0;
    });
    EXPECT_EQ(exitStatus(child), 0);
    EXPECT_EQ(readText(file_), original);
    EXPECT_EQ(namesIn(dir_, "defaults.json.bad"), Names{});
    EXPECT_EQ(namesIn(dir_, "."), Names{});
}

TEST_F(FileDefaultsStoreTest, UnparsableFileIsMovedAsideByteForByteNeverOverAnEarlierOne)
{
    const std::pair<const char*, std::string> cases[] = {
        {"truncated", "{\"TilewiseSmartPairMode\": tru"},
        {"not an object", "[1, 2]"},
        {"invalid UTF-8", "{\"A\": \"\xff\xfe\"}"},
        // Refused before any recursion could run on it.
        {"nested too deep", "{\"Deep\": " + std::string(100000, '[') + std::string(100000, ']') + "}"},
    };
    for (const auto& [what, bad] : cases) {
        SCOPED_TRACE(what);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        err_.str("");
        writeText(file_, bad);
        {
            FileDefaultsStore store(dir_);
            EXPECT_EQ(store.allValues(), Values{});
            EXPECT_TRUE(store.set("After", true));
        }
        // A second one, likely within the same second.
        writeText(file_, bad);
        EXPECT_FALSE(FileDefaultsStore(dir_).contains("After"));

        Names aside = namesIn(dir_, "defaults.json.bad-");
        ASSERT_EQ(aside.size(), 2u);
        for (const std::string& name : aside)
            EXPECT_TRUE(readText(dir_ / name) == bad) << name;
        const std::string report = err_.str();
        EXPECT_EQ(lineCount(report), 2u) << report;
        EXPECT_NE(report.find(file_.string() + " cannot be parsed"), std::string::npos) << report;
        EXPECT_NE(report.find((dir_ / aside[0]).string()), std::string::npos) << report;
    }
}

TEST_F(FileDefaultsStoreTest, FileBeingRewrittenInPlaceIsNotMovedAside)
{
    fs::create_directories(dir_);
    writeText(file_, "{\"A\": \"old\"}");
    FileDefaultsStore store(dir_);
    ASSERT_EQ(store.stringValue("A"), "old");

    const std::string full = "{\"A\": \"new\", \"B\": true}";
    const std::size_t half = full.size() / 2;
    Handshake halfWritten, goOn;
    // An editor saving in place: half, then a pause (as long as the test
    // likes) with the file still open, then the rest.
    pid_t editor = forkChild([&] {
        int fd = ::open(file_.c_str(), O_WRONLY | O_TRUNC);
        if (fd < 0 || ::write(fd, full.data(), half) != static_cast<ssize_t>(half) || !halfWritten.send() ||
            !goOn.wait())
            return 1;
        if (::write(fd, full.data() + half, full.size() - half) != static_cast<ssize_t>(full.size() - half))
            return 2;
        return ::close(fd) == 0 ? 0 : 3;
    });
    ASSERT_TRUE(halfWritten.wait());

    // While the editor holds the half-written file, the store keeps what it
    // had and leaves the file where it is.
    EXPECT_EQ(store.stringValue("A"), "old");
    EXPECT_EQ(namesIn(dir_, "defaults.json.bad"), Names{});

    ASSERT_TRUE(goOn.send());
    EXPECT_EQ(exitStatus(editor), 0);
    EXPECT_EQ(store.stringValue("A"), "new");
    EXPECT_EQ(readText(file_), full);
    EXPECT_EQ(namesIn(dir_, "defaults.json.bad"), Names{});
    EXPECT_EQ(err_.str(), "");
}

TEST_F(FileDefaultsStoreTest, OtherTypesAreIgnoredButWrittenBackUnchanged)
{
    fs::create_directories(dir_);
    // 60 levels: within the limit, so kept, and written back no larger.
    const std::string deep = std::string(60, '[') + std::string(60, ']');
    writeText(file_,
              "{\"Count\": 2.5, \"List\": [1, \"x\"], \"Obj\": {\"k\": null}, \"Nothing\": null, \"Deep\": " +
                  deep + ", \"Flag\": true}");
    FileDefaultsStore store(dir_);
    EXPECT_EQ(store.allValues(), (Values{{"Flag", true}}));
    EXPECT_FALSE(store.contains("Count"));
    EXPECT_TRUE(store.set("Flag", false));
    EXPECT_TRUE(store.set("Name", std::string("tab\there")));
    FileDefaultsStore(dir_).allValues();

    EXPECT_EQ(readText(file_), "{\n\t\"Count\": 2.5,\n\t\"Deep\": " + deep +
                                   ",\n\t\"Flag\": false,\n\t\"List\": [1,\"x\"],\n\t\"Name\": \"tab\\there\",\n"
                                   "\t\"Nothing\": null,\n\t\"Obj\": {\"k\":null}\n}\n");
    // Each once per process, however often the file is read.
    const std::string report = err_.str();
    EXPECT_EQ(lineCount(report), 5u) << report;
    EXPECT_NE(report.find("Count holds a number; only booleans and strings are settings, so it is ignored"),
              std::string::npos)
        << report;
}

TEST_F(FileDefaultsStoreTest, NewFileFollowsTheUmaskAndAnExistingOneKeepsItsMode)
{
    const mode_t saved = ::umask(027);
    const bool written = FileDefaultsStore(dir_).set("A", true);
    ::umask(saved);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(file_).permissions(), fs::perms(0640));

    ASSERT_EQ(::chmod(file_.c_str(), 0604), 0);
    EXPECT_TRUE(FileDefaultsStore(dir_).set("A", false));
    EXPECT_EQ(fs::status(file_).permissions(), fs::perms(0604));
}

TEST_F(FileDefaultsStoreTest, SymlinkedFileStaysALinkAndItsFinalTargetIsReplaced)
{
    // defaults.json -> ../dotfiles/link.json -> real.json, all relative.
    const fs::path dotfiles = root_ / "dotfiles";
    fs::create_directories(dir_);
    fs::create_directories(dotfiles);
    writeText(dotfiles / "real.json", "{\"A\": \"old\"}");
    fs::create_symlink("real.json", dotfiles / "link.json");
    fs::create_symlink("../dotfiles/link.json", file_);
    writeText(dotfiles / ".real.json.tmp-crash1", "{");

    FileDefaultsStore store(dir_);
    EXPECT_EQ(store.stringValue("A"), "old");
    EXPECT_TRUE(store.set("A", std::string("new")));
    EXPECT_TRUE(fs::is_symlink(file_));
    EXPECT_TRUE(fs::is_symlink(dotfiles / "link.json"));
    EXPECT_EQ(FileDefaultsStore(dir_).stringValue("A"), "new");
    EXPECT_EQ(namesIn(dotfiles, "."), Names{});
    EXPECT_EQ(namesIn(dir_, "."), Names{});
}

TEST_F(FileDefaultsStoreTest, UnchangedValuesWriteNothingAndABatchWritesOnce)
{
    FileDefaultsStore store(dir_);
    ASSERT_TRUE(store.set("A", true));
    ASSERT_TRUE(store.set("B", std::string("x")));
    // Every replacement of the file is one rename onto its name.
    int watch = ::inotify_init1(IN_NONBLOCK);
    ASSERT_GE(::inotify_add_watch(watch, dir_.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);
    auto writes = [&] {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                count += event->len > 0 && std::string(event->name) == "defaults.json";
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        return count;
    };
    struct stat before {};
    ASSERT_EQ(::stat(file_.c_str(), &before), 0);

    EXPECT_TRUE(store.set("A", true));
    {
        // A program start setting what is already there.
        FileDefaultsStore start(dir_);
        DefaultsBatch batch(start);
        start.set("B", std::string("x"));
        start.remove("Absent");
    }
    EXPECT_EQ(writes(), 0);
    struct stat after {};
    ASSERT_EQ(::stat(file_.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    store.beginBatch();
    {
        DefaultsBatch nested(store);
        store.set("A", false);
        store.set("C", true);
        store.remove("B");
    }
    EXPECT_EQ(store.value("A"), DefaultsValue(false));
    EXPECT_EQ(writes(), 0);
    EXPECT_TRUE(store.endBatch());
    EXPECT_EQ(writes(), 1);
    EXPECT_EQ(FileDefaultsStore(dir_).allValues(), (Values{{"A", false}, {"C", true}}));

    {
        DefaultsBatch batch(store);
        store.set("A", true);
        store.set("A", false);
    }
    EXPECT_EQ(writes(), 0);
    ::close(watch);
}

TEST_F(FileDefaultsStoreTest, ChangeFdTellsObserversWhichKeysChanged)
{
    // The folder does not exist yet: its creation is watched for too.
    FileDefaultsStore app(dir_);
    const int fd = app.changeFd();
    ASSERT_GE(fd, 0);
    std::vector<Names> told;
    app.addChangeObserver([&](const Names& keys) { told.push_back(keys); });
    FileDefaultsStore reader(dir_);
    EXPECT_FALSE(reader.contains("X"));

    FileDefaultsStore ctl(dir_);
    ASSERT_TRUE(ctl.set("X", std::string("1")));
    ASSERT_TRUE(ctl.set("Y", true));
    // Without the descriptor taken, the next read sees another's writes.
    EXPECT_EQ(reader.stringValue("X"), "1");
    // With it taken, reads serve memory until the changes are handled.
    EXPECT_FALSE(app.contains("X"));
    auto handle = [&] {
        pollfd ready{fd, POLLIN, 0};
        ASSERT_EQ(::poll(&ready, 1, 5000), 1);
        app.handleChanges();
    };
    handle();
    EXPECT_EQ(app.stringValue("X"), "1");

    ASSERT_TRUE(ctl.set("X", std::string("2")));
    ASSERT_TRUE(ctl.set("Y", true));
    handle();
    ASSERT_TRUE(ctl.remove("Y"));
    handle();
    EXPECT_FALSE(app.contains("Y"));
    ASSERT_TRUE(app.set("Z", true));
    ASSERT_TRUE(app.remove("Z"));
    EXPECT_EQ(told, (std::vector<Names>{{"X", "Y"}, {"X"}, {"Y"}, {"Z"}, {"Z"}}));
}

TEST_F(FileDefaultsStoreTest, FailedWriteKeepsTheValueInMemoryAndIsReportedOnce)
{
    // The folder's parent is a regular file: creating it fails even for root.
    writeText(root_ / "plain", "");
    FileDefaultsStore store(root_ / "plain" / "tilewise");
    EXPECT_FALSE(store.set("A", true));
    EXPECT_FALSE(store.set("B", true));
    EXPECT_EQ(store.value("A"), DefaultsValue(true));
    const std::string report = err_.str();
    EXPECT_EQ(lineCount(report), 1u) << report;
    EXPECT_NE(report.find("settings are kept in memory"), std::string::npos) << report;
    EXPECT_EQ(out_.str(), "");
}

TEST_F(FileDefaultsStoreTest, DirectoryFollowsXdgConfigHome)
{
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    EXPECT_EQ(FileDefaultsStore::defaultDirectory(), root_ / "tilewise");
    // A relative value is invalid and ignored.
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_NE(FileDefaultsStore::defaultDirectory(), fs::path("relative") / "tilewise");
    saved ? ::setenv("XDG_CONFIG_HOME", saved->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace tilewise
