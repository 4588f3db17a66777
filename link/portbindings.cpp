#include "link/portbindings.h"

#include "link/deviceurl.h"

namespace qj {

bool PortBindings::parseAndBind(const QString &binding)
{
    const qsizetype eq = binding.indexOf(u'=');
    if (eq <= 0)
        return false;
    bool ok = false;
    const int number = binding.left(eq).trimmed().toInt(&ok);
    return ok && bind(number, binding.mid(eq + 1).trimmed());
}

bool PortBindings::bind(int number, const QString &device)
{
    if (!isValidNumber(number) || device.isEmpty())
        return false;
    if (DeviceUrl::check(device) != DeviceUrl::Problem::None)
        return false; // a network device that names no host and port
    m_bound.insert(number, device);
    return true;
}

void PortBindings::unbind(int number)
{
    m_bound.remove(number);
}

QString PortBindings::deviceFor(int number) const
{
    const auto it = m_bound.constFind(number);
    if (it != m_bound.constEnd())
        return *it;
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
}

std::optional<int> PortBindings::numberBoundTo(const QString &device) const
{
    for (auto it = m_bound.constBegin(); it != m_bound.constEnd(); ++it)
        if (*it == device)
            return it.key();
    return std::nullopt;
}

} // namespace qj
