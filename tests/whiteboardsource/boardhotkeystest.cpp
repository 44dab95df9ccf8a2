// Board hotkeys as a stock libobs host sees them: listed under each whiteboard,
// image and slideshow source with their localised names, fired by a bound key without
// any host extension, and bound again when the source is loaded from a saved
// scene.

#include "kpobstestenvironment.h"

#include <QImage>
#include <QMap>
#include <QTemporaryDir>

#include <obs.hpp>

#include <gtest/gtest.h>

// libobs is started by the test program's environment (whiteboardsourcetest.cpp).
namespace {

QMap<QString, obs_hotkey_id> hotkeysOf(obs_source_t *source)
{
    struct Search
    {
        obs_source_t *source;
        QMap<QString, QString> descriptions;
        QMap<QString, obs_hotkey_id> ids;
    } search{source, {}, {}};
    obs_enum_hotkeys(
        [](void *data, obs_hotkey_id id, obs_hotkey_t *hotkey) {
            auto *search = static_cast<Search *>(data);
            auto *owner = static_cast<obs_weak_source_t *>(obs_hotkey_get_registerer(hotkey));
            if (obs_hotkey_get_registerer_type(hotkey) == OBS_HOTKEY_REGISTERER_SOURCE
                && obs_weak_source_references_source(owner, search->source))
                search->ids.insert(QString::fromUtf8(obs_hotkey_get_name(hotkey)), id);
            return true;
        },
        &search);
    return search.ids;
}

QString descriptionOf(obs_hotkey_id id)
{
    struct Search
    {
        obs_hotkey_id id;
        QString description;
    } search{id, {}};
    obs_enum_hotkeys(
        [](void *data, obs_hotkey_id id, obs_hotkey_t *hotkey) {
            auto *search = static_cast<Search *>(data);
            if (id == search->id)
                search->description = QString::fromUtf8(obs_hotkey_get_description(hotkey));
            return true;
        },
        &search);
    return search.description;
}

QList<obs_key_combination_t> bindingsOf(obs_hotkey_id id)
{
    struct Search
    {
        obs_hotkey_id id;
        QList<obs_key_combination_t> keys;
    } search{id, {}};
    obs_enum_hotkey_bindings(
        [](void *data, size_t, obs_hotkey_binding_t *binding) {
            auto *search = static_cast<Search *>(data);
            if (obs_hotkey_binding_get_hotkey_id(binding) == search->id)
                search->keys.append(obs_hotkey_binding_get_key_combination(binding));
            return true;
        },
        &search);
    return search.keys;
}

// The drawing tool's default colour on a white picture.
int redPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            count += colour.red() > 150 && colour.green() < 120 && colour.blue() < 120;
        }
    }
    return count;
}

int savedItemCount(obs_source_t *source)
{
    obs_source_save(source);
    OBSDataAutoRelease settings = obs_source_get_settings(source);
    OBSDataAutoRelease data = obs_data_get_obj(settings, "kp_wb_data");
    OBSDataArrayAutoRelease items = obs_data_get_array(data, "kp_wb_data_datas");
    return static_cast<int>(obs_data_array_count(items));
}

// The tool of the last saved item: type, colour, size.
QList<long long> lastSavedTool(obs_source_t *source)
{
    obs_source_save(source);
    OBSDataAutoRelease settings = obs_source_get_settings(source);
    OBSDataAutoRelease data = obs_data_get_obj(settings, "kp_wb_data");
    OBSDataArrayAutoRelease items = obs_data_get_array(data, "kp_wb_data_datas");
    const size_t count = obs_data_array_count(items);
    if (count == 0)
        return {};
    OBSDataAutoRelease item = obs_data_array_item(items, count - 1);
    OBSDataAutoRelease tool = obs_data_get_obj(item, "kp_wb_data_itemProperty");
    return {obs_data_get_int(tool, "kp_wb_draw_type"), obs_data_get_int(tool, "kp_wb_draw_color"),
            obs_data_get_int(tool, "kp_wb_draw_size")};
}

// Fires a source's hotkey as a stock host does for a bound key.
void fireHotkey(obs_source_t *source, const char *name)
{
    const obs_hotkey_id id = hotkeysOf(source).value(QString::fromLatin1(name), OBS_INVALID_HOTKEY_ID);
    ASSERT_NE(id, OBS_INVALID_HOTKEY_ID) << name;
    obs_key_combination_t key = {0, OBS_KEY_F12};
    obs_hotkey_load_bindings(id, &key, 1);
    obs_hotkey_inject_event(key, true);
    obs_hotkey_inject_event(key, false);
    obs_hotkey_load_bindings(id, nullptr, 0);
}

