// The window tracker: following applications, the focus history, the
// layout records, pairs and the pair window lock, and forgetting windows.
#include "layout_test_fixture.hpp"

#include "platform/diagnostics.hpp"
#include "platform/memory/memory_workspace.hpp"
#include "settings/storage.hpp"

#include <sstream>

namespace tilewise {
namespace {

using enum OperationType;

class LayoutListenerTest : public LayoutTest {
protected:
    LayoutListenerTest()
    {
        listener.follow(workspace, loop, [this] { return panelIsKey; });
    }

    // A window of its own application, focused through an activation.
    WindowElement activate(const Rect& frame, Pid pid, WindowId id)
    {
        WindowElement w = access.addWindow(frame, pid, id);
        access.setFocused(w);
        workspace.activate(RunningApplication{pid, "org.example.app" + std::to_string(pid), std::nullopt});
        return w;
    }
    void registerObservers() { loop.advance(LayoutListener::registrationInterval); }

    MemoryWorkspace workspace;
    bool panelIsKey = false;
    std::ostringstream out, err;
    diag::Capture capture{out, err};
};

TEST_F(LayoutListenerTest, FocusShiftsTheHistoryAndForgetsTheLearnedMinimum)
{
    WindowElement a = activate({0, 25, 720, 875}, 10, 1);
    listener.minSizeForCurrentWindow = Size{500, -1000000};
    WindowElement b = activate({720, 25, 720, 875}, 20, 2);
    EXPECT_EQ(listener.minSizeForCurrentWindow, std::nullopt);
    EXPECT_EQ(listener.last1Layout, Rect(0, 25, 720, 875));
    EXPECT_EQ(listener.currentLayout, Rect(720, 25, 720, 875));
    EXPECT_EQ(listener.lastWindowId, 1u);
    EXPECT_EQ(listener.currentWindowId, 2u);
    EXPECT_EQ(listener.lastScreen, screen);
    EXPECT_EQ(listener.windowIdToElement.at(1), a);
    EXPECT_EQ(listener.windowIdToPid.at(2), 20);
    EXPECT_EQ(out.str(), "activate: org.example.app10\n"
                         "update current layout: (0.0, 25.0, 720.0, 875.0)\n"
                         "update last layout: \n"
                         "activate: org.example.app20\n"
                         "update current layout: (720.0, 25.0, 720.0, 875.0)\n"
                         "update last layout: (0.0, 25.0, 720.0, 875.0)\n");

    // Moves of the focused window reach the current layout through the
    // application's observer, once it is registered; not while the panel
    // holds the keyboard.
    registerObservers();
    EXPECT_EQ(workspace.startedObservers(20), 1);
    access.placeByUser(b, {700, 25, 740, 875});
    panelIsKey = true;
    workspace.notify(20, b, WindowNotification::WindowMoved);
    EXPECT_EQ(listener.currentLayout, Rect(720, 25, 720, 875));
    panelIsKey = false;
    workspace.notify(20, b, WindowNotification::WindowMoved);
    EXPECT_EQ(listener.currentLayout, Rect(700, 25, 740, 875));

    // An excluded application is not followed; one without an identifier
    // is not even named.
    store.set("TilewiseExcludes", std::string(R"(["org.example.app30"])"));
    activate({0, 0, 10, 10}, 30, 3);
    workspace.activate(RunningApplication{40, std::nullopt, std::nullopt});
    EXPECT_EQ(listener.currentWindowId, 2u);
    EXPECT_TRUE(out.str().ends_with("ignored: org.example.app30\n"));
}

TEST_F(LayoutListenerTest, ObserversAreRegisteredOncePerProcessWithinTheirAttempts)
{
    activate({0, 25, 720, 875}, 10, 1);
    workspace.activate(RunningApplication{10, "org.example.app10", std::nullopt});
    EXPECT_EQ(workspace.observersCreated(), 2) << "a second activation during registration makes another";
    registerObservers();
    workspace.activate(RunningApplication{10, "org.example.app10", std::nullopt});
    EXPECT_EQ(workspace.observersCreated(), 2) << "a registered process is not observed twice";
    EXPECT_EQ(workspace.startedObservers(10), 1);
    EXPECT_NE(out.str().find("Successfully create observer for application at 1 times: org.example.app10\n"),
              std::string::npos);

    // Each attempt is refused at its first notification.
    workspace.refuseRegistrations(20, LayoutListener::registrationAttempts);
    activate({720, 25, 720, 875}, 20, 2);
    // Process 20 is refused on every attempt: after the last one it is given
    // up, said once, and tried again at its next activation.
    loop.advance(std::chrono::milliseconds(100 * LayoutListener::registrationAttempts));
    EXPECT_EQ(listener.observers.count(20), 0u);
    std::string text = out.str();
    EXPECT_NE(text.find("Failed to create observer for application: org.example.app20\n"), std::string::npos);
    EXPECT_EQ(text.find("Failed"), text.rfind("Failed"));
    workspace.activate(RunningApplication{20, "org.example.app20", std::nullopt});
    registerObservers();
    EXPECT_EQ(workspace.startedObservers(20), 1);
}

TEST_F(LayoutListenerTest, RecordsKeepTheFrameFromBeforeTheSeriesUntilTheUserMoves)
{
    WindowElement w = access.addWindow({100, 100, 400, 300}, 1, 7);
    listener.recordBefore(w, std::nullopt);
    listener.recordAfter(w, 7);
    EXPECT_TRUE(listener.layoutRecords.empty());

    listener.recordBefore(w, 7);
    access.setFrame(w, Rect(0, 25, 720, 875));
    listener.recordAfter(w, 7);
    EXPECT_EQ(listener.layoutRecords.at(7),
              (LayoutListener::LayoutRecord{std::nullopt, Rect(0, 25, 720, 875), Rect(100, 100, 400, 300)}));
    listener.recordBefore(w, 7);
    access.setFrame(w, Rect(720, 25, 720, 875));
    listener.recordAfter(w, 7);
    EXPECT_EQ(listener.layoutRecords.at(7).originalFrame, Rect(100, 100, 400, 300));
    access.placeByUser(w, {50, 60, 700, 800});
    listener.recordBefore(w, 7);
    EXPECT_EQ(listener.layoutRecords.at(7).originalFrame, Rect(50, 60, 700, 800));
}

TEST_F(LayoutListenerTest, PairsDissolveWithTheirWindows)
{
    WindowElement a = activate({0, 25, 720, 875}, 10, 1);
    activate({720, 25, 720, 875}, 20, 2);
    manager.perform(Pair);
    EXPECT_EQ(listener.pairs, (std::map<WindowId, WindowId>{{1, 2}, {2, 1}}));

    // A destroyed window's id may return on a stranger: nothing is kept.
    listener.layoutRecords[1] = {};
    workspace.destroyWindow(1);
    EXPECT_TRUE(listener.pairs.empty());
    EXPECT_FALSE(listener.windowIdToElement.contains(1));
    EXPECT_FALSE(listener.layoutRecords.contains(1));

    // Termination forgets every known window of the process, observed or not.
    access.setFocused(a);
    workspace.activate(RunningApplication{10, "org.example.app10", std::nullopt});
    manager.perform(Pair);
    ASSERT_EQ(listener.pairs.size(), 2u);
    workspace.terminate(RunningApplication{20, "org.example.app20", std::nullopt});
    EXPECT_TRUE(listener.pairs.empty());
    EXPECT_FALSE(listener.windowIdToPid.contains(2));
    EXPECT_TRUE(out.str().ends_with("break pair\n"));
    EXPECT_EQ(out.str().find("terminated:"), std::string::npos) << "it had no observer";
}

TEST_F(LayoutListenerTest, PairLockResizesThePartnerOnceOrBreaksThePair)
{
    store.set("TilewisePairWindowLock", true);
    WindowElement a = activate({0, 25, 720, 875}, 10, 1);
    WindowElement b = activate({300, 300, 400, 300}, 20, 2);
    manager.perform(Pair);
    registerObservers();
    ASSERT_EQ(access.frame(b), Rect(720, 25, 720, 875));

    // The user widens A: B takes the rest. B's own resize event is the
    // echo of that write and moves nothing back.
    access.placeByUser(a, {0, 25, 900, 875});
    access.clearWrites();
    workspace.notify(10, a, WindowNotification::WindowResized);
    workspace.notify(20, b, WindowNotification::WindowResized);
    EXPECT_EQ(access.writes(), (std::vector<Write>{frame(b, {900, 25, 540, 875})}));

    // A in the middle of the screen leaves no pair layout.
    access.placeByUser(a, {400, 25, 640, 875});
    workspace.notify(10, a, WindowNotification::WindowResized);
    EXPECT_TRUE(listener.pairs.empty());
    EXPECT_TRUE(out.str().ends_with("break pair\n"));
}

TEST_F(LayoutListenerTest, PairModesLayOutBesideTheWindowsFocusedBefore)
{
    WindowElement a = activate({720, 25, 720, 437.5}, 10, 1);
    WindowElement b = activate({0, 25, 720, 875}, 20, 2);
    WindowElement c = activate({100, 100, 300, 200}, 30, 3);
    out.str("");
    EXPECT_EQ(frameAfter(PairFor3), Rect(720, 462, 720, 437));
    EXPECT_EQ(out.str(), "pair mode for last 3 windows\n"
                         "clipped last 1 layout: (0.0, 25.0, 720.0, 875.0) [(720.0, 25.0, 720.0, 875.0)]\n"
                         "clipped last 2 layout: (720.0, 25.0, 720.0, 437.5) [(720.0, 462.5, 720.0, 437.5)]\n"
                         "merged: [(720.0, 462.5, 720.0, 437.5)]\n"
                         "update current layout: (720.0, 462.0, 720.0, 437.0)\n");
    EXPECT_TRUE(listener.pairs.empty());

    // PairLast puts the window focused before beside the current one; a new
    // pairing replaces every earlier one of either window.
    access.setFrame(c, {0, 25, 720, 875});
    listener.updateCurrentLayout();
    manager.perform(PairLast);
    EXPECT_EQ(access.frame(b), Rect(720, 25, 720, 875));
    EXPECT_EQ(listener.pairs, (std::map<WindowId, WindowId>{{2, 3}, {3, 2}}));
    access.setFocused(a);
    workspace.activate(RunningApplication{10, "org.example.app10", std::nullopt});
    manager.perform(Pair);
    EXPECT_EQ(access.frame(a), Rect(720, 25, 720, 875));
    EXPECT_EQ(listener.pairs, (std::map<WindowId, WindowId>{{1, 3}, {3, 1}}));
}

} // namespace
} // namespace tilewise
