#pragma once

#include "link/linkstate.h"
#include "params/panelaccess.h"
#include "params/parametermap.h"

#include <array>
#include <functional>

namespace qj {

// What a report of each id does to the panel.
enum class RowKind {
    None,           // accepted, nothing changes
    Status,         // 10 paints Mute red
    Level,          // number label, slider at Max - value
    Gain,           // dB label around 10
    Balance,        // dB distance from 10
    Range,          // slider not starting at 0: values below 40 count as 40, label with unit
    ButtonGroup,    // the reported button lit
    Source,         // bit field: bit 3 "Auto", bits 0..2 the source
    GuardedCheck,   // check box set while disabled, so its handler sends nothing
    OptionPair,     // surround option selected; its handler runs and may send
    GuardedSpinner, // limit spinner and its label set while disabled
};

struct ReportRow
{
    RowKind kind;
    int limit;       // values above it are refused; -1: none. The parameter's max.
    Group group;     // ButtonGroup and Source rows
    Control control; // GuardedCheck and GuardedSpinner rows
    bool goesOnline; // rows 36 and 37 complete a connection
};

inline constexpr int kReportRows = kParameterCount; // report id n is wire id n
inline constexpr int kRangeFloor = 40; // reports below it are raised to it on the range rows

const std::array<ReportRow, kReportRows> &reportRows();

// Applies an accepted report frame to the panel. Reads RxId and RxValue, may rewrite RxValue,
// and sets RxReply to the reject byte when the value is over the row's limit. An accepted report
// of id 36 or 37 then calls `completesConnection` (the link's online transition).
class ReportTable
{
public:
    ReportTable(PanelAccess &panel, std::function<void()> completesConnection);

    void apply(ReceiveState &rx);

private:
    void applyRow(const ReportRow &row, ReceiveState &rx);
    void showSlider(int wireId, int parameterValue, const QString &caption);
    void lightGroup(Group group, int index);

    PanelAccess &m_panel;
    std::function<void()> m_completesConnection;
};

} // namespace qj
