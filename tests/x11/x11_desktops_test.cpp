// X11Desktops against the real server and window manager of $DISPLAY, with a
// client window made by plain xcb on a second connection.
#include "platform/x11/x11_desktops.hpp"

#include "x11_access_client.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tilewise {
namespace {

using x11test::TestClient;

constexpr std::uint32_t kNone = 0xFFFFFFFE; // neither a desktop nor all of them

class X11DesktopsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server with a window manager in DISPLAY";
        x_ = X11Connection::open(nullptr, nullptr);
        client_ = TestClient::connect();
        ASSERT_TRUE(x_ && client_);
        view_ = std::make_unique<X11View>(*x_);
        desktops_ = std::make_unique<X11Desktops>(*x_, *view_);
        desktops_->setTimeout(x11test::kEventTimeout);
        count_ = first(client_->x().root(), client_->x().ewmh()._NET_NUMBER_OF_DESKTOPS);
        if (count_ < 2 || count_ == kNone)
            GTEST_SKIP() << client_->windowManagerName() << " has fewer than two desktops";
        ASSERT_TRUE(show(0));
    }

    void TearDown() override
    {
        if (client_ && count_ >= 2 && count_ != kNone)
            show(0);
    }

    std::uint32_t first(xcb_window_t w, xcb_atom_t property)
    {
        auto v = client_->cardinals(w, property);
        return v.empty() ? kNone : v[0];
    }
    std::uint32_t current() { return first(client_->x().root(), client_->x().ewmh()._NET_CURRENT_DESKTOP); }
    bool show(std::uint32_t desktop)
    {
        client_->sendToWindowManager(client_->x().root(), client_->x().ewmh()._NET_CURRENT_DESKTOP,
                                     {desktop, 0});
        return client_->waitUntil([&] { return current() == desktop; });
    }

    std::unique_ptr<X11Connection> x_;
    std::unique_ptr<TestClient> client_;
    std::unique_ptr<X11View> view_;
    std::unique_ptr<X11Desktops> desktops_;
    std::uint32_t count_ = 0;
};

// This test verifies that a window carried to the next desktop is there,
// shown and active, within three round trips; that at the last desktop
// nothing moves; and that from there it goes back to the one before.
TEST_F(X11DesktopsTest, WindowGoesToTheAdjacentDesktopWithoutWrapping)
{
    xcb_ewmh_connection_t& e = client_->x().ewmh();
    xcb_window_t w = client_->createMapped({});
    ASSERT_NE(w, XCB_WINDOW_NONE);
    ASSERT_EQ(first(w, e._NET_WM_DESKTOP), 0u);
    // Others were focused after it, here and on the next desktop: the
    // carried window is active there only by the move's own request.
    xcb_window_t there = client_->createMapped({}), here = client_->createMapped({});
    ASSERT_TRUE(client_->activate(there) && client_->moveToDesktop(there, 1) && client_->activate(here));
    auto isActive = [&] { return first(client_->x().root(), e._NET_ACTIVE_WINDOW) == w; };

    // The program's view is read already; a move reads the window's
    // desktop and waits for the switch.
    ASSERT_TRUE(desktops_->canMoveWindows());
    const std::uint64_t before = x_->roundTrips();
    ASSERT_TRUE(desktops_->canMoveWindows());
    EXPECT_EQ(desktops_->moveToAdjacentDesktop(WindowElement{w}, true), std::nullopt);
    EXPECT_LE(x_->roundTrips() - before, 3u);
    EXPECT_EQ(current(), 1u);
    EXPECT_TRUE(client_->waitUntil([&] { return first(w, e._NET_WM_DESKTOP) == 1; }));
    EXPECT_TRUE(client_->waitUntil(isActive));

    const std::uint32_t last = count_ - 1;
    if (last != 1) {
        ASSERT_TRUE(client_->moveToDesktop(w, last));
        ASSERT_TRUE(show(last));
    }
    EXPECT_EQ(desktops_->moveToAdjacentDesktop(WindowElement{w}, true), std::nullopt);
    EXPECT_EQ(current(), last);
    EXPECT_EQ(first(w, e._NET_WM_DESKTOP), last);

    EXPECT_EQ(desktops_->moveToAdjacentDesktop(WindowElement{w}, false), std::nullopt);
    EXPECT_EQ(current(), last - 1);
    EXPECT_TRUE(client_->waitUntil([&] { return first(w, e._NET_WM_DESKTOP) == last - 1; }));
    EXPECT_TRUE(client_->waitUntil(isActive));
}

} // namespace
} // namespace tilewise
