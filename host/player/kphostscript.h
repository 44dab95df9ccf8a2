#pragma once

// A kp-host script: the canvas, the log switch and the steps, checked before
// anything runs so that a mistyped step fails before the first action.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <stdexcept>

// What was wrong with a step, reported as "step N (do): message".
class KPStepError : public std::runtime_error
{
public:
    explicit KPStepError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

class KPHostScript
{
public:
    // Reads and checks the file; on failure error names the step and the fault.
    bool load(const QString &path, QString *error);
    // The same for script text; path only names it in messages.
    bool parse(const QByteArray &json, const QString &path, QString *error);

    int canvasWidth() const { return m_width; }
    int canvasHeight() const { return m_height; }
    std::optional<bool> logEncrypted() const { return m_logEncrypted; }
    const QJsonArray &steps() const { return m_steps; }

    // Field readers for checked steps (defaults apply to optional fields).
    static QString text(const QJsonObject &step, const char *field, const QString &fallback = {});
    static int integer(const QJsonObject &step, const char *field, int fallback = 0);
    static double number(const QJsonObject &step, const char *field, double fallback = 0.0);
    static bool flag(const QJsonObject &step, const char *field, bool fallback = false);

    static QString formatError(int index, const QString &kind, const QString &message);

private:
    static void checkStep(const QJsonObject &step);

    int m_width = 1280;
    int m_height = 720;
    std::optional<bool> m_logEncrypted;
    QJsonArray m_steps;
};
