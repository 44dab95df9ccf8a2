#include <QCoreApplication>

#include <gtest/gtest.h>

#include "crtceventhandler.h"
#include "crtcobject.h"
#include "probelog.h"
#include "recordingengine.h"

namespace {

class CRtcObjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RecordingEngine::settings() = RecordingEngine::Settings();
        RecordingEngine::calls().clear();
        initAppid(QStringLiteral("0123456789abcdef0123456789abcdef"));
    }

    void TearDown() override
    {
        // The bridge lives for the whole process: leave its channel for the next test.
        if (RecordingEngine::last() && RecordingEngine::last()->handler())
            RecordingEngine::last()->handler()->onLeaveChannel(vendor::rtc::RtcStats{});
    }

    static void deliverJoin()
    {
        RecordingEngine::last()->handler()->onJoinChannelSuccess("room", 123, 5);
        RecordingEngine::calls().clear();
    }
};

TEST_F(CRtcObjectTest, ConstructionInitialisesEngineWithBridgeAndMutesPeers)
{
    ProbeLogCapture capture;
    CRtcObject rtc;
    QStringList contents = capture.contents();
    contents.removeAll(QStringLiteral("releasing the previous engine"));
    QStringList calls = RecordingEngine::calls();
    calls.removeAll(QStringLiteral("releaseEngine")); // an earlier test's engine
    EXPECT_EQ(calls,
              (QStringList{"createRtcEngine", "initialize(0123456789abcdef0123456789abcdef,handler)", "getVersion",
                           "enableVideo", "enableAudio", "queryInterface(3)",
                           "setBool(rtc.audio.set_default_mute_peers,true)", "release", "queryInterface(3)",
                           "setBool(rtc.video.set_default_mute_peers,true)", "release"}));
    EXPECT_EQ(contents, (QStringList{"res=0,version=9.9.9,build=77", "ret=0,mute=true", "ret=0,mute=true"}));
    EXPECT_EQ(static_cast<const IRtcEngineEventHandler *>(rtc.getEventHander()), RecordingEngine::last()->handler());
}

TEST_F(CRtcObjectTest, FailedInitialiseEmptyAppIdAndNullVersionAreOnlyLogged)
{
    RecordingEngine::settings().initializeResult = -101;
    RecordingEngine::settings().nullVersion = true;
    initAppid(QString());
    ProbeLogCapture capture;
    CRtcObject rtc;
    const QList<ProbeLogLine> lines = capture.lines();
    EXPECT_FALSE(RecordingEngine::calls().contains("enableVideo"));
    EXPECT_TRUE(RecordingEngine::calls().contains("initialize(,handler)"));
    QStringList messages;
    for (const ProbeLogLine &line : lines)
        if (line.type == 1)
            messages << QStringLiteral("%1 %2").arg(line.level).arg(line.content);
    EXPECT_EQ(messages.mid(0, 2), (QStringList{"2 res=-101,version=,build=77", "4 appid is null"}));
}

TEST_F(CRtcObjectTest, JoinSendsParametersThenJoinAndLogsTheRequest)
{
    CRtcObject rtc;
    RecordingEngine::calls().clear();
    ProbeLogCapture capture;
    EXPECT_TRUE(rtc.joinChannel("tok", "chan", 123));
    EXPECT_EQ(RecordingEngine::calls(),
              (QStringList{"queryInterface(3)", "setParameters({\"che.hardware_encoding\":0})",
                           "setParameters({\"che.video.h264Profile\":66})", "release",
                           "joinChannel(tok,chan,null,123)", "getVersion"}));
    EXPECT_EQ(capture.contents(),
              (QStringList{"nRet=0,channelId=chan,uid=123,token=tok,build=77,vesion=9.9.9"}));
    EXPECT_FALSE(rtc.isJoined()); // only the callback joins

    // Still pending: a second request goes to the engine again; a refusal is false.
    RecordingEngine::settings().joinResult = -17;
    EXPECT_FALSE(rtc.joinChannel("tok", "chan", 123));
    EXPECT_EQ(RecordingEngine::calls().count("joinChannel(tok,chan,null,123)"), 2);
}

TEST_F(CRtcObjectTest, JoinWhenJoinedOnlyLogs)
{
    CRtcObject rtc;
    deliverJoin();
    ASSERT_TRUE(rtc.isJoined());
    ProbeLogCapture capture;
    EXPECT_TRUE(rtc.joinChannel("tok", "chan", 123));
    EXPECT_TRUE(RecordingEngine::calls().isEmpty());
    const QList<ProbeLogLine> lines = capture.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const ProbeLogLine &l) { return l.level == 3 && l.content == "is joined"; }));
}

TEST_F(CRtcObjectTest, LeaveStopsPreviewAndLeavesOnlyWhenJoined)
{
    CRtcObject rtc;
    RecordingEngine::calls().clear();
    EXPECT_TRUE(rtc.leaveChannel());
    EXPECT_EQ(RecordingEngine::calls(), QStringList{"stopPreview"});

    deliverJoin();
    EXPECT_TRUE(rtc.leaveChannel());
    EXPECT_EQ(RecordingEngine::calls(), (QStringList{"stopPreview", "leaveChannel"}));
    EXPECT_TRUE(rtc.isJoined()); // until the engine answers
}

TEST_F(CRtcObjectTest, MissingParameterInterfaceIsSkipped)
{
    RecordingEngine::settings().parameterInterface = false;
    CRtcObject rtc;
    EXPECT_EQ(rtc.setDefaultMuteAllRemoteAudioStreams(true), -7);
    EXPECT_EQ(rtc.setDefaultMuteAllRemoteVideoStreams(false), -7);
    RecordingEngine::calls().clear();
    EXPECT_TRUE(rtc.joinChannel("tok", "chan", 123));
    EXPECT_EQ(RecordingEngine::calls(),
              (QStringList{"queryInterface(3)", "joinChannel(tok,chan,null,123)", "getVersion"}));
}

TEST_F(CRtcObjectTest, MissingEngineReportsFailureWithoutCrashing)
{
    RecordingEngine::settings().createNull = true;
    CRtcObject rtc;
    EXPECT_EQ(rtc.getEngine(), nullptr);
    EXPECT_FALSE(rtc.joinChannel("tok", "chan", 123));
    EXPECT_FALSE(rtc.leaveChannel());
    EXPECT_EQ(rtc.setDefaultMuteAllRemoteAudioStreams(true), -7);
}

TEST_F(CRtcObjectTest, AppIdIsBoundedTerminatedAndReplacedWhole)
{
    const int createdBefore = RecordingEngine::created();
    initAppid(QString(2000, QLatin1Char('a')));
    { CRtcObject rtc; }
    EXPECT_EQ(RecordingEngine::last()->appId(), QByteArray(1023, 'a'));

    initAppid(QStringLiteral("abc"));
    { CRtcObject rtc; }
    EXPECT_EQ(RecordingEngine::last()->appId(), QByteArray("abc"));
    EXPECT_EQ(RecordingEngine::created(), createdBefore + 2);
}

TEST_F(CRtcObjectTest, ANewWrapperReleasesTheEngineItReplacesFirst)
{
    { CRtcObject rtc; }
    RecordingEngine::calls().clear();
    CRtcObject rtc;
    ASSERT_GE(RecordingEngine::calls().size(), 2);
    EXPECT_EQ(RecordingEngine::calls().mid(0, 2), (QStringList{"releaseEngine", "createRtcEngine"}));
    EXPECT_EQ(RecordingEngine::calls().count("releaseEngine"), 1);
}

} // namespace
