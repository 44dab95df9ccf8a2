#include "kpobsruntime.h"

#include "kphosttransitions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <X11/Xlib.h>
#include <obs-nix-platform.h>

#include <cstring>

namespace {

const char kGraphicsModule[] = "libobs-opengl.so.29";

QImage readBack(gs_texture_t *texture, uint32_t width, uint32_t height)
{
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGBA8888);
    image.fill(Qt::transparent);
    gs_stagesurf_t *stage = gs_stagesurface_create(width, height, GS_RGBA);
    if (!stage)
        return image;
    gs_stage_texture(stage, texture);
    uint8_t *data = nullptr;
    uint32_t lineSize = 0;
    if (gs_stagesurface_map(stage, &data, &lineSize)) {
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(image.scanLine(static_cast<int>(y)), data + y * lineSize, width * 4);
        gs_stagesurface_unmap(stage);
    }
    gs_stagesurface_destroy(stage);
    return image;
}

} // namespace

KPObsRuntime::KPObsRuntime() = default;

KPObsRuntime::~KPObsRuntime()
{
    shutdown();
}

bool KPObsRuntime::start(const Options &options, QString *error)
{
    if (options.video) {
        m_display = XOpenDisplay(nullptr);
        if (!m_display) {
            *error = QStringLiteral("no X display");
            return false;
        }
        obs_set_nix_platform(OBS_NIX_PLATFORM_X11_EGL);
        obs_set_nix_platform_display(m_display);
    }
    const QByteArray moduleConfig = QFile::encodeName(options.moduleConfig);
    if (!obs_startup("en-US", moduleConfig.isEmpty() ? nullptr : moduleConfig.constData(), nullptr)) {
        *error = QStringLiteral("libobs did not start");
        return false;
    }
    m_started = true;
    // A host application brings its own transitions; libobs alone has none.
    KPHostTransitions::registerMissing();
    if (options.video) {
        obs_video_info ovi = {};
        ovi.graphics_module = kGraphicsModule;
        ovi.fps_num = 30;
        ovi.fps_den = 1;
        ovi.base_width = ovi.output_width = static_cast<uint32_t>(options.width);
        ovi.base_height = ovi.output_height = static_cast<uint32_t>(options.height);
        // Outputs take raw frames from libobs's conversion of the canvas:
        // with RGBA here they were handed empty frames on this system.
        ovi.output_format = VIDEO_FORMAT_NV12;
        ovi.gpu_conversion = true;
        ovi.colorspace = VIDEO_CS_DEFAULT;
        ovi.range = VIDEO_RANGE_DEFAULT;
        ovi.scale_type = OBS_SCALE_BILINEAR;
        const int result = obs_reset_video(&ovi);
        if (result != OBS_VIDEO_SUCCESS) {
            *error = QStringLiteral("video could not start (libobs error %1)").arg(result);
            return false;
        }
        m_video = true;
        obs_add_tick_callback(&KPObsRuntime::onTick, this);
    }
    if (options.audio) {
        const obs_audio_info audio = {48000, SPEAKERS_STEREO};
        if (!obs_reset_audio(&audio)) {
            *error = QStringLiteral("audio could not start");
            return false;
        }
    }
    m_scene = obs_scene_create("kp-host output");
    obs_set_output_source(0, obs_scene_get_source(m_scene));
    return true;
}

void KPObsRuntime::shutdown()
{
    if (!m_started)
        return;
    obs_set_output_source(0, nullptr);
    obs_scene_release(m_scene);
    m_scene = nullptr;
    if (m_video)
        obs_remove_tick_callback(&KPObsRuntime::onTick, this);
    drainDestroyQueue();
    obs_shutdown();
    m_started = false;
    m_video = false;
    if (m_display) {
        XCloseDisplay(static_cast<Display *>(m_display));
        m_display = nullptr;
    }
}

void KPObsRuntime::drainDestroyQueue()
{
    // A source released on the video thread reaches the destroy thread a
    // task later, and destroying it may release more: two rounds of a
    // waited no-op behind each queue. (obs_wait_for_destroy_queue was seen
    // to return false at once here, without waiting.)
    const auto nothing = [](void *) {};
    for (int round = 0; round < 2; ++round) {
        if (m_video)
            obs_queue_task(OBS_TASK_GRAPHICS, nothing, nullptr, true);
        obs_queue_task(OBS_TASK_DESTROY, nothing, nullptr, true);
    }
}

