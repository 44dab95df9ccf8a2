#include <cstdlib>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include "mainwindow.h"

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

} // namespace
