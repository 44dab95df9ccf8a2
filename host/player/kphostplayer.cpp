#include "kphostplayer.h"

#include "kpfilereader.h"
#include "kphosthotkeys.h"
#include "kphostscript.h"
#include "kpscenefile.h"
#include "kpobsext.h"
#include "kpobsruntime.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTabletEvent>
#include <QThread>

#include <obs.hpp>

namespace {

// Settings travel as libobs reads them from JSON: integers stay integers.
// libobs refuses a whole record for one integer beyond 64 bits; a step that
// went on without it would silently do nothing.
obs_data_t *settingsFrom(const QJsonObject &step)
{
    const QJsonObject settings = step.value(QStringLiteral("settings")).toObject();
    obs_data_t *data =
        obs_data_create_from_json(QJsonDocument(settings).toJson(QJsonDocument::Compact).constData());
    if (!data)
        throw KPStepError(QStringLiteral("libobs cannot read the settings (an integer out of range?)"));
    return data;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        throw KPStepError(QStringLiteral("cannot write %1").arg(path));
}

// An export a button started reports "running" in the source's status until
// its files are written (or it failed).
bool exportRunning(obs_source_t *source)
{
    // The host keeps the status record; it is not released here.
    obs_data_t *status = kp_obs_get_source_status(source);
    return qstrcmp(obs_data_get_string(status, "kp_export_state"), "running") == 0;
}

// A picture source decodes on a worker and says so in its status.
bool pictureLoading(obs_source_t *source)
{
    // The host keeps the status record; it is not released here.
    obs_data_t *status = kp_obs_get_source_status(source);
    return obs_data_get_bool(status, "kp_picture_loading");
}

obs_mouse_event mouseEvent(const QJsonObject &step)
{
    obs_mouse_event event = {};
    event.modifiers = static_cast<uint32_t>(KPHostScript::integer(step, "modifiers"));
    event.x = KPHostScript::integer(step, "x");
    event.y = KPHostScript::integer(step, "y");
    return event;
}

void sendKey(obs_source_t *source, uint32_t vkey, const QByteArray &text, uint32_t modifiers, bool up)
{
    QByteArray textCopy = text;
    obs_key_event event = {};
    event.modifiers = modifiers;
    event.text = textCopy.data();
    event.native_vkey = vkey;
    obs_source_send_key_click(source, &event, up);
}

} // namespace

KPHostPlayer::KPHostPlayer(KPObsRuntime &runtime) : m_runtime(runtime) {}

KPHostPlayer::~KPHostPlayer()
{
    releaseAll();
}

bool KPHostPlayer::play(const KPHostScript &script, QString *error)
{
    const QJsonArray &steps = script.steps();
    for (int i = 0; i < steps.size(); ++i) {
        const QJsonObject step = steps[i].toObject();
        try {
            runStep(step);
        } catch (const KPStepError &fault) {
            *error = KPHostScript::formatError(i, KPHostScript::text(step, "do"), QString::fromStdString(fault.what()));
            return false;
        }
        QCoreApplication::processEvents();
    }
    return true;
}

void KPHostPlayer::runStep(const QJsonObject &step)
{
    static const QMap<QString, Step> steps = {
        {"create", &KPHostPlayer::create},   {"update", &KPHostPlayer::update},
        {"mouse", &KPHostPlayer::mouse},     {"wheel", &KPHostPlayer::wheel},
        {"key", &KPHostPlayer::key},         {"type", &KPHostPlayer::typeText},
        {"focus", &KPHostPlayer::focus},     {"tablet", &KPHostPlayer::tablet},
        {"command", &KPHostPlayer::command}, {"status", &KPHostPlayer::status},
        {"save", &KPHostPlayer::save},       {"load", &KPHostPlayer::load},
        {"clipboard", &KPHostPlayer::clipboard}, {"copy", &KPHostPlayer::copy},
        {"frames", &KPHostPlayer::frames},   {"render", &KPHostPlayer::render},
        {"hide", &KPHostPlayer::hide},       {"show", &KPHostPlayer::show},
        {"remove", &KPHostPlayer::remove},   {"hotkey", &KPHostPlayer::hotkey},
        {"stats", &KPHostPlayer::stats},
        {"button", &KPHostPlayer::button},   {"save_scene", &KPHostPlayer::saveScene},
        {"load_scene", &KPHostPlayer::loadScene}, {"render_output", &KPHostPlayer::renderOutput},
        {"start_output", &KPHostPlayer::startOutput}, {"stop_output", &KPHostPlayer::stopOutput},
    };
    (this->*steps.value(KPHostScript::text(step, "do")))(step);
}

