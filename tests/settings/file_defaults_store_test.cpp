// This test verifies the file-backed defaults store on real temporary
// directories: typed values, atomic replacement, bad files kept aside,
// failed writes, and writes made by another store on the same file.
#include "settings/file_defaults_store.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
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
    std::ofstream out(p, std::ios::binary);
    out << text;
}

class FileDefaultsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tilewise-defaults-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        dir_ = root_ / "tilewise";
    }
    void TearDown() override
    {
        ::chmod(dir_.c_str(), 0700);
        fs::remove_all(root_);
    }
    std::vector<fs::path> filesInDir() const
    {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(dir_))
            out.push_back(e.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path root_;
    fs::path dir_;
    std::ostringstream log_;
};

TEST_F(FileDefaultsStoreTest, TypedValuesSurviveARestart)
{
    {
        FileDefaultsStore store(dir_, log_);
        EXPECT_FALSE(store.contains("TilewiseSmartPairMode"));
        store.set("TilewiseSmartPairMode", true);
        store.set("KeyboardShortcuts_pair43", false);
        store.set("KeyboardShortcuts_clipLeft",
                  std::string(R"({"carbonKeyCode":123,"carbonModifiers":6144})"));
        store.set("Count", 2.5);
        store.set("Gone", true);
        store.remove("Gone");
    }
    FileDefaultsStore again(dir_, log_);
    EXPECT_EQ(again.value("TilewiseSmartPairMode"), DefaultsValue(true));
    // A stored "no shortcut" is the boolean false, not a string or absent.
    EXPECT_EQ(again.value("KeyboardShortcuts_pair43"), DefaultsValue(false));
    EXPECT_EQ(again.stringValue("KeyboardShortcuts_clipLeft"),
              R"({"carbonKeyCode":123,"carbonModifiers":6144})");
    EXPECT_EQ(again.value("Count"), DefaultsValue(2.5));
    EXPECT_FALSE(again.contains("Gone"));
    EXPECT_EQ(log_.str(), "");
}

TEST_F(FileDefaultsStoreTest, UnknownMembersAreKeptAcrossWrites)
{
    fs::create_directories(dir_);
    writeText(dir_ / "defaults.json", R"({"Nested":{"a":[1,2]},"Flag":true})");
    FileDefaultsStore store(dir_, log_);
    EXPECT_FALSE(store.contains("Nested"));
    store.set("Other", std::string("x"));
    std::string text = readText(dir_ / "defaults.json");
    EXPECT_NE(text.find("\"Nested\""), std::string::npos);
    EXPECT_EQ(store.value("Flag"), DefaultsValue(true));
}

TEST_F(FileDefaultsStoreTest, WritesReplaceTheFileAndIgnoreLeftoverTemporaryFiles)
{
    FileDefaultsStore store(dir_, log_);
    store.set("A", true);
    struct stat before {};
    ASSERT_EQ(::stat((dir_ / "defaults.json").c_str(), &before), 0);

    // A torn temporary file from a writer killed mid-write.
    writeText(dir_ / ".defaults.json.tmp-crash1", "{\"A\": fal");
    store.set("B", std::string("two"));
    struct stat after {};
    ASSERT_EQ(::stat((dir_ / "defaults.json").c_str(), &after), 0);
    // A new inode: the content was renamed into place, not written in place
    // where a reader could see half of it.
    EXPECT_NE(before.st_ino, after.st_ino);

    FileDefaultsStore reader(dir_, log_);
    EXPECT_EQ(reader.value("A"), DefaultsValue(true));
    EXPECT_EQ(reader.stringValue("B"), "two");
    // Only the real file and the leftover; no temporary of our own remains.
    EXPECT_EQ(filesInDir(), (std::vector<fs::path>{".defaults.json.tmp-crash1", "defaults.json"}));
    EXPECT_EQ(log_.str(), "");
}

TEST_F(FileDefaultsStoreTest, KillDuringABurstOfWritesLeavesAWholeFile)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        std::ostringstream quiet;
        FileDefaultsStore writer(dir_, quiet);
        // Large values make each write long enough to be cut in the middle.
        const std::string filler(256 * 1024, 'x');
        for (int i = 0; i < 100000; ++i) {
            writer.set("Counter", static_cast<double>(i));
            writer.set("Filler", filler + std::to_string(i));
            if (i == 5 && ::write(ready[1], "r", 1) != 1)
                ::_exit(2);
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    FileDefaultsStore reader(dir_, log_);
    std::optional<DefaultsValue> counter = reader.value("Counter");
    ASSERT_TRUE(counter);
    EXPECT_GE(std::get<double>(*counter), 5.0);
    std::optional<std::string> filler = reader.stringValue("Filler");
    ASSERT_TRUE(filler);
    // The kill may fall between the two writes of one round.
    const int round = static_cast<int>(std::get<double>(*counter));
    EXPECT_TRUE(*filler == std::string(256 * 1024, 'x') + std::to_string(round) ||
                *filler == std::string(256 * 1024, 'x') + std::to_string(round - 1));
    EXPECT_EQ(log_.str(), "");
    // A later write works next to whatever temporary the kill left.
    reader.set("After", true);
    EXPECT_EQ(FileDefaultsStore(dir_, log_).value("After"), DefaultsValue(true));
}

