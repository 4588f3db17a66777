#pragma once

#include "params/panelaccess.h"

#include <QPushButton>

namespace qj {

// A command button whose BackColor shows as a solid colour whatever the style: it paints its
// own face (a classic raised bevel filled with the colour), so red is RGB(255, 0, 0) and
// green RGB(0, 255, 0) to the pixel. Button face is the palette's button colour.
class CommandButton : public QPushButton
{
    Q_OBJECT

public:
    explicit CommandButton(const QString &caption, QWidget *parent = nullptr);

    ButtonColour backColour() const { return m_colour; }
    void setBackColour(ButtonColour colour); // raises nothing

    static QColor colourOf(ButtonColour colour, const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ButtonColour m_colour = ButtonColour::Face;
};

} // namespace qj
