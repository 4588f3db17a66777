#include "params/labeltext.h"

#include <cmath>
#include <limits>

namespace qj {

QString labelText(LabelStyle style, int p)
{
    const int g = p - 10; // the dB styles put 0 dB at the value 10
    switch (style) {
    case LabelStyle::Gain:
        if (g == 0)
            return QStringLiteral("0dB");
        return (g > 0 ? QStringLiteral("+") : QString()) + QString::number(g) +
               QStringLiteral("dB");
    case LabelStyle::Balance:
        if (g == 0)
            return QStringLiteral("0dB");
        return QStringLiteral("+") + QString::number(std::abs(g)) + QStringLiteral("dB");
    case LabelStyle::Hertz:
        return QString::number(p) + QStringLiteral("Hz");
    case LabelStyle::Milliseconds:
        return QString::number(p) + QStringLiteral("ms");
    case LabelStyle::Number:
    case LabelStyle::None:
        break;
    }
    return QString::number(p);
}

double leadingNumber(const QString &text)
{
    const QString s = text.trimmed();
    const qsizetype n = s.size();
    auto isDigit = [&](qsizetype i) { return i < n && s[i] >= u'0' && s[i] <= u'9'; };

    qsizetype i = 0;
    if (i < n && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    const qsizetype digitsFrom = i;
    while (isDigit(i))
        ++i;
    bool anyDigit = i > digitsFrom;
    if (i < n && s[i] == u'.') {
        ++i;
        const qsizetype fractionFrom = i;
        while (isDigit(i))
            ++i;
        anyDigit = anyDigit || i > fractionFrom;
    }
    if (!anyDigit)
        return 0.0;
    qsizetype end = i;
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (s[j] == u'+' || s[j] == u'-'))
            ++j;
        if (isDigit(j)) {
            while (isDigit(j))
                ++j;
            end = j;
        }
    }
    bool ok = false;
    const double value = s.left(end).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

int roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double r = std::nearbyint(value); // default rounding mode: to nearest, ties to even
    if (r >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

} // namespace qj