TEST_F(FileDefaultsStoreTest, BadFileIsMovedAsideReportedAndNeverOverwritten)
{
    fs::create_directories(dir_);
    const std::string bad = "{\"TilewiseSmartPairMode\": tru";
    writeText(dir_ / "defaults.json", bad);

    FileDefaultsStore store(dir_, log_);
    EXPECT_FALSE(store.contains("TilewiseSmartPairMode"));
    std::string report = log_.str();
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
    EXPECT_NE(report.find("moved aside"), std::string::npos);

    store.set("TilewiseSmartPairMode", false);
    std::vector<fs::path> files = filesInDir();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], "defaults.json");
    ASSERT_EQ(files[1].string().rfind("defaults.json.bad-", 0), 0u) << files[1];
    EXPECT_EQ(files[1].string().size(), std::string("defaults.json.bad-20261206-125959").size());
    EXPECT_EQ(readText(dir_ / files[1]), bad);
    EXPECT_EQ(store.value("TilewiseSmartPairMode"), DefaultsValue(false));
}

TEST_F(FileDefaultsStoreTest, SecondBadFileInTheSameSecondDoesNotReplaceTheFirst)
{
    fs::create_directories(dir_);
    writeText(dir_ / "defaults.json", "[1]");
    {
        FileDefaultsStore first(dir_, log_);
        EXPECT_FALSE(first.contains("x"));
    }
    writeText(dir_ / "defaults.json", "nonsense");
    {
        FileDefaultsStore second(dir_, log_);
        EXPECT_FALSE(second.contains("x"));
    }
    std::vector<std::string> kept;
    for (const fs::path& p : filesInDir())
        kept.push_back(readText(dir_ / p));
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"[1]", "nonsense"}));
}

TEST_F(FileDefaultsStoreTest, FailedWriteIsReportedAndTheValueStaysInMemory)
{
    // The parent of the store directory is a regular file: creating the
    // directory fails even for root.
    writeText(root_ / "plain", "");
    FileDefaultsStore store(root_ / "plain" / "tilewise", log_);
    store.set("TilewiseQuickFullscreen", true);
    EXPECT_EQ(store.value("TilewiseQuickFullscreen"), DefaultsValue(true));
    std::string report = log_.str();
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
    EXPECT_NE(report.find("kept in memory"), std::string::npos);
}

TEST_F(FileDefaultsStoreTest, ReadOnlyDirectoryKeepsTheOldFile)
{
    FileDefaultsStore store(dir_, log_);
    store.set("A", std::string("old"));
    ASSERT_EQ(::chmod(dir_.c_str(), 0500), 0);
    if (::access(dir_.c_str(), W_OK) == 0)
        GTEST_SKIP() << "running as root: permissions do not stop writes";
    store.set("A", std::string("new"));
    EXPECT_EQ(store.stringValue("A"), "new");
    EXPECT_NE(log_.str().find("cannot write"), std::string::npos);
    FileDefaultsStore reader(dir_, log_);
    EXPECT_EQ(reader.stringValue("A"), "old");
}

TEST_F(FileDefaultsStoreTest, WritesOfAnotherProcessAreSeenAndMerged)
{
    FileDefaultsStore app(dir_, log_);
    FileDefaultsStore ctl(dir_, log_);
    EXPECT_FALSE(app.contains("TilewiseClipHorizontal"));
    app.set("Mine", true);

    ctl.set("TilewiseClipHorizontal", std::string(R"([{"numerator":2,"denominator":3}])"));
    EXPECT_EQ(app.stringValue("TilewiseClipHorizontal"), R"([{"numerator":2,"denominator":3}])");

    // A write by the first store keeps the other's key.
    app.set("Mine", false);
    EXPECT_EQ(ctl.stringValue("TilewiseClipHorizontal"), R"([{"numerator":2,"denominator":3}])");
    EXPECT_EQ(ctl.value("Mine"), DefaultsValue(false));

    ctl.remove("Mine");
    EXPECT_FALSE(app.contains("Mine"));
    // The file deleted by hand reads as an empty store.
    fs::remove(dir_ / "defaults.json");
    EXPECT_FALSE(app.contains("TilewiseClipHorizontal"));
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
