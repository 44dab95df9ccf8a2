#include "kphostoutputs.h"

#include "kphostscript.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace {

// libobs creates an output of a type it does not know, one that never starts.
bool typeKnown(const QString &type)
{
    const char *id = nullptr;
    for (size_t i = 0; obs_enum_output_types(i, &id); ++i) {
        if (type == QLatin1String(id))
            return true;
    }
    return false;
}

} // namespace

KPHostOutputs::~KPHostOutputs()
{
    releaseAll();
}

void KPHostOutputs::start(const QString &name, const QString &type, obs_data_t *settings, int timeoutMs)
{
    if (!m_outputs.contains(name) && !typeKnown(type))
        throw KPStepError(QStringLiteral("libobs could not create an output of type \"%1\"").arg(type));
    std::shared_ptr<Entry> &entry = m_outputs[name];
    if (!entry) {
        obs_output_t *output = obs_output_create(type.toUtf8().constData(), name.toUtf8().constData(), settings, nullptr);
        if (!output) {
            m_outputs.remove(name);
            throw KPStepError(QStringLiteral("libobs could not create an output of type \"%1\"").arg(type));
        }
        entry = std::make_shared<Entry>();
        entry->output = output;
        signal_handler_connect(obs_output_get_signal_handler(output), "stop", &KPHostOutputs::onStop, entry.get());
    } else {
        obs_output_update(entry->output, settings);
    }
    entry->stopped = false;
    if (!obs_output_start(entry->output))
        throw KPStepError(QStringLiteral("output \"%1\" did not start: %2").arg(name, lastError(entry->output, 0)));
    QElapsedTimer waited;
    waited.start();
    while (!obs_output_active(entry->output) && !entry->stopped) {
        if (waited.elapsed() > timeoutMs)
            throw KPStepError(QStringLiteral("output \"%1\" was not live within %2 ms").arg(name).arg(timeoutMs));
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    if (entry->stopped)
        throw KPStepError(QStringLiteral("output \"%1\" stopped: %2").arg(name, lastError(entry->output, entry->code)));
}

void KPHostOutputs::stop(const QString &name)
{
    const auto it = m_outputs.constFind(name);
    if (it == m_outputs.constEnd())
        throw KPStepError(QStringLiteral("unknown output name \"%1\"").arg(name));
    obs_output_stop((*it)->output);
}

void KPHostOutputs::releaseAll()
{
    for (const std::shared_ptr<Entry> &entry : m_outputs) {
        obs_output_stop(entry->output);
        signal_handler_disconnect(obs_output_get_signal_handler(entry->output), "stop", &KPHostOutputs::onStop,
                                  entry.get());
        obs_output_release(entry->output);
    }
    m_outputs.clear();
}

void KPHostOutputs::onStop(void *data, calldata_t *params)
{
    auto *entry = static_cast<Entry *>(data);
    entry->code = int(calldata_int(params, "code"));
    entry->stopped = true;
}

QString KPHostOutputs::lastError(obs_output_t *output, int code)
{
    const char *error = obs_output_get_last_error(output);
    const QString text = error && *error ? QString::fromUtf8(error) : QStringLiteral("no reason given");
    return code ? QStringLiteral("%1 (code %2)").arg(text).arg(code) : text;
}
