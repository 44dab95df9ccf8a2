// The whiteboard source inside real libobs with OpenGL: the plug-in is loaded
// as a module, sources are created by id, input arrives through libobs and the
// host extension, and frames are rendered through the source's video_render.

#include "kplogcapture.h"
#include "kpobsext.h"
#include "kpobstestenvironment.h"

#include <QColor>
#include <QImage>

#include <obs.hpp>

#include <gtest/gtest.h>

namespace {

auto *g_environment = ::testing::AddGlobalTestEnvironment(new KPObsTestEnvironment({true, true}));

constexpr long long kRed = 0xff0000ffLL;
constexpr long long kBlue = 0xffff0000LL;

// A whiteboard shown on the output, released with the test.
class Whiteboard
{
public:
    explicit Whiteboard(obs_data_t *settings = nullptr, const char *name = "wb")
        : m_source(obs_source_create("kp_source_whiteboard", name, settings, nullptr))
    {
        m_item = KPObsTestEnvironment::runtime().show(m_source);
    }
    // Creating a source resets its tool to the defaults: the tool is chosen
    // afterwards, as a presenter does. libobs applies the update on a tick.
    void useTool(long long type, long long color, int size)
    {
        OBSDataAutoRelease tool = obs_data_create();
        obs_data_set_int(tool, "kp_wb_draw_type", type);
        obs_data_set_int(tool, "kp_wb_draw_color", color);
        obs_data_set_int(tool, "kp_wb_draw_size", size);
        obs_source_update(m_source, tool);
        EXPECT_TRUE(KPObsTestEnvironment::runtime().waitTicks(2, 5000));
    }
    ~Whiteboard()
    {
        KPObsTestEnvironment::runtime().removeFromOutput(m_item);
        obs_source_release(m_source);
    }
    obs_source_t *source() const { return m_source; }

