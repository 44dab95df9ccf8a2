// libFuzzer target: the input is read as a scene file, as kp-host opens one
// (checks, every record converted, sources created, loaded and put on the
// output, all or nothing), then everything it opened is taken off and
// released again.

#include "kpmodule.h"
#include "kpscenefile.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QVector>

#include <obs.h>
#include <util/base.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QString g_scene;
obs_scene_t *g_output = nullptr;

void dropLine(int, const char *, va_list, void *) {}
void dropQtMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

bool collect(obs_scene_t *, obs_sceneitem_t *item, void *items)
{
    obs_sceneitem_addref(item);
    static_cast<QVector<obs_sceneitem_t *> *>(items)->append(item);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication *app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app);
    static QTemporaryDir scratch;
    g_scene = QDir(scratch.path()).filePath(QStringLiteral("scene.json"));
    // libobs without video: sources are made and loaded, nothing is drawn.
    if (!obs_startup("en-US", nullptr, nullptr)) {
        std::fprintf(stderr, "fuzz_scenes: libobs did not start\n");
        std::abort();
    }
    kpmodule::registerSources();
    g_output = obs_scene_create("fuzz output");
    base_set_log_handler(dropLine, nullptr);
    qInstallMessageHandler(dropQtMessage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QFile file(g_scene);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();
    QStringList names;
    QString error;
    const bool opened = KPSceneFile::open(g_output, g_scene, &names, &error);
    QVector<obs_sceneitem_t *> items;
    obs_scene_enum_items(g_output, collect, &items);
    // A failed open adds nothing; a successful one adds one item per name.
    if (items.size() != (opened ? names.size() : 0)) {
        std::fprintf(stderr, "fuzz_scenes: %d items on the output after %s\n", int(items.size()),
                     opened ? "an open" : "a failure");
        std::abort();
    }
    for (obs_sceneitem_t *item : items) {
        obs_sceneitem_remove(item);
        obs_sceneitem_release(item);
    }
    // Sources go on libobs's own thread; each run starts from none.
    obs_queue_task(OBS_TASK_DESTROY, [](void *) {}, nullptr, true);
    return 0;
}
