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

} // namespace

TEST(BoardHotkeys, EveryBoardBearingSourceHasFourHotkeysWithLocalisedNames)
{
    const QMap<QString, QString> expected = {{"kp_wb_hotkey_undo", "Undo"},
                                             {"kp_wb_hotkey_redo", "Redo"},
                                             {"kp_wb_hotkey_clear", "Clear"},
                                             {"kp_wb_hotkey_hideHandwriting", "Hide/Show Handwriting"}};
    for (const char *type : {"kp_source_whiteboard", "obsolete_image_module", "kp_single_image_source",
                             "kp_clound_source", "kp_image_source"}) {
        OBSSourceAutoRelease source = obs_source_create(type, "board", nullptr, nullptr);
        const QMap<QString, obs_hotkey_id> hotkeys = hotkeysOf(source);
        ASSERT_EQ(hotkeys.keys(), expected.keys()) << type;
        for (auto it = expected.begin(); it != expected.end(); ++it)
            EXPECT_EQ(descriptionOf(hotkeys.value(it.key())), it.value()) << type;
    }
}

TEST(BoardHotkeys, TheClearKeyOfAnImageOrSlideshowEmptiesThePictureShown)
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
        obs_data_set_int(settings, "kp_wb_draw_type", 1);
        obs_data_set_int(settings, "kp_wb_draw_size", 6);
        obs_source_update(source, settings);
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
