#include "imagetestsupport.h"

#include "kpobstestenvironment.h"
#include "kppictureloader.h"

#include <QDir>

ImageSource::ImageSource(const char *type, obs_data_t *settings, bool shown)
    : m_source(obs_source_create(type, "image", settings, nullptr))
{
    if (shown)
        m_item = KPObsTestEnvironment::runtime().show(m_source);
    waitForPictures();
}

ImageSource::~ImageSource()
{
    KPObsTestEnvironment::runtime().removeFromOutput(m_item);
    obs_source_release(m_source);
}

KPImagePluginList *ImageSource::list() const
{
    return static_cast<KPImagePluginList *>(obs_obj_get_data(m_source));
}

void ImageSource::update(obs_data_t *settings)
{
    obs_source_update(m_source, settings);
    waitTicks(2);
    waitForPictures();
}

void ImageSource::setFile(const QString &path)
{
    update(fileSettings(path));
}

void ImageSource::useTool(int type, long long color, int size)
{
    OBSDataAutoRelease tool = obs_data_create();
    obs_data_set_int(tool, "kp_wb_draw_type", type);
    obs_data_set_int(tool, "kp_wb_draw_color", color);
    obs_data_set_int(tool, "kp_wb_draw_size", size);
    update(tool);
}

void ImageSource::setVisible(bool visible)
{
    if (!m_item)
        m_item = KPObsTestEnvironment::runtime().show(m_source);
    else
        KPObsTestEnvironment::runtime().setVisible(m_item, visible);
    waitTicks(2);
    waitForPictures();
}

void ImageSource::drag(QPoint from, QPoint to)
{
    obs_mouse_event event = {0, from.x(), from.y()};
    obs_source_send_mouse_click(m_source, &event, MOUSE_LEFT, false, 1);
    event.x = to.x();
    event.y = to.y();
    obs_source_send_mouse_move(m_source, &event, false);
    obs_source_send_mouse_click(m_source, &event, MOUSE_LEFT, true, 1);
}

QImage ImageSource::frame()
{
    waitForPictures();
    return KPObsTestEnvironment::runtime().renderSource(m_source);
}

OBSDataAutoRelease fileSettings(const QString &path)
{
    obs_data_t *settings = obs_data_create();
    obs_data_set_string(settings, "file", path.toUtf8().constData());
    return settings;
}

QString writePicture(const QString &dir, const QString &name, QColor colour, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = QDir(dir).filePath(name);
    return image.save(path, "PNG") ? path : QString();
}

bool waitForPictures()
{
    for (int i = 0; i < 1000 && KPPictureLoader::requestsInFlight() > 0; ++i)
        waitTicks(1);
    // The texture is made on the tick after the decode.
    return KPPictureLoader::requestsInFlight() == 0 && waitTicks(2);
}

bool waitTicks(int count)
{
    return KPObsTestEnvironment::runtime().waitTicks(static_cast<quint64>(count), 5000);
}
