// The studio going live into its room with the simulated engine (the test
// runs with VENDOR_RTC_ENGINE=sim), and the room kept with the scene.

#include "kphostlive.h"
#include "kphostlivecontrols.h"
#include "kphostroomdialog.h"
#include "kphoststudio.h"
#include "kphostviewer.h"
#include "kplogcapture.h"
#include "kpobstestenvironment.h"
#include "kpsourcespanel.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <obs.hpp>

#include <gtest/gtest.h>

#include <functional>

namespace {

int rtcOutputs()
{
    int count = 0;
    obs_enum_outputs(
        [](void *count, obs_output_t *output) {
            *static_cast<int *>(count) += QByteArray(obs_output_get_id(output)) == "kp_rtc_output";
            return true;
        },
        &count);
    return count;
}

// Fills the channel into the next room dialog and accepts it.
void answerRoom(const QString &channel)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, channel] {
        if (auto *dialog = qobject_cast<KPHostRoomDialog *>(QApplication::activeModalWidget())) {
            dialog->findChild<QLineEdit *>(QStringLiteral("channel"))->setText(channel);
            dialog->accept();
            timer->deleteLater();
        }
    });
    timer->start(20);
}

QJsonObject json(obs_data_t *data)
{
    return QJsonDocument::fromJson(obs_data_get_json(data)).object();
}

class LiveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_viewer = new KPHostViewer(KPObsTestEnvironment::runtime());
        m_studio = new KPHostStudio(*m_viewer, KPObsTestEnvironment::runtime());
        m_viewer->show();
        m_studio->sources()->addSource(QStringLiteral("kp_source_whiteboard"));
    }
    void TearDown() override
    {
        OBSDataAutoRelease none = obs_data_create();
        live()->setRoom(none);
        m_studio->sources()->newScene();
        delete m_viewer;
    }

    KPHostLive *live() const { return m_studio->live()->live(); }
    QString status() const { return m_studio->live()->statusLabel()->text(); }
    static bool waitFor(const std::function<bool()> &done)
    {
        for (int waited = 0; waited < 20000 && !done(); waited += 100)
            QTest::qWait(100);
        return done();
    }

    QTemporaryDir m_dir;
    KPHostViewer *m_viewer = nullptr;
    KPHostStudio *m_studio = nullptr;
};

} // namespace

TEST_F(LiveTest, GoLiveAsksForTheRoomJoinsStopsAndStopsOnClosing)
{
    EXPECT_TRUE(status().isEmpty());
    QAction *goLive = m_studio->live()->goLiveAction();
    QWidget *button = m_viewer->findChild<QToolBar *>(QStringLiteral("Live"))->widgetForAction(goLive);
    ASSERT_NE(button, nullptr);

    // Without a channel the room dialog comes first.
    answerRoom(QStringLiteral("kp-studio-test"));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(live()->channel().toStdString(), "kp-studio-test");
    EXPECT_TRUE(waitFor([&] { return status().startsWith(QLatin1String("Live: ")); })) << status().toStdString();
    EXPECT_EQ(goLive->text().toStdString(), "Stop going live");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return !live()->active() && goLive->text() == QLatin1String("Go live"); }));
    EXPECT_EQ(status().toStdString(), "Not live");

    // Closed while live, the window stops the output and lets it go.
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return live()->active(); }));
    m_viewer->setAttribute(Qt::WA_QuitOnClose, false);
    m_viewer->close();
    EXPECT_TRUE(waitFor([] { return rtcOutputs() == 0; }));
}

// Saved and opened again, the room is back and the room dialog shows it; a
// "live" that does not fit opens the scene all the same, with what does not
// fit left out and a log line for it.
TEST_F(LiveTest, TheSceneKeepsItsRoomAndIgnoresBadOnes)
{
    const QJsonObject room{{"server", "https://rtc.example/janus"}, {"channel", "lesson"}, {"uid", 7},
                           {"token", "secret"}, {"fps", 25}, {"codec", "h264"}};
    OBSDataAutoRelease settings = obs_data_create_from_json(QJsonDocument(room).toJson().constData());
    live()->setRoom(settings);
    const QString path = m_dir.filePath(QStringLiteral("scene.json"));
    KPSourcesPanel *panel = m_studio->sources();
    ASSERT_TRUE(panel->saveScene(path));
    OBSDataAutoRelease none = obs_data_create();
    live()->setRoom(none);
    ASSERT_TRUE(panel->openScene(path));
    OBSDataAutoRelease opened = live()->room();
    KPHostRoomDialog dialog(opened);
    ASSERT_NE(dialog.findChild<QLineEdit *>(QStringLiteral("channel")), nullptr);
    EXPECT_EQ(dialog.findChild<QLineEdit *>(QStringLiteral("channel"))->text(), QStringLiteral("lesson"));
    EXPECT_EQ(dialog.findChild<QSpinBox *>(QStringLiteral("uid"))->value(), 7);
    OBSDataAutoRelease shown = dialog.settings();
    for (const QString &key : room.keys())
        EXPECT_EQ(json(shown).value(key), room.value(key)) << key.toStdString();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonObject scene = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonObject many;
    for (int i = 0; i < 40; ++i)
        many.insert(QStringLiteral("f%1").arg(i), i);
    const QString huge(5000, QLatin1Char('x'));
    const QList<QPair<QJsonValue, QJsonObject>> cases = {
        {QStringLiteral("lesson"), {}},
        {QJsonArray{1, 2}, {}},
        {QJsonValue::Null, {}},
        {QJsonObject{{"channel", 7}, {"uid", "7"}, {"fps", 2.5}, {"token", true}}, {}},
        {QJsonObject{{"uid", -1}, {"fps", 1e300}, {"bitrate_kbps", 20001}}, {}},
        {QJsonObject{{"channel", huge}, {"token", "ok"}}, {{"token", "ok"}}},
        {QJsonObject{{"channel", QStringLiteral("a") + QChar(0) + QStringLiteral("b")}}, {}},
        {QJsonObject{{QString(100000, QLatin1Char('k')), 1}, {"channel", "kept"}}, {{"channel", "kept"}}},
        {QJsonObject{{"codec", "av1"}, {"channel", "kept"}}, {{"channel", "kept"}}},
        {QJsonObject{{"codec", 264}}, {}},
        {many, {}},
    };
    const QString ignored = QStringLiteral("the scene's \"live\"");
    for (const auto &entry : cases) {
        scene.insert(QStringLiteral("live"), entry.first);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(scene).toJson());
        file.close();
        live()->setRoom(none);
        KPLogCapture log;
        const QByteArray what = QJsonDocument(QJsonObject{{"live", entry.first}}).toJson(QJsonDocument::Compact).left(80);
        ASSERT_TRUE(panel->openScene(path)) << what.constData();
        OBSDataAutoRelease kept = live()->room();
        EXPECT_EQ(json(kept), entry.second) << what.constData();
        EXPECT_FALSE(log.lines().filter(ignored).isEmpty()) << what.constData();
    }
}
