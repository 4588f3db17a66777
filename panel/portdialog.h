#pragma once

#include "link/portlist.h"
#include "params/texts.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace qj {

// Lists the serial ports with the number each is reached by, and lets the user choose one, or
// type a network device (socket://HOST:PORT, rfc2217://HOST:PORT), which then wins over the
// list. The number of the chosen port can be changed before confirming. Refresh scans again,
// for an adapter plugged in while the dialog is open. Confirming with nothing chosen, or with a
// network device that is not valid, tells the user so and keeps the dialog open.
class PortDialog : public QDialog
{
    Q_OBJECT

public:
    struct Choice
    {
        int number;
        QString device;
    };

    using RowSource = std::function<std::vector<PortRow>()>;
    // Shows why a typed network device is refused.
    using BadDevice = std::function<void(const QString &device, UrlProblem problem)>;

    PortDialog(RowSource rows, std::function<void()> noChoice, QWidget *parent = nullptr,
               BadDevice badDevice = {});

    const std::vector<PortRow> &rows() const { return m_rows; }
    QTableWidget *table() const { return m_table; }
    QSpinBox *numberBox() const { return m_number; }
    QLineEdit *networkDevice() const { return m_network; }
    QPushButton *refreshButton() const { return m_refresh; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

    // Selects the row reached by `number`, if one is; nothing is selected otherwise.
    void selectNumber(int number);
    void selectRow(int row);

    // What was confirmed; empty until the dialog is accepted with a row chosen.
    std::optional<Choice> choice() const { return m_choice; }

    void refresh();
    void accept() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void fillTable();
    void showSelected();
    int selectedRow() const;

    RowSource m_source;
    std::function<void()> m_noChoice;
    BadDevice m_badDevice;
    std::vector<PortRow> m_rows;
    std::optional<Choice> m_choice;
    QTableWidget *m_table;
    QLabel *m_numberLabel;
    QSpinBox *m_number;
    QLabel *m_networkLabel;
    QLineEdit *m_network;
    QPushButton *m_refresh;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace qj
