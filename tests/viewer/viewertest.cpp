// The viewer window in a real X server: pointer and keys are synthesised by the
// server (XTest), reach Qt as a person's input would, and must arrive at the
// whiteboard in canvas coordinates whatever the window's size.

#include "kphostdisplay.h"
#include "kphoststudio.h"
#include "kphostviewer.h"
#include "kpobstestenvironment.h"
#include "kppropertysheet.h"
#include "kpsourcespanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <obs.hpp>

#include <gtest/gtest.h>

#include <cctype>
#include <functional>

namespace {

constexpr int kCanvasWidth = 640;
constexpr int kCanvasHeight = 360;

auto *g_environment = ::testing::AddGlobalTestEnvironment(
    new KPObsTestEnvironment({true, true, kCanvasWidth, kCanvasHeight}));

// Input as the X server delivers it to whichever window is under the pointer.
class XInput
{
public:
    XInput() : m_display(XOpenDisplay(nullptr)) {}
    ~XInput()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    void moveTo(const QPoint &global)
    {
        XTestFakeMotionEvent(m_display, -1, global.x(), global.y(), CurrentTime);
        settle();
    }
    void button(bool pressed)
    {
        XTestFakeButtonEvent(m_display, 1, pressed, CurrentTime);
        settle();
    }
    void click(const QPoint &global)
    {
        moveTo(global);
        button(true);
        button(false);
    }
    void drag(const QPoint &from, const QPoint &to)
    {
        moveTo(from);
        button(true);
        for (int step = 1; step <= 4; ++step)
            moveTo(from + (to - from) * step / 4);
        button(false);
    }
    // Ctrl and a letter, as a shortcut is typed.
    void control(char letter)
    {
        const KeyCode control = XKeysymToKeycode(m_display, XK_Control_L);
        const KeyCode key = XKeysymToKeycode(m_display, static_cast<KeySym>(letter));
        XTestFakeKeyEvent(m_display, control, True, CurrentTime);
        XTestFakeKeyEvent(m_display, key, True, CurrentTime);
        XTestFakeKeyEvent(m_display, key, False, CurrentTime);
        XTestFakeKeyEvent(m_display, control, False, CurrentTime);
        settle();
    }
    void type(const char *text)
    {
        const KeyCode shift = XKeysymToKeycode(m_display, XK_Shift_L);
        for (const char *c = text; *c; ++c) {
            const bool shifted = std::isupper(static_cast<unsigned char>(*c)) || *c == '_';
            const KeyCode code = XKeysymToKeycode(m_display, static_cast<KeySym>(*c));
            if (shifted)
                XTestFakeKeyEvent(m_display, shift, True, CurrentTime);
            XTestFakeKeyEvent(m_display, code, True, CurrentTime);
            XTestFakeKeyEvent(m_display, code, False, CurrentTime);
            if (shifted)
                XTestFakeKeyEvent(m_display, shift, False, CurrentTime);
            settle();
        }
    }
    void key(KeySym symbol)
    {
        const KeyCode code = XKeysymToKeycode(m_display, symbol);
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        settle();
    }

private:
    // The server has handled the request and Qt has read what it sent.
    void settle()
    {
        XSync(m_display, False);
        QTest::qWait(40);
    }

