#include "panel/controlhelp.h"

#include "link/portbindings.h"
#include "params/labeltext.h"
#include "params/parametermap.h"

#include <QKeySequence>

namespace qj {

QString ControlHelp::title(int wireId)
{
    return QCoreApplication::translate("qj::Parameter", parameter(wireId).title);
}

QString ControlHelp::sliderTip(int wireId, int min, int max, const QString &limitedBy)
{
    const LabelStyle style = parameter(wireId).style;
    QString tip;
    if (style == LabelStyle::Balance) {
        // The label reads the distance from the centre on either side.
        const int centre = (min + max) / 2;
        tip = tr("%1，中间 %2，两侧最多 %3")
                  .arg(title(wireId), labelText(style, centre), labelText(style, max));
    } else {
        tip = tr("%1，%2 到 %3").arg(title(wireId), labelText(style, min), labelText(style, max));
    }
    if (!limitedBy.isEmpty())
        tip += tr("（上限由“%1”设定）").arg(limitedBy);
    return tip;
}

QString ControlHelp::spinnerTip(int wireId, const QString &limits)
{
    const Parameter &p = parameter(wireId);
    return tr("%1，%2 到 %3：只限制“%4”滑块的范围，不发送给处理器")
        .arg(title(wireId), QString::number(p.min), QString::number(p.max), limits);
}

QString ControlHelp::groupButtonTip(Group group, int index)
{
    const ButtonGroup &g = buttonGroup(group);
    const QString own = QCoreApplication::translate(
        "qj::ButtonGroup", g.captions[static_cast<std::size_t>(index)].data());
    switch (group) {
    case Group::SaveMode:
        return tr("选定 %1 作为保存位置；只在面板上标记，不发送给处理器").arg(own);
    case Group::RunMode:
        return tr("让处理器调出用户存储 %1（只在联机时）").arg(own);
    default:
        return joinedName(title(g.wireId), own);
    }
}

QString ControlHelp::checkBoxTip(int wireId)
{
    return tr("%1：开或关").arg(title(wireId));
}

QString ControlHelp::optionTip(int wireId, const QString &caption)
{
    return joinedName(title(wireId), caption);
}

QString ControlHelp::muteTip()
{
    return tr("%1：每按一次，切换处理器的静音；红色表示已静音").arg(title(wire::kStatus));
}

QString ControlHelp::portTip(const QString &connectCaption)
{
    return tr("端口号，%1 到 %2：“%3”打开这个编号的串口")
        .arg(QString::number(PortBindings::kFirstPort), QString::number(PortBindings::kLastPort),
             connectCaption);
}

QString ControlHelp::menuTip(const QString &caption, const QKeySequence &key)
{
    if (key.isEmpty())
        return caption;
    return tr("%1（%2）").arg(caption, key.toString(QKeySequence::NativeText));
}

QString ControlHelp::joinedName(const QString &heading, const QString &own)
{
    QString head = heading.trimmed();
    while (head.endsWith(u'：') || head.endsWith(u':'))
        head.chop(1);
    return tr("%1：%2").arg(head, own);
}

} // namespace qj