void dragOn(obs_source_t *source, int x0, int y0, int x1, int y1)
{
    obs_mouse_event down = {0, x0, y0}, up = {0, x1, y1};
    obs_source_send_mouse_click(source, &down, MOUSE_LEFT, false, 1);
    obs_source_send_mouse_move(source, &up, false);
    obs_source_send_mouse_click(source, &up, MOUSE_LEFT, true, 1);
}

} // namespace

TEST(BoardHotkeys, EveryBoardBearingSourceListsItsKeysWithLocalisedNames)
{
    QMap<QString, QString> board = {{"kp_wb_hotkey_undo", "Undo"},
                                    {"kp_wb_hotkey_redo", "Redo"},
                                    {"kp_wb_hotkey_clear", "Clear"},
                                    {"kp_wb_hotkey_hideHandwriting", "Hide/Show Handwriting"},
                                    {"kp_wb_hotkey_tool_rect", "Tool: Rectangle"},
                                    {"kp_wb_hotkey_tool_dot", "Tool: Dot"},
                                    {"kp_wb_hotkey_tool_arrow", "Tool: Arrow"},
                                    {"kp_wb_hotkey_tool_line", "Tool: Line"},
                                    {"kp_wb_hotkey_tool_ellipse", "Tool: Ellipse"},
                                    {"kp_wb_hotkey_tool_pen", "Tool: Pen"},
                                    {"kp_wb_hotkey_tool_highlighter", "Tool: Highlighter"},
                                    {"kp_wb_hotkey_tool_text", "Tool: Text"},
                                    {"kp_wb_hotkey_tool_eraser", "Tool: Eraser"},
                                    {"kp_wb_hotkey_tool_laser", "Tool: Laser Pointer"},
                                    {"kp_wb_hotkey_tool_spotlight", "Tool: Spotlight"},
                                    {"kp_wb_hotkey_color_red", "Color: Red"},
                                    {"kp_wb_hotkey_color_green", "Color: Green"},
                                    {"kp_wb_hotkey_color_blue", "Color: Blue"},
                                    {"kp_wb_hotkey_color_yellow", "Color: Yellow"},
                                    {"kp_wb_hotkey_color_white", "Color: White"},
                                    {"kp_wb_hotkey_color_black", "Color: Black"},
                                    {"kp_wb_hotkey_size_up", "Pen Size Up"},
                                    {"kp_wb_hotkey_size_down", "Pen Size Down"}};
    QMap<QString, QString> slideshow = board;
    slideshow.insert({{"kp_ss_hotkey_next", "Next Slide"},
                      {"kp_ss_hotkey_previous", "Previous Slide"},
                      {"kp_ss_hotkey_first", "First Slide"},
                      {"kp_ss_hotkey_last", "Last Slide"}});
    const QList<QPair<const char *, const QMap<QString, QString> *>> types = {
        {"kp_source_whiteboard", &board}, {"obsolete_image_module", &board}, {"kp_single_image_source", &board},
        {"kp_clound_source", &slideshow}, {"kp_image_source", &slideshow}};
    for (const auto &type : types) {
        OBSSourceAutoRelease source = obs_source_create(type.first, "board", nullptr, nullptr);
        const QMap<QString, obs_hotkey_id> hotkeys = hotkeysOf(source);
        const QMap<QString, QString> &expected = *type.second;
        ASSERT_EQ(hotkeys.keys(), expected.keys()) << type.first;
        for (auto it = expected.begin(); it != expected.end(); ++it)
            EXPECT_EQ(descriptionOf(hotkeys.value(it.key())), it.value()) << type.first;
    }
}

TEST(BoardHotkeys, TheToolAndClearKeysOfAnImageOrSlideshowActOnThePictureShown)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("picture.png"));
    QImage image(120, 90, QImage::Format_RGBA8888);
    image.fill(Qt::white);
    ASSERT_TRUE(image.save(picture));
    KPObsRuntime &runtime = KPObsTestEnvironment::runtime();
    const QList<QPair<const char *, obs_key_t>> cases = {{"kp_single_image_source", OBS_KEY_F10},
                                                         {"kp_image_source", OBS_KEY_F11}};
    for (const auto &entry : cases) {
        OBSDataAutoRelease settings = obs_data_create();
        obs_data_set_string(settings, "file", picture.toUtf8().constData());
        OBSSourceAutoRelease source = obs_source_create(entry.first, "picture", settings, nullptr);
        obs_sceneitem_t *item = runtime.show(source);
        obs_data_set_int(settings, "kp_wb_draw_size", 6);
        obs_source_update(source, settings);
        // The tool key reaches the picture shown, as the clear key does.
        fireHotkey(source, "kp_wb_hotkey_tool_rect");
        ASSERT_TRUE(runtime.waitTicks(4, 5000));

        obs_mouse_event down = {0, 10, 10}, up = {0, 100, 70};
        obs_source_send_mouse_click(source, &down, MOUSE_LEFT, false, 1);
        obs_source_send_mouse_move(source, &up, false);
        obs_source_send_mouse_click(source, &up, MOUSE_LEFT, true, 1);
        ASSERT_TRUE(runtime.waitTicks(3, 5000));
        ASSERT_GT(redPixels(runtime.renderSource(source)), 0) << entry.first;

        const obs_key_combination_t key = {0, entry.second};
        obs_hotkey_load_bindings(hotkeysOf(source).value("kp_wb_hotkey_clear"), const_cast<obs_key_combination_t *>(&key), 1);
        obs_hotkey_inject_event(key, true);
        obs_hotkey_inject_event(key, false);
        ASSERT_TRUE(runtime.waitTicks(3, 5000));
        EXPECT_EQ(redPixels(runtime.renderSource(source)), 0) << entry.first;
        runtime.removeFromOutput(item);
    }
}

