// The viewer window in a real X server: pointer and keys are synthesised by the
// server (XTest), reach Qt as a person's input would, and must arrive at the
// whiteboard in canvas coordinates whatever the window's size.

#include "kphostdisplay.h"
#include "kphoststudio.h"
#include "kphostviewer.h"
#include "kpobstestenvironment.h"
#include "kppropertysheet.h"
#include "kpsourcespanel.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

    QTemporaryDir m_dir;
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
    QStringList pictures;
    OBSDataArrayAutoRelease list = obs_data_array_create();
    for (const char *name : {"one.png", "two.png"}) {
        QImage picture(200, 100, QImage::Format_RGBA8888);
        picture.fill(Qt::red);
        pictures << m_dir.filePath(QLatin1String(name));
        ASSERT_TRUE(picture.save(pictures.last()));
        OBSDataAutoRelease entry = obs_data_create();
        obs_data_set_string(entry, "value", pictures.last().toUtf8().constData());
        obs_data_array_push_back(list, entry);
    }
    OBSDataAutoRelease settings = obs_data_create();
    obs_data_set_array(settings, "c_data_name_file_list", list);
    obs_data_set_string(settings, "file", pictures.first().toUtf8().constData());
    OBSSourceAutoRelease slides = obs_source_create("kp_image_source", "slides", settings, nullptr);
    obs_sceneitem_t *item = KPObsTestEnvironment::runtime().show(slides);
    // The picture is decoded on a worker: keys reach the slideshow once it has a size.
    for (int i = 0; i < 100 && obs_source_get_width(slides) == 0; ++i)
        ASSERT_TRUE(KPObsTestEnvironment::runtime().waitTicks(1, 5000));
    ASSERT_GT(obs_source_get_width(slides), 0u);
    const auto file = [&] {
        OBSDataAutoRelease now = obs_source_get_settings(slides);
        return QString::fromUtf8(obs_data_get_string(now, "file"));
    };
    m_input.moveTo(screenPoint(QPointF(50, 50)));
    const QList<QPair<KeySym, QString>> steps = {
        {XK_Next, pictures[1]}, {XK_Next, pictures[1]}, {XK_Home, pictures[0]}, {XK_End, pictures[1]}, {XK_Prior, pictures[0]}};
    for (const auto &step : steps) {
        m_input.key(step.first);
        ASSERT_TRUE(KPObsTestEnvironment::runtime().waitTicks(2, 5000));
        EXPECT_EQ(file(), step.second) << step.first;
    }
    KPObsTestEnvironment::runtime().removeFromOutput(item);
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
    // The docks widened the window: all of it back on the screen.
    m_viewer->resize(1000, 600);
    m_viewer->move(880, 40);
    QTest::qWait(300);

    auto *field = studio->sheet()->findChild<QLineEdit *>(QStringLiteral("file"));
    ASSERT_NE(field, nullptr);
    m_input.click(field->mapToGlobal(field->rect().center()));
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
