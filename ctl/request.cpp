#include "ctl/request.h"

#include "link/deviceurl.h"
#include "link/portbindings.h"
#include "params/parametermap.h"
#include "params/presetfile.h"
#include "params/texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace qj::ctl {

namespace {

Parsed refuse(const QString &why)
{
    return {std::nullopt, why};
}

std::optional<int> wireIdByName(const QString &name)
{
    return wireIdOf(name.toStdString());
}

// A whole decimal number, sign allowed; nothing else around it.
std::optional<int> integer(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || text.trimmed() != text)
        return std::nullopt;
    return value;
}

QString unknownName(const QString &name)
{
    return QStringLiteral("unknown parameter \"%1\" (names as in preset files, such as "
                          "MusicVolume, EchoMode, SuperBass)")
        .arg(name);
}

// NAME=VALUE as set takes it: a name of the table, a value the parameter takes, never the
// limits and never Mute.
std::optional<QString> parseSetting(const QString &text, std::pair<int, int> &out)
{
    const qsizetype eq = text.indexOf(u'=');
    if (eq < 0)
        return QStringLiteral("setting \"%1\" has no value: use NAME=VALUE").arg(text);
    const QString name = text.left(eq);
    const QString valueText = text.mid(eq + 1);
    const std::optional<int> id = wireIdByName(name);
    if (!id)
        return unknownName(name);
    const Parameter &p = parameter(*id);
    if (p.kind == ControlKind::Spinner)
        return QStringLiteral("%1 is a limit the processor only reports; it is never sent")
            .arg(name);
    if (p.kind == ControlKind::Status)
        return QStringLiteral("%1 is a toggle, not a value; it cannot be set").arg(name);
    if (valueText.isEmpty())
        return QStringLiteral("setting \"%1\" has no value: use NAME=VALUE").arg(text);
    const std::optional<int> value = integer(valueText);
    if (!value || !isSendable(*id, *value)) {
        const QString range = *id == wire::kMusicSelect
                                  ? QStringLiteral("0 to 4, or 8")
                                  : QStringLiteral("%1 to %2").arg(p.min).arg(p.max);
        return QStringLiteral("%1=%2: the value must be a whole number from %3")
            .arg(name, valueText, range);
    }
    out = {*id, *value};
    return std::nullopt;
}

// Whether `path` can take the saved file, asked before connecting; the write itself tells the
// rest.
FileProblem savePlace(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return {FileProblem::IsADirectory, true, EISDIR};
    const QByteArray local =
        QFile::encodeName(info.exists() ? info.absoluteFilePath() : info.absolutePath());
    if (::access(local.constData(), W_OK) != 0)
        return FileProblem::fromErrno(errno, true);
    return {};
}

} // namespace