    Display *m_display;
};

class ViewerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OBSDataAutoRelease settings = obs_data_create();
        obs_data_set_int(settings, "kp_wb_width", kCanvasWidth);
        obs_data_set_int(settings, "kp_wb_height", kCanvasHeight);
        m_source = obs_source_create("kp_source_whiteboard", "wb", settings, nullptr);
        m_item = KPObsTestEnvironment::runtime().show(m_source);
        m_viewer = new KPHostViewer(KPObsTestEnvironment::runtime());
        // Away from the corner where other test programs' windows open on
        // the shared display, so that no other window is under the pointer.
        m_viewer->move(960, 40);
        m_viewer->show();
        m_viewer->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_viewer));
    }
    void TearDown() override
    {
        delete m_viewer;
        KPObsTestEnvironment::runtime().removeFromOutput(m_item);
        obs_source_release(m_source);
    }

    void useTool(int type)
    {
        m_viewer->setTool(type);
        ASSERT_TRUE(KPObsTestEnvironment::runtime().waitTicks(2, 5000));
    }
    void resizeDisplay(const QSize &size)
    {
        m_viewer->resize(m_viewer->size() - m_viewer->display()->size() + size);
        // The X server answers in its own time on a busy machine.
        for (int waited = 0; waited < 5000 && m_viewer->display()->size() != size; waited += 50)
            QTest::qWait(50);
        QTest::qWait(200);
        ASSERT_EQ(m_viewer->display()->size(), size);
    }
    // The screen point showing a canvas point.
    QPoint screenPoint(const QPointF &canvas) const
    {
        const QRectF area = m_viewer->display()->canvasRect();
        const double scale = area.width() / kCanvasWidth;
        return m_viewer->display()->mapToGlobal((area.topLeft() + canvas * scale).toPoint());
    }
    QJsonArray savedItems()
    {
        const QString path = m_dir.filePath(QStringLiteral("saved.json"));
        EXPECT_TRUE(m_viewer->saveTo(path));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QJsonObject settings = QJsonDocument::fromJson(file.readAll()).object();
        return settings.value("kp_wb_data").toObject().value("kp_wb_data_datas").toArray();
    }

    // A slideshow of count red pictures, shown at the canvas's top left once
    // it has its first picture.
    obs_source_t *showSlideshow(int count)
    {
        OBSDataArrayAutoRelease list = obs_data_array_create();
        for (int i = 0; i < count; ++i) {
            QImage picture(200, 100, QImage::Format_RGBA8888);
            picture.fill(Qt::red);
            m_pictures << m_dir.filePath(QStringLiteral("slide%1.png").arg(i));
            picture.save(m_pictures.last());
            OBSDataAutoRelease entry = obs_data_create();
            obs_data_set_string(entry, "value", m_pictures.last().toUtf8().constData());
            obs_data_array_push_back(list, entry);
        }
        OBSDataAutoRelease settings = obs_data_create();
        obs_data_set_array(settings, "c_data_name_file_list", list);
        obs_data_set_string(settings, "file", m_pictures.first().toUtf8().constData());
        obs_source_t *slides = obs_source_create("kp_image_source", "slides", settings, nullptr);
        KPObsTestEnvironment::runtime().show(slides);
        // The picture is decoded on a worker: keys reach the slideshow once it has a size.
        for (int i = 0; i < 100 && obs_source_get_width(slides) == 0; ++i)
            KPObsTestEnvironment::runtime().waitTicks(1, 5000);
        return obs_source_get_width(slides) > 0 ? slides : nullptr;
    }
    static QString shownFile(obs_source_t *slides)
    {
        OBSDataAutoRelease now = obs_source_get_settings(slides);
        return QString::fromUtf8(obs_data_get_string(now, "file"));
    }
    // The docks widen the window: all of it back on the screen.
    void fitOnScreen()
    {
        m_viewer->resize(1000, 600);
        m_viewer->move(880, 40);
        QTest::qWait(300);
    }

    QTemporaryDir m_dir;
    QStringList m_pictures;
    obs_source_t *m_source = nullptr;
    obs_sceneitem_t *m_item = nullptr;
    KPHostViewer *m_viewer = nullptr;
    XInput m_input;
};

} // namespace

TEST_F(ViewerTest, DragsDrawAtTheirCanvasPointsInWideAndTallWindows)
{
    useTool(1);
    const QList<QSize> sizes = {QSize(900, 300), QSize(400, 600)};
    for (int i = 0; i < sizes.size(); ++i) {
        resizeDisplay(sizes[i]);
        const QPoint from(100 + 20 * i, 80), to(420, 250 + 30 * i);
        m_input.drag(screenPoint(from), screenPoint(to));
        const QJsonArray items = savedItems();
        ASSERT_EQ(items.size(), i + 1) << "window " << sizes[i].width() << "x" << sizes[i].height();
        const QJsonObject item = items.last().toObject();
        EXPECT_NEAR(item.value("kp_wb_data_startPoint_x").toInt(), from.x(), 2);
        EXPECT_NEAR(item.value("kp_wb_data_startPoint_y").toInt(), from.y(), 2);
        EXPECT_NEAR(item.value("kp_wb_data_endPoint_x").toInt(), to.x(), 2);
        EXPECT_NEAR(item.value("kp_wb_data_endPoint_y").toInt(), to.y(), 2);
    }
}

TEST_F(ViewerTest, KeysTypedIntoAPlacedTextBoxArrive)
{
    useTool(7);
    m_input.click(screenPoint(QPointF(100, 100)));
    m_input.type("hi");
    // A click elsewhere finishes the box.
    m_input.click(screenPoint(QPointF(400, 300)));
    const QJsonArray items = savedItems();
    ASSERT_FALSE(items.isEmpty());
    const QJsonObject text = items.first().toObject().value("kp_wb_data_textData").toObject();
    EXPECT_EQ(text.value("kp_wb_text").toString(), QStringLiteral("hi"));
}

