#pragma once

#include <QIcon>
#include <QImage>

namespace qj {

// The window's own icon: a microphone beside three level bars on a dark tile. It is drawn on a
// 32 x 32 grid, pixel for pixel at that size, and scaled for any other; the menu entry's
// icons (packaging/) are rendered from the same drawing.
QImage appIconImage(int side = 32);
QIcon appIcon();

} // namespace qj
