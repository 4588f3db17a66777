#pragma once

#include "params/fileproblem.h"

#include <QByteArray>
#include <QString>

namespace qj {

// Reading and writing preset files with the system's own reason for a failure, which Qt's file
// classes give only as English text.
class PresetFile
{
public:
    struct Contents
    {
        QByteArray bytes; // at most the limit asked for and one byte more
        qint64 size = -1; // the file's size; -1 where it has none (a device, a pipe)
        FileProblem problem;
    };

    // Reads up to `limit` + 1 bytes, so an oversized file is told apart without reading all of
    // it. Neither a pipe without a writer nor a device stops the window.
    static Contents read(const QString &path, qint64 limit);

    // A regular file is replaced whole: written beside it, flushed to the disk and renamed over
    // it, so a failure leaves the old one as it was. Anything else that exists at the path (a
    // device, a pipe) is written straight into, never replaced by a file.
    static FileProblem write(const QString &path, const QByteArray &bytes);
};

} // namespace qj
