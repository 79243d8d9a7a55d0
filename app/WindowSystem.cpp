#include "WindowSystem.h"

#include <QGuiApplication>
#include <QWidget>

#include <cstdlib>

#if defined(KORVEX_HAVE_XCB) && QT_CONFIG(xcb)
#include <xcb/xcb.h>

namespace {

xcb_connection_t* X11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The WINDOW held by `atom` on `window`, or 0.
xcb_window_t WindowProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom)
{
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
    xcb_window_t value = 0;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        value = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return value;
}

} // namespace
#endif

QPoint ClientPosition(QWidget* window)
{
#if defined(KORVEX_HAVE_XCB) && QT_CONFIG(xcb)
    if (xcb_connection_t* c = X11Connection()) {
        const auto id = static_cast<xcb_window_t>(window->winId());
        xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr);
        if (geometry) {
            xcb_translate_coordinates_reply_t* at =
                xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, id, geometry->root, 0, 0), nullptr);
            std::free(geometry);
            if (at) {
                const qreal ratio = window->devicePixelRatioF();
                const QPoint p(qRound(at->dst_x / ratio), qRound(at->dst_y / ratio));
                std::free(at);
                return p;
            }
        }
    }
#endif
    return window->geometry().topLeft();
}

bool X11WindowManagerRunning()
{
#if defined(KORVEX_HAVE_XCB) && QT_CONFIG(xcb)
    xcb_connection_t* c = X11Connection();
    if (!c)
        return false;
    static const char kName[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof kName - 1, kName), nullptr);
    const xcb_atom_t check = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(atom);
    if (check == XCB_ATOM_NONE)
        return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t wm = screen ? WindowProperty(c, screen->root, check) : 0;
    // A window manager that ended leaves the root's property behind, but
    // not its window.
    return wm != 0 && WindowProperty(c, wm, check) == wm;
#else
    return false;
#endif
}
