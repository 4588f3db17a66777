#include "app/standarddialogs.h"

#include "panel/portdialog.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace qj {

QString StandardDialogs::filter()
{
    return tr("QJ 预设文件 (*.json);;所有文件 (*)");
}

QString StandardDialogs::openPresetFile(QWidget *parent, const QString &folder)
{
    return QFileDialog::getOpenFileName(parent, tr("打开文件"), folder, filter());
}

QString StandardDialogs::savePresetFile(QWidget *parent, const QString &folder)
{
    QFileDialog dialog(parent, tr("保存文件"), folder, filter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QLatin1String(kSuffix));
    dialog.selectFile(tr("QJ预设.json"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

bool StandardDialogs::confirmReset(QWidget *parent)
{
    // Plain like the panel's messages: the product's title, no icon.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("QJ"),
                    tr("把面板上的全部设置恢复为默认值吗？\n联机时这些值也会发送给处理器。"),
                    QMessageBox::NoButton, parent);
    QPushButton *reset = box.addButton(tr("复位"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(tr("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == reset;
}

bool StandardDialogs::sendOfflineSettings(QWidget *parent)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("QJ"),
                    tr("脱机时面板上的设置改动过，现在面板显示的是处理器的设置。\n"
                       "把脱机时的设置发送给处理器，还是保留处理器的设置？"),
                    QMessageBox::NoButton, parent);
    QPushButton *send = box.addButton(tr("发送面板设置"), QMessageBox::AcceptRole);
    QPushButton *keep = box.addButton(tr("保留处理器设置"), QMessageBox::RejectRole);
    // Keeping changes nothing on the processor: the safe answer to a hurried Enter or Escape.
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.exec();
    return box.clickedButton() == send;
}

bool StandardDialogs::runPortDialog(PortDialog &dialog)
{
    return dialog.exec() == QDialog::Accepted;
}

} // namespace qj
