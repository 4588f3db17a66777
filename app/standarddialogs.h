#pragma once

#include "app/menudialogs.h"

#include <QCoreApplication>

namespace qj {

// The dialogs a person answers: Qt's file dialogs, a plain confirmation box and the modal
// port dialog.
class StandardDialogs : public MenuDialogs
{
    Q_DECLARE_TR_FUNCTIONS(qj::StandardDialogs)

public:
    static constexpr char kSuffix[] = "json"; // presets are JSON text

    QString openPresetFile(QWidget *parent, const QString &folder) override;
    QString savePresetFile(QWidget *parent, const QString &folder) override;
    bool confirmReset(QWidget *parent) override;
    bool runPortDialog(PortDialog &dialog) override;
    bool sendOfflineSettings(QWidget *parent) override;

private:
    static QString filter();
};

} // namespace qj
