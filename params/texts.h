#pragma once

#include <QString>

namespace qj {

struct FileProblem;
struct PresetProblem;

// The language of the status and message texts. The window switches it with its captions, so
// the texts are English exactly when the open-file entry does not read "打开文件".
enum class Language { Chinese, English };

// The status lamp's texts.
enum class Status {
    Offline,   // "当前状态：脱机" / "Status：offline"
    Connected, // "当前状态：联机" / "State：Connect"
};
QString statusText(Status status, Language language);
// While a preset goes out; short, the lamp is narrow: "发送 3/12" / "Sending 3/12".
QString sendingText(int current, int total, Language language);

// The messages the link asks for by kind; each is shown in a box of its own.
enum class Message {
    SendFailed,      // a command went unanswered, or the port refused a write
    PortInvalid,     // the port number is refused or names no device (always Chinese)
    PortAlreadyOpen, // the port is open in this panel already (always Chinese)
    PortInUse,       // the device is held by another program (qjd, qj-ctl, a terminal)
    AccessDenied,    // the device exists but this user may not open it
    NoPort,          // no serial port found
    SelectPort,      // no port chosen
    DeviceOffline,   // the device went away
    ConnectFailed,   // a network device could not be reached, or its server refused the line
};
// `device` names the device for AccessDenied and PortInUse, `holder` the program that holds it
// for PortInUse (empty when its lock file cannot be read); the other texts ignore them.
QString messageText(Message message, Language language, const QString &device = QString(),
                    const QString &holder = QString());

// Why a network device could not be opened: the server, host:port, the reason.
struct NetworkProblem
{
    enum class Kind {
        None,
        Refused,        // nothing listens on the port
        Unreachable,    // no route to the host
        NoAnswer,       // nothing came back within the open's time
        HostNotFound,   // the name does not resolve
        ServerClosed,   // the server closed the connection before the processor answered
        Busy,           // the server's line is held by another client
        DeviceMissing,  // the server cannot open its serial device
        ServerSaid,     // any other text of the server before it closed
        OptionRefused,  // the server refuses the COM port option
        SettingRefused, // the server answered a line setting with another value
        Other,          // a network error in the system's words (detail)
    };
    // The line settings a COM port server is asked for, in the order they are sent.
    enum class Setting { BaudRate, DataSize, Parity, StopSize, FlowControl };

    Kind kind = Kind::None;
    QString endpoint;     // HOST:PORT
    QString detail;       // the server's text, or the system's words
    Setting setting{};    // SettingRefused: which one
    quint32 answered = 0; // SettingRefused: the value the server answered
};
// As a sentence for a message box, or as one lower-case line for a terminal (qj-ctl):
// "cannot connect to 127.0.0.1:9: connection refused".
enum class TextUse { Box, Line };
QString networkProblemText(const NetworkProblem &problem, Language language,
                           TextUse use = TextUse::Box);

// Why a device text that names a network device is refused where it is typed.
enum class UrlProblem { None, UnknownScheme, NoHost, NoPort, BadPort, Extra };
QString urlProblemText(const QString &device, UrlProblem problem, Language language);

// The preset menu's messages.
QString pushStoppedText(int sent, int total, Language language);
QString openFailedText(const QString &file, const FileProblem &problem, Language language);
QString presetRejectedText(const QString &file, const PresetProblem &problem, Language language);
QString saveFailedText(const QString &file, const FileProblem &problem, Language language);
// Why a preset file was refused: a clear sentence for the person who chose it, with no English
// from the JSON reader inside the Chinese.
QString presetProblemText(const PresetProblem &problem, Language language);
// Why a file could not be read or written, a sentence that completes "Cannot open the preset
// file "…": ". The common system errors in the language; any other in the system's words,
// with its number to look up.
QString fileProblemText(const FileProblem &problem, Language language);
// Only ever shown while the texts are Chinese, so it carries both.
QString noEnglishText(const QString &translationFile);

} // namespace qj