QString KPObsRuntime::findModuleDataPath(const QString &modulePath)
{
    const QDir dir = QFileInfo(modulePath).absoluteDir();
    const QString name = QFileInfo(modulePath).completeBaseName();
    const QStringList candidates = {
        dir.filePath(QStringLiteral("data")),
        dir.filePath(QStringLiteral("../../share/obs/obs-plugins/%1").arg(name)),
        dir.filePath(QStringLiteral("../../../share/obs/obs-plugins/%1").arg(name)),
    };
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate + QStringLiteral("/locale")).isDir())
            return QDir::cleanPath(candidate);
    }
    return QString();
}

bool KPObsRuntime::loadModule(const QString &modulePath, const QString &dataPath, QString *error)
{
    const QString data = dataPath.isEmpty() ? findModuleDataPath(modulePath) : dataPath;
    const QByteArray path = modulePath.toLocal8Bit();
    const QByteArray dataBytes = data.toLocal8Bit();
    obs_module_t *module = nullptr;
    const int result = obs_open_module(&module, path.constData(),
                                       data.isEmpty() ? nullptr : dataBytes.constData());
    if (result != MODULE_SUCCESS) {
        *error = QStringLiteral("cannot open plug-in %1 (libobs error %2)").arg(modulePath).arg(result);
        return false;
    }
    blog(LOG_INFO, "kp-host: plug-in %s, data folder %s", path.constData(),
         data.isEmpty() ? "(none)" : dataBytes.constData());
    if (!obs_init_module(module)) {
        *error = QStringLiteral("plug-in %1 failed to initialise").arg(modulePath);
        return false;
    }
    return true;
}

void KPObsRuntime::loadInstalledModules(const QString &pluginFolder, const QString &dataFolder)
{
    obs_add_module_path(pluginFolder.toLocal8Bit().constData(), dataFolder.toLocal8Bit().constData());
    obs_load_all_modules();
    obs_post_load_modules();
}

obs_sceneitem_t *KPObsRuntime::show(obs_source_t *source)
{
    return m_scene ? obs_scene_add(m_scene, source) : nullptr;
}

void KPObsRuntime::setVisible(obs_sceneitem_t *item, bool visible)
{
    if (item)
        obs_sceneitem_set_visible(item, visible);
}

void KPObsRuntime::removeFromOutput(obs_sceneitem_t *item)
{
    if (item)
        obs_sceneitem_remove(item);
}

obs_sceneitem_t *KPObsRuntime::itemOf(obs_source_t *source) const
{
    obs_sceneitem_t *item = m_scene && source ? obs_scene_sceneitem_from_source(m_scene, source) : nullptr;
    obs_sceneitem_release(item);
    return item;
}

void KPObsRuntime::onTick(void *param, float)
{
    static_cast<KPObsRuntime *>(param)->m_ticks.fetch_add(1);
}

bool KPObsRuntime::waitTicks(quint64 count, int timeoutMs)
{
    if (!m_video)
        return count == 0;
    const quint64 target = m_ticks.load() + count;
    QElapsedTimer timer;
    timer.start();
    while (m_ticks.load() < target) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(2);
    }
    return true;
}

QImage KPObsRuntime::renderSource(obs_source_t *source)
{
    if (!m_video || !source)
        return QImage();
    const uint32_t width = obs_source_get_width(source);
    const uint32_t height = obs_source_get_height(source);
    if (width == 0 || height == 0) {
        QImage empty(1, 1, QImage::Format_RGBA8888);
        empty.fill(Qt::transparent);
        return empty;
    }

    QImage image;
    obs_enter_graphics();
    gs_texrender_t *target = gs_texrender_create(GS_RGBA, GS_ZS_NONE);
    if (gs_texrender_begin(target, width, height)) {
        vec4 clear;
        vec4_zero(&clear);
        gs_clear(GS_CLEAR_COLOR, &clear, 0.0f, 0);
        gs_ortho(0.0f, static_cast<float>(width), 0.0f, static_cast<float>(height), -100.0f, 100.0f);
        // Straight colour with correct coverage on a transparent target.
        gs_blend_state_push();
        gs_blend_function_separate(GS_BLEND_SRCALPHA, GS_BLEND_INVSRCALPHA, GS_BLEND_ONE,
                                   GS_BLEND_INVSRCALPHA);
        obs_source_video_render(source);
        gs_blend_state_pop();
        gs_texrender_end(target);
        image = readBack(gs_texrender_get_texture(target), width, height);
    }
    gs_texrender_destroy(target);
    obs_leave_graphics();
    return image;
}
