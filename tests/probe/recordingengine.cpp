#include "recordingengine.h"

namespace {

int g_created = 0;
RecordingEngine *g_last = nullptr;

QString shown(const char *text)
{
    return text ? QString::fromUtf8(text) : QStringLiteral("null");
}

void note(const QString &call)
{
    RecordingEngine::calls() << call;
}

class RecordingParameter : public vendor::rtc::IRtcEngineParameter
{
public:
    void release() override
    {
        note(QStringLiteral("release"));
        delete this;
    }
    int setBool(const char *key, bool value) override
    {
        note(QStringLiteral("setBool(%1,%2)").arg(shown(key), value ? "true" : "false"));
        return 0;
    }
    int setParameters(const char *parameters) override
    {
        note(QStringLiteral("setParameters(%1)").arg(shown(parameters)));
        return 0;
    }
};

} // namespace

RecordingEngine::Settings &RecordingEngine::settings()
{
    static Settings settings;
    return settings;
}

QStringList &RecordingEngine::calls()
{
    static QStringList calls;
    return calls;
}

int RecordingEngine::created()
{
    return g_created;
}

RecordingEngine *RecordingEngine::last()
{
    return g_last;
}

void RecordingEngine::release(bool)
{
    note(QStringLiteral("releaseEngine"));
    if (g_last == this)
        g_last = nullptr;
    delete this;
}

int RecordingEngine::initialize(const vendor::rtc::RtcEngineContext &context)
{
    m_handler = context.eventHandler;
    m_appId = context.appId;
    note(QStringLiteral("initialize(%1,%2)").arg(shown(context.appId)).arg(context.eventHandler ? "handler" : "null"));
    return settings().initializeResult;
}

const char *RecordingEngine::getVersion(int *build)
{
    note(QStringLiteral("getVersion"));
    if (build)
        *build = 77;
    return settings().nullVersion ? nullptr : "9.9.9";
}

int RecordingEngine::queryInterface(vendor::rtc::INTERFACE_ID_TYPE iid, void **inter)
{
    note(QStringLiteral("queryInterface(%1)").arg(iid));
    if (!settings().parameterInterface || iid != vendor::rtc::INTERFACE_ID_PARAMETER)
        return -4;
    *inter = static_cast<vendor::rtc::IRtcEngineParameter *>(new RecordingParameter);
    return 0;
}

int RecordingEngine::enableVideo()
{
    note(QStringLiteral("enableVideo"));
    return 0;
}

int RecordingEngine::enableAudio()
{
    note(QStringLiteral("enableAudio"));
    return 0;
}

int RecordingEngine::setChannelProfile(vendor::rtc::CHANNEL_PROFILE_TYPE profile)
{
    note(QStringLiteral("setChannelProfile(%1)").arg(profile));
    return 0;
}

int RecordingEngine::setClientRole(vendor::rtc::CLIENT_ROLE_TYPE role)
{
    note(QStringLiteral("setClientRole(%1)").arg(role));
    return 0;
}

int RecordingEngine::startPreview()
{
    note(QStringLiteral("startPreview"));
    return 0;
}

int RecordingEngine::stopPreview()
{
    note(QStringLiteral("stopPreview"));
    return 0;
}

int RecordingEngine::joinChannel(const char *token, const char *channelId, const char *info, vendor::rtc::uid_t uid)
{
    note(QStringLiteral("joinChannel(%1,%2,%3,%4)").arg(shown(token), shown(channelId), shown(info)).arg(uid));
    return settings().joinResult;
}

int RecordingEngine::leaveChannel()
{
    note(QStringLiteral("leaveChannel"));
    return 0;
}

int RecordingEngine::setupRemoteVideo(const vendor::rtc::VideoCanvas &canvas)
{
    note(QStringLiteral("setupRemoteVideo(%1,%2,%3,%4,%5)")
             .arg(reinterpret_cast<quintptr>(canvas.view))
             .arg(canvas.renderMode)
             .arg(QString::fromLatin1(canvas.channelId))
             .arg(canvas.uid)
             .arg(canvas.priv ? "priv" : "null"));
    return 0;
}

vendor::rtc::IRtcEngine *createRtcEngine()
{
    note(QStringLiteral("createRtcEngine"));
    if (RecordingEngine::settings().createNull)
        return nullptr;
    ++g_created;
    g_last = new RecordingEngine;
    return g_last;
}
