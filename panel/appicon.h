#pragma once

#include <QIcon>
#include <QImage>

namespace qj {

// The window's own 32 x 32 icon: a microphone beside three level bars on a dark tile.
QImage appIconImage();
QIcon appIcon();

} // namespace qj
