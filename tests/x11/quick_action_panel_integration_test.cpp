// The quick action panel of the desktop program on a real server: it opens
// on its shortcut without taking the focus from the user's window, and the
// action picked by its menu key, or by a search and Return, lays that window
// out.
#include "tilewise_session.hpp"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

namespace tilewise {
namespace {

using namespace tilewise::testing;

class QuickActionPanelIntegrationTest : public TilewiseSessionTest {
protected:
    void SetUp() override
    {
        TilewiseSessionTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        for (const char* key : {"TilewiseFirstLaunchPreference", "TilewiseQuickActionEnabled"})
            ASSERT_EQ(tilewisectl({"defaults", "write", key, "-bool", "true"}, env()).exitCode, 0);
        ASSERT_EQ(tilewisectl({"shortcuts", "set", "launchQuickAction", "ctrl+alt+p"}, env()).exitCode, 0);
        visible = primaryVisibleFrame();
    }

    // The panel: a mapped override-redirect window of ours on the root.
    std::optional<xcb_window_t> panel()
    {
        xcb_connection_t* c = display.client().xcb();
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(c, xcb_query_tree(c, display.client().x().root()), nullptr);
        if (!tree)
            return std::nullopt;
        std::optional<xcb_window_t> found;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
            xcb_get_window_attributes_reply_t* a =
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
            xcb_get_property_reply_t* cls = xcb_get_property_reply(
                c, xcb_get_property(c, 0, children[i], XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr);
            const std::string wmClass =
                cls ? std::string(static_cast<const char*>(xcb_get_property_value(cls)),
                                  std::size_t(xcb_get_property_value_length(cls)))
                    : std::string();
            if (a && a->override_redirect && a->map_state == XCB_MAP_STATE_VIEWABLE &&
                wmClass.find("tilewise") != std::string::npos)
                found = children[i];
            free(a);
            free(cls);
        }
        free(tree);
        return found;
    }

    xcb_window_t inputFocus()
    {
        xcb_connection_t* c = display.client().xcb();
        xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
        const xcb_window_t focus = r ? r->focus : xcb_window_t(XCB_WINDOW_NONE);
        free(r);
        return focus;
    }

    // Opens the panel over `w` and waits until it holds the keyboard: its
    // grab takes the focus from w for the time being (the hot key's own
    // grab, on the root, is w's ancestor); the user's window stays the
    // active and focused one.
    void openOver(xcb_window_t w)
    {
        X11Connection& x = display.client().x();
        x.selectInput(x.root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        x.selectInput(w, XCB_EVENT_MASK_FOCUS_CHANGE);
        // Selected before the key is pressed, or the grab's events are lost.
        x.sync();
        const std::uint64_t mark = x.eventMark();
        press("ctrl+alt+p");
        const bool grabbed = x.waitForEvent(
            [w](const xcb_generic_event_t& e) {
                const auto& f = reinterpret_cast<const xcb_focus_out_event_t&>(e);
                return (e.response_type & 0x7f) == XCB_FOCUS_OUT && f.event == w &&
                       f.mode == XCB_NOTIFY_MODE_GRAB && f.detail == XCB_NOTIFY_DETAIL_NONLINEAR;
            },
            kWait, mark);
        ASSERT_TRUE(grabbed) << "the panel did not take the keyboard";
        ASSERT_TRUE(panel()) << "no panel";
        EXPECT_EQ(display.activeWindow(), w);
        EXPECT_EQ(inputFocus(), w);
    }

    void expectLaidOut(xcb_window_t w, const Rect& expected)
    {
        EXPECT_EQ(display.waitForFrame(w, expected), expected);
        EXPECT_EQ(display.activeWindow(), w);
        EXPECT_TRUE(display.client().waitUntil([&] { return !panel(); })) << "the panel stayed";
    }

    Rect visible;
};

TEST_F(QuickActionPanelIntegrationTest, MenuKeyRunsOnTheWindowFocusedBeforeThePanelOpened)
{
    const xcb_window_t w = newWindow();
    startTilewise({});
    openOver(w);
    press("w");
    expectLaidOut(w, Rect(visible.x(), visible.y(), visible.width(), std::floor(visible.height() / 2)));
}

TEST_F(QuickActionPanelIntegrationTest, SearchAndReturnRunTheFirstMatch)
{
    // With its one-time notice seen: a modal notice would hold the start.
    for (const char* key : {"TilewiseQuickActionSearchEnabled", "tilewiseQuickActionSearchEnabledAlertKey"})
        ASSERT_EQ(tilewisectl({"defaults", "write", key, "-bool", "true"}, env()).exitCode, 0);
    const xcb_window_t w = newWindow();
    startTilewise({});
    openOver(w);
    press("t");
    press("q");
    press("Return");
    expectLaidOut(
        w, Rect(visible.x(), visible.y(), std::floor(visible.width() / 2), std::floor(visible.height() / 2)));
}

} // namespace
} // namespace tilewise
