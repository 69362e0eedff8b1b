#include "platform/x11/x11_view.hpp"

#include <array>
#include <unordered_set>

namespace tilewise {

namespace {

// Whether an event came after a read whose request had `since` as its
// sequence number: events carry the number of the last request the server
// had handled, so an older one is already in what the read returned.
bool after(std::uint32_t eventSequence, std::uint32_t since)
{
    return std::int32_t(eventSequence - since) >= 0;
}

const XProperty kNoProperty;

} // namespace

const XProperty& X11View::Window::property(xcb_atom_t atom) const
{
    auto it = properties.find(atom);
    return it == properties.end() ? kNoProperty : it->second.value;
}

ClientGeometry X11View::Window::geometry(const X11Connection& x) const
{
    ClientGeometry g;
    g.client = client;
    g.border = border;
    g.wm = FrameExtents::fromProperty(property(x.ewmhAtoms()._NET_FRAME_EXTENTS).cardinals());
    g.gtk = FrameExtents::fromProperty(property(x.atoms().gtkFrameExtents).cardinals());
    return g;
}

X11View::X11View(X11Connection& x) : x_(x)
{
    observer_ = x_.addEventObserver([this](const xcb_generic_event_t& e) { handleEvent(e); });
}

X11View::~X11View()
{
    x_.removeEventObserver(observer_);
}

std::vector<xcb_atom_t> X11View::clientAtoms() const
{
    const xcb_ewmh_connection_t& e = x_.ewmhAtoms();
    const X11Connection::Atoms& a = x_.atoms();
    return {e._NET_WM_WINDOW_TYPE,      e._NET_WM_STATE,          e._NET_WM_PID,        XCB_ATOM_WM_CLASS,
            XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_WM_NORMAL_HINTS, e._NET_FRAME_EXTENTS, a.gtkFrameExtents,
            e._NET_WM_STRUT_PARTIAL,    e._NET_WM_STRUT,          a.gtkApplicationId,   a.kdeDesktopFile,
            a.bamfDesktopFile};
}

void X11View::beginRead()
{
    if (following_)
        return;
    rootStale_ = monitorsStale_ = treeStale_ = true;
    windows_.clear();
    topLevel_.clear();
}

void X11View::newOperation()
{
    monitorsStale_ = true;
}

void X11View::prefetchMonitors()
{
    if (!following_ || prefetched_)
        return;
    prefetched_ = requestMonitors(x_);
    x_.flush();
}

X11View::Window& X11View::record(xcb_window_t w, bool client)
{
    auto [it, added] = windows_.try_emplace(w);
    Window& r = it->second;
    if (added)
        r.id = w;
    if (client && !r.isClient) {
        r.isClient = true;
        for (xcb_atom_t a : clientAtoms())
            r.properties.try_emplace(a);
    }
    return r;
}

const X11View::Root& X11View::root()
{
    update();
    return root_;
}

const X11View::Window* X11View::window(xcb_window_t w)
{
    if (w == XCB_WINDOW_NONE)
        return nullptr;
    // A window not met yet is read as a client; the check window and the
    // other top-level windows keep what they are.
    if (!windows_.contains(w))
        record(w, true);
    update();
    auto it = windows_.find(w);
    return it == windows_.end() ? nullptr : &it->second;
}

const X11View::Window* X11View::known(xcb_window_t w) const
{
    auto it = windows_.find(w);
    return it == windows_.end() || it->second.geometryStale ? nullptr : &it->second;
}

std::vector<const X11View::Window*> X11View::clients()
{
    update();
    std::vector<const Window*> out;
    for (xcb_window_t w : root_.clients) {
        if (auto it = windows_.find(w); it != windows_.end())
            out.push_back(&it->second);
    }
    return out;
}

std::vector<const X11View::Window*> X11View::unmanagedTopLevels()
{
    update();
    std::unordered_set<xcb_window_t> managed(root_.clients.begin(), root_.clients.end());
    std::vector<const Window*> out;
    for (const auto& [w, unused] : topLevel_) {
        auto it = windows_.find(w);
        if (it != windows_.end() && !managed.contains(w))
            out.push_back(&it->second);
    }
    return out;
}

// The requests of one batch: what is stale, asked for all at once.
struct X11View::Pending {
    struct Fetch {
        xcb_window_t id;
        std::optional<xcb_get_window_attributes_cookie_t> attributes;
        std::optional<xcb_get_geometry_cookie_t> geometry;
        std::optional<xcb_query_tree_cookie_t> tree;
        std::optional<xcb_translate_coordinates_cookie_t> origin;
        std::vector<std::pair<xcb_atom_t, xcb_get_property_cookie_t>> properties;
    };
    std::optional<std::array<xcb_get_property_cookie_t, 7>> root;
    std::optional<MonitorRequest> monitors;
    std::optional<xcb_query_tree_cookie_t> tree;
    std::vector<Fetch> fetches;
};

void X11View::update()
{
    // What has arrived so far is applied before deciding what to ask.
    x_.eventMark();
    xcb_ewmh_connection_t& e = x_.ewmh();
    if (!selectedRoot_) {
        // Selected before the first read, so that nothing changes unseen
        // between the read and the events.
        x_.selectInput(x_.root(), XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        selectedRoot_ = true;
    }
    // The root, then the windows it names: two batches at most, a third
    // only for windows that appeared meanwhile.
    for (int batch = 0; batch < 3; ++batch) {
        Pending p;
        if (rootStale_) {
            rootSince_ = x_.requestProperty(x_.root(), e._NET_ACTIVE_WINDOW, 1).sequence;
            p.root = std::array{
                xcb_get_property_cookie_t{rootSince_},
                x_.requestProperty(x_.root(), e._NET_CLIENT_LIST, UINT32_MAX / 4),
                x_.requestProperty(x_.root(), e._NET_CLIENT_LIST_STACKING, UINT32_MAX / 4),
                x_.requestProperty(x_.root(), e._NET_SUPPORTED, 4096),
                x_.requestProperty(x_.root(), e._NET_SUPPORTING_WM_CHECK, 1),
                x_.requestProperty(x_.root(), e._NET_WORKAREA, UINT32_MAX / 4),
                x_.requestProperty(x_.root(), e._NET_CURRENT_DESKTOP, 1),
            };
        }
        if (monitorsStale_) {
            p.monitors = prefetched_ ? *prefetched_ : requestMonitors(x_);
            prefetched_.reset();
        }
        if (treeStale_) {
            p.tree = xcb_query_tree(x_.xcb(), x_.root());
            treeSince_ = p.tree->sequence;
        }
        for (auto& [id, w] : windows_) {
            Pending::Fetch f{id, {}, {}, {}, {}, {}};
            bool any = w.attributesStale || w.geometryStale;
            for (const auto& [atom, prop] : w.properties)
                any = any || prop.stale;
            if (!any)
                continue;
            if (w.isClient)
                x_.selectInput(id, XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY);
            if (w.attributesStale) {
                f.attributes = xcb_get_window_attributes(x_.xcb(), id);
                w.attributesSince = f.attributes->sequence;
            }
            if (w.geometryStale) {
                f.geometry = xcb_get_geometry(x_.xcb(), id);
                f.tree = xcb_query_tree(x_.xcb(), id);
                f.origin = xcb_translate_coordinates(x_.xcb(), id, x_.root(), 0, 0);
                w.geometrySince = f.geometry->sequence;
            }
            for (auto& [atom, prop] : w.properties) {
                if (!prop.stale)
                    continue;
                f.properties.emplace_back(atom, x_.requestProperty(id, atom, 1024));
                prop.since = f.properties.back().second.sequence;
            }
            p.fetches.push_back(std::move(f));
        }
        if (!p.root && !p.monitors && !p.tree && p.fetches.empty())
            return;

        // Every reply is collected, whatever failed, so none is left behind.
        if (p.root) {
            std::array<XProperty, 7> v;
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = x_.property((*p.root)[i]);
            auto first = [](const XProperty& prop) {
                return prop.cardinals().empty() ? xcb_window_t(XCB_WINDOW_NONE) : prop.cardinals()[0];
            };
            root_.active = first(v[0]);
            root_.clients.assign(v[1].cardinals().begin(), v[1].cardinals().end());
            root_.hasStacking = v[2].exists();
            root_.stacking.assign(v[2].cardinals().begin(), v[2].cardinals().end());
            root_.supported.assign(v[3].cardinals().begin(), v[3].cardinals().end());
            root_.wmCheck = first(v[4]);
            root_.workarea = workareaOfDesktop(v[5].cardinals(), first(v[6]));
            rootStale_ = false;
            for (xcb_window_t w : root_.clients)
                record(w, true);
            if (root_.wmCheck != XCB_WINDOW_NONE) {
                Window& check = record(root_.wmCheck, false);
                check.properties.try_emplace(e._NET_SUPPORTING_WM_CHECK);
            }
        }
        if (p.monitors) {
            root_.monitors = collectMonitors(x_, *p.monitors);
            monitorsStale_ = false;
            // Their names go with the next batch, or the next read.
            std::vector<xcb_atom_t> names;
            for (const auto& m : root_.monitors.monitors)
                names.push_back(m.first);
            x_.prefetchAtomNames(names);
        }
        if (p.tree) {
            if (auto tree = x_.reply<xcb_query_tree_reply_t>(*p.tree)) {
                const xcb_window_t* ids = xcb_query_tree_children(tree.get());
                for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
                    topLevel_[ids[i]] = true;
                    record(ids[i], false);
                }
            }
            treeStale_ = false;
        }
        for (Pending::Fetch& f : p.fetches) {
            auto attributes =
                f.attributes ? x_.reply<xcb_get_window_attributes_reply_t>(*f.attributes) : nullptr;
            auto geometry = f.geometry ? x_.reply<xcb_get_geometry_reply_t>(*f.geometry) : nullptr;
            auto tree = f.tree ? x_.reply<xcb_query_tree_reply_t>(*f.tree) : nullptr;
            auto origin = f.origin ? x_.reply<xcb_translate_coordinates_reply_t>(*f.origin) : nullptr;
            std::vector<std::pair<xcb_atom_t, XProperty>> values;
            for (auto& [atom, cookie] : f.properties)
                values.emplace_back(atom, XProperty(x_.reply<xcb_get_property_reply_t>(cookie)));
            auto it = windows_.find(f.id);
            if (it == windows_.end())
                continue; // destroyed while the replies were on their way
            Window& w = it->second;
            // A window that is gone answers nothing but errors.
            if ((f.attributes && !attributes) || (f.geometry && (!geometry || !tree || !origin))) {
                windows_.erase(it);
                topLevel_.erase(f.id);
                continue;
            }
            if (attributes) {
                w.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
                w.inputOnly = attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY;
                w.overrideRedirect = attributes->override_redirect;
                w.attributesStale = false;
            }
            if (geometry) {
                const double bw = geometry->border_width;
                // TranslateCoordinates gives the origin inside the border.
                w.client = Rect(origin->dst_x - bw, origin->dst_y - bw, geometry->width + 2 * bw,
                                geometry->height + 2 * bw);
                w.border = bw;
                w.inParent = Point{double(geometry->x), double(geometry->y)};
                w.parent = tree->parent;
                w.geometryStale = false;
            }
            for (auto& [atom, value] : values) {
                auto& prop = w.properties[atom];
                prop.value = std::move(value);
                prop.stale = false;
            }
        }
    }
}

void X11View::markTopLevelMoved(xcb_window_t frame)
{
    const auto it = windows_.find(frame);
    for (auto& [id, w] : windows_) {
        if (!w.isClient || w.parent == x_.root() || id == frame)
            continue;
        if (w.parent == frame && it != windows_.end() && !it->second.geometryStale) {
            // A client straight inside the frame moves with it.
            const Window& f = it->second;
            w.client.origin =
                Point{f.client.x() + f.border + w.inParent.x, f.client.y() + f.border + w.inParent.y};
        } else if (w.parent == frame || !topLevel_.contains(w.parent)) {
            // Deeper inside a frame of unknown shape: read again.
            w.geometryStale = true;
        }
    }
}

void X11View::handleEvent(const xcb_generic_event_t& ev)
{
    const std::uint8_t type = ev.response_type & 0x7f;
    const bool synthetic = ev.response_type & 0x80;
    const std::uint32_t seq = ev.full_sequence;
    auto find = [this](xcb_window_t w) -> Window* {
        auto it = windows_.find(w);
        return it == windows_.end() ? nullptr : &it->second;
    };
    switch (type) {
    case XCB_PROPERTY_NOTIFY: {
        const auto& p = reinterpret_cast<const xcb_property_notify_event_t&>(ev);
        if (p.window == x_.root()) {
            if (after(seq, rootSince_))
                rootStale_ = true;
            return;
        }
        Window* w = find(p.window);
        if (!w)
            return;
        auto it = w->properties.find(p.atom);
        if (it == w->properties.end() || !after(seq, it->second.since))
            return;
        if (p.state == XCB_PROPERTY_DELETE) {
            // Known without asking.
            it->second.value = XProperty();
            it->second.stale = false;
            it->second.since = seq;
        } else {
            it->second.stale = true;
        }
        return;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto& c = reinterpret_cast<const xcb_configure_notify_event_t&>(ev);
        Window* w = find(c.window);
        if (!w || !after(seq, w->geometrySince))
            return;
        const double bw = c.border_width;
        const Size size{c.width + 2 * bw, c.height + 2 * bw};
        if (synthetic) {
            // The window manager's word, in root coordinates: all there is
            // to know, however deep the window sits in its frame.
            w->client = Rect(c.x, c.y, size.width, size.height);
            w->border = bw;
            w->geometryStale = false;
            return;
        }
        if (w->geometryStale) {
            if (topLevel_.contains(c.window))
                markTopLevelMoved(c.window);
            return;
        }
        const Rect before = w->client;
        w->client.size = size;
        w->border = bw;
        w->inParent = Point{double(c.x), double(c.y)};
        if (w->parent == x_.root()) {
            w->client.origin = w->inParent;
        } else if (Window* parent = find(w->parent);
                   parent && topLevel_.contains(w->parent) && !parent->geometryStale) {
            w->client.origin =
                Point{parent->client.x() + parent->border + c.x, parent->client.y() + parent->border + c.y};
        } else {
            w->geometryStale = true;
        }
        if (topLevel_.contains(c.window) && w->client != before)
            markTopLevelMoved(c.window);
        return;
    }
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY: {
        // Both events start with the event and window fields.
        const auto& m = reinterpret_cast<const xcb_map_notify_event_t&>(ev);
        Window* w = find(m.window);
        if (!w || !after(seq, w->attributesSince))
            return;
        if (type == XCB_UNMAP_NOTIFY)
            w->viewable = false;
        else if (w->parent == x_.root() || topLevel_.contains(m.window))
            w->viewable = true;
        else
            w->attributesStale = true; // viewable only where its frame is
        if (topLevel_.contains(m.window)) {
            for (auto& [id, client] : windows_) {
                if (client.isClient && id != m.window &&
                    (client.parent == m.window || !topLevel_.contains(client.parent)))
                    client.attributesStale = true;
            }
        }
        return;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto& d = reinterpret_cast<const xcb_destroy_notify_event_t&>(ev);
        windows_.erase(d.window);
        topLevel_.erase(d.window);
        return;
    }
    case XCB_REPARENT_NOTIFY: {
        const auto& r = reinterpret_cast<const xcb_reparent_notify_event_t&>(ev);
        if (r.parent == x_.root()) {
            topLevel_[r.window] = true;
            record(r.window, false);
        } else if (topLevel_.erase(r.window)) {
            // Gone from sight, events and all, unless it is a client,
            // whose own events follow it.
            if (Window* w = find(r.window); w && !w->isClient) {
                windows_.erase(r.window);
                return;
            }
        }
        if (Window* w = find(r.window)) {
            w->parent = r.parent;
            w->geometryStale = true;
            w->attributesStale = true;
        }
        return;
    }
    case XCB_CREATE_NOTIFY: {
        const auto& c = reinterpret_cast<const xcb_create_notify_event_t&>(ev);
        if (c.parent != x_.root() || !after(seq, treeSince_))
            return;
        topLevel_[c.window] = true;
        record(c.window, false); // its class is asked for with the next read
        return;
    }
    default:
        return;
    }
}

} // namespace tilewise
