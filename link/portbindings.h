#pragma once

#include <QMap>
#include <QString>

#include <optional>

namespace qj {

// Which operating-system device stands behind port number n. A number that nobody bound
// means the n-th built-in serial port, /dev/ttyS<n-1>.
class PortBindings
{
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 99; // two digits in the port number box

    static bool isValidNumber(int number) { return number >= kFirstPort && number <= kLastPort; }

    // "5=/dev/ttyUSB0" (or "5=socket://host:2000") binds 5; returns false for a malformed text,
    // a number out of range or a network device that is not valid (DeviceUrl).
    bool parseAndBind(const QString &binding);
    bool bind(int number, const QString &device);
    void unbind(int number);

    QString deviceFor(int number) const;
    std::optional<int> numberBoundTo(const QString &device) const;
    const QMap<int, QString> &all() const { return m_bound; }

private:
    QMap<int, QString> m_bound;
};

} // namespace qj
