#pragma once

#include <QCheckBox>
#include <QRadioButton>

namespace qj {

// A check box or option button that takes a press anywhere in its rectangle, as the panel
// draws it, not only on its mark and caption. The keyboard works as on the plain button.
template<typename Button>
class WholeAreaButton : public Button
{
public:
    using Button::Button;

protected:
    bool hitButton(const QPoint &pos) const override { return this->rect().contains(pos); }
};

using CheckBox = WholeAreaButton<QCheckBox>;
using OptionButton = WholeAreaButton<QRadioButton>;

} // namespace qj
