#include "panel/portdialog.h"

#include "link/deviceurl.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qj {

namespace {

enum Column { NumberColumn, DeviceColumn, DescriptionColumn, ManufacturerColumn, UsbColumn };
constexpr int kColumns = 5;
constexpr QSize kDialogSize{640, 300}; // five columns readable without scrolling sideways

const char *const kHeaders[kColumns] = {
    QT_TRANSLATE_NOOP("qj::PortDialog", "端口号"),   QT_TRANSLATE_NOOP("qj::PortDialog", "设备"),
    QT_TRANSLATE_NOOP("qj::PortDialog", "描述"),     QT_TRANSLATE_NOOP("qj::PortDialog", "制造商"),
    QT_TRANSLATE_NOOP("qj::PortDialog", "USB 标识"),
};

} // namespace

PortDialog::PortDialog(RowSource rows, std::function<void()> noChoice, QWidget *parent,
                       BadDevice badDevice)
    : QDialog(parent), m_source(std::move(rows)), m_noChoice(std::move(noChoice)),
      m_badDevice(std::move(badDevice)), m_table(new QTableWidget(0, kColumns, this)),
      m_numberLabel(new QLabel(this)), m_number(new QSpinBox(this)),
      m_networkLabel(new QLabel(this)), m_network(new QLineEdit(this)),
      m_refresh(new QPushButton(this)), m_ok(new QPushButton(this)), m_cancel(new QPushButton(this))
{
    setObjectName(QStringLiteral("PortDialog"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_number->setRange(PortBindings::kFirstPort, PortBindings::kLastPort);
    m_numberLabel->setBuddy(m_number);
    m_network->setObjectName(QStringLiteral("NetworkDevice"));
    m_network->setClearButtonEnabled(true);
    m_networkLabel->setBuddy(m_network);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_refresh, QDialogButtonBox::ResetRole);
    buttons->addButton(m_ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);

    auto *numberRow = new QHBoxLayout;
    numberRow->addWidget(m_numberLabel);
    numberRow->addWidget(m_number);
    numberRow->addStretch();
    auto *networkRow = new QHBoxLayout;
    networkRow->addWidget(m_networkLabel);
    networkRow->addWidget(m_network, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(networkRow);
    layout->addLayout(numberRow);
    layout->addWidget(buttons);
    resize(kDialogSize);

    connect(m_refresh, &QPushButton::clicked, this, &PortDialog::refresh);
    connect(m_ok, &QPushButton::clicked, this, &PortDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &PortDialog::reject);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &PortDialog::showSelected);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, &PortDialog::accept);

    retranslate();
    refresh();
}

void PortDialog::retranslate()
{
    setWindowTitle(tr("串口选择"));
    QStringList headers;
    for (const char *header : kHeaders)
        headers << tr(header);
    m_table->setHorizontalHeaderLabels(headers);
    m_numberLabel->setText(tr("端口号："));
    m_networkLabel->setText(tr("网络设备："));
    m_network->setPlaceholderText(tr("socket://主机:端口 或 rfc2217://主机:端口"));
    m_refresh->setText(tr("刷新"));
    m_ok->setText(tr("确定"));
    m_cancel->setText(tr("取消"));
}

void PortDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void PortDialog::refresh()
{
    // The same device stays chosen across a rescan if it is still there.
    const int row = selectedRow();
    const QString kept = row >= 0 ? m_rows[static_cast<std::size_t>(row)].port.device : QString();
    m_rows = m_source();
    fillTable();
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (!kept.isEmpty() && m_rows[i].port.device == kept)
            selectRow(static_cast<int>(i));
}

void PortDialog::fillTable()
{
    m_table->clearSelection();
    m_table->setRowCount(static_cast<int>(m_rows.size()));
    for (int r = 0; r < static_cast<int>(m_rows.size()); ++r) {
        const PortRow &row = m_rows[static_cast<std::size_t>(r)];
        const QString cells[kColumns] = {
            row.number > 0 ? QString::number(row.number) : QString(),
            QDir::toNativeSeparators(row.port.device),
            row.port.description,
            row.port.manufacturer,
            row.usbId(),
        };
        for (int c = 0; c < kColumns; ++c)
            m_table->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    m_table->resizeColumnsToContents();
}

void PortDialog::selectNumber(int number)
{
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].number == number) {
            selectRow(static_cast<int>(i));
            return;
        }
}

void PortDialog::selectRow(int row)
{
    if (row >= 0 && row < m_table->rowCount())
        m_table->selectRow(row);
}

int PortDialog::selectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = m_table->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void PortDialog::showSelected()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const int number = m_rows[static_cast<std::size_t>(row)].number;
    if (number > 0)
        m_number->setValue(number);
}

void PortDialog::accept()
{
    const QString typed = m_network->text().trimmed();
    if (!typed.isEmpty()) {
        // Only a network device is typed here: a bare path is refused like an unknown scheme.
        const UrlProblem problem =
            DeviceUrl::looksLikeUrl(typed) ? DeviceUrl::check(typed) : UrlProblem::UnknownScheme;
        if (problem != UrlProblem::None) {
            if (m_badDevice)
                m_badDevice(typed, problem);
            m_network->setFocus();
            return; // the user may still correct it
        }
        m_choice = Choice{m_number->value(), typed};
        QDialog::accept();
        return;
    }
    const int row = selectedRow();
    if (row < 0) {
        if (m_noChoice)
            m_noChoice();
        return; // the user may still choose
    }
    m_choice = Choice{m_number->value(), m_rows[static_cast<std::size_t>(row)].port.device};
    QDialog::accept();
}

} // namespace qj
