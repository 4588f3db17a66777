#include "params/texts.h"

#include "params/preset.h"

#include <QDir>

namespace qj {

namespace {

QString pick(Language language, const char16_t *chinese, const char16_t *english)
{
    return QString::fromUtf16(language == Language::Chinese ? chinese : english);
}

} // namespace

QString statusText(Status status, Language language)
{
    switch (status) {
    case Status::Offline:
        return pick(language, u"当前状态：脱机", u"Status：offline");
    case Status::Connected:
        return pick(language, u"当前状态：联机", u"State：Connect");
    }
    return {};
}

QString sendingText(int current, int total, Language language)
{
    return pick(language, u"发送 %1/%2", u"Sending %1/%2").arg(current).arg(total);
}

QString messageText(Message message, Language language, const QString &device)
{
    switch (message) {
    case Message::SendFailed:
        return pick(language, u"数据发送失败！！！", u"The data sends out failure！！！");
    case Message::PortInvalid:
        return QStringLiteral("端口无效！！！");
    case Message::PortAlreadyOpen:
        return QStringLiteral("端口已打开！！！");
    case Message::AccessDenied:
        return pick(language,
                    u"无法打开串口 %1：没有访问权限。\r\n请把当前用户加入 dialout "
                    u"组，重新登录后再连接。",
                    u"Cannot open the serial port %1: permission denied.\r\nAdd your user to "
                    u"the dialout group, log in again and reconnect.")
            .arg(device);
    case Message::NoPort:
        return pick(language, u"   找不到有效的\r\n串行通讯端口！！！",
                    u"  Can not find a valid\r\nCom port！！！");
    case Message::SelectPort:
        return pick(language, u"   请选择有效的\r\n串行通讯端口！！！",
                    u"  Please select a valid\r\nCom port！！！");
    case Message::DeviceOffline:
        return pick(language, u"设备已脱机！！！", u"The equipments is off-line already!!!");
    }
    return {};
}

QString pushStoppedText(int sent, int total, Language language)
{
    return pick(language, u"预设发送中断：%2 项设置中已发送 %1 项。",
                u"Sending the preset stopped: %1 of %2 settings were sent.")
        .arg(sent)
        .arg(total);
}

QString openFailedText(const QString &file, const QString &reason, Language language)
{
    return pick(language, u"无法打开预设文件“%1”：%2", u"Cannot open the preset file \"%1\": %2")
        .arg(QDir::toNativeSeparators(file), reason);
}

QString presetRejectedText(const QString &file, const PresetProblem &problem, Language language)
{
    return pick(language, u"预设文件“%1”没有载入，面板未改变。\r\n%2",
                u"The preset file \"%1\" was not loaded; the panel is unchanged.\r\n%2")
        .arg(QDir::toNativeSeparators(file), problem.text(language));
}

QString saveFailedText(const QString &file, const QString &reason, Language language)
{
    return pick(language, u"无法保存预设文件“%1”：%2", u"Cannot save the preset file \"%1\": %2")
        .arg(QDir::toNativeSeparators(file), reason);
}

QString noEnglishText(const QString &translationFile)
{
    return QStringLiteral("找不到英文界面文件 %1.qm。\r\nEnglish captions not found.")
        .arg(translationFile);
}

} // namespace qj
