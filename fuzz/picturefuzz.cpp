// libFuzzer target: the input is read as the settings record of a picture
// source and given to both image types and to a slideshow (create, update
// twice, show, hide, size, property sheet, its "kp_picture_boards" loaded
// and saved again), and its "use_custom_size" to the canvas reader. "file" is kept inside a scratch folder of pictures (one of
// them hostile, one a folder), so that runs never depend on the machine.

#include "kpfolderscan.h"
#include "kpimage.h"
#include "kpmodule.h"
#include "kpslideshow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <obs.h>
#include <util/base.h>
#include <util/platform.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

QString g_scratch;

void dropLine(int, const char *, va_list, void *) {}
void dropQtMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

void writeScratch(const QString &dir)
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QDir(dir).mkpath(QStringLiteral("deck"));
    for (const char *name : {"a.png", "b.bmp", "deck/1.png", "deck/2.jpg"})
        picture.save(QDir(dir).filePath(QString::fromLatin1(name)));
    // A GIF whose second frame lies far outside its screen.
    QFile gif(QDir(dir).filePath(QStringLiteral("far.gif")));
    if (gif.open(QIODevice::WriteOnly))
        gif.write(QByteArray::fromHex("4749463839610100010080000000000000ffffff2c000000000001000100000202440100"
                                      "2cffffffffffffffff000202440100") + ";");
}

// The record's "file", moved into the scratch folder by its last component.
void confine(obs_data_t *record)
{
    const QString file = QString::fromUtf8(obs_data_get_string(record, "file"));
    if (file.isEmpty())
        return;
    const QString inside = QDir(g_scratch).filePath(QFileInfo(file).fileName());
    obs_data_set_string(record, "file", inside.toUtf8().constData());
}

void saveAgain(void *data, void (*save)(void *, obs_data_t *))
{
    obs_data_t *saved = obs_data_create();
    save(data, saved);
    obs_data_release(saved);
}

void playImage(const char *type, obs_data_t *record)
{
    obs_source_t *source = obs_source_create_private(type, nullptr, record);
    if (void *data = obs_obj_get_data(source)) {
        kp_image_source_update(data, record);
        kp_image_source_load_boards(data, record);
        kp_image_source_show(data);
        kp_image_source_update(data, record);
        kp_image_source_hide(data);
        kp_image_source_get_width(data);
        saveAgain(data, kp_image_source_save);
        obs_properties_destroy(kp_image_source_properties(data));
    }
    obs_source_release(source);
}

void playSlideshow(obs_data_t *record)
{
    obs_source_t *source = obs_source_create_private("kp_image_source", nullptr, record);
    if (void *data = obs_obj_get_data(source)) {
        ss_load(data, record);
        ss_update(data, record);
        // The first fill reads its folder on a worker and lands on a tick.
        const auto *ss = static_cast<const slideshow *>(data);
        for (int i = 0; i < 2000 && ss->scanRunning(); ++i)
            os_sleep_ms(1);
        ss_video_tick(data, 0.0f);
        ss_update(data, record);
        ss_video_tick(data, 0.0f);
        ss_width(data);
        saveAgain(data, ss_save);
        obs_data_t *status = obs_data_create();
        ss_image_status(data, status);
        obs_data_release(status);
        obs_properties_destroy(ss_properties(data));
    }
    obs_source_release(source);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication *app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app);
    static QTemporaryDir scratch;
    g_scratch = scratch.path();
    writeScratch(g_scratch);
    // libobs without video: pictures decode, but no texture is ever made.
    if (!obs_startup("en-US", nullptr, nullptr)) {
        std::fprintf(stderr, "fuzz_pictures: libobs did not start\n");
        std::abort();
    }
    kpmodule::registerSources();
    base_set_log_handler(dropLine, nullptr);
    qInstallMessageHandler(dropQtMessage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string json(reinterpret_cast<const char *>(data), size);
    obs_data_t *record = obs_data_create_from_json(json.c_str());
    if (!record)
        return 0;
    confine(record);
    playImage("obsolete_image_module", record);
    playImage("kp_single_image_source", record);
    playSlideshow(record);
    // Sources go on libobs's own thread; each run starts from none (a waited
    // task behind them: obs_wait_for_destroy_queue returns at once here).
    obs_queue_task(OBS_TASK_DESTROY, [](void *) {}, nullptr, true);
    for (uint32_t side : {0u, 1u, 640u, 16384u}) {
        uint32_t width = side;
        uint32_t height = side / 2 + 1;
        ss_custom_size(obs_data_get_string(record, "use_custom_size"), "Automatic", &width, &height);
    }
    obs_data_release(record);
    return 0;
}
