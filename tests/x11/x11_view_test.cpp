// The view's bookkeeping against a real server: what events change, it
// knows without asking; what they only announce, it reads again; windows
// that vanish or move into another parent are not taken for what they were.
// Windows here are override-redirect, so the window manager leaves them be.
#include "platform/x11/x11_view.hpp"
#include "x11_access_client.hpp"

#include <gtest/gtest.h>

namespace tilewise {
namespace {

using x11test::TestClient;

class X11ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        client_ = TestClient::connect();
        if (!client_)
            GTEST_SKIP() << "no display";
        x_ = X11Connection::open(nullptr, nullptr);
        ASSERT_TRUE(x_);
        view_ = std::make_unique<X11View>(*x_);
        view_->setFollowing(true);
    }

    xcb_window_t unmanaged(xcb_window_t parent, const Rect& r)
    {
        const xcb_window_t w = xcb_generate_id(client_->xcb());
        const std::uint32_t values[] = {1};
        xcb_create_window(client_->xcb(), XCB_COPY_FROM_PARENT, w, parent, std::int16_t(r.x()),
                          std::int16_t(r.y()), std::uint16_t(r.width()), std::uint16_t(r.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
                          values);
        xcb_map_window(client_->xcb(), w);
        client_->x().sync();
        return w;
    }

    // After the other connection's requests are done, one round trip on
    // ours brings every event they caused.
    void settle()
    {
        client_->x().sync();
        x_->sync();
    }

    std::optional<Rect> where(xcb_window_t w)
    {
        const X11View::Window* v = view_->window(w);
        return v ? std::optional<Rect>(v->client) : std::nullopt;
    }

    std::unique_ptr<TestClient> client_;
    std::unique_ptr<X11Connection> x_;
    std::unique_ptr<X11View> view_;
};

TEST_F(X11ViewTest, MovesAreFollowedWithoutAskingAgain)
{
    const xcb_window_t parent = unmanaged(x_->root(), Rect(300, 300, 400, 300));
    const xcb_window_t child = unmanaged(x_->root(), Rect(50, 60, 100, 80));
    EXPECT_EQ(where(child), Rect(50, 60, 100, 80));
    EXPECT_EQ(where(parent), Rect(300, 300, 400, 300));

    // Into a top-level window: read again once, then carried along by the
    // parent's moves.
    xcb_reparent_window(client_->xcb(), child, parent, 10, 20);
    settle();
    EXPECT_EQ(where(child), Rect(310, 320, 100, 80));
    const std::uint32_t to[] = {500, 100};
    xcb_configure_window(client_->xcb(), parent, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, to);
    const std::uint32_t size[] = {120, 90};
    xcb_configure_window(client_->xcb(), child, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    settle();
    const std::uint64_t before = x_->roundTrips();
    EXPECT_EQ(where(child), Rect(510, 120, 120, 90));
    EXPECT_EQ(x_->roundTrips(), before) << "a move the events told was read again";
}

TEST_F(X11ViewTest, PropertiesDeletedAreKnownAndChangedOnesReadAgain)
{
    const xcb_window_t w = unmanaged(x_->root(), Rect(20, 20, 50, 50));
    const xcb_atom_t state = x_->ewmh()._NET_WM_STATE;
    const xcb_atom_t above = x_->ewmh()._NET_WM_STATE_ABOVE;
    xcb_change_property(client_->xcb(), XCB_PROP_MODE_REPLACE, w, state, XCB_ATOM_ATOM, 32, 1, &above);
    settle();
    ASSERT_TRUE(view_->window(w));
    EXPECT_EQ(view_->window(w)->property(state).cardinals().size(), 1u);

    const xcb_atom_t both[] = {above, x_->ewmh()._NET_WM_STATE_STICKY};
    xcb_change_property(client_->xcb(), XCB_PROP_MODE_REPLACE, w, state, XCB_ATOM_ATOM, 32, 2, both);
    settle();
    EXPECT_EQ(view_->window(w)->property(state).cardinals().size(), 2u);

    xcb_delete_property(client_->xcb(), w, state);
    settle();
    const std::uint64_t before = x_->roundTrips();
    EXPECT_FALSE(view_->window(w)->property(state).exists());
    EXPECT_EQ(x_->roundTrips(), before) << "a deletion the event told was read again";
}

TEST_F(X11ViewTest, WindowsGoneBetweenEventsAreForgottenQuietly)
{
    std::vector<std::string> errors;
    x_->setErrorReporter([&errors](const std::string& line) { errors.push_back(line); });
    const xcb_window_t w = unmanaged(x_->root(), Rect(20, 20, 50, 50));
    ASSERT_TRUE(where(w));
    // Changed, then destroyed before the view reads the change.
    xcb_change_property(client_->xcb(), XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, 2,
                        "a");
    xcb_destroy_window(client_->xcb(), w);
    settle();
    EXPECT_FALSE(where(w));
    // Asked for by id while already gone.
    const xcb_window_t gone = unmanaged(x_->root(), Rect(20, 20, 50, 50));
    xcb_destroy_window(client_->xcb(), gone);
    client_->x().sync();
    EXPECT_FALSE(where(gone));
    EXPECT_TRUE(errors.empty()) << errors.front();
}

} // namespace
} // namespace tilewise
