#include "link/reporttable.h"

#include "link/frame.h"
#include "params/labeltext.h"
#include "params/parametermap.h"

#include <algorithm>

namespace qj {

namespace {

using R = RowKind;
constexpr Group kNoGroup = Group::SaveMode;        // placeholder for rows without a group
constexpr Control kNoControl = Control::SuperBass; // placeholder for rows without a control

// A row's limit is the largest value its parameter takes, which is the Max of its slider or
// spinner, the last index of its button group, or 1 for a check box or the option pair. The
// status and source rows refuse nothing.
constexpr int limitOf(R kind, int wireId)
{
    return kind == R::Status || kind == R::Source || kind == R::None ? -1 : parameter(wireId).max;
}

constexpr ReportRow row(R kind)
{
    return {kind, -1, kNoGroup, kNoControl, false};
}
constexpr ReportRow group(Group g)
{
    return {R::ButtonGroup, -1, g, kNoControl, false};
}
constexpr ReportRow guarded(R kind, Control c)
{
    return {kind, -1, kNoGroup, c, false};
}
constexpr ReportRow online(ReportRow r)
{
    r.goesOnline = true;
    return r;
}

// The limits are filled in from the parameter table, row by row.
constexpr std::array<ReportRow, kReportRows> withLimits(std::array<ReportRow, kReportRows> rows)
{
    for (int id = 0; id < kReportRows; ++id) {
        ReportRow &r = rows[static_cast<std::size_t>(id)];
        r.limit = limitOf(r.kind, id);
    }
    return rows;
}

// Indexed by report id (the wire id).
constexpr std::array<ReportRow, kReportRows> kRows = withLimits({{
    row(R::Status),                                         // 0 Mute
    row(R::Level),                                          // 1 EchoDelay
    row(R::Level),                                          // 2 EchoRepat
    row(R::Level),                                          // 3 ReverbTime
    row(R::Level),                                          // 4 ReverbVolume
    row(R::Level),                                          // 5 EffectVolume
    row(R::Gain),                                           // 6 MicEQ100Hz
    row(R::Gain),                                           // 7 MicEQ300Hz
    row(R::Gain),                                           // 8 MicEQ900Hz
    row(R::Gain),                                           // 9 MicEQ2k7Hz
    row(R::Gain),                                           // 10 MicEQ8kHz
    row(R::Level),                                          // 11 MicExciter
    group(Group::EchoMode),                                 // 12
    group(Group::FeedbackClass),                            // 13
    row(R::Range),                                          // 14 FeedbackTime, ms
    row(R::Gain),                                           // 15 MusicTreble
    row(R::Gain),                                           // 16 MusicMid
    row(R::Gain),                                           // 17 MusicBass
    group(Group::MusicPitch),                               // 18
    group(Group::MusicVocal),                               // 19
    row(R::Range),                                          // 20 SubwoofLpf, Hz
    row(R::Balance),                                        // 21 MusicBalance
    guarded(R::GuardedCheck, Control::SuperBass),           // 22
    row(R::Level),                                          // 23 MicNoiseGate
    row(R::OptionPair),                                     // 24 SurroundMode1/2
    row(R::Level),                                          // 25 SingSubwoofVolume
    {R::Source, -1, Group::MusicSelect, kNoControl, false}, // 26
    group(Group::KaraokeMode),                              // 27
    guarded(R::GuardedCheck, Control::SubwoofPhase),        // 28
    guarded(R::GuardedSpinner, Control::MaxMusicVolume),    // 29
    guarded(R::GuardedSpinner, Control::MaxMicVolume),      // 30
    row(R::Level),                                          // 31 MusicVolume
    row(R::Level),                                          // 32 MicVolume
    row(R::Level),                                          // 33 SurroundVolume
    row(R::Level),                                          // 34 CenterVolume
    row(R::Level),                                          // 35 SubwoofVolume
    online(row(R::Level)),                                  // 36 BgmVolume
    online(group(Group::RunMode)),                          // 37
}});

// Each row's kind is the receive side of its parameter's kind.
constexpr bool rowsMatchTheParameters()
{
    for (int id = 0; id < kReportRows; ++id) {
        const R kind = kRows[static_cast<std::size_t>(id)].kind;
        const ControlKind k = parameter(id).kind;
        const bool slider =
            kind == R::Level || kind == R::Gain || kind == R::Balance || kind == R::Range;
        const bool isGroup = kind == R::ButtonGroup || kind == R::Source;
        if (slider != (k == ControlKind::Slider) || isGroup != (k == ControlKind::Group) ||
            (kind == R::GuardedCheck) != (k == ControlKind::CheckBox) ||
            (kind == R::OptionPair) != (k == ControlKind::Options) ||
            (kind == R::GuardedSpinner) != (k == ControlKind::Spinner) ||
            (kind == R::Status) != (k == ControlKind::Status))
            return false;
    }
    return true;
}
static_assert(rowsMatchTheParameters(), "every report row handles its parameter's kind");

} // namespace

const std::array<ReportRow, kReportRows> &reportRows()
{
    return kRows;
}

ReportTable::ReportTable(PanelAccess &panel, std::function<void()> completesConnection)
    : m_panel(panel), m_completesConnection(std::move(completesConnection))
{}

void ReportTable::apply(ReceiveState &rx)
{
    if (rx.RxId >= kReportRows)
        return; // ids without a row are accepted and change nothing
    const ReportRow &row = kRows[rx.RxId];
    if (row.limit >= 0 && rx.RxValue > row.limit) {
        rx.RxReply[0] = frame::kReject;
        return;
    }
    applyRow(row, rx);
    if (row.goesOnline)
        m_completesConnection();
}

void ReportTable::applyRow(const ReportRow &row, ReceiveState &rx)
{
    const int id = rx.RxId;
    switch (row.kind) {
    case R::None:
        return;
    case R::Status:
        if (rx.RxValue == wire::kMuteValue)
            m_panel.setMuteColour(ButtonColour::Red);
        return;
    case R::Level:
    case R::Gain:
    case R::Balance:
        showSlider(id, rx.RxValue, labelText(parameter(id).style, rx.RxValue));
        return;
    case R::Range:
        rx.RxValue = std::max<std::uint8_t>(rx.RxValue, kRangeFloor);
        showSlider(id, rx.RxValue, labelText(parameter(id).style, rx.RxValue));
        return;
    case R::ButtonGroup:
        lightGroup(row.group, rx.RxValue);
        return;
    case R::Source: {
        rx.RxValue &= 0x0F;
        const ButtonGroup &g = buttonGroup(Group::MusicSelect);
        for (int i = 0; i < g.count; ++i)
            m_panel.setButtonColour(Group::MusicSelect, i, ButtonColour::Face);
        if (rx.RxValue & kSelectAutoValue)
            m_panel.setButtonColour(Group::MusicSelect, kSelectAutoIndex, ButtonColour::Red);
        // Sources 6 and 7 have no button: only "Auto" (if set) stays lit.
        const int source = rx.RxValue & 7;
        if (source < g.count)
            m_panel.setButtonColour(Group::MusicSelect, source, ButtonColour::Red);
        return;
    }
    case R::GuardedCheck:
        m_panel.setEnabled(row.control, false);
        m_panel.setValue(row.control, rx.RxValue);
        m_panel.setEnabled(row.control, true);
        return;
    case R::OptionPair:
        // Not held off: the option's own handler runs and, while online, sends the choice.
        m_panel.setValue(rx.RxValue == 0 ? Control::SurroundMode1 : Control::SurroundMode2, 1);
        return;
    case R::GuardedSpinner:
        m_panel.setEnabled(row.control, false);
        m_panel.setValue(row.control, rx.RxValue); // the spinner keeps within its own range
        m_panel.setDisplayCaption(id, QString::number(rx.RxValue));
        m_panel.setEnabled(row.control, true);
        return;
    }
}

void ReportTable::showSlider(int wireId, int parameterValue, const QString &caption)
{
    m_panel.setDisplayCaption(wireId, caption);
    const int min = m_panel.sliderMin(wireId);
    const int max = m_panel.sliderMax(wireId);
    // A value the track cannot show (under a lowered limit, or below the range's floor) keeps
    // its text on the label and puts the thumb at the nearest end.
    m_panel.setSliderValue(wireId, std::clamp(min + max - parameterValue, min, max));
}

void ReportTable::lightGroup(Group group, int index)
{
    const ButtonGroup &g = buttonGroup(group);
    for (int i = 0; i < g.count; ++i)
        m_panel.setButtonColour(group, i, ButtonColour::Face);
    const bool neutralKey = group == Group::MusicPitch && index == kPitchNeutralIndex;
    m_panel.setButtonColour(group, index, neutralKey ? ButtonColour::Green : ButtonColour::Red);
}

} // namespace qj
