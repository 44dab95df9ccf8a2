#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include "crtceventhandler.h"
#include "probelog.h"

using vendor::rtc::RtcStats;

namespace {

// Processes events until pred holds or the time is up.
template <typename Pred>
bool waitUntil(Pred pred, int timeoutMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return pred();
}

RtcStats statsWithDuration(unsigned int duration)
{
    RtcStats stats{};
    stats.duration = duration;
    stats.rxAudioKBitRate = 48;
    stats.rxVideoKBitRate = 610;
    return stats;
}

TEST(CRtcEventHandlerTest, MetaObjectDeclaresTheSignalsInOrder)
{
    CRtcEventHandler handler;
    const QMetaObject *meta = handler.metaObject();
    EXPECT_STREQ(meta->className(), "CRtcEventHandler");
    const QStringList expected = {
        "sigJoinChannelSuccess(QString,uid_t,int)", "sigRejoinChannelSuccess(QString,uid_t,int)",
        "sigError(int,QString)", "sigAudioVolumeIndication(QList<vendor::rtc::AudioVolumeInfo>,int)",
        "sigLeaveChannel()", "sigAudioDeviceStateChanged(QString,int,int)",
        "sigVideoDeviceStateChanged(QString,int,int)", "sigNetworkQuality(int)", "sigFirstLocalAudioFrame(int)",
        "sigFirstLocalVideoFrame(int,int,int)", "sigFirstRemoteVideoDecoded(uid_t,int,int,int)",
        "sigFirstRemoteAudioDecoded(uid_t,int)", "sigUserJoined(uid_t,int)", "sigUserOffline(uid_t,int)",
        "sigUserMuteAudio(uid_t,bool)", "sigUserMuteVideo(uid_t,bool)", "sigStreamPublished(QString,int)",
        "sigStreamUnpublished(QString)", "sigRtmpStreamingStateChanged(QString,int,int)",
        "sigChannelStatusChanged(bool)", "sigLastmileQuality(int)", "sigConnectionBanned(QString)",
        "sigConnectionStateChanged(int,int)", "sigTokenPrivilegeWillExpire(QString)"};
    ASSERT_EQ(meta->methodCount() - meta->methodOffset(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QMetaMethod method = meta->method(meta->methodOffset() + i);
        EXPECT_EQ(method.methodType(), QMetaMethod::Signal);
        EXPECT_EQ(QString::fromLatin1(method.methodSignature()), expected[i]);
    }
    EXPECT_EQ(handler.qt_metacast("IRtcEngineEventHandler"),
              static_cast<void *>(static_cast<IRtcEngineEventHandler *>(&handler)));
    EXPECT_NE(QMetaType::type("uid_t"), int(QMetaType::UnknownType));
    EXPECT_NE(QMetaType::type("QList<vendor::rtc::AudioVolumeInfo>"), int(QMetaType::UnknownType));
}

// Callbacks arrive on engine threads; GUI-thread receivers get queued calls in
// emission order, with their arguments intact.
TEST(CRtcEventHandlerTest, SignalsFromEngineThreadReachGuiThreadInOrder)
{
    CRtcEventHandler handler;
    QObject receiver;
    QStringList received;
    QList<QThread *> threads;
    auto note = [&](const QString &what) {
        received << what;
        threads << QThread::currentThread();
    };
    QObject::connect(&handler, &CRtcEventHandler::sigChannelStatusChanged, &receiver,
                     [&](bool joined) { note(QStringLiteral("status %1").arg(joined)); });
    QObject::connect(&handler, &CRtcEventHandler::sigJoinChannelSuccess, &receiver,
                     [&](QString channel, vendor::rtc::uid_t uid, int elapsed) {
                         note(QStringLiteral("join %1 %2 %3").arg(channel).arg(uid).arg(elapsed));
                     });
    QObject::connect(&handler, &CRtcEventHandler::sigFirstRemoteVideoDecoded, &receiver,
                     [&](vendor::rtc::uid_t uid, int w, int h, int elapsed) {
                         note(QStringLiteral("video %1 %2 %3 %4").arg(uid).arg(w).arg(h).arg(elapsed));
                     });
    QObject::connect(&handler, &CRtcEventHandler::sigAudioVolumeIndication, &receiver,
                     [&](QList<vendor::rtc::AudioVolumeInfo> list, int total) {
                         note(QStringLiteral("volume %1 %2 %3").arg(list.size()).arg(list.value(1).volume).arg(total));
                     });
    QObject::connect(&handler, &CRtcEventHandler::sigLeaveChannel, &receiver, [&] { note("leave"); });

    std::thread engine([&] {
        handler.onJoinChannelSuccess("röom", 4000000000u, 31);
        handler.onFirstRemoteVideoDecoded(77, 640, 360, 99);
        const vendor::rtc::AudioVolumeInfo speakers[] = {{77, 10}, {78, 200}};
        handler.onAudioVolumeIndication(speakers, 2, 210);
        handler.onLeaveChannel(statsWithDuration(3));
    });
    engine.join();
    EXPECT_TRUE(received.isEmpty()) << "delivered directly instead of queued";
    ASSERT_TRUE(waitUntil([&] { return received.size() == 6; }));
    EXPECT_EQ(received, (QStringList{"status 1", "join röom 4000000000 31", "video 77 640 360 99",
                                     "volume 2 200 210", "status 0", "leave"}));
    for (QThread *thread : threads)
        EXPECT_EQ(thread, QCoreApplication::instance()->thread());
}

TEST(CRtcEventHandlerTest, CallbacksEmitTheirSignalsWithArguments)
{
    CRtcEventHandler handler;
    QSignalSpy error(&handler, &CRtcEventHandler::sigError);
    QSignalSpy offline(&handler, &CRtcEventHandler::sigUserOffline);
    QSignalSpy rtmp(&handler, &CRtcEventHandler::sigRtmpStreamingStateChanged);
    QSignalSpy connection(&handler, &CRtcEventHandler::sigConnectionStateChanged);
    QSignalSpy device(&handler, &CRtcEventHandler::sigVideoDeviceStateChanged);
    QSignalSpy muteAudio(&handler, &CRtcEventHandler::sigUserMuteAudio);
    QSignalSpy token(&handler, &CRtcEventHandler::sigTokenPrivilegeWillExpire);
    QSignalSpy lastmile(&handler, &CRtcEventHandler::sigLastmileQuality);

    handler.onError(17, "refused");
    handler.onUserOffline(5, vendor::rtc::USER_OFFLINE_DROPPED);
    handler.onRtmpStreamingStateChanged("rtmp://x", vendor::rtc::RTMP_STREAM_PUBLISH_STATE_FAILURE,
                                        vendor::rtc::RTMP_STREAM_PUBLISH_ERROR_CONNECTION_TIMEOUT);
    handler.onConnectionStateChanged(vendor::rtc::CONNECTION_STATE_FAILED, vendor::rtc::CONNECTION_CHANGED_JOIN_FAILED);
    handler.onVideoDeviceStateChanged("cam0", 3, 1);
    handler.onUserMuteAudio(6, true);
    handler.onTokenPrivilegeWillExpire("tok");
    handler.onLastmileQuality(4);

    ASSERT_EQ(error.size(), 1);
    EXPECT_EQ(error[0], (QVariantList{17, QString("refused")}));
    EXPECT_EQ(offline[0], (QVariantList{QVariant::fromValue(5u), 1}));
    EXPECT_EQ(rtmp[0], (QVariantList{QString("rtmp://x"), 4, 3}));
    EXPECT_EQ(connection[0], (QVariantList{5, 4}));
    EXPECT_EQ(device[0], (QVariantList{QString("cam0"), 3, 1}));
    EXPECT_EQ(muteAudio[0], (QVariantList{QVariant::fromValue(6u), true}));
    EXPECT_EQ(token[0], (QVariantList{QString("tok")}));
    EXPECT_EQ(lastmile[0], (QVariantList{4}));
}

TEST(CRtcEventHandlerTest, VolumeIndicationCopiesOnlyTheGivenSpeakers)
{
    CRtcEventHandler handler;
    QSignalSpy spy(&handler, &CRtcEventHandler::sigAudioVolumeIndication);
    const vendor::rtc::AudioVolumeInfo speakers[] = {{1, 10}, {2, 20}, {3, 30}};
    ProbeLogCapture capture;
    handler.onAudioVolumeIndication(speakers, 0, 55);
    handler.onAudioVolumeIndication(speakers, 2, 30);
    handler.onAudioVolumeIndication(nullptr, 3, 7); // bad input: no speakers, no crash
    EXPECT_EQ(capture.contents(), QStringList{"speakers is null,speakerNumber=3"});
    ASSERT_EQ(spy.size(), 3);
    using List = QList<vendor::rtc::AudioVolumeInfo>;
    EXPECT_TRUE(spy[0][0].value<List>().isEmpty());
    EXPECT_EQ(spy[0][1].toInt(), 55);
    const List two = spy[1][0].value<List>();
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[1].uid, 2u);
    EXPECT_EQ(two[1].volume, 20u);
    EXPECT_TRUE(spy[2][0].value<List>().isEmpty());
}

TEST(CRtcEventHandlerTest, HistoriesKeepTheNewestFifteenAndLeaveEmptiesThem)
{
    CRtcEventHandler handler;
    for (unsigned int i = 1; i <= 16; ++i) {
        handler.onRtcStats(statsWithDuration(i));
        handler.onLocalVideoStats(vendor::rtc::LocalVideoStats{int(i), 15, 15});
        handler.onRemoteVideoStats(vendor::rtc::RemoteVideoStats{9, 0, 640, 360, int(i), 25});
    }
    const QList<RtcStats> history = handler.rtcStatsHistory();
    ASSERT_EQ(history.size(), 15);
    EXPECT_EQ(history.first().duration, 2u);
    EXPECT_EQ(history.last().duration, 16u);
    EXPECT_EQ(handler.latestRtcStats().duration, 16u);
    EXPECT_EQ(handler.localVideoHistorySize(), 15);
    EXPECT_EQ(handler.remoteVideoHistorySize(), 15);

    QSignalSpy status(&handler, &CRtcEventHandler::sigChannelStatusChanged);
    QSignalSpy leave(&handler, &CRtcEventHandler::sigLeaveChannel);
    QStringList order;
    QObject::connect(&handler, &CRtcEventHandler::sigChannelStatusChanged, [&](bool) { order << "status"; });
    QObject::connect(&handler, &CRtcEventHandler::sigLeaveChannel, [&] { order << "leave"; });
    handler.onJoinChannelSuccess("room", 1, 0);
    order.clear();
    handler.onLeaveChannel(statsWithDuration(20));

    EXPECT_FALSE(handler.isJoined());
    EXPECT_EQ(order, (QStringList{"status", "leave"}));
    EXPECT_EQ(status.last()[0].toBool(), false);
    EXPECT_TRUE(handler.rtcStatsHistory().isEmpty());
    EXPECT_EQ(handler.localVideoHistorySize(), 0);
    EXPECT_EQ(handler.remoteVideoHistorySize(), 0);
    EXPECT_EQ(handler.latestRtcStats().duration, 16u); // the leave statistics are not cached
    EXPECT_EQ(handler.latestLocalVideo().stats.sentBitrate, 16);
    EXPECT_EQ(handler.latestLocalVideo().uid, 0u);
    EXPECT_EQ(handler.latestRemoteVideoStats().receivedBitrate, 16);
}

TEST(CRtcEventHandlerTest, JoinedFlagFollowsJoinRejoinAndNotBanOrConnectionChange)
{
    CRtcEventHandler handler;
    QSignalSpy status(&handler, &CRtcEventHandler::sigChannelStatusChanged);
    QSignalSpy banned(&handler, &CRtcEventHandler::sigConnectionBanned);
    EXPECT_FALSE(handler.isJoined());
    handler.onJoinChannelSuccess("room", 1, 10);
    handler.onRejoinChannelSuccess("room", 1, 20);
    ASSERT_EQ(status.size(), 2);
    EXPECT_TRUE(status[0][0].toBool());
    EXPECT_TRUE(status[1][0].toBool());

    handler.onConnectionBanned();
    handler.onConnectionStateChanged(vendor::rtc::CONNECTION_STATE_RECONNECTING,
                                     vendor::rtc::CONNECTION_CHANGED_INTERRUPTED);
    EXPECT_TRUE(handler.isJoined());
    EXPECT_EQ(status.size(), 2);
    ASSERT_EQ(banned.size(), 1);
    EXPECT_EQ(banned[0][0].toString(), "rtc sdk banned");
}

TEST(CRtcEventHandlerTest, NullTextGivesNullStringAndEmptyLogValue)
{
    CRtcEventHandler handler;
    QSignalSpy error(&handler, &CRtcEventHandler::sigError);
    QSignalSpy join(&handler, &CRtcEventHandler::sigJoinChannelSuccess);
    ProbeLogCapture capture;
    handler.onError(3, nullptr);
    handler.onJoinChannelSuccess(nullptr, 8, 1);
    handler.onApiCallExecuted(0, nullptr, nullptr);
    EXPECT_EQ(capture.contents(),
              (QStringList{"err=3,msg=", "channel=,uid=8,elapsed=1", "err=0,apiStr=,resultStr="}));
    EXPECT_TRUE(error[0][1].toString().isNull());
    EXPECT_TRUE(join[0][0].toString().isNull());
}

TEST(CRtcEventHandlerTest, LogLinesOfCallbacks)
{
    CRtcEventHandler handler;
    ProbeLogCapture capture;
    handler.onError(110, "bad token");
    handler.onUserMuteVideo(5, true);
    handler.onLeaveChannel(statsWithDuration(42));
    handler.onLocalVideoStats(vendor::rtc::LocalVideoStats{500, 15, 24});
    handler.onAudioDeviceVolumeChanged(vendor::rtc::AUDIO_RECORDING_DEVICE, 80, false);
    handler.onRtcStats(statsWithDuration(1));

    QStringList seen;
    for (const ProbeLogLine &line : capture.lines()) {
        const QString function = line.function.section(QLatin1Char('('), 0, 0).section(QLatin1String("::"), -1);
        seen << QStringLiteral("%1 %2 %3 %4").arg(line.level).arg(line.type).arg(function,
                                                                                  line.content.startsWith("LEAVE=")
                                                                                      ? QStringLiteral("LEAVE")
                                                                                      : line.content);
    }
    EXPECT_EQ(seen, (QStringList{
                        "2 5 onError ENTER", "2 1 onError err=110,msg=bad token", "2 5 onError LEAVE",
                        "1 5 onLeaveChannel ENTER", "2 5 setJoined ENTER",
                        "2 5 clearCallbackParamCache ENTER", "2 5 clearCallbackParamCache LEAVE",
                        "2 5 setJoined LEAVE",
                        "2 1 onLeaveChannel stat.duration=42,stat.rxVideoKBitRate=610,stat.rxAudioKBitRate=48",
                        "1 5 onLeaveChannel LEAVE", "1 5 onLocalVideoStats ENTER",
                        "2 1 onLocalVideoStats stats.sentBitrate=500,stats.sentFrameRate=15,stats.targetFrameRate=24",
                        "1 5 onLocalVideoStats LEAVE", "2 5 onAudioDeviceVolumeChanged ENTER",
                        "2 1 onAudioDeviceVolumeChanged deviceType=1,volume=80,muted=false",
                        "2 5 onAudioDeviceVolumeChanged LEAVE", "1 5 onRtcStats ENTER", "1 5 onRtcStats LEAVE"}));
}

// Statistics, leaves and joins from several engine threads at once.
TEST(CRtcEventHandlerTest, CallbackStormKeepsHistoriesBounded)
{
    CRtcEventHandler handler;
    ProbeLogCapture capture; // keeps the storm's log lines off the console
    std::vector<std::thread> engineThreads;
    for (int t = 0; t < 4; ++t) {
        engineThreads.emplace_back([&handler, t] {
            for (unsigned int i = 0; i < 300; ++i) {
                handler.onRtcStats(statsWithDuration(i));
                handler.onLocalVideoStats(vendor::rtc::LocalVideoStats{int(i), 15, 15});
                handler.onRemoteVideoStats(vendor::rtc::RemoteVideoStats{9, 0, 640, 360, int(i), 25});
                if (i % 50 == 49 && t == 0)
                    handler.onLeaveChannel(statsWithDuration(i));
                if (i % 50 == 0 && t == 1)
                    handler.onJoinChannelSuccess("room", 1, 0);
            }
        });
    }
    for (std::thread &thread : engineThreads)
        thread.join();
    capture.lines();
    EXPECT_LE(handler.rtcStatsHistory().size(), 15);
    EXPECT_LE(handler.localVideoHistorySize(), 15);
    EXPECT_LE(handler.remoteVideoHistorySize(), 15);
    QCoreApplication::processEvents();
}

} // namespace
