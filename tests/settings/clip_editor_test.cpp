// The clips page's rules: add validates and sorts, the last clip stays, long-list notice, per-screen lists.
#include "settings/clip_editor.hpp"

#include "platform/diagnostics.hpp"
#include "platform/memory/manual_run_loop.hpp"
#include "settings/json_array.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace tilewise {
namespace {

using Axis = ClipRowRef::Axis;
const ClipRowRef defaultH{std::nullopt, Axis::horizontal};
const ClipRowRef defaultV{std::nullopt, Axis::vertical};

class ClipEditorTest : public ::testing::Test {
protected:
    MemoryDefaultsStore store;
    ManualRunLoop loop;
    std::ostringstream out, err;
    diag::Capture capture{out, err};
    ClipEditor editor{store, loop};
};

TEST_F(ClipEditorTest, AddKeepsTheListSortedLargestFirst)
{
    EXPECT_EQ(editor.add(defaultH, {3, 4}), std::nullopt);
    EXPECT_EQ(horizontalClips(store), (std::vector<Clip>{{3, 4}, {1, 2}, {1, 3}, {1, 4}}));
    EXPECT_EQ(editor.add(defaultH, {1, 5}), std::nullopt);
    EXPECT_EQ(editor.add(defaultH, {2, 5}), std::nullopt);
    EXPECT_EQ(horizontalClips(store), (std::vector<Clip>{{3, 4}, {1, 2}, {2, 5}, {1, 3}, {1, 4}, {1, 5}}));
}

TEST_F(ClipEditorTest, AddRefusesDuplicatesAndValuesThePickersCannotProduce)
{
    writeJsonArray(store, settings_keys::clipVertical, std::vector<Clip>{{1, 3}});
    const char* const exists = "Clip value already exists";
    const char* const range = "Clip value should be between 0-1";
    // 0/0 would pass the fraction check and put NaN into the engine's frames.
    const std::pair<Clip, const char*> cases[] = {{{2, 6}, exists}, {{1, 3}, exists}, {{5, 4}, range},
                                                  {{0, 0}, range},  {{0, 2}, range},  {{1, 0}, range},
                                                  {{1, 17}, range}, {{-1, 2}, range}, {{17, 17}, range}};
    for (auto [clip, message] : cases)
        EXPECT_EQ(editor.add(defaultV, clip), message) << clip.numerator << "/" << clip.denominator;
    EXPECT_EQ(verticalClips(store), (std::vector<Clip>{{1, 3}}));
    EXPECT_EQ(editor.add(defaultV, {4, 4}), std::nullopt);
    EXPECT_EQ(verticalClips(store), (std::vector<Clip>{{4, 4}, {1, 3}}));
    // The default horizontal list already holds 1/2.
    EXPECT_EQ(editor.add(defaultH, {1, 2}), exists);
    // The picker only warns about a clip above 1.
    EXPECT_EQ(clipPickerWarning({0, 4}), std::nullopt);
    EXPECT_EQ(clipPickerWarning({4, 4}), std::nullopt);
    EXPECT_EQ(clipPickerWarning({5, 4}), "This would lead to unpredictable result");
}

TEST_F(ClipEditorTest, UndecodableStoredListIsEditedFromItsDefault)
{
    store.set(settings_keys::clipHorizontal, std::string("not json"));
    EXPECT_EQ(editor.clips(defaultH), defaultHorizontalClips());
    EXPECT_EQ(editor.add(defaultH, {2, 3}), std::nullopt);
    EXPECT_EQ(horizontalClips(store), (std::vector<Clip>{{2, 3}, {1, 2}, {1, 3}, {1, 4}}));
}

TEST_F(ClipEditorTest, LastClipIsRetained)
{
    writeJsonArray(store, settings_keys::clipHorizontal, std::vector<Clip>{{1, 2}, {1, 3}});
    EXPECT_EQ(editor.remove(defaultH, {1, 2}), std::nullopt);
    EXPECT_EQ(horizontalClips(store), (std::vector<Clip>{{1, 3}}));
    EXPECT_EQ(editor.remove(defaultH, {1, 3}), "At least one clip must be retained");
    EXPECT_EQ(horizontalClips(store), (std::vector<Clip>{{1, 3}}));
    // Removal matches numerator and denominator, not the value.
    writeJsonArray(store, settings_keys::clipHorizontal, std::vector<Clip>{{1, 2}, {1, 3}});
    EXPECT_EQ(editor.remove(defaultH, {2, 4}), std::nullopt);
    EXPECT_EQ(horizontalClips(store).size(), 2u);
}

TEST_F(ClipEditorTest, LongListNoticeShowsOnceAndDoesNotRefuse)
{
    // The default horizontal list has 3 clips; three adds make 6.
    for (Clip c : std::vector<Clip>{{3, 4}, {1, 5}, {1, 6}}) {
        EXPECT_EQ(editor.beginAdd(defaultH), std::nullopt);
        EXPECT_EQ(editor.add(defaultH, c), std::nullopt);
    }
    // The seventh add.
    EXPECT_EQ(editor.beginAdd(defaultH), "The recommendation is to not exceed 6 sizes");
    EXPECT_EQ(store.value(settings_keys::setGapMoreThan6), DefaultsValue(true));
    EXPECT_EQ(editor.add(defaultH, {1, 7}), std::nullopt);
    EXPECT_EQ(editor.beginAdd(defaultH), std::nullopt);
    EXPECT_EQ(editor.beginAdd(defaultV), std::nullopt);
}

TEST_F(ClipEditorTest, ScreenConfigurationsAreCreatedOnceFromTheBuiltInLists)
{
    writeJsonArray(store, settings_keys::clipHorizontal, std::vector<Clip>{{2, 3}});
    EXPECT_EQ(editor.defaultSectionTitle(), std::nullopt);
    EXPECT_EQ(editor.createScreenConfiguration("Left Monitor"), std::nullopt);
    EXPECT_EQ(editor.createScreenConfiguration("Left Monitor"),
              "Configuration for screen(Left Monitor) already exists");
    std::vector<ScreenClip> screens = screenClips(store);
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].horizontal, defaultHorizontalClips());
    EXPECT_EQ(screens[0].vertical, defaultVerticalClips());
    EXPECT_EQ(editor.defaultSectionTitle(), "Default Clips");

    // Editing a screen's row leaves the defaults and the other axis alone.
    const ClipRowRef leftV{0, Axis::vertical};
    EXPECT_EQ(editor.add(leftV, {2, 3}), std::nullopt);
    EXPECT_EQ(clipListsForScreen(store, "Left Monitor").vertical,
              (std::vector<Clip>{{1, 1}, {2, 3}, {1, 2}, {1, 3}, {1, 4}}));
    EXPECT_EQ(clipListsForScreen(store, "Left Monitor").horizontal, defaultHorizontalClips());
    EXPECT_EQ(horizontalClips(store), (std::vector<Clip>{{2, 3}}));
    // A row of a configuration that no longer exists does nothing.
    const ClipRowRef gone{3, Axis::horizontal};
    EXPECT_EQ(editor.add(gone, {2, 3}), std::nullopt);
    EXPECT_EQ(editor.remove(gone, {1, 2}), std::nullopt);
    EXPECT_EQ(screenClips(store).size(), 1u);
}

