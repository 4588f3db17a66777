#pragma once

#include "panel/controltable.h"

#include <QColor>
#include <QFont>

class QLabel;

namespace qj {

// How the panel's labels look: every label centres its text; value labels carry a single
// sunken border on a solid background; name and heading labels are transparent.
void styleBorderedLabel(QLabel &label, const QColor &text, const QColor &background);
void styleValueLabel(QLabel &label, DisplayColours colours);
void styleTransparentLabel(QLabel &label, const QColor &text = QColor());

// The desktop's colour for menu text, the background of most value labels.
QColor menuTextColour();

// The status lamp's font: 10.5 point 宋体, or the first Simplified Chinese face installed.
QFont statusFont();

} // namespace qj