TEST_F(ViewerTest, ToolBarUndoAndCtrlZRemoveTheLastItems)
{
    useTool(4);
    for (int y : {50, 150, 250})
        m_input.drag(screenPoint(QPointF(50, y)), screenPoint(QPointF(200, y + 10)));
    ASSERT_EQ(savedItems().size(), 3);

    QWidget *undo = m_viewer->findChild<QToolBar *>()->widgetForAction(m_viewer->undoAction());
    ASSERT_NE(undo, nullptr);
    m_input.click(undo->mapToGlobal(undo->rect().center()));
    ASSERT_EQ(savedItems().size(), 2);
    m_input.control('z');
    const QJsonArray items = savedItems();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first().toObject().value("kp_wb_data_startPoint_y").toInt(), 50);
}

TEST_F(ViewerTest, OpenBringsBackWhatWasSavedAndKeepsDrawing)
{
    useTool(1);
    m_input.drag(screenPoint(QPointF(50, 50)), screenPoint(QPointF(200, 120)));
    const QString saved = m_dir.filePath(QStringLiteral("board.json"));
    ASSERT_TRUE(m_viewer->saveTo(saved));
    EXPECT_FALSE(m_viewer->openFrom(m_dir.filePath(QStringLiteral("missing.json"))));

    ASSERT_TRUE(m_viewer->openFrom(saved));
    ASSERT_NE(m_viewer->display()->focusedSource(), m_source);
    useTool(1);
    m_input.drag(screenPoint(QPointF(300, 200)), screenPoint(QPointF(400, 300)));
    const QJsonArray items = savedItems();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items.first().toObject().value("kp_wb_data_startPoint_x").toInt(), 50);
    EXPECT_NEAR(items.last().toObject().value("kp_wb_data_startPoint_x").toInt(), 300, 2);
}

TEST_F(ViewerTest, PageKeysOverASlideshowMoveThroughItsList)
{
    OBSSourceAutoRelease slides = showSlideshow(2);
    ASSERT_NE(slides.Get(), nullptr);
    m_input.moveTo(screenPoint(QPointF(50, 50)));
    const QList<QPair<KeySym, int>> steps = {{XK_Next, 1}, {XK_Next, 1}, {XK_Home, 0}, {XK_End, 1}, {XK_Prior, 0}};
    for (const auto &step : steps) {
        m_input.key(step.first);
        ASSERT_TRUE(KPObsTestEnvironment::runtime().waitTicks(2, 5000));
        EXPECT_EQ(shownFile(slides), m_pictures[step.second]) << step.first;
    }
    KPObsTestEnvironment::runtime().removeFromOutput(KPObsTestEnvironment::runtime().itemOf(slides));
}

// The pointer's circle is as wide on the screen as what the eraser or the
// spotlight reaches, whichever way its size was set.
TEST_F(ViewerTest, EraserAndSpotlightCursorsShowTheirReach)
{
    const struct
    {
        int type;
        const char *key;
        int value;
        double diameter; // board pixels
    } cases[] = {{9, "kp_wb_draw_size", 30, 30}, {11, "kp_wb_spotlight_radius", 40, 80},
                 {11, "kp_wb_spotlight_radius", 90, 180}, {11, "kp_wb_spotlight_radius", 5, 40}};
    resizeDisplay(QSize(480, 270));
    const double scale = m_viewer->display()->canvasRect().width() / kCanvasWidth;
    for (const auto &c : cases) {
        useTool(c.type);
        OBSDataAutoRelease change = obs_data_create();
        obs_data_set_int(change, c.key, c.value);
        obs_source_update(m_source, change);
        const int wanted = qRound(c.diameter * scale) + 2;
        for (int waited = 0; waited < 5000 && m_viewer->display()->cursor().pixmap().width() != wanted; waited += 50)
            QTest::qWait(50);
        EXPECT_EQ(m_viewer->display()->cursor().pixmap().width(), wanted) << c.key << " " << c.value;
    }
}

