#include "kphostplay.h"

#include <QDir>
#include <QFile>
#include <QProcess>

KPHostRun playHostScript(const QString &scriptPath, const QString &outDir)
{
    QProcess host;
    host.start(QStringLiteral(KP_HOST_PATH), {QStringLiteral("play"), scriptPath, QStringLiteral("--out"), outDir});
    KPHostRun run;
    if (!host.waitForFinished(60000)) {
        host.kill();
        host.waitForFinished(5000);
        return run;
    }
    run.exitCode = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    run.standardError = QString::fromLocal8Bit(host.readAllStandardError());
    QFile log(QDir(outDir).filePath(QStringLiteral("kp-host.log")));
    if (log.open(QIODevice::ReadOnly))
        run.log = QString::fromLocal8Bit(log.readAll());
    return run;
}

KPHostRun playHostScriptText(const QString &dir, const QByteArray &script)
{
    QFile file(QDir(dir).filePath(QStringLiteral("script.json")));
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
        return {};
    file.close();
    return playHostScript(file.fileName(), QDir(dir).filePath(QStringLiteral("out")));
}
