#pragma once

#include "panel/controltable.h"

#include <QColor>
#include <QFont>

class QLabel;

namespace qj {

// How the panel's labels look: every label centres its text left to right; value labels carry
// a single sunken border on a solid background; name and heading labels are transparent.
// Value and name labels centre their text top to bottom too; a heading keeps its text at the
// top, level with the row of buttons it heads, however tall its rectangle was drawn. No label
// takes a press: where a caption lies over a control, the control gets it.
void styleBorderedLabel(QLabel &label, const QColor &text, const QColor &background);
void styleValueLabel(QLabel &label, DisplayColours colours);
void styleTransparentLabel(QLabel &label, const QColor &text = QColor());
void styleHeadingLabel(QLabel &label);

// The desktop's colour for menu text, the background of most value labels.
QColor menuTextColour();

// The status lamp's font: 10.5 point 宋体, or the first Simplified Chinese face installed.
QFont statusFont();

} // namespace qj
