#pragma once

#include <QString>
#include <QElapsedTimer>

// Writes "ENTER" when constructed and "LEAVE=<n>ms" when destroyed, both as
// type-5 lines at the scope's level. A negative level (probe only) produces
// nothing at all.
class LogScope
{
public:
    LogScope(const QString &line, const QString &function, const QString &file, int level = 1);
    ~LogScope();

    LogScope(const LogScope &) = delete;
    LogScope &operator=(const LogScope &) = delete;

private:
    QString m_line;
    QString m_function;
    QString m_file;
    // Monotonic: a scope that spans midnight or a clock change still lasts what it lasted.
    QElapsedTimer m_start;
    int m_level;
};