TEST(BoardHotkeys, ABindingIsSavedWithTheSceneAndItsKeyUndoesInTheLoadedSource)
{
    OBSDataAutoRelease saved;
    const obs_key_combination_t f9 = {0, OBS_KEY_F9};
    {
        OBSSourceAutoRelease source = obs_source_create("kp_source_whiteboard", "wb", nullptr, nullptr);
        obs_hotkey_load_bindings(hotkeysOf(source).value("kp_wb_hotkey_undo"), const_cast<obs_key_combination_t *>(&f9), 1);
        saved = obs_save_source(source);
    }
    OBSSourceAutoRelease loaded = obs_load_source(saved);
    ASSERT_NE(loaded.Get(), nullptr);
    const QList<obs_key_combination_t> keys = bindingsOf(hotkeysOf(loaded).value("kp_wb_hotkey_undo"));
    ASSERT_EQ(keys.size(), 1);
    EXPECT_EQ(keys.first().key, OBS_KEY_F9);

    // The bound key, pressed as a stock host reports it, undoes the last item.
    OBSDataAutoRelease tool = obs_data_create();
    obs_data_set_int(tool, "kp_wb_draw_type", 1);
    obs_source_update(loaded, tool);
    obs_source_t *raw = loaded;
    obs_sceneitem_t *item = KPObsTestEnvironment::runtime().show(raw);
    ASSERT_TRUE(KPObsTestEnvironment::runtime().waitTicks(2, 5000));
    obs_mouse_event down = {0, 10, 10}, up = {0, 80, 60};
    obs_source_send_mouse_click(loaded, &down, MOUSE_LEFT, false, 1);
    obs_source_send_mouse_move(loaded, &up, false);
    obs_source_send_mouse_click(loaded, &up, MOUSE_LEFT, true, 1);
    ASSERT_EQ(savedItemCount(loaded), 1);
    obs_hotkey_inject_event(f9, true);
    obs_hotkey_inject_event(f9, false);
    EXPECT_EQ(savedItemCount(loaded), 0);
    KPObsTestEnvironment::runtime().removeFromOutput(item);
}

