#include "panel/commandbutton.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

namespace qj {

namespace {
constexpr int kFocusInset = 4; // the focus frame runs inside the 2-pixel bevel
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
} // namespace

CommandButton::CommandButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
{
    setAutoDefault(false);
}

QColor CommandButton::colourOf(ButtonColour colour, const QPalette &palette)
{
    switch (colour) {
    case ButtonColour::Red:
        return kRed;
    case ButtonColour::Green:
        return kGreen;
    case ButtonColour::Face:
        break;
    }
    return palette.color(QPalette::Active, QPalette::Button);
}

void CommandButton::setBackColour(ButtonColour colour)
{
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
}

void CommandButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QBrush fill(colourOf(m_colour, palette()));
    const bool sunken = isDown();
    qDrawWinButton(&painter, rect(), palette(), sunken, &fill);

    // A pressed button's caption moves one pixel down and right, as on a classic bevel.
    const QRect textRect = sunken ? rect().translated(1, 1) : rect();
    style()->drawItemText(&painter, textRect, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), text(), QPalette::ButtonText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset);
        focus.backgroundColor = fill.color();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

} // namespace qj
