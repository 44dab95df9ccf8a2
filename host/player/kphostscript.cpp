#include "kphostscript.h"

#include "kpfilereader.h"

#include <QFile>
#include <QJsonDocument>
#include <QMap>
#include <QVector>

#include <cmath>
#include <limits>

namespace {

enum class Kind { String, Integer, Number, Bool, Object };

struct Field
{
    const char *name;
    Kind kind;
    bool required;
};

using Rules = QMap<QString, QVector<Field>>;

const Rules &stepRules()
{
    static const Rules rules = {
        {"create", {{"name", Kind::String, true}, {"type", Kind::String, true}, {"settings", Kind::Object, false}}},
        {"update", {{"name", Kind::String, true}, {"settings", Kind::Object, true}}},
        {"mouse", {{"name", Kind::String, true}, {"action", Kind::String, true}, {"x", Kind::Integer, true},
                   {"y", Kind::Integer, true}, {"button", Kind::Integer, false}, {"clicks", Kind::Integer, false},
                   {"modifiers", Kind::Integer, false}}},
        {"wheel", {{"name", Kind::String, true}, {"x", Kind::Integer, true}, {"y", Kind::Integer, true},
                   {"dx", Kind::Integer, true}, {"dy", Kind::Integer, true}}},
        {"key", {{"name", Kind::String, true}, {"vkey", Kind::Integer, true}, {"text", Kind::String, false},
                 {"modifiers", Kind::Integer, false}, {"up", Kind::Bool, false}}},
        {"type", {{"name", Kind::String, true}, {"text", Kind::String, true}}},
        {"focus", {{"name", Kind::String, true}, {"focus", Kind::Bool, true}}},
        {"tablet", {{"name", Kind::String, true}, {"action", Kind::String, true}, {"x", Kind::Number, true},
                    {"y", Kind::Number, true}, {"pressure", Kind::Number, true}, {"buttons", Kind::Integer, false}}},
        {"command", {{"name", Kind::String, true}, {"number", Kind::Integer, true}, {"settings", Kind::Object, false}}},
        {"status", {{"name", Kind::String, true}, {"out", Kind::String, true}}},
        {"save", {{"name", Kind::String, true}, {"out", Kind::String, true}}},
        {"load", {{"name", Kind::String, true}, {"type", Kind::String, true}, {"from", Kind::String, true}}},
        {"clipboard", {{"text", Kind::String, true}}},
        {"copy", {{"from", Kind::String, true}, {"to", Kind::String, true}}},
        {"frames", {{"count", Kind::Integer, true}}},
        {"render", {{"name", Kind::String, true}, {"out", Kind::String, true}}},
        {"hide", {{"name", Kind::String, true}}},
        {"show", {{"name", Kind::String, true}}},
        {"remove", {{"name", Kind::String, true}}},
        {"hotkey", {{"name", Kind::String, true}, {"hotkey", Kind::String, true}, {"pressed", Kind::Bool, false}}},
        {"stats", {{"out", Kind::String, true}}},
        {"button", {{"name", Kind::String, true}, {"property", Kind::String, true}}},
        {"save_scene", {{"out", Kind::String, true}}},
        {"load_scene", {{"from", Kind::String, true}}},
        {"render_output", {{"out", Kind::String, true}}},
        {"start_output", {{"name", Kind::String, true}, {"type", Kind::String, true}, {"settings", Kind::Object, false}}},
        {"stop_output", {{"name", Kind::String, true}}},
    };
    return rules;
}

const QMap<QString, QStringList> &allowedActions()
{
    static const QMap<QString, QStringList> actions = {
        {"mouse", {"down", "up", "move", "leave"}},
        {"tablet", {"press", "move", "release"}},
    };
    return actions;
}

bool isInteger(const QJsonValue &value)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    return std::floor(d) == d && std::fabs(d) < 9.0e15;
}

bool fitsInt(double value)
{
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

bool hasKind(const QJsonValue &value, Kind kind)
{
    switch (kind) {
    case Kind::String: return value.isString();
    case Kind::Integer: return isInteger(value);
    case Kind::Number: return value.isDouble();
    case Kind::Bool: return value.isBool();
    case Kind::Object: return value.isObject();
    }
    return false;
}

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::String: return "a string";
    case Kind::Integer: return "an integer";
    case Kind::Number: return "a number";
    case Kind::Bool: return "true or false";
    case Kind::Object: return "an object";
    }
    return "";
}

} // namespace

