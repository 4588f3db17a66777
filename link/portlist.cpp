#include "link/portlist.h"

#include <QRegularExpression>

#include <algorithm>
#include <set>

namespace qj {

namespace {

// The number an unbound built-in port stands for: /dev/ttyS<n-1> is port n.
std::optional<int> builtInNumber(const QString &device)
{
    static const QRegularExpression builtIn(QStringLiteral("^/dev/ttyS(\\d{1,2})$"));
    const QRegularExpressionMatch m = builtIn.match(device);
    if (!m.hasMatch())
        return std::nullopt;
    const int number = m.captured(1).toInt() + 1;
    return PortBindings::isValidNumber(number) ? std::optional<int>(number) : std::nullopt;
}

} // namespace

QString PortRow::usbId() const
{
    if (!port.vendorId || !port.productId)
        return {};
    return QStringLiteral("%1:%2")
        .arg(*port.vendorId, 4, 16, QLatin1Char('0'))
        .arg(*port.productId, 4, 16, QLatin1Char('0'));
}

std::vector<PortRow> portRows(const std::vector<FoundPort> &found, const PortBindings &bindings,
                              const std::function<bool(const QString &)> &exists)
{
    std::vector<PortRow> rows;
    std::set<QString> listed;
    for (const FoundPort &port : found) {
        if (port.device.isEmpty() || !listed.insert(port.device).second)
            continue;
        const std::optional<int> number = bindings.numberBoundTo(port.device);
        rows.push_back({number.value_or(0), number.has_value(), true, port});
    }
    for (auto it = bindings.all().constBegin(); it != bindings.all().constEnd(); ++it) {
        if (listed.count(*it) || !exists(*it))
            continue;
        listed.insert(*it);
        rows.push_back({it.key(), true, false, FoundPort{*it, {}, {}, {}, {}}});
    }

    // Numbers in use: bound ones, and those standing for a listed built-in port.
    std::set<int> taken;
    for (auto it = bindings.all().constBegin(); it != bindings.all().constEnd(); ++it)
        taken.insert(it.key());
    for (const PortRow &row : rows)
        if (const std::optional<int> n = builtInNumber(row.port.device); n && !row.bound)
            taken.insert(*n);

    for (PortRow &row : rows) {
        if (row.bound)
            continue;
        const std::optional<int> own = builtInNumber(row.port.device);
        if (own && !bindings.all().contains(*own)) {
            row.number = *own;
            continue;
        }
        int n = PortBindings::kFirstPort;
        while (n <= PortBindings::kLastPort && taken.count(n))
            ++n;
        if (n > PortBindings::kLastPort)
            continue; // every number is spoken for: the user picks one to reuse
        row.number = n;
        taken.insert(n);
    }

    std::stable_sort(rows.begin(), rows.end(), [](const PortRow &a, const PortRow &b) {
        // A row without a free number (0) goes last.
        const int ka = a.number == 0 ? PortBindings::kLastPort + 1 : a.number;
        const int kb = b.number == 0 ? PortBindings::kLastPort + 1 : b.number;
        return ka < kb;
    });
    return rows;
}

bool bindChosen(PortBindings &bindings, int number, const QString &device)
{
    if (!PortBindings::isValidNumber(number) || device.isEmpty())
        return false;
    while (const std::optional<int> old = bindings.numberBoundTo(device))
        bindings.unbind(*old);
    return bindings.bind(number, device);
}

} // namespace qj