QString parameterName(int wireId)
{
    const std::string_view name = parameter(wireId).control;
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

Parsed parseRequest(const QStringList &arguments)
{
    Request r;
    bool haveDevice = false;
    bool havePort = false;
    bool optionsEnd = false;
    QStringList words; // the command and its arguments
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (optionsEnd || !arg.startsWith(QLatin1String("--")) || arg.size() == 2) {
            if (!optionsEnd && arg == QLatin1String("--")) {
                optionsEnd = true;
                continue;
            }
            words << arg;
            continue;
        }
        const qsizetype eq = arg.indexOf(u'=');
        const QString option = arg.left(eq);
        auto value = [&]() -> std::optional<QString> {
            if (eq >= 0)
                return arg.mid(eq + 1);
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        if (option == QLatin1String("--help") && eq < 0) {
            r.command = Request::Command::Help;
            return {r, {}};
        }
        if (option == QLatin1String("--version") && eq < 0) {
            r.command = Request::Command::Version;
            return {r, {}};
        }
        if (option == QLatin1String("--json") && eq < 0) {
            r.json = true;
        } else if (option == QLatin1String("--device")) {
            const std::optional<QString> path = value();
            if (!path || path->isEmpty())
                return refuse(QStringLiteral("--device needs a PATH"));
            if (haveDevice)
                return refuse(QStringLiteral("--device is given twice"));
            if (const UrlProblem problem = DeviceUrl::check(*path); problem != UrlProblem::None)
                return refuse(urlProblemText(*path, problem, Language::English));
            haveDevice = true;
            r.device = *path;
        } else if (option == QLatin1String("--port")) {
            const std::optional<QString> text = value();
            const std::optional<int> number = text ? integer(*text) : std::nullopt;
            if (!number || !PortBindings::isValidNumber(*number))
                return refuse(QStringLiteral("--port needs a number from %1 to %2")
                                  .arg(PortBindings::kFirstPort)
                                  .arg(PortBindings::kLastPort));
            if (havePort)
                return refuse(QStringLiteral("--port is given twice"));
            havePort = true;
            r.port = *number;
        } else {
            return refuse(QStringLiteral("unknown option %1").arg(arg));
        }
    }
    if (haveDevice && havePort)
        return refuse(QStringLiteral("give --device or --port, not both"));
    if (words.isEmpty())
        return refuse(QStringLiteral("no command: get, set, save or load"));

    const QString command = words.takeFirst();
    if (r.json && command != QLatin1String("get"))
        return refuse(QStringLiteral("--json belongs to get"));
    if (command == QLatin1String("get")) {
        r.command = Request::Command::Get;
        for (const QString &name : words) {
            const std::optional<int> id = wireIdByName(name);
            if (!id)
                return refuse(unknownName(name));
            r.names.push_back(*id);
        }
    } else if (command == QLatin1String("set")) {
        r.command = Request::Command::Set;
        if (words.isEmpty())
            return refuse(QStringLiteral("set needs at least one NAME=VALUE"));
        for (const QString &word : words) {
            std::pair<int, int> setting;
            if (const std::optional<QString> why = parseSetting(word, setting))
                return refuse(*why);
            r.settings.push_back(setting);
        }
    } else if (command == QLatin1String("save") || command == QLatin1String("load")) {
        const bool save = command == QLatin1String("save");
        r.command = save ? Request::Command::Save : Request::Command::Load;
        if (words.size() != 1 || words[0].isEmpty())
            return refuse(QStringLiteral("%1 needs one FILE").arg(command));
        r.file = words[0];
        if (save) {
            if (const FileProblem problem = savePlace(r.file))
                return refuse(saveFailedText(r.file, problem, Language::English));
        } else {
            const PresetFile::Contents file = PresetFile::read(r.file, Preset::kMaxFileSize);
            if (file.problem)
                return refuse(openFailedText(r.file, file.problem, Language::English));
            PresetProblem problem{};
            const std::optional<Preset> preset = readPreset(file.bytes, &problem);
            if (!preset) {
                if (problem.kind == PresetProblem::TooLarge)
                    problem.value = file.size;
                return refuse(QStringLiteral("cannot load the preset file \"%1\": %2")
                                  .arg(r.file, presetProblemText(problem, Language::English)));
            }
            r.preset = *preset;
        }
    } else {
        return refuse(
            QStringLiteral("unknown command \"%1\": get, set, save or load").arg(command));
    }
    return {r, {}};
}

QString usageText()
{
    return QStringLiteral(
        "Usage: qj-ctl [--device PATH | --port N] COMMAND [ARGS]\n"
        "Drives a QJ karaoke processor on a serial line (28800 baud, 8N1) from scripts.\n"
        "\n"
        "Commands:\n"
        "  get [NAME...] [--json]   connect, read the reports; print \"NAME VALUE\" lines\n"
        "                           (all, or the named), or one JSON object\n"
        "  set NAME=VALUE...        connect, then send each setting in the order given, one\n"
        "                           at a time, each acknowledged\n"
        "  save FILE                connect, read the reports, write the preset file the\n"
        "                           panel would save from the same state\n"
        "  load FILE                connect, read the reports, then send the settings of the\n"
        "                           file that differ (never the limits)\n"
        "\n"
        "Names are those of the preset files: MusicVolume, EchoMode, SuperBass,\n"
        "MaxMusicVolume, SurroundMode1 (wire id 24), Mute (wire id 0), ...\n"
        "\n"
        "Options:\n"
        "  --device PATH   the serial device, for instance /dev/ttyUSB0, or a processor\n"
        "                  behind a serial device server: socket://HOST:PORT (raw TCP)\n"
        "                  or rfc2217://HOST:PORT (Telnet, the line set by qj-ctl)\n"
        "  --port N        port number N (1 to 99) as the panel resolves it: its remembered\n"
        "                  binding, else /dev/ttyS<N-1>; without either, port number 5\n"
        "  --json          get: one JSON object instead of the lines\n"
        "  --help          shows this text and ends\n"
        "  --version       shows the version and ends\n"
        "\n"
        "Exit status: 0 done; 1 the link failed; 2 usage or bad input (nothing was sent);\n"
        "3 reports missing; 4 a result could not be written.\n");
}

} // namespace qj::ctl