QString KPHostScript::formatError(int index, const QString &kind, const QString &message)
{
    return QStringLiteral("step %1 (%2): %3").arg(index).arg(kind.isEmpty() ? QStringLiteral("?") : kind, message);
}

void KPHostScript::checkStep(const QJsonObject &step)
{
    const QJsonValue kind = step.value(QStringLiteral("do"));
    if (!kind.isString())
        throw KPStepError(QStringLiteral("missing field \"do\""));
    const auto rules = stepRules().constFind(kind.toString());
    if (rules == stepRules().constEnd())
        throw KPStepError(QStringLiteral("unknown step \"%1\"").arg(kind.toString()));
    for (const Field &field : *rules) {
        const QJsonValue value = step.value(QLatin1String(field.name));
        if (value.isUndefined()) {
            if (field.required)
                throw KPStepError(QStringLiteral("missing field \"%1\"").arg(field.name));
            continue;
        }
        if (!hasKind(value, field.kind))
            throw KPStepError(QStringLiteral("field \"%1\" must be %2").arg(field.name, kindName(field.kind)));
        // Integer fields reach libobs as 32-bit values; a larger one would arrive as 0.
        if (field.kind == Kind::Integer && !fitsInt(value.toDouble()))
            throw KPStepError(QStringLiteral("field \"%1\" must be from %2 to %3")
                                  .arg(field.name)
                                  .arg(std::numeric_limits<int>::min())
                                  .arg(std::numeric_limits<int>::max()));
    }
    const auto actions = allowedActions().constFind(kind.toString());
    if (actions != allowedActions().constEnd()) {
        const QString action = step.value(QStringLiteral("action")).toString();
        if (!actions->contains(action))
            throw KPStepError(QStringLiteral("unknown action \"%1\"").arg(action));
    }
}

bool KPHostScript::load(const QString &path, QString *error)
{
    QByteArray json;
    QString reason;
    if (!KPFileReader::read(path, &json, &reason)) {
        *error = QStringLiteral("cannot read script %1: %2").arg(path, reason);
        return false;
    }
    return parse(json, path, error);
}

bool KPHostScript::parse(const QByteArray &json, const QString &path, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        *error = QStringLiteral("script %1 is not a JSON object: %2").arg(path, parseError.errorString());
        return false;
    }
    const QJsonObject root = document.object();
    const QJsonArray canvas = root.value(QStringLiteral("canvas")).toArray({1280, 720});
    if (canvas.size() != 2 || !isInteger(canvas[0]) || !isInteger(canvas[1]) || canvas[0].toInt() <= 0
        || canvas[1].toInt() <= 0 || canvas[0].toInt() > 16384 || canvas[1].toInt() > 16384) {
        *error = QStringLiteral("\"canvas\" must be two positive integers up to 16384");
        return false;
    }
    m_width = canvas[0].toInt();
    m_height = canvas[1].toInt();
    if (root.contains(QStringLiteral("log_encrypted")))
        m_logEncrypted = root.value(QStringLiteral("log_encrypted")).toBool();
    m_steps = root.value(QStringLiteral("steps")).toArray();
    for (int i = 0; i < m_steps.size(); ++i) {
        const QJsonObject step = m_steps[i].toObject();
        try {
            if (!m_steps[i].isObject())
                throw KPStepError(QStringLiteral("a step must be an object"));
            checkStep(step);
        } catch (const KPStepError &fault) {
            *error = formatError(i, step.value(QStringLiteral("do")).toString(), QString::fromStdString(fault.what()));
            return false;
        }
    }
    return true;
}

QString KPHostScript::text(const QJsonObject &step, const char *field, const QString &fallback)
{
    return step.value(QLatin1String(field)).toString(fallback);
}

int KPHostScript::integer(const QJsonObject &step, const char *field, int fallback)
{
    return step.value(QLatin1String(field)).toInt(fallback);
}

double KPHostScript::number(const QJsonObject &step, const char *field, double fallback)
{
    return step.value(QLatin1String(field)).toDouble(fallback);
}

bool KPHostScript::flag(const QJsonObject &step, const char *field, bool fallback)
{
    return step.value(QLatin1String(field)).toBool(fallback);
}
