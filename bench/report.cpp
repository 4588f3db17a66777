#include "bench/report.h"

#include <QFile>
#include <QSaveFile>

#include <cmath>

namespace qj::bench {

QString number(double value, int decimals)
{
    if (std::isnan(value))
        return QStringLiteral("–");
    return QString::number(value, 'f', decimals);
}

void Report::addAnalysis(const QString &item, const QString &heading, const QString &text)
{
    for (Section &s : m_sections) {
        if (s.item == item) {
            s.paragraphs << text;
            return;
        }
    }
    m_sections.push_back({item, heading, {text}});
}

QString Report::table() const
{
    QString t;
    t += QStringLiteral("| # | Figure | Median | Spread (min–max) | Runs | Target | Met? |\n");
    t += QStringLiteral("|---|---|---:|---:|---:|---|---|\n");
    for (const Row &r : m_rows) {
        const QString unit = r.unit.isEmpty() ? QString() : QStringLiteral(" ") + r.unit;
        const QString spread = r.perRun.count() > 1
                                   ? number(r.perRun.min(), r.decimals) + QStringLiteral("–") +
                                         number(r.perRun.max(), r.decimals) + unit
                                   : QStringLiteral("–");
        const QString met = !r.met   ? QStringLiteral("")
                            : *r.met ? QStringLiteral("yes")
                                     : QStringLiteral("**no**");
        t += QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 |\n")
                 .arg(r.item, r.figure, number(r.perRun.median(), r.decimals) + unit, spread)
                 .arg(r.perRun.count())
                 .arg(r.target.isEmpty() ? QStringLiteral("–") : r.target, met);
    }
    return t;
}

QString Report::markdown() const
{
    QString md;
    md += QStringLiteral("# Performance\n\n");
    md += QStringLiteral(
        "How immediately the panel responds, how fast it follows the processor and what it costs "
        "while it sits open, measured against the virtual processor (`qj-sim` as a child "
        "process, paced at 28800 baud: 347.2 µs a byte). This file is written by the benchmark; "
        "run it again to refresh it:\n\n");
    md += QStringLiteral("```sh\n%1\n```\n\n").arg(m_command);
    md += QStringLiteral("## Machine and conditions\n\n");
    for (const QString &line : m_machine)
        md += QStringLiteral("- %1\n").arg(line);
    for (const QString &line : m_conditions)
        md += QStringLiteral("- %1\n").arg(line);
    md += QStringLiteral("\n## Figures\n\n");
    md += QStringLiteral(
        "Each figure is measured once per run; the table gives the median over the runs and the "
        "smallest and largest run. Targets are judged on the median.\n\n");
    md += table();
    md += QStringLiteral("\n## What the figures mean\n");
    for (const Section &s : m_sections) {
        md += QStringLiteral("\n### %1. %2\n\n").arg(s.item, s.heading);
        md += s.paragraphs.join(QStringLiteral("\n\n"));
        md += u'\n';
    }
    return md;
}

bool Report::write(const QString &path) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    f.write(markdown().toUtf8());
    return f.commit();
}

} // namespace qj::bench
