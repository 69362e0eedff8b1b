// The file-backed defaults store on real folders, with real other processes:
// what the user wrote, whoever wrote it, must never be lost.
#include "settings/file_defaults_store.hpp"

#include "platform/diagnostics.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <sstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tilewise {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const fs::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

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

class FileDefaultsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tilewise-defaults-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        dir_ = root_ / "tilewise";
        file_ = dir_ / "defaults.json";
    }
    void TearDown() override { fs::remove_all(root_); }

    // Names in the folder starting with `prefix`.
    std::vector<std::string> namesIn(const fs::path& dir, const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (e.path().filename().string().rfind(prefix, 0) == 0)
                out.push_back(e.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path root_;
    fs::path dir_;
    fs::path file_;
    std::ostringstream out_;
    std::ostringstream err_;
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
                key += std::to_string(i);
                if (!store.set(key, true))
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
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = forkChild([&] {
        FileDefaultsStore writer(dir_);
        // Large values make each write long enough to be cut in the middle.
        const std::string filler(256 * 1024, 'x');
        for (int i = 0;; ++i) {
            writer.set("Filler", filler + std::to_string(i));
            if (i == 5 && ::write(ready[1], "r", 1) != 1)
                return 2;
        }
    });
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    EXPECT_EQ(exitStatus(child), 128 + SIGKILL);
    // Planted too, in case the kill fell between two writes.
    writeText(dir_ / ".defaults.json.tmp-crash1", "{\"A\": fal");

    FileDefaultsStore reader(dir_);
    std::optional<std::string> filler = reader.stringValue("Filler");
    ASSERT_TRUE(filler);
    EXPECT_EQ(filler->rfind(std::string(256 * 1024, 'x'), 0), 0u);
    EXPECT_TRUE(reader.set("After", true));
    EXPECT_EQ(namesIn(dir_, ".defaults.json.tmp"), std::vector<std::string>{});
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
    EXPECT_EQ(namesIn(dir_, "defaults.json.bad"), std::vector<std::string>{});
    EXPECT_EQ(namesIn(dir_, "."), std::vector<std::string>{});
}

struct BadText {
    const char* name;
    std::string text;
};

class UnparsableFileTest : public FileDefaultsStoreTest, public ::testing::WithParamInterface<BadText> {};

TEST_P(UnparsableFileTest, IsMovedAsideByteForByteNeverOverAnEarlierOne)
{
    const std::string& bad = GetParam().text;
    fs::create_directories(dir_);
    writeText(file_, bad);
    {
        FileDefaultsStore store(dir_);
        EXPECT_EQ(store.allValues(), (std::map<std::string, DefaultsValue>{}));
        EXPECT_TRUE(store.set("After", true));
    }
    // A second one, likely within the same second.
    writeText(file_, bad);
    FileDefaultsStore again(dir_);
    EXPECT_FALSE(again.contains("After"));

    std::vector<std::string> aside = namesIn(dir_, "defaults.json.bad-");
    ASSERT_EQ(aside.size(), 2u);
    for (const std::string& name : aside)
        EXPECT_TRUE(readText(dir_ / name) == bad) << name;
    const std::string report = err_.str();
    EXPECT_EQ(lineCount(report), 2u) << report;
    EXPECT_NE(report.find(file_.string() + " cannot be parsed"), std::string::npos) << report;
    EXPECT_NE(report.find((dir_ / aside[0]).string()), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(FileDefaults, UnparsableFileTest,
                         ::testing::Values(BadText{"Truncated", "{\"TilewiseSmartPairMode\": tru"},
                                           BadText{"NotAnObject", "[1, 2]"},
                                           BadText{"InvalidUtf8", "{\"A\": \"\xff\xfe\"}"},
                                           // Refused before any recursion could run on it.
                                           BadText{"NestedTooDeep", "{\"Deep\": " + std::string(100000, '[') +
                                                                        std::string(100000, ']') + "}"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileDefaultsStoreTest, FileBeingRewrittenInPlaceIsNotMovedAside)
{
    fs::create_directories(dir_);
    writeText(file_, "{\"A\": \"old\"}");
    FileDefaultsStore store(dir_);
    ASSERT_EQ(store.stringValue("A"), "old");

    const std::string full = "{\"A\": \"new\", \"B\": true}";
    int halfWritten[2], goOn[2];
    ASSERT_EQ(::pipe(halfWritten), 0);
    ASSERT_EQ(::pipe(goOn), 0);
    // An editor saving in place: half, then a pause (as long as the test
    // likes) with the file still open, then the rest.
    pid_t editor = forkChild([&] {
        int fd = ::open(file_.c_str(), O_WRONLY | O_TRUNC);
        if (fd < 0)
            return 1;
        const std::size_t half = full.size() / 2;
        if (::write(fd, full.data(), half) != static_cast<ssize_t>(half) ||
            ::write(halfWritten[1], "h", 1) != 1)
            return 2;
        char go = 0;
        if (::read(goOn[0], &go, 1) != 1)
            return 3;
        if (::write(fd, full.data() + half, full.size() - half) != static_cast<ssize_t>(full.size() - half))
            return 4;
        return ::close(fd) == 0 ? 0 : 5;
    });
    ::close(halfWritten[1]);
    ::close(goOn[0]);
    char byte = 0;
    ASSERT_EQ(::read(halfWritten[0], &byte, 1), 1);
    ::close(halfWritten[0]);

    // While the editor holds the half-written file, the store keeps what it
    // had and leaves the file where it is.
    EXPECT_EQ(store.stringValue("A"), "old");
    EXPECT_EQ(namesIn(dir_, "defaults.json.bad"), std::vector<std::string>{});

    ASSERT_EQ(::write(goOn[1], "g", 1), 1);
    ::close(goOn[1]);
    EXPECT_EQ(exitStatus(editor), 0);
    EXPECT_EQ(store.stringValue("A"), "new");
    EXPECT_EQ(readText(file_), full);
    EXPECT_EQ(namesIn(dir_, "defaults.json.bad"), std::vector<std::string>{});
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
    EXPECT_EQ(store.allValues(), (std::map<std::string, DefaultsValue>{{"Flag", true}}));
    EXPECT_FALSE(store.contains("Count"));
    EXPECT_TRUE(store.set("Flag", false));
    EXPECT_TRUE(store.set("Name", std::string("tab\there")));
    FileDefaultsStore(dir_).allValues();

    EXPECT_EQ(readText(file_), "{\n"
                               "\t\"Count\": 2.5,\n"
                               "\t\"Deep\": " +
                                   deep +
                                   ",\n"
                                   "\t\"Flag\": false,\n"
                                   "\t\"List\": [1,\"x\"],\n"
                                   "\t\"Name\": \"tab\\there\",\n"
                                   "\t\"Nothing\": null,\n"
                                   "\t\"Obj\": {\"k\":null}\n"
                                   "}\n");
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
    struct stat st {};
    ASSERT_EQ(::stat(file_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    ASSERT_EQ(::chmod(file_.c_str(), 0604), 0);
    EXPECT_TRUE(FileDefaultsStore(dir_).set("A", false));
    ASSERT_EQ(::stat(file_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
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
    EXPECT_EQ(namesIn(dotfiles, "."), std::vector<std::string>{});
    EXPECT_EQ(namesIn(dir_, "."), std::vector<std::string>{});
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
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                count += event->len > 0 && std::string(event->name) == "defaults.json";
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
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
    EXPECT_EQ(FileDefaultsStore(dir_).allValues(),
              (std::map<std::string, DefaultsValue>{{"A", false}, {"C", true}}));

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
    std::vector<std::vector<std::string>> told;
    app.addChangeObserver([&](const std::vector<std::string>& keys) { told.push_back(keys); });
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
    ASSERT_TRUE(app.set("Z", true));
    ASSERT_TRUE(app.remove("Z"));
    EXPECT_EQ(told, (std::vector<std::vector<std::string>>{{"X", "Y"}, {"X"}, {"Z"}, {"Z"}}));
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
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    std::string saved = oldXdg ? oldXdg : "";
    ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    EXPECT_EQ(FileDefaultsStore::defaultDirectory(), root_ / "tilewise");
    // A relative value is invalid and ignored.
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_NE(FileDefaultsStore::defaultDirectory(), fs::path("relative") / "tilewise");
    if (oldXdg)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace tilewise
