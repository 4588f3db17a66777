#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace qj {

// How the window meets a screen too small for it (a 1366 x 768 laptop at 125 % leaves about
// 1093 x 614): the client area scrolls inside what the screen has, so the menu bar and the
// bottom row stay reachable. On a screen with room the fixed layout is unchanged.
struct WindowFit
{
    bool scrolls = false;
    QSize size; // the window's size, without the window manager's frame
};

// `natural`: the window as designed, menu bar included; `room`: what the screen leaves for it
// inside the frame; `scrollBar`: the width a scroll bar takes. The window never grows beyond its
// natural size plus the scroll bars it needs.
WindowFit fitWindow(QSize natural, QSize room, int scrollBar);

// Whether the window can open at `frame` (its frame included): wholly on the free area of one
// of the screens, so its title bar and its edges can be reached.
bool placeOnScreens(const QRect &frame, const QList<QRect> &available);

} // namespace qj
