#include "params/buttonhandler.h"

#include "params/parametermap.h"

namespace qj {

ButtonHandler::ButtonHandler(PanelAccess &panel, CommandSender &sender)
    : m_panel(panel), m_sender(sender)
{}

void ButtonHandler::GroupClick(Group group, int index)
{
    const ButtonGroup &g = buttonGroup(group);
    if (index < 0 || index >= g.count)
        return;
    const bool online = m_sender.online();
    // The run mode is the processor's own choice: offline it does not even change colour.
    if (group == Group::RunMode && !online)
        return;

    for (int i = 0; i < g.count; ++i)
        m_panel.setButtonColour(group, i, ButtonColour::Face);
    const bool neutralKey = group == Group::MusicPitch && index == kPitchNeutralIndex;
    m_panel.setButtonColour(group, index, neutralKey ? ButtonColour::Green : ButtonColour::Red);

    if (g.wireId < 0 || !online)
        return; // the save slots only mark; offline nothing is sent
    m_sender.issue(g.cmdId(), groupValue(group, index));
}

void ButtonHandler::Mute_Click()
{
    // Mute waits its turn: it never replaces a command still waiting for its acknowledgement.
    if (m_sender.commandPending())
        return;
    const bool muted = m_panel.muteColour() == ButtonColour::Red;
    m_panel.setMuteColour(muted ? ButtonColour::Face : ButtonColour::Red);
    m_sender.issue(parameter(wire::kStatus).cmdId(), wire::kMuteValue);
}

void ButtonHandler::CheckBoxClick(Control box)
{
    // A box disabled around a program change sends nothing.
    if (!m_sender.online() || !m_panel.isEnabled(box))
        return;
    const int wireId = box == Control::SuperBass ? wire::kSuperBass : wire::kSubwoofPhase;
    m_sender.issue(parameter(wireId).cmdId(), m_panel.value(box) != 0 ? 1 : 0);
}

void ButtonHandler::OptionClick(Control option)
{
    if (!m_sender.online() || !m_panel.isEnabled(option))
        return;
    m_sender.issue(parameter(wire::kSurround).cmdId(), option == Control::SurroundMode1 ? 0 : 1);
}

} // namespace qj