void KPHostPlayer::releaseAll()
{
    m_outputs.releaseAll();
    for (Entry &entry : m_sources) {
        m_runtime.removeFromOutput(m_runtime.itemOf(entry.source));
        obs_source_release(entry.source);
    }
    m_sources.clear();
}

KPHostPlayer::Entry &KPHostPlayer::entryFor(const QJsonObject &step)
{
    const QString name = KPHostScript::text(step, "name");
    auto it = m_sources.find(name);
    if (it == m_sources.end())
        throw KPStepError(QStringLiteral("unknown source name \"%1\"").arg(name));
    return *it;
}

void KPHostPlayer::addSource(const QString &name, obs_source_t *source)
{
    Entry entry;
    entry.source = source;
    m_runtime.show(source);
    m_sources.insert(name, entry);
}

void KPHostPlayer::waitTicks(quint64 count)
{
    const int bound = 5000 + static_cast<int>(count) * 100;
    if (!m_runtime.waitTicks(count, bound))
        throw KPStepError(QStringLiteral("no video tick within %1 ms").arg(bound));
}

obs_source_t *KPHostPlayer::createSource(const QString &name, const QString &type, obs_data_t *settings)
{
    if (m_sources.contains(name))
        throw KPStepError(QStringLiteral("source name \"%1\" is already used").arg(name));
    if (!KPSceneFile::typeKnown(type))
        throw KPStepError(QStringLiteral("unknown source type \"%1\"").arg(type));
    obs_source_t *source = obs_source_create(type.toUtf8().constData(), name.toUtf8().constData(), settings, nullptr);
    if (!source)
        throw KPStepError(QStringLiteral("libobs could not create \"%1\"").arg(name));
    return source;
}

void KPHostPlayer::create(const QJsonObject &step)
{
    const QString name = KPHostScript::text(step, "name");
    OBSDataAutoRelease settings = settingsFrom(step);
    addSource(name, createSource(name, KPHostScript::text(step, "type"), settings));
}

void KPHostPlayer::update(const QJsonObject &step)
{
    obs_source_t *source = sourceFor(step);
    OBSDataAutoRelease settings = settingsFrom(step);
    obs_source_update(source, settings);
    // libobs applies a video source's update on its next tick, and a source
    // that hands settings on to a child (a slideshow to its slide) does so by
    // an update of its own, applied a tick later still; later steps must find
    // both applied, as they would after a user's pause.
    if (obs_source_get_output_flags(source) & OBS_SOURCE_VIDEO)
        waitTicks(3);
}

void KPHostPlayer::mouse(const QJsonObject &step)
{
    obs_source_t *source = sourceFor(step);
    const obs_mouse_event event = mouseEvent(step);
    const QString action = KPHostScript::text(step, "action");
    if (action == QLatin1String("down") || action == QLatin1String("up")) {
        obs_source_send_mouse_click(source, &event, KPHostScript::integer(step, "button"),
                                    action == QLatin1String("up"),
                                    static_cast<uint32_t>(KPHostScript::integer(step, "clicks", 1)));
    } else {
        obs_source_send_mouse_move(source, &event, action == QLatin1String("leave"));
    }
}

void KPHostPlayer::wheel(const QJsonObject &step)
{
    const obs_mouse_event event = mouseEvent(step);
    obs_source_send_mouse_wheel(sourceFor(step), &event, KPHostScript::integer(step, "dx"),
                                KPHostScript::integer(step, "dy"));
}

void KPHostPlayer::key(const QJsonObject &step)
{
    sendKey(sourceFor(step), static_cast<uint32_t>(KPHostScript::integer(step, "vkey")),
            KPHostScript::text(step, "text").toUtf8(),
            static_cast<uint32_t>(KPHostScript::integer(step, "modifiers")), KPHostScript::flag(step, "up"));
}

void KPHostPlayer::typeText(const QJsonObject &step)
{
    obs_source_t *source = sourceFor(step);
    for (const uint codePoint : KPHostScript::text(step, "text").toUcs4()) {
        const QByteArray character = QString::fromUcs4(&codePoint, 1).toUtf8();
        sendKey(source, codePoint, character, 0, false);
        sendKey(source, codePoint, character, 0, true);
    }
}

