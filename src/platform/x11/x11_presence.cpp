#include "platform/x11/x11_presence.hpp"

#include "platform/x11/x11_connection.hpp"

#include <unistd.h>

#include <cstring>

namespace tilewise {

namespace {

xcb_atom_t runningAtom(X11Connection& x)
{
    auto cookie = xcb_intern_atom(x.xcb(), 0, static_cast<std::uint16_t>(std::strlen(runningPropertyName)),
                                  runningPropertyName);
    XPtr<xcb_intern_atom_reply_t> reply = x.reply<xcb_intern_atom_reply_t>(cookie);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

void announceRunning(X11Connection& x)
{
    xcb_atom_t atom = runningAtom(x);
    if (atom == XCB_ATOM_NONE)
        return;
    std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    xcb_change_property(x.xcb(), XCB_PROP_MODE_REPLACE, x.root(), atom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    x.flush();
}

void withdrawRunning(X11Connection& x)
{
    xcb_atom_t atom = runningAtom(x);
    if (atom == XCB_ATOM_NONE)
        return;
    xcb_delete_property(x.xcb(), x.root(), atom);
    x.sync();
}

} // namespace tilewise
