#pragma once

#include "params/preset.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace qj::ctl {

// Exit statuses of qj-ctl.
enum Exit : int {
    kDone = 0,
    kLinkFailed = 1,     // the device cannot be opened, no acknowledgement, the device lost
    kBadInput = 2,       // usage or bad input; nothing was written to the device
    kReportsMissing = 3, // some parameters were not reported
    kUnwritten = 4,      // a result could not be written: the output or the saved file
};

inline constexpr int kDefaultPort = 5; // the number the panel's box starts with

// What the command line asks for, checked in full before the device is opened: names, values
// and the files are all looked at here, so bad input never reaches the processor.
struct Request
{
    enum class Command { Help, Version, Get, Set, Save, Load };

    Command command = Command::Help;
    QString device;          // --device PATH; empty: the port number's device
    int port = kDefaultPort; // --port N
    bool json = false;       // get --json
    std::vector<int> names;  // get: wire ids in the order named; empty: every parameter
    std::vector<std::pair<int, int>> settings; // set: (wire id, value) in the order given
    QString file;                              // save, load
    Preset preset;                             // load: the file, read and checked
};

struct Parsed
{
    std::optional<Request> request; // none: bad input, `error` says why
    QString error;
};

// The arguments after the program's name. Reads the file of `load` and checks that `save` can
// write its file, so that a refusal comes before the device is opened.
Parsed parseRequest(const QStringList &arguments);

// The parameter's name as the parameter table and the preset files spell it.
QString parameterName(int wireId);

// The --help text: the commands, then the options one a line, as the manual page lists them.
QString usageText();

} // namespace qj::ctl
