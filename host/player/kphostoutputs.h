#pragma once

// The outputs a kp-host script starts, by name: created on first start,
// stopped by name, and all stopped and released before libobs shuts down.

#include <QMap>
#include <QString>

#include <obs.h>

#include <atomic>
#include <memory>

class KPHostOutputs
{
public:
    KPHostOutputs() = default;
    ~KPHostOutputs();

    KPHostOutputs(const KPHostOutputs &) = delete;
    KPHostOutputs &operator=(const KPHostOutputs &) = delete;

    // Starts the output of that name (creating it with type and settings
    // when new, updating its settings otherwise) and waits, at most
    // timeoutMs, until it is live. Throws KPStepError when it stops instead,
    // with libobs's last error.
    void start(const QString &name, const QString &type, obs_data_t *settings, int timeoutMs);
    // Throws KPStepError for a name never started.
    void stop(const QString &name);
    void releaseAll();

private:
    struct Entry
    {
        obs_output_t *output = nullptr;
        // Written by libobs's "stop" signal on whatever thread stops the output.
        std::atomic<bool> stopped{false};
        std::atomic<int> code{0};
    };

    static void onStop(void *data, calldata_t *params);
    static QString lastError(obs_output_t *output, int code);

    QMap<QString, std::shared_ptr<Entry>> m_outputs;
};
