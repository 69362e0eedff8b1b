#include "layout/space_manager.hpp"

#include "platform/diagnostics.hpp"
#include "platform/memory/memory_desktops.hpp"
#include "platform/memory/memory_modifier_monitor.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace tilewise {
namespace {

using Direction = SpaceManager::SpaceDirection;
using Move = MemoryDesktops::Move;

constexpr std::uint64_t kCapsLock = 1 << 16, kShift = 1 << 17, kControl = 1 << 18, kOption = 1 << 19,
                        kCommand = 1 << 20, kHelp = 1 << 22, kNumericPad = 1 << 21, kFunction = 1 << 23;

const std::string kDelay = "SpaceManager: Delay execution cause current event has modifiers \n";
const std::string kFromMonitor = "SpaceManager: Execute last event from event monitor \n";
const std::string kStart = "SpaceManager: Move to space start \n";

class SpaceManagerTest : public ::testing::Test {
protected:
    void release(std::uint64_t flagsLeft = 0) { monitor.emit(ModifierEvent{0, flagsLeft}); }

    MemoryDesktops desktops;
    MemoryModifierMonitor monitor;
    // The flags of the hot key press being handled.
    std::optional<std::uint64_t> event;
    SpaceManager manager{desktops, monitor, [this] { return event; }};
    WindowElement window{7}, other{8};
    std::ostringstream out, err;
    diag::Capture capture{out, err};
};

// This test verifies that requests made with Control and Option held wait
// until the last of them is released, that only the newer one then runs,
// once, and that releasing again later runs nothing more.
TEST_F(SpaceManagerTest, HeldModifiersDelayTheLastRequestUntilTheLastIsReleased)
{
    EXPECT_EQ(monitor.monitorCount(), 1u);
    event = kControl | kOption;
    manager.move(other, Direction::prev);
    manager.move(window, Direction::next);
    release(kOption);
    EXPECT_EQ(out.str(), kDelay + kDelay);
    EXPECT_TRUE(desktops.moves.empty());

    release(kCapsLock);
    EXPECT_EQ(out.str(), kDelay + kDelay + kFromMonitor + kStart);
    EXPECT_EQ(desktops.moves, (std::vector<Move>{{window, true}}));
    EXPECT_FALSE(manager.currentElement || manager.currentEvent);

    release(kControl);
    release();
    EXPECT_EQ(desktops.moves.size(), 1u);
    EXPECT_EQ(out.str(), kDelay + kDelay + kFromMonitor + kStart);
}

// This test verifies which flags count as held modifiers: of the
// device-independent bits, all but caps lock, numeric pad and function.
TEST_F(SpaceManagerTest, ModifierFlagsDecideBetweenWaitingAndRunningNow)
{
    const std::string now = "SpaceManager: Execute immediately since current event has no modifier \n";
    const std::string noEvent = "SpaceManager: Execute immediately since there is no event found \n";
    const std::pair<std::optional<std::uint64_t>, std::string> cases[] = {
        {std::nullopt, noEvent + kStart},
        {0, now + kStart},
        {kCapsLock | kNumericPad | kFunction, now + kStart},
        {0xffff, now + kStart}, // device-dependent bits only
        {kShift, kDelay},
        {kCommand | kCapsLock, kDelay},
        {kHelp, kDelay},
        {1ull << 31, kDelay},
    };
    for (const auto& [flags, expected] : cases) {
        out.str("");
        desktops.moves.clear();
        event = flags;
        manager.move(window, Direction::prev);
        EXPECT_EQ(out.str(), expected) << (flags ? *flags : 0);
        EXPECT_EQ(desktops.moves.size(), expected == kDelay ? 0u : 1u) << (flags ? *flags : 0);
        manager.currentElement.reset();
    }
}

// This test verifies that without desktops to move to nothing is asked for
// and the start is not logged, and that a failure of the platform is.
TEST_F(SpaceManagerTest, UnavailableDesktopsMoveNothingAndFailuresAreLogged)
{
    desktops.count = 1;
    manager.move(window, Direction::next);
    EXPECT_EQ(out.str(), "SpaceManager: Execute immediately since there is no event found \n");
    EXPECT_TRUE(desktops.moves.empty());

    out.str("");
    desktops.count = 4;
    desktops.failure = "the window is gone";
    manager.moveToSpace(window, Direction::next);
    EXPECT_EQ(out.str(), kStart + "SpaceManager: Error while moving to the desktop, the window is gone \n");
}

} // namespace
} // namespace tilewise