// The studio's input as a presenter gives it, one row for each way it went
// astray: a slideshow of three pictures covers the canvas's top left corner,
// the whiteboard the rest.
TEST_F(ViewerTest, StudioInputReachesTheSourceMeant)
{
    KPObsRuntime &runtime = KPObsTestEnvironment::runtime();
    auto *studio = new KPHostStudio(*m_viewer, runtime);
    fitOnScreen();
    OBSSourceAutoRelease slides = showSlideshow(3);
    ASSERT_NE(slides.Get(), nullptr);
    const auto boardPixel = [&] {
        EXPECT_TRUE(runtime.waitTicks(3, 5000));
        return runtime.renderSource(m_source).pixel(kCanvasWidth - 10, kCanvasHeight - 10);
    };
    const auto setting = [](obs_source_t *source, const char *name) {
        OBSDataAutoRelease settings = obs_source_get_settings(source);
        return obs_data_get_int(settings, name);
    };
    QRgb unlit = 0;
    struct Row
    {
        const char *what;
        std::function<void()> act;
        std::function<bool()> holds;
    };
    const QList<Row> rows = {
        {"a tap of Shift leaves later shapes unconstrained",
         [&] {
             m_viewer->display()->setFocusedSource(m_source);
             useTool(1);
             m_input.moveTo(screenPoint(QPointF(300, 200)));
             m_input.key(XK_Shift_L);
             m_input.drag(screenPoint(QPointF(300, 200)), screenPoint(QPointF(500, 240)));
         },
         [&] {
             const QJsonObject item = savedItems().last().toObject();
             return item.value("kp_wb_data_endPoint_x").toInt() - item.value("kp_wb_data_startPoint_x").toInt()
                    > 2 * (item.value("kp_wb_data_endPoint_y").toInt() - item.value("kp_wb_data_startPoint_y").toInt());
         }},
        {"the spotlight shades the board around the pointer",
         [&] {
             useTool(11);
             unlit = boardPixel();
             m_input.moveTo(screenPoint(QPointF(400, 250)));
         },
         [&] { return boardPixel() != unlit; }},
        {"leaving the canvas onto a dock ends the spotlight",
         [&] {
             QWidget *list = studio->sources();
             m_input.moveTo(list->mapToGlobal(list->rect().center()));
         },
         [&] { return boardPixel() == unlit; }},
        {"the tool bar offers the sheet's tools under the sheet's names",
         [&] { QTest::qWait(600); },
         [&] {
             auto *sheetTools = studio->sheet()->findChild<QComboBox *>(QStringLiteral("kp_wb_draw_type"));
             QComboBox *barTools = m_viewer->toolBox();
             bool same = sheetTools && sheetTools->count() == barTools->count();
             for (int i = 0; same && i < barTools->count(); ++i)
                 same = sheetTools->itemText(i) == barTools->itemText(i) && sheetTools->itemData(i) == barTools->itemData(i);
             return same;
         }},
        {"Text chosen on the bar is Text in the sheet",
         [&] {
             m_viewer->setTool(7);
             QTest::qWait(700);
         },
         [&] {
             auto *sheetTools = studio->sheet()->findChild<QComboBox *>(QStringLiteral("kp_wb_draw_type"));
             return sheetTools && sheetTools->currentText() == QLatin1String("Text");
         }},
        {"with focus in a sheet field Page Down steps the slideshow",
         [&] {
             m_viewer->display()->setFocusedSource(slides);
             QTest::qWait(100);
             auto *field = studio->sheet()->findChild<QCheckBox *>();
             ASSERT_NE(field, nullptr);
             field->setFocus(Qt::TabFocusReason);
             ASSERT_TRUE(field->hasFocus());
             m_input.key(XK_Next);
             ASSERT_TRUE(runtime.waitTicks(2, 5000));
         },
         [&] { return shownFile(slides) == m_pictures[1]; }},
        {"and P picks the pen", [&] { m_input.key(XK_p); }, [&] { return setting(slides, "kp_wb_draw_type") == 6; }},
    };
    for (const Row &row : rows) {
        row.act();
        EXPECT_TRUE(row.holds()) << row.what;
    }
    runtime.removeFromOutput(runtime.itemOf(slides));
}