TEST_F(ClipEditorTest, DeletingAScreenConfigurationAsksAndActsOnALaterTurn)
{
    editor.createScreenConfiguration("A");
    editor.createScreenConfiguration("B");
    EXPECT_NE(ClipEditor::deleteConfirmation("A").message.find("A?"), std::string::npos);
    editor.answerDelete("A", ClipEditor::DeleteAnswer::cancel);
    editor.answerDelete("A", ClipEditor::DeleteAnswer::closed);
    EXPECT_EQ(out.str(), "cancel\ndo nothing\n");
    EXPECT_EQ(loop.runPending(), 0);
    EXPECT_EQ(screenClips(store).size(), 2u);

    // Two configurations stored under one name both go.
    std::vector<ScreenClip> screens = screenClips(store);
    screens.push_back(screens[0]);
    writeJsonArray(store, settings_keys::separateScreenConfiguration, screens);
    editor.answerDelete("A", ClipEditor::DeleteAnswer::confirm);
    EXPECT_EQ(screenClips(store).size(), 3u);
    EXPECT_EQ(loop.runPending(), 1);
    screens = screenClips(store);
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].name, "B");

    // The deletion runs even when the page is gone by then.
    std::make_unique<ClipEditor>(store, loop)->answerDelete("B", ClipEditor::DeleteAnswer::confirm);
    loop.runPending();
    EXPECT_TRUE(screenClips(store).empty());
}

} // namespace
} // namespace tilewise
