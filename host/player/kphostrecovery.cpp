#include "kphostrecovery.h"

#include "kpscenefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <util/base.h>

namespace {

// The first change after a copy waits this long, so that a stroke is
// finished before it is saved, and a presenter drawing without pause gets
// a copy this often.
const int kDelayMs = 2000;
const char kFileName[] = "scene.json";
const char kLockName[] = "studio.lock";

} // namespace

KPHostRecovery::KPHostRecovery(obs_scene_t *scene, QObject *parent) : QObject(parent), m_scene(scene)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &KPHostRecovery::saveNow);
    if (!QDir().mkpath(folder())) {
        blog(LOG_WARNING, "kp-host: cannot create the recovery folder %s; no recovery copy is kept",
             qPrintable(folder()));
        return;
    }
    auto lock = std::make_unique<QLockFile>(QDir(folder()).filePath(QLatin1String(kLockName)));
    // A lock whose studio has died is taken over; a live one is left alone.
    if (!lock->tryLock(0)) {
        blog(LOG_WARNING, "kp-host: another studio keeps the recovery copy in %s; this one keeps none",
             qPrintable(folder()));
        return;
    }
    m_lock = std::move(lock);
    m_leftover = QFile::exists(path());
    if (m_leftover)
        blog(LOG_INFO, "kp-host: a recovery copy from an unclean exit is in %s", qPrintable(path()));
}

KPHostRecovery::~KPHostRecovery() = default;

QString KPHostRecovery::folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/kp-toolkit/recovery");
}

QString KPHostRecovery::path() const
{
    return QDir(folder()).filePath(QLatin1String(kFileName));
}

KPHostRecovery::Answer KPHostRecovery::presetAnswer()
{
    const QByteArray answer = qgetenv("KP_HOST_RECOVERY");
    if (answer == "reopen")
        return Answer::Reopen;
    if (answer == "discard")
        return Answer::Discard;
    return Answer::Ask;
}

void KPHostRecovery::discardLeftover()
{
    m_leftover = false;
    if (QFile::exists(path()) && !QFile::remove(path()))
        blog(LOG_WARNING, "kp-host: cannot remove the recovery copy %s", qPrintable(path()));
}

QString KPHostRecovery::setLeftoverAside()
{
    m_leftover = false;
    const QString aside = QDir(folder()).filePath(
        QStringLiteral("scene-%1.json").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"))));
    if (!QFile::rename(path(), aside)) {
        blog(LOG_WARNING, "kp-host: cannot set the recovery copy %s aside", qPrintable(path()));
        return path();
    }
    blog(LOG_WARNING, "kp-host: the recovery copy could not be reopened; kept as %s", qPrintable(aside));
    return aside;
}

void KPHostRecovery::noteChange()
{
    // Not restarted by later changes: a copy at most every kDelayMs.
    if (enabled() && !m_timer.isActive())
        m_timer.start();
}

bool KPHostRecovery::saveNow()
{
    m_timer.stop();
    if (!enabled())
        return false;
    QString error;
    if (!KPSceneFile::save(m_scene, path(), &error)) {
        blog(LOG_WARNING, "kp-host: recovery copy not written: %s", qPrintable(error));
        return false;
    }
    // What this studio wrote replaces whatever was left over.
    m_leftover = false;
    return true;
}

void KPHostRecovery::finish()
{
    m_timer.stop();
    if (enabled() && QFile::exists(path()) && !QFile::remove(path()))
        blog(LOG_WARNING, "kp-host: cannot remove the recovery copy %s", qPrintable(path()));
}
