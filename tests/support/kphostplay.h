#pragma once

// kp-host played as a user plays it: a script in, exit status, standard error
// and the host log out. Every run is bounded.

#include <QByteArray>
#include <QString>

struct KPHostRun
{
    int exitCode = -1;
    QString standardError;
    QString log;
};

// Plays the script file, writing output under outDir.
KPHostRun playHostScript(const QString &scriptPath, const QString &outDir);
// Writes the script text to <dir>/script.json and plays it into <dir>/out.
KPHostRun playHostScriptText(const QString &dir, const QByteArray &script);
