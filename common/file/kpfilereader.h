#pragma once

// Reads a whole file that a user named (a script, a scene, saved settings)
// without trusting what the name points at: only a regular file is read, and
// only up to a bound, so a FIFO, a device or /dev/zero fails at once with a
// reason instead of hanging or filling memory.

#include <QByteArray>
#include <QString>

class KPFileReader
{
public:
    // Scripts, scenes and saved settings hold drawings as JSON: far below this.
    static constexpr qint64 kMaxBytes = 128 * 1024 * 1024;

    // Fills bytes with the file's content; false with the reason ("not a
    // regular file", the system's word for a missing or unreadable one, or
    // "larger than N MiB") for anything else.
    static bool read(const QString &path, QByteArray *bytes, QString *reason, qint64 limit = kMaxBytes);
};
