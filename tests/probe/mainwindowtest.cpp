#include <QApplication>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <thread>

#include <QPointer>

#include <gtest/gtest.h>

#include "crtcobject.h"
#include "mainwindow.h"
#include "probelog.h"
#include "recordingengine.h"

namespace {

const QString kToken = QStringLiteral(RTC_PROBE_TOKEN);
const QString kChannel = QStringLiteral(RTC_PROBE_CHANNEL);

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RecordingEngine::settings() = RecordingEngine::Settings();
        RecordingEngine::calls().clear();
    }

    void TearDown() override
    {
        if (RecordingEngine::last() && RecordingEngine::last()->handler())
            RecordingEngine::last()->handler()->onLeaveChannel(vendor::rtc::RtcStats{});
    }

    void click() { window.findChild<QPushButton *>("pushButton")->click(); }
    QString joinCall() const { return QStringLiteral("joinChannel(%1,%2,null,123)").arg(kToken, kChannel); }

    MainWindow window;
};

TEST_F(MainWindowTest, WidgetTree)
{
    EXPECT_EQ(window.objectName(), "MainWindow");
    EXPECT_EQ(window.size(), QSize(511, 434));
    EXPECT_EQ(window.windowTitle(), "MainWindow");
    ASSERT_NE(window.centralWidget(), nullptr);
    EXPECT_EQ(window.centralWidget()->objectName(), "centralWidget");
    auto *outer = window.findChild<QVBoxLayout *>("verticalLayout");
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(outer->spacing(), 6);
    EXPECT_EQ(outer->contentsMargins(), QMargins(11, 11, 11, 11));
    auto *tabs = window.findChild<QTabWidget *>("tabWidget");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(outer->itemAt(0)->widget(), tabs);
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(tabs->widget(0)->objectName(), "tab");
    EXPECT_EQ(tabs->tabText(0), "Tab 1");
    EXPECT_EQ(tabs->widget(1)->objectName(), "tab_2");
    EXPECT_EQ(tabs->tabText(1), "Tab 2");
    auto *inner = window.findChild<QVBoxLayout *>("verticalLayout_2");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->spacing(), 6);
    EXPECT_EQ(inner->contentsMargins(), QMargins(11, 11, 11, 11));
    EXPECT_EQ(inner->itemAt(0)->widget()->objectName(), "widget_view");
    auto *row = window.findChild<QHBoxLayout *>("horizontalLayout");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(outer->itemAt(1)->layout(), row);
    EXPECT_EQ(row->spacing(), 6);
    QSpacerItem *spacer = row->itemAt(0)->spacerItem();
    ASSERT_NE(spacer, nullptr);
    EXPECT_EQ(spacer->sizeHint(), QSize(40, 20));
    EXPECT_EQ(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    auto *button = qobject_cast<QPushButton *>(row->itemAt(1)->widget());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->objectName(), "pushButton");
    EXPECT_EQ(button->text(), "PushButton");
    EXPECT_EQ(window.menuBar()->objectName(), "menuBar");
    EXPECT_EQ(window.menuBar()->geometry(), QRect(0, 0, 511, 23));
    auto *toolBar = window.findChild<QToolBar *>("mainToolBar");
    ASSERT_NE(toolBar, nullptr);
    EXPECT_EQ(window.toolBarArea(toolBar), Qt::TopToolBarArea);
    EXPECT_EQ(window.statusBar()->objectName(), "statusBar");
}

TEST_F(MainWindowTest, FirstClickCreatesWrapperAndJoinsInOrder)
{
    const int createdBefore = RecordingEngine::created();
    click();
    const QStringList calls = RecordingEngine::calls();
    EXPECT_EQ(RecordingEngine::created(), createdBefore + 1);
    ASSERT_TRUE(calls.contains("enableAudio"));
    const int first = calls.indexOf("setChannelProfile(1)");
    ASSERT_GE(first, 0);
    EXPECT_EQ(calls.mid(first), (QStringList{"setChannelProfile(1)", "setClientRole(2)", "startPreview",
                                             "queryInterface(3)", "setParameters({\"che.hardware_encoding\":0})",
                                             "setParameters({\"che.video.h264Profile\":66})", "release",
                                             joinCall(), "getVersion"}));
    EXPECT_EQ(kToken.size(), 179);
    EXPECT_EQ(kChannel.size(), 36);

    // Join still pending: the next click asks again, with no second wrapper.
    RecordingEngine::calls().clear();
    click();
    EXPECT_EQ(RecordingEngine::created(), createdBefore + 1);
    EXPECT_EQ(RecordingEngine::calls().mid(0, 3), (QStringList{"setChannelProfile(1)", "setClientRole(2)", "startPreview"}));
    EXPECT_TRUE(RecordingEngine::calls().contains(joinCall()));

    // One connection: one binding per first-frame signal.
    RecordingEngine::calls().clear();
    RecordingEngine::last()->handler()->onFirstRemoteVideoDecoded(9, 640, 360, 12);
    EXPECT_EQ(RecordingEngine::calls().filter("setupRemoteVideo").size(), 1);
}

TEST_F(MainWindowTest, WindowOwnsTheWrapperItCreates)
{
    auto *window = new MainWindow;
    window->findChild<QPushButton *>("pushButton")->click();
    const QPointer<CRtcObject> wrapper = window->findChild<CRtcObject *>();
    ASSERT_FALSE(wrapper.isNull());
    delete window;
    EXPECT_TRUE(wrapper.isNull());
}

TEST_F(MainWindowTest, ClickWhenJoinedOnlyLeaves)
{
    click();
    RecordingEngine::last()->handler()->onJoinChannelSuccess("room", 123, 1);
    RecordingEngine::calls().clear();
    click();
    EXPECT_EQ(RecordingEngine::calls(), (QStringList{"stopPreview", "leaveChannel"}));
}

// The signal comes from an engine thread; each one binds widget_view to its uid.
TEST_F(MainWindowTest, FirstRemoteVideoBindsWidgetViewAndLogs)
{
    click();
    RecordingEngine::calls().clear();
    vendor::rtc::IRtcEngineEventHandler *handler = RecordingEngine::last()->handler();
    ProbeLogCapture capture;
    std::thread engine([handler] {
        handler->onFirstRemoteVideoDecoded(2001, 640, 360, 250);
        handler->onFirstRemoteVideoDecoded(2002, 320, 240, 400);
    });
    engine.join();
    for (int i = 0; i < 100 && RecordingEngine::calls().filter("setupRemoteVideo").size() < 2; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    const quintptr view = window.findChild<QWidget *>("widget_view")->winId();
    EXPECT_EQ(RecordingEngine::calls().filter("setupRemoteVideo"),
              (QStringList{QStringLiteral("setupRemoteVideo(%1,2,,2001,null)").arg(view),
                           QStringLiteral("setupRemoteVideo(%1,2,,2002,null)").arg(view)}));
    const QStringList contents = capture.contents();
    EXPECT_TRUE(contents.contains("uid=2001,width=640,height=360,elapsed=250"));
    EXPECT_TRUE(contents.contains("uid=2002,width=320,height=240,elapsed=400"));
}

} // namespace
