// kp-host: runs the plug-in inside real libobs and plays a script of host actions.
//   kp-host play SCRIPT.json [--out DIR] [--plugin PATH]

#include "kphostlog.h"
#include "kphostplayer.h"
#include "kphostscript.h"
#include "kpobsext.h"
#include "kpobsruntime.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <X11/Xlib.h>
#include <util/bmem.h>

#include <cstdio>

namespace {

struct Arguments
{
    QString script;
    QString outDir = QStringLiteral(".");
    QString plugin;
};

int fail(const QString &message)
{
    std::fprintf(stderr, "kp-host: %s\n", message.toLocal8Bit().constData());
    return 1;
}

bool parseArguments(int argc, char **argv, Arguments *arguments, QString *error)
{
    if (argc < 3 || QString::fromLocal8Bit(argv[1]) != QLatin1String("play")) {
        *error = QStringLiteral("usage: kp-host play SCRIPT.json [--out DIR] [--plugin PATH]");
        return false;
    }
    arguments->script = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    for (int i = 3; i < argc; ++i) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        if ((option != QLatin1String("--out") && option != QLatin1String("--plugin")) || i + 1 >= argc) {
            *error = QStringLiteral("unknown or incomplete option %1").arg(option);
            return false;
        }
        const QString value = QFileInfo(QString::fromLocal8Bit(argv[++i])).absoluteFilePath();
        (option == QLatin1String("--out") ? arguments->outDir : arguments->plugin) = value;
    }
    return true;
}

// The build tree's plug-in first, then the installed one; empty lets libobs search.
QString defaultPlugin()
{
    for (const QString &candidate : {QStringLiteral(KP_BUILD_PLUGIN_PATH), QStringLiteral(KP_INSTALLED_PLUGIN_PATH)}) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return QString();
}

bool hasDisplay()
{
    Display *display = XOpenDisplay(nullptr);
    if (display)
        XCloseDisplay(display);
    return display != nullptr;
}

int play(const Arguments &arguments, const KPHostScript &script)
{
    if (script.logEncrypted())
        kp_obs_set_log_encrypted(*script.logEncrypted());

    KPObsRuntime runtime;
    KPObsRuntime::Options options;
    options.width = script.canvasWidth();
    options.height = script.canvasHeight();
    QString error;
    if (!runtime.start(options, &error))
        return fail(error);
    const QString plugin = arguments.plugin.isEmpty() ? defaultPlugin() : arguments.plugin;
    if (plugin.isEmpty())
        runtime.loadInstalledModules(QStringLiteral(KP_INSTALLED_PLUGIN_DIR), QStringLiteral(KP_INSTALLED_DATA_DIR));
    else if (!runtime.loadModule(plugin, QString(), &error))
        return fail(error);

    QDir::setCurrent(arguments.outDir);
    bool played = false;
    {
        KPHostPlayer player(runtime);
        played = player.play(script, &error);
    }
    kp_obs_release_status_records();
    runtime.shutdown();
    const long leaks = bnum_allocs();
    blog(leaks ? LOG_WARNING : LOG_INFO, "Number of memory leaks: %ld", leaks);
    return played ? 0 : fail(error);
}

} // namespace

int main(int argc, char **argv)
{
    Arguments arguments;
    QString error;
    if (!parseArguments(argc, argv, &arguments, &error))
        return fail(error);
    KPHostScript script;
    if (!script.load(arguments.script, &error))
        return fail(error);
    if (!QDir().mkpath(arguments.outDir))
        return fail(QStringLiteral("cannot create output folder %1").arg(arguments.outDir));
    if (!hasDisplay())
        return fail(QStringLiteral("no X display"));

    KPHostLog log(QDir(arguments.outDir).filePath(QStringLiteral("kp-host.log")));
    QApplication app(argc, argv);
    return play(arguments, script);
}
