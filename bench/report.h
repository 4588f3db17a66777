#pragma once

#include "bench/stats.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace qj::bench {

// One line of the table: a figure measured once per run, given as the median over the runs
// and the spread from the smallest to the largest.
struct Row
{
    QString item;   // which part of the issue it answers: "1" to "6", or "ref" for a reference
    QString figure; // what was measured
    QString unit;
    int decimals = 1;
    Stats perRun;
    QString target;          // empty: no target, shown for comparison
    std::optional<bool> met; // decided from the median
};

// The figures, the conditions they were taken under and what they mean, as Markdown.
class Report
{
public:
    void setCommand(const QString &command) { m_command = command; }
    void setMachine(const QStringList &lines) { m_machine = lines; }
    void addCondition(const QString &line) { m_conditions << line; }
    void addRow(Row row) { m_rows.push_back(std::move(row)); }
    // A paragraph of analysis for item `item`, under the heading given once per item.
    void addAnalysis(const QString &item, const QString &heading, const QString &text);

    QString markdown() const;
    bool write(const QString &path) const;
    // The table alone, for the terminal.
    QString table() const;

private:
    struct Section
    {
        QString item;
        QString heading;
        QStringList paragraphs;
    };

    QString m_command;
    QStringList m_machine;
    QStringList m_conditions;
    std::vector<Row> m_rows;
    std::vector<Section> m_sections;
};

QString number(double value, int decimals);

} // namespace qj::bench
