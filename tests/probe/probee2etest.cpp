#include <cstdlib>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include "mainwindow.h"
#include "vendor/rtc/irtcengine.h"

namespace {

// Pixels of the window that differ clearly from its background colour.
int foreignPixels(const QImage &image, const QColor &background)
{
    int count = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - background.red()) + qAbs(c.green() - background.green()) +
                    qAbs(c.blue() - background.blue()) > 60)
                ++count;
        }
    return count;
}

// The probe with the simulated engine: a click joins, the simulated remote
// user's first frame binds widget_view, and its video shows there.
TEST(RtcProbeEndToEnd, ClickShowsRemoteVideo)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X display";
    setenv("VENDOR_RTC_SIM_JOIN_DELAY_MS", "20", 1);
    setenv("VENDOR_RTC_SIM_REMOTE_DELAY_MS", "20", 1);
    setenv("VENDOR_RTC_SIM_STATS_PERIOD_MS", "50", 1);

    MainWindow window;
    window.show();
    QWidget *view = window.findChild<QWidget *>("widget_view");
    const QColor background = view->palette().color(view->backgroundRole());
    window.findChild<QPushButton *>("pushButton")->click();

    QElapsedTimer timer;
    timer.start();
    int shown = 0;
    while (timer.elapsed() < 5000 && shown < 100) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (view->testAttribute(Qt::WA_NativeWindow)) {
            const QImage image = view->screen()->grabWindow(view->winId()).toImage();
            shown = foreignPixels(image, background);
        }
    }
    EXPECT_GE(shown, 100) << "widget_view shows no remote video";
    window.findChild<QPushButton *>("pushButton")->click(); // leave
}

// The probe with the real engine and a second engine publishing its test
// picture into the probe's channel through a private Janus server (ctest runs
// this case under scripts/janus/with-janus.sh): the picture shows in
// widget_view and moves between two grabs.
TEST(RtcProbeEndToEnd, ClickShowsPublisherThroughJanus)
{
    if (!std::getenv("VENDOR_RTC_JANUS_URL"))
        GTEST_SKIP() << "needs a Janus server: run under scripts/janus/with-janus.sh";
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X display";
    setenv("VENDOR_RTC_ENGINE", "janus", 1);

    vendor::rtc::IRtcEngineEventHandler quiet;
    vendor::rtc::IRtcEngine *publisher = createRtcEngine();
    vendor::rtc::RtcEngineContext context;
    context.eventHandler = &quiet;
    context.appId = "publisher";
    ASSERT_EQ(publisher->initialize(context), 0);
    publisher->setClientRole(vendor::rtc::CLIENT_ROLE_BROADCASTER);
    ASSERT_EQ(publisher->joinChannel(RTC_PROBE_TOKEN, RTC_PROBE_CHANNEL, nullptr, 9001), 0);

    MainWindow window;
    window.show();
    QWidget *view = window.findChild<QWidget *>("widget_view");
    const QColor background = view->palette().color(view->backgroundRole());
    window.findChild<QPushButton *>("pushButton")->click();

    QElapsedTimer timer;
    timer.start();
    QImage first;
    QImage second;
    while (timer.elapsed() < 90000 && second.isNull()) {
        QApplication::processEvents(QEventLoop::AllEvents, 100);
        if (!view->testAttribute(Qt::WA_NativeWindow))
            continue;
        const QImage image = view->screen()->grabWindow(view->winId()).toImage();
        if (foreignPixels(image, background) < 1000)
            continue;
        if (first.isNull())
            first = image;
        else if (image != first)
            second = image;
    }
    EXPECT_FALSE(first.isNull()) << "widget_view shows no remote video";
    EXPECT_FALSE(second.isNull()) << "the remote video does not move";
    window.findChild<QPushButton *>("pushButton")->click(); // leave
    publisher->release(true);
}

} // namespace
