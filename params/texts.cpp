#include "params/texts.h"

#include "params/fileproblem.h"
#include "params/preset.h"

#include <QDir>
#include <QJsonParseError>

#include <cstring>

namespace qj {

namespace {

QString pick(Language language, const char16_t *chinese, const char16_t *english)
{
    return QString::fromUtf16(language == Language::Chinese ? chinese : english);
}

// What the JSON reader found wrong (Qt's own texts are English).
QString jsonErrorText(int error, Language language)
{
    struct Row
    {
        QJsonParseError::ParseError error;
        const char16_t *chinese;
        const char16_t *english;
    };
    static constexpr Row kRows[] = {
        {QJsonParseError::UnterminatedObject, u"对象没有以 } 结束",
         u"an object is not closed by }"},
        {QJsonParseError::MissingNameSeparator, u"名称后面缺少冒号",
         u"a colon is missing after a name"},
        {QJsonParseError::UnterminatedArray, u"列表没有以 ] 结束", u"a list is not closed by ]"},
        {QJsonParseError::MissingValueSeparator, u"两项之间缺少逗号",
         u"a comma is missing between two items"},
        {QJsonParseError::IllegalValue, u"这里不是有效的值", u"this is not a valid value"},
        {QJsonParseError::TerminationByNumber, u"文件在一个数字中间结束",
         u"the file ends inside a number"},
        {QJsonParseError::IllegalNumber, u"数字无效", u"the number is not valid"},
        {QJsonParseError::IllegalEscapeSequence, u"转义序列无效",
         u"the escape sequence is not valid"},
        {QJsonParseError::IllegalUTF8String, u"文字不是有效的 UTF-8",
         u"the text is not valid UTF-8"},
        {QJsonParseError::UnterminatedString, u"文字缺少结尾的引号",
         u"a text has no closing quote"},
        {QJsonParseError::MissingObject, u"这里应当是一个对象", u"an object is expected here"},
        {QJsonParseError::DeepNesting, u"嵌套层次太深", u"it is nested too deeply"},
        {QJsonParseError::DocumentTooLarge, u"内容太多", u"there is too much of it"},
        {QJsonParseError::GarbageAtEnd, u"结尾后面还有多余的内容", u"there is more after the end"},
    };
    for (const Row &row : kRows)
        if (row.error == error)
            return pick(language, row.chinese, row.english);
    return pick(language, u"错误 %1", u"error %1").arg(error);
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

QString messageText(Message message, Language language, const QString &device,
                    const QString &holder)
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
    case Message::PortInUse:
        if (holder.isEmpty())
            return pick(language, u"无法打开串口 %1：它正被其他程序占用。",
                        u"Cannot open the serial port %1: it is in use by another program.")
                .arg(device);
        return pick(language, u"无法打开串口 %1：它正被其他程序占用（%2）。",
                    u"Cannot open the serial port %1: it is in use by another program (%2).")
            .arg(device, holder);
    case Message::NoPort:
        return pick(language, u"   找不到有效的\r\n串行通讯端口！！！",
                    u"  Can not find a valid\r\nCom port！！！");
    case Message::SelectPort:
        return pick(language, u"   请选择有效的\r\n串行通讯端口！！！",
                    u"  Please select a valid\r\nCom port！！！");
    case Message::DeviceOffline:
        return pick(language, u"设备已脱机！！！", u"The equipments is off-line already!!!");
    case Message::ConnectFailed:
        return pick(language, u"无法连接 %1。", u"Cannot connect to %1.").arg(device);
    }
    return {};
}

namespace {

QString settingName(NetworkProblem::Setting setting, Language language)
{
    using S = NetworkProblem::Setting;
    switch (setting) {
    case S::BaudRate:
        return pick(language, u"波特率", u"baud rate");
    case S::DataSize:
        return pick(language, u"数据位", u"data bits");
    case S::Parity:
        return pick(language, u"校验", u"parity");
    case S::StopSize:
        return pick(language, u"停止位", u"stop bits");
    case S::FlowControl:
        return pick(language, u"流控制", u"flow control");
    }
    return {};
}

QString networkReason(const NetworkProblem &p, Language language)
{
    using K = NetworkProblem::Kind;
    switch (p.kind) {
    case K::None:
        break;
    case K::Refused:
        return pick(language, u"连接被拒绝", u"connection refused");
    case K::Unreachable:
        return pick(language, u"无法到达", u"unreachable");
    case K::NoAnswer:
        return pick(language, u"没有应答", u"no answer");
    case K::HostNotFound:
        return pick(language, u"找不到主机", u"host not found");
    case K::ServerClosed:
        return pick(language, u"服务器关闭了连接", u"the server closed the connection");
    case K::Busy:
        return pick(language, u"串口正被另一个客户端使用（服务器：“%1”）",
                    u"the line is in use by another client (server: \"%1\")")
            .arg(p.detail);
    case K::DeviceMissing:
        return pick(language, u"服务器无法打开它的串口设备（服务器：“%1”）",
                    u"the server cannot open its serial device (server: \"%1\")")
            .arg(p.detail);
    case K::ServerSaid:
        return pick(language, u"服务器：“%1”", u"the server says \"%1\"").arg(p.detail);
    case K::OptionRefused:
        return pick(language, u"服务器不支持 COM 端口选项（RFC 2217）",
                    u"the server refuses the COM port option (RFC 2217)");
    case K::SettingRefused:
        return pick(language, u"服务器没有接受串口设置（%1 为 %2）",
                    u"the server did not take the line settings (%1 %2)")
            .arg(settingName(p.setting, language))
            .arg(p.answered);
    case K::Other:
        return p.detail;
    }
    return {};
}

} // namespace

QString networkProblemText(const NetworkProblem &problem, Language language, TextUse use)
{
    const QString reason = networkReason(problem, language);
    if (language == Language::Chinese)
        return QStringLiteral("无法连接 %1：%2。").arg(problem.endpoint, reason);
    if (use == TextUse::Line)
        return QStringLiteral("cannot connect to %1: %2").arg(problem.endpoint, reason);
    return QStringLiteral("Cannot connect to %1: %2.").arg(problem.endpoint, reason);
}

QString urlProblemText(const QString &device, UrlProblem problem, Language language)
{
    QString why;
    switch (problem) {
    case UrlProblem::None:
        return {};
    case UrlProblem::UnknownScheme:
        why = pick(language, u"只支持 socket:// 和 rfc2217://",
                   u"only socket:// and rfc2217:// are known");
        break;
    case UrlProblem::NoHost:
        why = pick(language, u"缺少有效的主机名或地址（IPv6 地址写在 [ ] 中）",
                   u"no valid host name or address (an IPv6 address goes in [ ])");
        break;
    case UrlProblem::NoPort:
        why = pick(language, u"缺少端口号（主机:端口）", u"no port (HOST:PORT)");
        break;
    case UrlProblem::BadPort:
        why = pick(language, u"端口号须在 1 到 65535 之间", u"the port must be 1 to 65535");
        break;
    case UrlProblem::Extra:
        why = pick(language, u"端口号后面不能再有内容", u"nothing may follow the port");
        break;
    }
    return pick(language, u"设备“%1”无效：%2。", u"The device \"%1\" is not valid: %2.")
        .arg(device, why);
}

QString pushStoppedText(int sent, int total, Language language)
{
    return pick(language, u"预设发送中断：%2 项设置中已发送 %1 项。",
                u"Sending the preset stopped: %1 of %2 settings were sent.")
        .arg(sent)
        .arg(total);
}

QString openFailedText(const QString &file, const FileProblem &problem, Language language)
{
    return pick(language, u"无法打开预设文件“%1”：%2", u"Cannot open the preset file \"%1\": %2")
        .arg(QDir::toNativeSeparators(file), fileProblemText(problem, language));
}

QString presetRejectedText(const QString &file, const PresetProblem &problem, Language language)
{
    return pick(language, u"预设文件“%1”没有载入，面板未改变。\r\n%2",
                u"The preset file \"%1\" was not loaded; the panel is unchanged.\r\n%2")
        .arg(QDir::toNativeSeparators(file), presetProblemText(problem, language));
}

QString saveFailedText(const QString &file, const FileProblem &problem, Language language)
{
    return pick(language, u"无法保存预设文件“%1”：%2", u"Cannot save the preset file \"%1\": %2")
        .arg(QDir::toNativeSeparators(file), fileProblemText(problem, language));
}

QString presetProblemText(const PresetProblem &problem, Language language)
{
    using P = PresetProblem;
    const QString &n = problem.name;
    const QString v = QString::number(problem.value);
    switch (problem.kind) {
    case P::Empty:
        return pick(language, u"文件是空的。", u"The file is empty.");
    case P::TooLarge: {
        const QString limit = QString::number(Preset::kMaxFileSize);
        if (problem.value < 0) // a device or a pipe: no size, only more than a preset may have
            return pick(language, u"文件超过预设文件的上限 %1 字节。",
                        u"The file is larger than the %1 bytes a preset may have.")
                .arg(limit);
        return pick(language, u"文件有 %1 字节，超过预设文件的上限 %2 字节。",
                    u"The file has %1 bytes, more than the %2 bytes a preset may have.")
            .arg(v, limit);
    }
    case P::NotJson:
        return pick(language, u"文件格式错误（第 %1 行第 %2 列：%3）。",
                    u"The file is malformed (line %1, column %2: %3).")
            .arg(QString::number(problem.line), QString::number(problem.column),
                 jsonErrorText(static_cast<int>(problem.value), language));
    case P::NotAPreset:
        return pick(language, u"这不是 QJ 预设文件。", u"This is not a QJ preset file.");
    case P::UnknownVersion:
        if (n.isEmpty())
            return pick(language, u"预设文件没有版本号。", u"The preset file names no version.");
        return pick(language, u"不支持的预设文件版本：%1。", u"Unknown preset file version: %1.")
            .arg(n);
    case P::NoParameterList:
        return pick(language, u"预设文件中没有参数列表。",
                    u"The preset file has no list of parameters.");
    case P::BadEntry:
        if (n.isEmpty())
            return pick(language, u"预设文件的第 %1 项格式错误。",
                        u"Entry %1 of the preset is malformed.")
                .arg(v);
        return pick(language, u"预设文件中有一项格式错误（%1）。",
                    u"A preset entry is malformed (%1).")
            .arg(n);
    case P::UnknownParameter:
        return pick(language, u"未知的参数：%1（编号 %2）。", u"Unknown parameter: %1 (id %2).")
            .arg(n, v);
    case P::NameMismatch:
        return pick(language, u"参数名称与编号不符：%1（编号 %2）。",
                    u"Parameter name and id do not match: %1 (id %2).")
            .arg(n, v);
    case P::Duplicate:
        return pick(language, u"参数重复出现：%1。", u"Parameter given twice: %1.").arg(n);
    case P::Missing:
        return pick(language, u"缺少参数：%1。", u"Parameter missing: %1.").arg(n);
    case P::OutOfRange:
        return pick(language, u"参数 %1 的值 %2 超出范围。", u"Value %2 of %1 is out of range.")
            .arg(n, v);
    case P::LevelAboveLimit:
        return pick(language, u"%1 的值 %2 高于它的上限。", u"%1 is %2, above its limit.")
            .arg(n, v);
    }
    return {};
}

QString fileProblemText(const FileProblem &problem, Language language)
{
    using F = FileProblem;
    switch (problem.kind) {
    case F::None:
        break;
    case F::NotFound:
        if (problem.writing)
            return pick(language, u"文件夹不存在。", u"the folder does not exist.");
        return pick(language, u"文件不存在。", u"the file does not exist.");
    case F::PermissionDenied:
        if (problem.writing)
            return pick(language, u"没有在这里写入的权限。",
                        u"you have no permission to write there.");
        return pick(language, u"没有读取这个文件的权限。",
                    u"you have no permission to read this file.");
    case F::IsADirectory:
        return pick(language, u"这是一个文件夹，不是文件。", u"this is a folder, not a file.");
    case F::DiskFull:
        return pick(language, u"磁盘已满。", u"the disk is full.");
    case F::Other:
        // Rare enough to leave in the system's words, with the number to look up.
        return pick(language, u"系统错误 %1（%2）。", u"system error %1 (%2).")
            .arg(problem.systemError)
            .arg(QString::fromLocal8Bit(std::strerror(problem.systemError)));
    }
    return {};
}

QString noEnglishText(const QString &translationFile)
{
    return QStringLiteral("找不到英文界面文件 %1.qm。\r\nEnglish captions not found.")
        .arg(translationFile);
}

} // namespace qj
