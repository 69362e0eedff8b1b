// What the program knows of the server's windows: the root's EWMH
// properties, the monitors, the managed clients (geometry, map state and the
// properties the layout reads) and the other top-level windows (for panels
// the window manager draws itself).
//
// Everything is read in as few batches as the dependencies allow (the root,
// then the windows it names) and then kept current from the events selected
// on the root and on each window, so that reading it again costs no round
// trip. Values from an event older than the read they would overwrite are
// dropped, by sequence number. The monitors send no event when
// `xrandr --setmonitor` changes them, so they are read again at each
// operation.
#pragma once

#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_geometry.hpp"
#include "platform/x11/x11_window_reads.hpp"

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tilewise {

class X11View {
public:
    struct Root {
        xcb_window_t active = XCB_WINDOW_NONE;
        std::vector<xcb_window_t> clients;  // mapping order
        std::vector<xcb_window_t> stacking; // bottom to top
        bool hasStacking = false;
        std::vector<xcb_atom_t> supported;
        xcb_window_t wmCheck = XCB_WINDOW_NONE;
        std::optional<Rect> workarea; // of the current desktop
        RootInfo monitors;
    };

    struct Window {
        xcb_window_t id = XCB_WINDOW_NONE;
        bool viewable = false;
        bool inputOnly = false;
        bool overrideRedirect = false;
        xcb_window_t parent = XCB_WINDOW_NONE;
        Rect client;       // root coordinates, X border included
        double border = 0; //
        Point inParent;    // the border's corner in the parent

        // A property as last read or announced; empty when the window has none.
        const XProperty& property(xcb_atom_t atom) const;
        ClientGeometry geometry(const X11Connection& x) const;

    private:
        friend class X11View;
        struct Property {
            XProperty value;
            bool stale = true;
            std::uint32_t since = 0;
        };
        bool attributesStale = true;
        bool geometryStale = true;
        std::uint32_t attributesSince = 0;
        std::uint32_t geometrySince = 0;
        bool isClient = false; // properties are kept only for clients
        std::unordered_map<xcb_atom_t, Property> properties;
    };

    explicit X11View(X11Connection& x);
    ~X11View();
    X11View(const X11View&) = delete;
    X11View& operator=(const X11View&) = delete;

    // Following: trust the events between reads (the running program, and
    // a one-shot command, which does one operation). Otherwise every read
    // brings everything up to date from the server, for callers that change
    // windows through other connections and read at once.
    void setFollowing(bool on) { following_ = on; }
    // Where not following, forgets everything, to be read again at the
    // next use; the start of each public read of the window access.
    void beginRead();
    // A new operation begins: the monitors are read again at the next use.
    void newOperation();
    // An operation is likely to follow soon (the user holds a modifier of
    // the hot keys): the monitors are asked for now, so that the operation
    // finds them already read. Only while following.
    void prefetchMonitors();

    // Up to date when returned; valid until the next call into the view.
    const Root& root();
    // A managed client, the window manager's check window, or any window
    // asked for by id; none when it is gone.
    const Window* window(xcb_window_t w);
    // The window as the events so far show it, without asking the server;
    // none when it is not known or its geometry must be read again.
    const Window* known(xcb_window_t w) const;
    // The managed clients and the other windows that are children of the root.
    std::vector<const Window*> clients();
    std::vector<const Window*> unmanagedTopLevels();
    // The properties kept for each client.
    std::vector<xcb_atom_t> clientAtoms() const;

    // Every event the connection reads passes through here.
    void handleEvent(const xcb_generic_event_t& e);

private:
    struct Pending;
    void update();
    void forgetAll();
    Window& record(xcb_window_t w, bool client);
    void markTopLevelMoved(xcb_window_t frame);

    X11Connection& x_;
    int observer_ = 0;
    bool following_ = false;
    bool selectedRoot_ = false;
    bool rootStale_ = true;
    bool monitorsStale_ = true;
    std::optional<MonitorRequest> prefetched_;
    bool treeStale_ = true;
    std::uint32_t rootSince_ = 0;
    std::uint32_t treeSince_ = 0;
    Root root_;
    std::unordered_map<xcb_window_t, Window> windows_;
    std::unordered_map<xcb_window_t, bool> topLevel_; // children of the root
};

} // namespace tilewise
