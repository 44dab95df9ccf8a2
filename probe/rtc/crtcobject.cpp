#include "crtcobject.h"

#include <cstring>

#include "crtceventhandler.h"
#include "kplog.h"
#include "logitems.h"

using logitems::item;
using logitems::join;

namespace {

constexpr int kAppIdBufferSize = 1024;
constexpr int kNoParameterInterface = -7;

vendor::rtc::IRtcEngine *g_engine = nullptr;
CRtcEventHandler g_eventHandler;
char g_appId[kAppIdBufferSize] = {};

// The parameter interface of the engine, or null when there is none.
vendor::rtc::IRtcEngineParameter *parameterInterface(vendor::rtc::IRtcEngine *engine)
{
    void *pointer = nullptr;
    if (!engine || engine->queryInterface(vendor::rtc::INTERFACE_ID_PARAMETER, &pointer) != 0)
        return nullptr;
    return static_cast<vendor::rtc::IRtcEngineParameter *>(pointer);
}

} // namespace

void initAppid(const QString &appId)
{
    KP_LOG_SCOPE_LEVEL(1);
    const QByteArray bytes = appId.toLatin1();
    // Cleared first so that a shorter id leaves nothing of an earlier one behind;
    // the last byte always stays zero to terminate the text.
    std::memset(g_appId, 0, sizeof g_appId);
    const int length = qMin(bytes.size(), kAppIdBufferSize - 1);
    std::memcpy(g_appId, bytes.constData(), static_cast<size_t>(length));
    if (length < bytes.size())
        KP_LOG(3, join({QStringLiteral("appid too long"), item("length=%1", bytes.size()),
                        item("kept=%1", length)}));
}

CRtcObject::CRtcObject(QObject *parent) : QObject(parent)
{
    KP_LOG_SCOPE_LEVEL(1);
    // The engine is process-wide: a new wrapper gives back the one it replaces,
    // whose threads would otherwise run on with nobody to release them.
    if (g_engine) {
        KP_LOG(2, QStringLiteral("releasing the previous engine"));
        g_engine->release(true);
    }
    g_engine = createRtcEngine();
    vendor::rtc::RtcEngineContext context;
    context.eventHandler = &g_eventHandler;
    context.appId = g_appId;
    context.context = nullptr;
    const int res = g_engine ? g_engine->initialize(context) : -1;
    m_ready = (res == 0);
    int build = 0;
    const char *version = g_engine ? g_engine->getVersion(&build) : nullptr;
    KP_LOG(2, join({item("res=%1", res), item("version=%1", logitems::text(version)), item("build=%1", build)}));
    if (m_ready) {
        g_engine->enableVideo();
        g_engine->enableAudio();
    }
    if (g_appId[0] == '\0')
        KP_LOG(4, QStringLiteral("appid is null"));
    connect(&g_eventHandler, SIGNAL(sigChannelStatusChanged(bool)), this, SLOT(onChannelStatusChanged(bool)),
            Qt::AutoConnection);
    setDefaultMuteAllRemoteAudioStreams(true);
    setDefaultMuteAllRemoteVideoStreams(true);
}

CRtcObject::~CRtcObject()
{
    KP_LOG_SCOPE_LEVEL(1);
}

vendor::rtc::IRtcEngine *CRtcObject::getEngine()
{
    KP_LOG_SCOPE_LEVEL(1);
    return g_engine;
}

const CRtcEventHandler *CRtcObject::getEventHander() const
{
    KP_LOG_SCOPE_LEVEL(1);
    return &g_eventHandler;
}

bool CRtcObject::isJoined()
{
    KP_LOG_SCOPE_LEVEL(1);
    return g_eventHandler.isJoined();
}

bool CRtcObject::joinChannel(const char *token, const char *channelId, uint32_t uid)
{
    KP_LOG_SCOPE_LEVEL(1);
    if (isJoined()) {
        KP_LOG(3, QStringLiteral("is joined"));
        return true;
    }
    vendor::rtc::IRtcEngine *engine = getEngine();
    if (!engine) {
        KP_LOG(3, QStringLiteral("engine is null"));
        return false;
    }
    if (vendor::rtc::IRtcEngineParameter *parameter = parameterInterface(engine)) {
        parameter->setParameters("{\"che.hardware_encoding\":0}");
        parameter->setParameters("{\"che.video.h264Profile\":66}");
        parameter->release();
    } else {
        KP_LOG(3, QStringLiteral("parameter interface unavailable"));
    }
    const int nRet = engine->joinChannel(token, channelId, nullptr, uid);
    int build = 0;
    const char *version = engine->getVersion(&build);
    KP_LOG(2, join({item("nRet=%1", nRet), item("channelId=%1", logitems::text(channelId)), item("uid=%1", uid),
                    item("token=%1", logitems::text(token)), item("build=%1", build),
                    item("vesion=%1", logitems::text(version))}));
    return nRet == 0;
}

bool CRtcObject::leaveChannel()
{
    KP_LOG_SCOPE_LEVEL(2);
    vendor::rtc::IRtcEngine *engine = getEngine();
    if (!engine) {
        KP_LOG(3, QStringLiteral("engine is null"));
        return false;
    }
    engine->stopPreview();
    if (isJoined())
        return engine->leaveChannel() == 0;
    return true;
}

int CRtcObject::setDefaultMuteAllRemoteAudioStreams(bool mute)
{
    KP_LOG_SCOPE_LEVEL(2);
    const int ret = setDefaultMutePeers("rtc.audio.set_default_mute_peers", mute);
    KP_LOG(2, join({item("ret=%1", ret), item("mute=%1", mute)}));
    return ret;
}

int CRtcObject::setDefaultMuteAllRemoteVideoStreams(bool mute)
{
    KP_LOG_SCOPE_LEVEL(2);
    const int ret = setDefaultMutePeers("rtc.video.set_default_mute_peers", mute);
    KP_LOG(2, join({item("ret=%1", ret), item("mute=%1", mute)}));
    return ret;
}

int CRtcObject::setDefaultMutePeers(const char *key, bool mute)
{
    vendor::rtc::IRtcEngineParameter *parameter = parameterInterface(getEngine());
    if (!parameter)
        return kNoParameterInterface;
    const int ret = parameter->setBool(key, mute);
    parameter->release();
    return ret;
}

void CRtcObject::onChannelStatusChanged(bool isJoined)
{
    KP_LOG_SCOPE_LEVEL(2);
    Q_UNUSED(isJoined);
}