void KPHostPlayer::focus(const QJsonObject &step)
{
    obs_source_send_focus(sourceFor(step), KPHostScript::flag(step, "focus"));
}

void KPHostPlayer::tablet(const QJsonObject &step)
{
    obs_source_t *source = sourceFor(step);
    const QString action = KPHostScript::text(step, "action");
    const QEvent::Type type = action == QLatin1String("press")  ? QEvent::TabletPress
                              : action == QLatin1String("move") ? QEvent::TabletMove
                                                                : QEvent::TabletRelease;
    const QPointF position(KPHostScript::number(step, "x"), KPHostScript::number(step, "y"));
    const Qt::MouseButton button = type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton;
    QTabletEvent event(type, position, position, QTabletEvent::Stylus, QTabletEvent::Pen,
                       KPHostScript::number(step, "pressure"), 0, 0, 0.0, 0.0, 0, Qt::NoModifier, 1, button,
                       Qt::MouseButtons(KPHostScript::integer(step, "buttons")));
    kp_tablet_event(source, &event);
}

void KPHostPlayer::command(const QJsonObject &step)
{
    obs_source_t *source = sourceFor(step);
    OBSDataAutoRelease settings = step.contains(QStringLiteral("settings")) ? settingsFrom(step) : nullptr;
    kp_obs_custom_callback(source, KPHostScript::integer(step, "number"), settings);
}

void KPHostPlayer::status(const QJsonObject &step)
{
    // The host keeps the status record; it is not released here.
    obs_data_t *record = kp_obs_get_source_status(sourceFor(step));
    writeFile(KPHostScript::text(step, "out"), obs_data_get_json(record));
}

// libobs's own count of the frames it produced and of those it rendered late.
void KPHostPlayer::stats(const QJsonObject &step)
{
    const QJsonObject counts{{QStringLiteral("total_frames"), qint64(obs_get_total_frames())},
                             {QStringLiteral("lagged_frames"), qint64(obs_get_lagged_frames())}};
    writeFile(KPHostScript::text(step, "out"), QJsonDocument(counts).toJson(QJsonDocument::Compact));
}

void KPHostPlayer::save(const QJsonObject &step)
{
    obs_source_t *source = sourceFor(step);
    obs_source_save(source);
    OBSDataAutoRelease settings = obs_source_get_settings(source);
    writeFile(KPHostScript::text(step, "out"), obs_data_get_json(settings));
}

void KPHostPlayer::load(const QJsonObject &step)
{
    const QString from = KPHostScript::text(step, "from");
    QByteArray json;
    QString reason;
    if (!KPFileReader::read(from, &json, &reason))
        throw KPStepError(QStringLiteral("cannot read %1: %2").arg(from, reason));
    // libobs takes any JSON value and reads a top-level array as an empty record.
    if (!QJsonDocument::fromJson(json).isObject())
        throw KPStepError(QStringLiteral("%1 is not a settings record (a JSON object)").arg(from));
    OBSDataAutoRelease settings = obs_data_create_from_json(json.constData());
    if (!settings)
        throw KPStepError(QStringLiteral("%1 is not a settings record").arg(from));
    const QString name = KPHostScript::text(step, "name");
    obs_source_t *source = createSource(name, KPHostScript::text(step, "type"), settings);
    obs_source_load(source);
    addSource(name, source);
}

void KPHostPlayer::clipboard(const QJsonObject &step)
{
    QGuiApplication::clipboard()->setText(KPHostScript::text(step, "text"));
}

void KPHostPlayer::copy(const QJsonObject &step)
{
    const QString from = KPHostScript::text(step, "from");
    const QString to = KPHostScript::text(step, "to");
    if (!QFileInfo(from).isFile())
        throw KPStepError(QStringLiteral("cannot read %1").arg(from));
    const QDateTime previous = QFileInfo(to).lastModified();
    QFile::remove(to);
    if (!QFile::copy(from, to))
        throw KPStepError(QStringLiteral("cannot copy %1 to %2").arg(from, to));
    // A picture replaced within the same second must still look changed.
    QDateTime stamp = QDateTime::currentDateTime();
    if (previous.isValid() && stamp <= previous.addSecs(1))
        stamp = previous.addSecs(2);
    QFile copied(to);
    if (!copied.open(QIODevice::ReadWrite) || !copied.setFileTime(stamp, QFileDevice::FileModificationTime))
        throw KPStepError(QStringLiteral("cannot set the modification time of %1").arg(to));
}

