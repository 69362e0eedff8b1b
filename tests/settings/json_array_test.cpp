// Array settings as JSON strings, and the clip lists the engine reads.
#include "settings/clip.hpp"
#include "settings/json_array.hpp"
#include "settings/memory_defaults_store.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

TEST(JsonArrayTest, ClipListsRoundTripCompactlyAndFallBackToDefaultsOnBadText)
{
    MemoryDefaultsStore store;
    EXPECT_EQ(horizontalClips(store), defaultHorizontalClips());
    EXPECT_EQ(verticalClips(store), defaultVerticalClips());
    writeJsonArray(store, settings_keys::clipVertical, std::vector<Clip>{{1, 1}, {1, 2}});
    EXPECT_EQ(store.stringValue(settings_keys::clipVertical),
              R"([{"denominator":1,"numerator":1},{"denominator":2,"numerator":1}])");
    EXPECT_EQ(verticalClips(store), (std::vector<Clip>{{1, 1}, {1, 2}}));

    // One bad element fails the whole array; the stored text is kept.
    for (const char* bad : {"not json", R"([{"numerator":1,"denominator":2},{"numerator":"1","denominator":3}])",
                            R"([{"numerator":1.5,"denominator":2}])", R"([{"numerator":1}])"}) {
        store.set(settings_keys::clipHorizontal, std::string(bad));
        EXPECT_EQ(horizontalClips(store), defaultHorizontalClips()) << bad;
        EXPECT_EQ(store.stringValue(settings_keys::clipHorizontal), bad);
    }

    store.set(settings_keys::clipHorizontal, std::string("[]"));
    EXPECT_TRUE(horizontalClips(store).empty());

    // Members in any order.
    store.set(settings_keys::clipHorizontal, std::string(R"([{"denominator":3,"numerator":2}])"));
    EXPECT_EQ(horizontalClips(store), (std::vector<Clip>{{2, 3}}));
}

TEST(JsonArrayTest, ScreenClipLookupTakesFirstExactName)
{
    MemoryDefaultsStore store;
    EXPECT_EQ(clipListsForScreen(store, "DP-1").horizontal, defaultHorizontalClips());
    writeJsonArray(store, settings_keys::separateScreenConfiguration,
                   std::vector<ScreenClip>{{"DP-1", {{2, 3}}, {{1, 1}}}, {"DP-1", {{1, 5}}, {{1, 5}}}});
    EXPECT_EQ(clipListsForScreen(store, "DP-1").horizontal, (std::vector<Clip>{{2, 3}}));
    EXPECT_EQ(clipListsForScreen(store, "DP-1").vertical, (std::vector<Clip>{{1, 1}}));
    EXPECT_EQ(clipListsForScreen(store, "dp-1").horizontal, defaultHorizontalClips());
}

TEST(JsonArrayTest, ExcludesFallBackOnNonStringsAndKeepInvalidUtf8Replaced)
{
    MemoryDefaultsStore store;
    EXPECT_EQ(excludes(store), defaultExcludes());
    store.set(settings_keys::excludes, std::string(R"(["a", 3])"));
    EXPECT_EQ(excludes(store), defaultExcludes());
    // Replaced rather than wiping the whole list.
    writeJsonArray(store, settings_keys::excludes, std::vector<std::string>{"org.example.a", "bad\xff"});
    EXPECT_EQ(excludes(store), (std::vector<std::string>{"org.example.a", "bad\xEF\xBF\xBD"}));
}

} // namespace
} // namespace tilewise