TEST(BoardHotkeys, EachToolColourAndSizeKeyChangesTheSettingsAndTheNextStroke)
{
    const long long red = 0xff0000ffLL;
    struct Case
    {
        const char *hotkey;
        const char *key;
        long long value;
        QList<long long> stroke; // the next stroke's tool; empty: no item
    };
    const QList<Case> cases = {
        {"kp_wb_hotkey_tool_rect", "kp_wb_draw_type", 1, {1, red, 20}},
        {"kp_wb_hotkey_tool_dot", "kp_wb_draw_type", 2, {2, red, 20}},
        {"kp_wb_hotkey_tool_arrow", "kp_wb_draw_type", 3, {3, red, 20}},
        {"kp_wb_hotkey_tool_line", "kp_wb_draw_type", 4, {4, red, 20}},
        {"kp_wb_hotkey_tool_ellipse", "kp_wb_draw_type", 5, {5, red, 20}},
        {"kp_wb_hotkey_tool_pen", "kp_wb_draw_type", 6, {6, red, 20}},
        {"kp_wb_hotkey_tool_highlighter", "kp_wb_draw_type", 8, {8, red, 20}},
        {"kp_wb_hotkey_tool_eraser", "kp_wb_draw_type", 9, {}},
        {"kp_wb_hotkey_tool_laser", "kp_wb_draw_type", 10, {}},
        {"kp_wb_hotkey_tool_spotlight", "kp_wb_draw_type", 11, {}},
        {"kp_wb_hotkey_color_green", "kp_wb_draw_color", 0xff00ff00LL, {1, 0xff00ff00LL, 20}},
        {"kp_wb_hotkey_color_blue", "kp_wb_draw_color", 0xffff0000LL, {1, 0xffff0000LL, 20}},
        {"kp_wb_hotkey_color_yellow", "kp_wb_draw_color", 0xff00ffffLL, {1, 0xff00ffffLL, 20}},
        {"kp_wb_hotkey_color_white", "kp_wb_draw_color", 0xffffffffLL, {1, 0xffffffffLL, 20}},
        {"kp_wb_hotkey_color_black", "kp_wb_draw_color", 0xff000000LL, {1, 0xff000000LL, 20}},
        // The rectangle draws lines: the size keys step its line width, not the dot's size.
        {"kp_wb_hotkey_size_up", "kp_wb_line_width", 2, {1, red, 20}},
        {"kp_wb_hotkey_size_down", "kp_wb_line_width", 1, {1, red, 20}},
    };
    KPObsRuntime &runtime = KPObsTestEnvironment::runtime();
    OBSSourceAutoRelease source = obs_source_create("kp_source_whiteboard", "wb", nullptr, nullptr);
    // libobs applies a shown video source's updates at its next tick.
    obs_sceneitem_t *item = runtime.show(source);
    for (const Case &entry : cases) {
        OBSDataAutoRelease tool = obs_data_create();
        obs_data_set_int(tool, "kp_wb_draw_type", 1);
        obs_data_set_int(tool, "kp_wb_draw_color", red);
        obs_data_set_int(tool, "kp_wb_draw_size", 20);
        obs_source_update(source, tool);
        ASSERT_TRUE(runtime.waitTicks(2, 5000));
        const int before = savedItemCount(source);
        fireHotkey(source, entry.hotkey);
        OBSDataAutoRelease settings = obs_source_get_settings(source);
        EXPECT_EQ(obs_data_get_int(settings, entry.key), entry.value) << entry.hotkey;
        ASSERT_TRUE(runtime.waitTicks(2, 5000));
        dragOn(source, 10, 10, 80, 60);
        // The eraser's drag crosses every stroke before it; the pointers file nothing.
        const bool eraser = entry.value == 9 && entry.key == QByteArray("kp_wb_draw_type");
        EXPECT_EQ(savedItemCount(source), eraser ? 0 : before + (entry.stroke.isEmpty() ? 0 : 1)) << entry.hotkey;
        if (!entry.stroke.isEmpty()) {
            EXPECT_EQ(lastSavedTool(source), entry.stroke) << entry.hotkey;
        }
    }
    runtime.removeFromOutput(item);
}

TEST(BoardHotkeys, SizeStepsStayWithinTheRangeOfWhatTheToolSizes)
{
    // Each row: tool, the setting it steps, its value, one step up, one step down.
    const struct
    {
        int type;
        const char *key;
        long long value, up, down;
    } rows[] = {
        {0, "kp_wb_draw_size", 1, 2, 1},        {0, "kp_wb_draw_size", 2, 3, 1},
        {0, "kp_wb_draw_size", 20, 30, 13},     {2, "kp_wb_draw_size", 199, 200, 133},
        {0, "kp_wb_draw_size", 200, 200, 133},  {0, "kp_wb_draw_size", 0, 2, 1},
        {0, "kp_wb_draw_size", -5, 2, 1},       {0, "kp_wb_draw_size", 16385, 200, 133},
        {4, "kp_wb_line_width", 1, 2, 1},       {6, "kp_wb_line_width", 5, 6, 4},
        {8, "kp_wb_line_width", 40, 50, 31},    {1, "kp_wb_line_width", 64, 64, 49},
        {5, "kp_wb_line_width", 0, 2, 1},       {3, "kp_wb_line_width", 1000, 64, 49},
        {11, "kp_wb_spotlight_radius", 120, 180, 80}, {11, "kp_wb_spotlight_radius", 20, 30, 20},
        {11, "kp_wb_spotlight_radius", 2000, 2000, 1333}, {10, "kp_wb_laser_width", 20, 30, 13},
        {10, "kp_wb_laser_width", 1, 2, 1},     {10, "kp_wb_laser_width", 200, 200, 133},
    };
    OBSSourceAutoRelease source = obs_source_create("kp_single_image_source", "picture", nullptr, nullptr);
    for (const auto &row : rows) {
        for (const bool up : {true, false}) {
            OBSDataAutoRelease size = obs_data_create();
            obs_data_set_int(size, "kp_wb_draw_type", row.type);
            obs_data_set_int(size, row.key, row.value);
            obs_source_update(source, size);
            fireHotkey(source, up ? "kp_wb_hotkey_size_up" : "kp_wb_hotkey_size_down");
            OBSDataAutoRelease settings = obs_source_get_settings(source);
            EXPECT_EQ(obs_data_get_int(settings, row.key), up ? row.up : row.down)
                << row.key << " " << row.value << (up ? " up" : " down");
        }
    }
}
