// kp-host: runs the plug-in inside real libobs and plays a script of host actions,
// or shows the output in a window to draw on by hand.
//   kp-host play SCRIPT.json [--out DIR] [--plugin PATH]
//   kp-host view [SCRIPT.json | SCENE.json] [--out DIR] [--plugin PATH] [--screenshot PNG]

#include "kpfilereader.h"
#include "kphostlog.h"
#include "kphostplayer.h"
#include "kphostrecovery.h"
#include "kphoststudio.h"
#include "kphostscript.h"
#include "kphostviewer.h"
#include "kpscenefile.h"
#include "kpobsext.h"
#include "kpobsruntime.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTimer>

#include <X11/Xlib.h>
#include <util/bmem.h>

#include <cstdio>

namespace {

const char kUsage[] = "usage: kp-host play SCRIPT.json [--out DIR] [--plugin PATH]\n"
                      "       kp-host view [SCRIPT.json | SCENE.json] [--out DIR] [--plugin PATH] [--screenshot PNG]";

// Without a script the viewer shows one whiteboard filling the canvas, with a red pen.
const char kDefaultViewScript[] = R"({"steps": [{"do": "create", "name": "whiteboard",
    "type": "kp_source_whiteboard", "settings": {"kp_wb_width": 1280, "kp_wb_height": 720}},
    {"do": "update", "name": "whiteboard", "settings": {"kp_wb_draw_type": 6, "kp_wb_draw_color": 4278190335,
    "kp_wb_draw_size": 6}}]})";

struct Arguments
{
    bool view = false;
    QString script;
    QString outDir = QStringLiteral(".");
    QString plugin;
    QString screenshot;
};

int fail(const QString &message)
{
    std::fprintf(stderr, "kp-host: %s\n", message.toLocal8Bit().constData());
    return 1;
}

bool parseArguments(int argc, char **argv, Arguments *arguments, QString *error)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    arguments->view = mode == QLatin1String("view");
    if (mode != QLatin1String("play") && !arguments->view) {
        *error = QString::fromLatin1(kUsage);
        return false;
    }
    int i = 2;
    if (i < argc && !QString::fromLocal8Bit(argv[i]).startsWith(QLatin1String("--")))
        arguments->script = QFileInfo(QString::fromLocal8Bit(argv[i++])).absoluteFilePath();
    if (arguments->script.isEmpty() && !arguments->view) {
        *error = QString::fromLatin1(kUsage);
        return false;
    }
    const QStringList options = arguments->view ? QStringList{"--out", "--plugin", "--screenshot"}
                                                : QStringList{"--out", "--plugin"};
    for (; i < argc; ++i) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        if (!options.contains(option) || i + 1 >= argc) {
            *error = QStringLiteral("unknown or incomplete option %1").arg(option);
            return false;
        }
        const QString value = QFileInfo(QString::fromLocal8Bit(argv[++i])).absoluteFilePath();
        if (option == QLatin1String("--out"))
            arguments->outDir = value;
        else if (option == QLatin1String("--plugin"))
            arguments->plugin = value;
        else
            arguments->screenshot = value;
    }
    return true;
}

// A kp-host run from the build tree takes the build tree's plug-in; an
// installed one takes the plug-in installed beside it, then the one at the
// configured prefix. Empty lets libobs search.
QString defaultPlugin()
{
    const QString hostDir = QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath();
    QStringList candidates;
    if (hostDir == QFileInfo(QStringLiteral(KP_BUILD_HOST_DIR)).canonicalFilePath())
        candidates << QStringLiteral(KP_BUILD_PLUGIN_PATH);
    candidates << QDir(hostDir).filePath(QStringLiteral(KP_PLUGIN_FROM_BINDIR))
               << QStringLiteral(KP_INSTALLED_PLUGIN_PATH);
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    }
    return QString();
}

// The viewer opens a scene file as a script of one step that loads it, on a
// canvas of the scene's size.
QByteArray sceneScript(const QString &path, const QSize &canvas)
{
    QJsonObject step{{"do", "load_scene"}, {"from", path}};
    QJsonObject script{{"canvas", QJsonArray{canvas.width(), canvas.height()}}, {"steps", QJsonArray{step}}};
    return QJsonDocument(script).toJson();
}