    void click(int x, int y, bool up, int button = 0)
    {
        obs_mouse_event event = {0, x, y};
        obs_source_send_mouse_click(m_source, &event, button, up, 1);
    }
    void move(int x, int y)
    {
        obs_mouse_event event = {0, x, y};
        obs_source_send_mouse_move(m_source, &event, false);
    }
    void drag(QPoint from, QPoint to)
    {
        click(from.x(), from.y(), false);
        move((from.x() + to.x()) / 2, (from.y() + to.y()) / 2);
        move(to.x(), to.y());
        click(to.x(), to.y(), true);
    }
    void command(int number, obs_data_t *settings = nullptr) { kp_obs_custom_callback(m_source, number, settings); }
    QImage frame()
    {
        EXPECT_TRUE(KPObsTestEnvironment::runtime().waitTicks(2, 5000));
        return KPObsTestEnvironment::runtime().renderSource(m_source);
    }
    OBSDataAutoRelease saved()
    {
        obs_source_save(m_source);
        return obs_source_get_settings(m_source);
    }

private:
    obs_source_t *m_source;
    obs_sceneitem_t *m_item;
};

OBSDataAutoRelease boardSettings(int width, int height)
{
    obs_data_t *settings = obs_data_create();
    obs_data_set_int(settings, "kp_wb_width", width);
    obs_data_set_int(settings, "kp_wb_height", height);
    obs_data_set_int(settings, "kp_wb_background", 0xffffffffLL);
    return settings;
}

QColor at(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

// An antialiased one-pixel outline on integer coordinates covers two pixel
// rows or columns by half: red over white, not pure red.
bool isRedInk(const QColor &color)
{
    return color.red() >= 250 && color.green() <= 160 && color.blue() <= 160;
}

size_t savedCount(obs_data_t *settings)
{
    OBSDataAutoRelease content = obs_data_get_obj(settings, "kp_wb_data");
    OBSDataArrayAutoRelease records = obs_data_get_array(content, "kp_wb_data_datas");
    return obs_data_array_count(records);
}

} // namespace

TEST(WhiteboardSource, RectangleDrawnWithTheMouseFollowsUndoRedoAndClear)
{
    Whiteboard board(boardSettings(200, 150));
    board.useTool(1, kRed, 1);
    board.drag({20, 30}, {120, 90});

    const QImage drawn = board.frame();
    ASSERT_EQ(drawn.size(), QSize(200, 150));
    EXPECT_TRUE(isRedInk(at(drawn, 20, 60)));
    EXPECT_TRUE(isRedInk(at(drawn, 120, 60)));
    EXPECT_TRUE(isRedInk(at(drawn, 70, 30)));
    EXPECT_EQ(at(drawn, 70, 60), QColor(Qt::white));
    EXPECT_EQ(at(drawn, 10, 10), QColor(Qt::white));

    board.command(1);
    EXPECT_FALSE(isRedInk(at(board.frame(), 20, 60)));
    board.command(2);
    EXPECT_EQ(board.frame(), drawn);

    // Unknown commands and null settings change nothing.
    board.command(4);
    board.command(2, nullptr);
    EXPECT_EQ(board.frame(), drawn);

    OBSDataAutoRelease anySettings = obs_data_create();
    board.command(3, anySettings);
    const QImage cleared = board.frame();
    EXPECT_EQ(cleared.pixelColor(20, 60), QColor(Qt::white));
    board.command(1);
    EXPECT_EQ(board.frame(), drawn);
}

TEST(WhiteboardSource, SaveWritesVisibleItemsInDrawingOrder)
{
    Whiteboard board(boardSettings(300, 200));
    board.useTool(4, kBlue, 2);
    board.drag({10, 10}, {100, 10});
    board.drag({10, 50}, {100, 50});
    board.drag({10, 90}, {100, 90});
    board.command(1);

    OBSDataAutoRelease settings = board.saved();
    OBSDataAutoRelease content = obs_data_get_obj(settings, "kp_wb_data");
    OBSDataArrayAutoRelease records = obs_data_get_array(content, "kp_wb_data_datas");
    ASSERT_EQ(obs_data_array_count(records), 2u);
    for (size_t i = 0; i < 2; ++i) {
        OBSDataAutoRelease record = obs_data_array_item(records, i);
        OBSDataAutoRelease tool = obs_data_get_obj(record, "kp_wb_data_itemProperty");
        EXPECT_EQ(obs_data_get_int(tool, "kp_wb_draw_type"), 4);
        EXPECT_EQ(obs_data_get_int(tool, "kp_wb_draw_color"), kBlue);
        EXPECT_EQ(obs_data_get_int(tool, "kp_wb_draw_size"), 2);
        EXPECT_EQ(obs_data_get_int(record, "kp_wb_data_startPoint_x"), 10);
        EXPECT_EQ(obs_data_get_int(record, "kp_wb_data_startPoint_y"), 10 + 40 * static_cast<int>(i));
        EXPECT_EQ(obs_data_get_int(record, "kp_wb_data_endPoint_x"), 100);
        EXPECT_EQ(obs_data_get_int(record, "kp_wb_data_endPoint_y"), 10 + 40 * static_cast<int>(i));
        OBSDataArrayAutoRelease points = obs_data_get_array(record, "kp_wb_data_points");
        OBSDataArrayAutoRelease pressure = obs_data_get_array(record, "kp_wb_pressure_points");
        EXPECT_NE(points.Get(), nullptr);
        EXPECT_NE(pressure.Get(), nullptr);
        EXPECT_EQ(obs_data_array_count(pressure), 0u);
    }
}

TEST(WhiteboardSource, LoadedSceneShowsTheSameDrawingWithoutHistory)
{
    OBSDataAutoRelease saved;
    QImage original;
    {
        Whiteboard board(boardSettings(200, 150));
    board.useTool(5, kRed, 3);
        board.drag({20, 20}, {150, 120});
        original = board.frame();
        saved = board.saved();
    }
    ASSERT_EQ(savedCount(saved), 1u);

    Whiteboard restored(saved, "restored");
    obs_source_load(restored.source());
    EXPECT_EQ(restored.frame(), original);
    // Loaded items have no undo step.
    restored.command(1);
    EXPECT_EQ(restored.frame(), original);

    // Loading again appends a second copy of every item.
    obs_source_load(restored.source());
    OBSDataAutoRelease twice = restored.saved();
    EXPECT_EQ(savedCount(twice), 2u);
    // Clear still removes loaded items.
    restored.command(3);
    EXPECT_EQ(at(restored.frame(), 20, 70), QColor(Qt::white));
}

TEST(WhiteboardSource, SizeFollowsSettingsAndDefaultsTo400By300)
{
    Whiteboard plain;
    EXPECT_EQ(obs_source_get_width(plain.source()), 400u);
    EXPECT_EQ(obs_source_get_height(plain.source()), 300u);

    OBSDataAutoRelease settings = boardSettings(640, 360);
    Whiteboard sized(settings, "sized");
    EXPECT_EQ(obs_source_get_width(sized.source()), 640u);
    EXPECT_EQ(obs_source_get_height(sized.source()), 360u);
    const QImage frame = sized.frame();
    EXPECT_EQ(frame.size(), QSize(640, 360));
    EXPECT_EQ(at(frame, 639, 359), QColor(Qt::white));
}

TEST(WhiteboardSource, StatusOfANonTextItemLeavesTheRecordEmpty)
{
    Whiteboard board(boardSettings(100, 100));
    board.useTool(1, kRed, 1);
    board.drag({10, 10}, {50, 50});
    obs_data_t *status = kp_obs_get_source_status(board.source());
    ASSERT_NE(status, nullptr);
    obs_data_item_t *first = obs_data_first(status);
    EXPECT_EQ(first, nullptr);
    obs_data_item_release(&first);
}

TEST(WhiteboardSource, DefaultsPropertiesAndNameComeFromTheModule)
{
    EXPECT_STREQ(obs_source_get_display_name("kp_source_whiteboard"), "Whiteboard");

    OBSDataAutoRelease defaults = obs_get_source_defaults("kp_source_whiteboard");
    EXPECT_EQ(obs_data_get_default_int(defaults, "kp_wb_width"), 400);
    EXPECT_EQ(obs_data_get_default_int(defaults, "kp_wb_height"), 300);
    EXPECT_EQ(obs_data_get_default_int(defaults, "kp_wb_background"), 0xffffffffLL);
    EXPECT_FALSE(obs_data_get_default_bool(defaults, "kp_wb_hideHandwriting"));
    EXPECT_EQ(obs_data_get_int(defaults, "kp_wb_draw_size"), 20);
    EXPECT_EQ(obs_data_get_int(defaults, "kp_wb_draw_color"), kRed);
    EXPECT_EQ(obs_data_get_int(defaults, "kp_wb_draw_type"), 0);

    obs_properties_t *properties = obs_get_source_properties("kp_source_whiteboard");
    QStringList names;
    for (obs_property_t *p = obs_properties_first(properties); p; obs_property_next(&p))
        names << QString::fromUtf8(obs_property_name(p));
    EXPECT_EQ(names, QStringList({"kp_wb_width", "kp_wb_height", "kp_wb_background", "kp_wb_hideHandwriting",
                                  "kp_wb_draw_color", "kp_wb_draw_size", "kp_wb_line_width", "kp_wb_spotlight_radius",
                                  "kp_wb_laser_width", "kp_wb_draw_type", "kp_export_folder", "kp_export_title",
                                  "kp_export_layout", "kp_export_notes", "kp_export"}));
    obs_property_t *width = obs_properties_get(properties, "kp_wb_width");
    EXPECT_EQ(obs_property_int_min(width), 0);
    EXPECT_EQ(obs_property_int_max(width), 4096);
    EXPECT_STREQ(obs_property_description(width), "Width");
    EXPECT_EQ(obs_property_get_type(obs_properties_get(properties, "kp_wb_background")), OBS_PROPERTY_COLOR);
    obs_property_t *tools = obs_properties_get(properties, "kp_wb_draw_type");
    ASSERT_EQ(obs_property_list_item_count(tools), 12u);
    EXPECT_STREQ(obs_property_list_item_name(tools, 7), "Text");
    EXPECT_STREQ(obs_property_list_item_name(tools, 9), "Eraser");
    EXPECT_STREQ(obs_property_list_item_name(tools, 10), "Laser Pointer");
    EXPECT_STREQ(obs_property_list_item_name(tools, 11), "Spotlight");
    obs_properties_destroy(properties);
}

TEST(WhiteboardSource, MouseClickLogsItsEventAndWheelChangesNothing)
{
    Whiteboard board(boardSettings(100, 100));
    board.useTool(1, kRed, 1);
    const QImage before = board.frame();
    KPLogCapture capture;
    board.click(10, 20, true);
    EXPECT_EQ(capture
                  .linesWithContent(QStringLiteral(
                      "TTTTV:color_mouse_click type=0,x=10,y=20,click_count=1,mouse_up=up,modifiers=0"))
                  .size(),
              1);
    EXPECT_EQ(capture.linesWithContent(QStringLiteral("TTTTTTTTTTTTTTTV")).size(), 1);

    obs_mouse_event event = {0, 50, 50};
    obs_source_send_mouse_wheel(board.source(), &event, 0, 120);
    EXPECT_EQ(board.frame(), before);
}
