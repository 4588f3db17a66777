#include "bench/mapwatcher.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

namespace qj::bench {

namespace {

Display *dpy(void *d)
{
    return static_cast<Display *>(d);
}

std::string property(Display *d, Window w, Atom name)
{
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    std::string text;
    if (XGetWindowProperty(d, w, name, 0, 1024, False, AnyPropertyType, &type, &format, &items,
                           &after, &data) == Success &&
        data) {
        if (format == 8)
            text.assign(reinterpret_cast<const char *>(data), items);
        XFree(data);
    }
    return text;
}

} // namespace

MapWatcher::~MapWatcher()
{
    if (m_display)
        XCloseDisplay(dpy(m_display));
}

bool MapWatcher::open()
{
    if (m_display)
        return true;
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return false;
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    XSync(d, False);
    m_display = d;
    return true;
}

void MapWatcher::drain()
{
    Display *d = dpy(m_display);
    XSync(d, False);
    while (XPending(d) > 0) {
        XEvent e;
        XNextEvent(d, &e);
    }
}

std::string MapWatcher::titleOf(unsigned long window)
{
    Display *d = dpy(m_display);
    std::string title = property(d, window, XInternAtom(d, "_NET_WM_NAME", False));
    if (title.empty())
        title = property(d, window, XA_WM_NAME);
    return title;
}

std::optional<MapWatcher::Mapped> MapWatcher::waitForWindow(const std::string &title,
                                                            std::chrono::milliseconds timeout)
{
    Display *d = dpy(m_display);
    const TimePoint deadline = Clock::now() + timeout;
    for (;;) {
        while (XPending(d) > 0) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type != MapNotify)
                continue;
            const TimePoint at = Clock::now();
            if (titleOf(e.xmap.window).find(title) != std::string::npos)
                return Mapped{e.xmap.window, at};
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
    }
}

} // namespace qj::bench
