#pragma once

#include "params/panelaccess.h"

#include <QCoreApplication>
#include <QString>

class QKeySequence;

namespace qj {

// What the panel tells about a control beyond its caption: the tip shown while the pointer
// rests on it, which a screen reader also reads as its description, and the name a screen
// reader speaks for a control whose caption stands apart from it. Built from the parameter map
// and the control tables, in the language now installed.
class ControlHelp
{
    Q_DECLARE_TR_FUNCTIONS(qj::ControlHelp)

public:
    // A parameter's title: what it sets ("音乐音量" / "Music level").
    static QString title(int wireId);

    // What it sets and the values it reaches, as the value label shows them ("音乐音量，0 到 62"
    // / "Music level, 0 to 62"), between the slider's Min and Max now. A slider whose Max
    // follows a limit spinner names that spinner (`limitedBy`, its caption).
    static QString sliderTip(int wireId, int min, int max, const QString &limitedBy = {});
    // The limit, its range, the slider it limits (`limits`, its caption) and that it sends nothing.
    static QString spinnerTip(int wireId, const QString &limits);
    static QString groupButtonTip(Group group, int index);
    static QString checkBoxTip(int wireId);
    static QString optionTip(int wireId, const QString &caption);
    static QString muteTip();
    static QString portTip(const QString &connectCaption);
    // A menu entry's caption and its key in the desktop's own spelling ("打开文件（Ctrl+O）").
    static QString menuTip(const QString &caption, const QKeySequence &key);

    // A control named by the caption it stands under or beside and its own ("音乐输入：DVD"),
    // once with the separator of the language, however the heading ends.
    static QString joinedName(const QString &heading, const QString &own);
};

} // namespace qj