// The studio's docks: a picture source added through the sources panel gets
// its file typed into the property sheet's path field, and the canvas shows it.
TEST_F(ViewerTest, APictureChosenInThePropertySheetAppearsOnTheCanvas)
{
    const QString picture = m_dir.filePath(QStringLiteral("Pic_1.png"));
    QImage green(200, 100, QImage::Format_RGBA8888);
    green.fill(Qt::green);
    ASSERT_TRUE(green.save(picture));
    auto *studio = new KPHostStudio(*m_viewer, KPObsTestEnvironment::runtime());
    obs_source_t *added = studio->sources()->addSource(QStringLiteral("kp_single_image_source"));
    ASSERT_NE(added, nullptr);
    ASSERT_EQ(studio->sheet()->source(), added);
    fitOnScreen();

    auto *field = studio->sheet()->findChild<QLineEdit *>(QStringLiteral("file"));
    ASSERT_NE(field, nullptr);
    auto *status = m_viewer->findChild<QLabel *>(QStringLiteral("status"));
    ASSERT_NE(status, nullptr);
    // A folder first: the status line says in words why nothing shows.
    m_input.click(field->mapToGlobal(field->rect().center()));
    m_input.type(m_dir.path().toLocal8Bit().constData());
    m_input.key(XK_Return);
    for (int waited = 0; waited < 5000 && !status->text().contains(QStringLiteral("Picture not shown: ")); waited += 50)
        QTest::qWait(50);
    EXPECT_TRUE(status->text().contains(QStringLiteral("Picture not shown: %1").arg(m_dir.path())))
        << status->text().toStdString();
    field->selectAll();
    m_input.type(picture.toLocal8Bit().constData());
    m_input.key(XK_Return);
    OBSDataAutoRelease settings = obs_source_get_settings(added);
    EXPECT_EQ(QString::fromUtf8(obs_data_get_string(settings, "file")), picture);

    QColor shown;
    KPObsRuntime &runtime = KPObsTestEnvironment::runtime();
    for (int waited = 0; waited < 5000 && shown != QColor(Qt::green); waited += 100) {
        ASSERT_TRUE(runtime.waitTicks(2, 5000));
        shown = runtime.renderSource(obs_scene_get_source(runtime.scene())).pixelColor(50, 50);
    }
    EXPECT_EQ(shown, QColor(Qt::green));
    runtime.removeFromOutput(runtime.itemOf(added));
}

namespace {

// The window kp-host view opened on the display, found by its title.
Window studioWindow(Display *display, Window parent)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        char *name = nullptr;
        XWindowAttributes attributes;
        if (XFetchName(display, children[i], &name) && name && QByteArray(name) == "kp-host"
            && XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
            found = children[i];
        XFree(name);
        if (!found)
            found = studioWindow(display, children[i]);
    }
    XFree(children);
    return found;
}

QRect studioFrame()
{
    Display *display = XOpenDisplay(nullptr);
    QRect frame;
    for (int waited = 0; display && waited < 20000 && frame.isNull(); waited += 100) {
        QTest::qWait(100);
        if (const Window window = studioWindow(display, DefaultRootWindow(display))) {
            XWindowAttributes attributes;
            Window child = 0;
            int x = 0, y = 0;
            XGetWindowAttributes(display, window, &attributes);
            XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
            frame = QRect(x, y, attributes.width, attributes.height);
        }
    }
    if (display)
        XCloseDisplay(display);
    return frame;
}

} // namespace

// A studio killed after drawing leaves its copy behind; started again, it
// reopens the drawing, and a clean exit removes the copy.
TEST(Recovery, AStudioKilledAfterDrawingReopensTheDrawing)
{
    QTemporaryDir config;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    environment.insert(QStringLiteral("KP_HOST_RECOVERY"), QStringLiteral("reopen"));
    const QString copy = config.filePath(QStringLiteral("kp-toolkit/recovery/scene.json"));
    QProcess studio;
    studio.setProcessEnvironment(environment);
    studio.start(QStringLiteral(KP_HOST_PATH), {"view", "--out", config.path()});
    ASSERT_TRUE(studio.waitForStarted(10000));
    const QRect frame = studioFrame();
    ASSERT_FALSE(frame.isNull());
    QTest::qWait(1000);
    // The window's middle is the canvas's, between the two docks.
    XInput input;
    const QPoint middle = frame.center();
    for (int dy : {-40, 0, 40})
        input.drag(middle + QPoint(-150, dy), middle + QPoint(150, dy));
    for (int waited = 0; waited < 15000 && !QFile::exists(copy); waited += 100)
        QTest::qWait(100);
    ASSERT_TRUE(QFile::exists(copy));
    studio.kill();
    ASSERT_TRUE(studio.waitForFinished(10000));
    QFile saved(copy);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("kp_wb_data_datas"));

    const QString shot = config.filePath(QStringLiteral("shot.png"));
    studio.start(QStringLiteral(KP_HOST_PATH), {"view", "--out", config.path(), "--screenshot", shot});
    ASSERT_TRUE(studio.waitForFinished(60000));
    EXPECT_EQ(studio.exitCode(), 0) << studio.readAllStandardError().constData();
    // The strokes are back where they were drawn, around the window's middle.
    const QImage picture(shot);
    const QRect drawn(picture.rect().center() - QPoint(170, 60), QSize(340, 120));
    int red = 0;
    for (int y = drawn.top(); y <= drawn.bottom(); ++y) {
        for (int x = drawn.left(); x <= drawn.right(); ++x) {
            const QColor colour = picture.pixelColor(x, y);
            red += colour.red() - colour.green() > 80 && colour.red() - colour.blue() > 80;
        }
    }
    EXPECT_GT(red, 600);
    EXPECT_FALSE(QFile::exists(copy));
}