void KPHostPlayer::frames(const QJsonObject &step)
{
    const int count = KPHostScript::integer(step, "count");
    if (count < 0)
        throw KPStepError(QStringLiteral("field \"count\" must not be negative"));
    waitTicks(static_cast<quint64>(count));
}

void KPHostPlayer::render(const QJsonObject &step)
{
    obs_source_t *source = sourceFor(step);
    // The tick under way may have started before the previous step.
    waitTicks(2);
    for (int i = 0; i < 300 && pictureLoading(source); ++i)
        waitTicks(1);
    writeImage(m_runtime.renderSource(source), KPHostScript::text(step, "out"));
}

void KPHostPlayer::writeImage(const QImage &image, const QString &out)
{
    if (image.isNull() || !image.save(out, "PNG"))
        throw KPStepError(QStringLiteral("cannot render to %1").arg(out));
}

void KPHostPlayer::renderOutput(const QJsonObject &step)
{
    waitTicks(2);
    writeImage(m_runtime.renderSource(obs_scene_get_source(m_runtime.scene())), KPHostScript::text(step, "out"));
}

void KPHostPlayer::saveScene(const QJsonObject &step)
{
    QString error;
    if (!KPSceneFile::save(m_runtime.scene(), KPHostScript::text(step, "out"), &error))
        throw KPStepError(error);
}

// The scene's sources join the script's by their names.
void KPHostPlayer::loadScene(const QJsonObject &step)
{
    QStringList names;
    QString error;
    if (!KPSceneFile::open(m_runtime.scene(), KPHostScript::text(step, "from"), &names, &error))
        throw KPStepError(error);
    for (const QString &name : qAsConst(names)) {
        if (m_sources.contains(name))
            throw KPStepError(QStringLiteral("source name \"%1\" is already used").arg(name));
        m_sources.insert(name, Entry{obs_get_source_by_name(name.toUtf8().constData())});
    }
}

void KPHostPlayer::hide(const QJsonObject &step)
{
    m_runtime.setVisible(m_runtime.itemOf(sourceFor(step)), false);
}

void KPHostPlayer::show(const QJsonObject &step)
{
    m_runtime.setVisible(m_runtime.itemOf(sourceFor(step)), true);
}

void KPHostPlayer::remove(const QJsonObject &step)
{
    Entry entry = entryFor(step);
    m_sources.remove(KPHostScript::text(step, "name"));
    m_runtime.removeFromOutput(m_runtime.itemOf(entry.source));
    obs_source_release(entry.source);
}

void KPHostPlayer::hotkey(const QJsonObject &step)
{
    const QString name = KPHostScript::text(step, "hotkey");
    const obs_hotkey_id id = KPHostHotkeys::find(sourceFor(step), name);
    if (id == OBS_INVALID_HOTKEY_ID)
        throw KPStepError(QStringLiteral("the source has no hotkey \"%1\"").arg(name));
    KPHostHotkeys::fire(id, KPHostScript::flag(step, "pressed", true));
}

void KPHostPlayer::button(const QJsonObject &step)
{
    obs_source_t *source = sourceFor(step);
    const QString name = KPHostScript::text(step, "property");
    obs_properties_t *properties = obs_source_properties(source);
    obs_property_t *property = obs_properties_get(properties, name.toUtf8().constData());
    const bool isButton = property && obs_property_get_type(property) == OBS_PROPERTY_BUTTON;
    if (isButton)
        obs_property_button_clicked(property, source);
    obs_properties_destroy(properties);
    if (!isButton)
        throw KPStepError(QStringLiteral("the source has no button \"%1\"").arg(name));
    const int bound = 60000;
    QElapsedTimer timer;
    timer.start();
    while (exportRunning(source)) {
        if (timer.elapsed() > bound)
            throw KPStepError(QStringLiteral("the export did not finish within %1 ms").arg(bound));
        QThread::msleep(10);
    }
}

// Waits until the output is live: a minute bounds joining a server on a busy machine.
void KPHostPlayer::startOutput(const QJsonObject &step)
{
    OBSDataAutoRelease settings = settingsFrom(step);
    m_outputs.start(KPHostScript::text(step, "name"), KPHostScript::text(step, "type"), settings, 60000);
}

void KPHostPlayer::stopOutput(const QJsonObject &step)
{
    m_outputs.stop(KPHostScript::text(step, "name"));
}