bool loadScript(const Arguments &arguments, KPHostScript *script, QString *error)
{
    if (arguments.script.isEmpty())
        return script->parse(kDefaultViewScript, QStringLiteral("(default)"), error);
    QSize canvas(1280, 720);
    QByteArray json;
    QString unused;
    if (arguments.view && KPFileReader::read(arguments.script, &json, &unused) && KPSceneFile::isScene(json, &canvas))
        return script->parse(sceneScript(arguments.script, canvas), arguments.script, error);
    return script->load(arguments.script, error);
}

bool hasDisplay()
{
    Display *display = XOpenDisplay(nullptr);
    if (display)
        XCloseDisplay(display);
    return display != nullptr;
}

bool startRuntime(const Arguments &arguments, const KPHostScript &script, KPObsRuntime &runtime, QString *error)
{
    if (script.logEncrypted())
        kp_obs_set_log_encrypted(*script.logEncrypted());
    KPObsRuntime::Options options;
    options.width = script.canvasWidth();
    options.height = script.canvasHeight();
    options.audio = true;
    options.moduleConfig = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/kp-host/plugin_config");
    if (!runtime.start(options, error))
        return false;
    const QString plugin = arguments.plugin.isEmpty() ? defaultPlugin() : arguments.plugin;
    if (plugin.isEmpty()) {
        runtime.loadInstalledModules(QStringLiteral(KP_INSTALLED_PLUGIN_DIR), QStringLiteral(KP_INSTALLED_DATA_DIR));
        return true;
    }
    return runtime.loadModule(plugin, QString(), error);
}

int finish(KPObsRuntime &runtime, bool succeeded, const QString &error)
{
    kp_obs_release_status_records();
    runtime.shutdown();
    const long leaks = bnum_allocs();
    blog(leaks ? LOG_WARNING : LOG_INFO, "Number of memory leaks: %ld", leaks);
    return succeeded ? 0 : fail(error);
}

// Shows the window until it is closed; with a screenshot path, grabs the
// window once a few frames have been drawn and closes it.
bool showViewer(KPObsRuntime &runtime, const Arguments &arguments, QString *error)
{
    KPHostViewer viewer(runtime);
    KPHostStudio studio(viewer, runtime);
    KPHostRecovery recovery(runtime.scene());
    // A screenshot shows the studio at its default size and closes unasked.
    if (arguments.screenshot.isEmpty()) {
        studio.rememberLayout();
        studio.askBeforeClosing();
    }
    viewer.show();
    studio.recover(recovery);
    if (!arguments.screenshot.isEmpty()) {
        QTimer::singleShot(1500, &viewer, [&] {
            if (!viewer.grab(arguments.screenshot))
                *error = QStringLiteral("cannot write %1").arg(arguments.screenshot);
            viewer.close();
        });
    }
    QApplication::exec();
    recovery.finish();
    return error->isEmpty();
}

int run(const Arguments &arguments, const KPHostScript &script)
{
    KPObsRuntime runtime;
    QString error;
    if (!startRuntime(arguments, script, runtime, &error))
        return fail(error);

    QDir::setCurrent(arguments.outDir);
    bool succeeded = false;
    {
        KPHostPlayer player(runtime);
        succeeded = player.play(script, &error);
        if (succeeded && arguments.view)
            succeeded = showViewer(runtime, arguments, &error);
    }
    return finish(runtime, succeeded, error);
}

} // namespace

int main(int argc, char **argv)
{
    Arguments arguments;
    QString error;
    if (!parseArguments(argc, argv, &arguments, &error))
        return fail(error);
    KPHostScript script;
    if (!loadScript(arguments, &script, &error))
        return fail(error);
    if (!QDir().mkpath(arguments.outDir))
        return fail(QStringLiteral("cannot create output folder %1").arg(arguments.outDir));
    if (!hasDisplay())
        return fail(QStringLiteral("no X display"));

    KPHostLog log(QDir(arguments.outDir).filePath(QStringLiteral("kp-host.log")));
    QApplication app(argc, argv);
    return run(arguments, script);
}
