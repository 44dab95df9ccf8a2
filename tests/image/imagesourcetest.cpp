// The two image source types inside real libobs with OpenGL: pages per
// picture file, picture loading, reloading and animation, and bad files.

#include "gifwriter.h"
#include "hostilepictures.h"
#include "imagetestsupport.h"
#include "kplogcapture.h"
#include "kpmodule.h"
#include "kpobsext.h"
#include "kpobstestenvironment.h"
#include "kppictureloader.h"
#include "kpimage.h"
#include "kpslideshow.h"
#include "kpwhiteboarditemobject.h"
#include "kpwhiteboardobject.h"

#include <QFile>
#include <QTabletEvent>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>


namespace {

class RegisteredTypes : public ::testing::Environment
{
public:
    void SetUp() override { kpmodule::registerSources(); }
};

auto *const g_environment = ::testing::AddGlobalTestEnvironment(
    new KPObsTestEnvironment({/*video*/ true, /*plugin*/ false, 640, 360}));
auto *const g_types = ::testing::AddGlobalTestEnvironment(new RegisteredTypes);

const char kMulti[] = "obsolete_image_module";
const char kSingle[] = "kp_single_image_source";
constexpr long long kRed = 0xff0000ffLL;

class ImageSourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_a = writePicture(m_dir.path(), "a.png", Qt::blue, {80, 60});
        m_b = writePicture(m_dir.path(), "b.png", Qt::green, {100, 50});
    }
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    QString m_a;
    QString m_b;
};

// A rectangle's antialiased outline half covers the pixels it runs along:
// red over the blue or green picture, never pure red.
bool isRedInk(const QColor &c)
{
    return c.red() >= 100 && c.green() <= 100;
}

QSize sourceSize(const ImageSource &image)
{
    return QSize(int(obs_source_get_width(image.source())), int(obs_source_get_height(image.source())));
}

bool isBlank(const QImage &frame)
{
    return frame.size() == QSize(1, 1) && frame.pixelColor(0, 0).alpha() == 0;
}

} // namespace

TEST_F(ImageSourceTest, MultiPageKeepsOnePagePerExactPathWithItsHistory)
{
    ImageSource image(kMulti, fileSettings(m_a));
    image.useTool(1, kRed, 3);
    image.drag({10, 10}, {50, 40});
    KPImagePlugin *pageA = image.page();
    ASSERT_NE(pageA, nullptr);
    EXPECT_EQ(pageA->items().size(), 1);

    image.setFile(m_b);
    EXPECT_EQ(image.list()->pageCount(), 2);
    EXPECT_TRUE(image.page()->items().isEmpty());
    EXPECT_FALSE(pageA->isActive());

    image.setFile(m_a);
    EXPECT_EQ(image.page(), pageA);
    EXPECT_EQ(pageA->items().size(), 1);
    EXPECT_EQ(pageA->undoCount(), 1);
    const QImage back = image.frame();
    ASSERT_EQ(back.size(), QSize(80, 60));
    EXPECT_TRUE(isRedInk(back.pixelColor(10, 25)));
    EXPECT_EQ(back.pixelColor(70, 55), QColor(Qt::blue));

    image.setFile(m_a);
    EXPECT_EQ(image.list()->pageCount(), 2);
    EXPECT_TRUE(pageA->isActive());
    // Paths are keys as written: another spelling of a file is another page.
    image.setFile(path("A.png"));
    EXPECT_EQ(image.list()->pageCount(), 3);
}

TEST_F(ImageSourceTest, SinglePageClearsWhenAnotherPictureShowsAsOneUndoStep)
{
    ImageSource image(kSingle, fileSettings(m_a));
    image.useTool(1, kRed, 7);
    image.drag({10, 10}, {50, 40});
    image.setFile(m_a);
    KPImagePlugin *page = image.page();
    const int steps = page->undoCount();
    // A file that does not load is no other picture.
    image.setFile(path("typo.png"));
    EXPECT_EQ(page->undoCount(), steps);
    EXPECT_TRUE(page->items().value(0) && page->items().value(0)->visible());

    image.setFile(m_b);
    EXPECT_EQ(image.page(), page);
    EXPECT_EQ(image.list()->pageCount(), 1);
    EXPECT_EQ(sourceSize(image), QSize(100, 50));
    EXPECT_EQ(image.frame().pixelColor(10, 25), QColor(Qt::green));
    EXPECT_EQ(page->undoCount(), steps + 1);
    EXPECT_EQ(page->currentItem()->itemProperty.type, 1);
    EXPECT_EQ(page->currentItem()->itemProperty.size, 7u);
    kp_obs_custom_callback(image.source(), 1, nullptr);
    waitTicks(2);
    // Half covered red over green.
    EXPECT_GE(image.frame().pixelColor(10, 25).red(), 100);
}

TEST_F(ImageSourceTest, EmptyFileKeepsThePageAndItsDrawingsButShowsNothing)
{
    ImageSource image(kMulti, fileSettings(m_a));
    image.useTool(1, kRed, 3);
    image.drag({10, 10}, {50, 40});
    image.setFile(QString());
    EXPECT_EQ(image.list()->pageCount(), 1);
    EXPECT_EQ(image.list()->currentFile(), QString());
    EXPECT_EQ(image.page()->items().size(), 1);
    EXPECT_EQ(sourceSize(image), QSize(0, 0));
    EXPECT_TRUE(isBlank(image.frame()));
}

TEST_F(ImageSourceTest, EveryInputIsHarmlessBeforeTheFirstFile)
{
    for (const char *type : {kMulti, kSingle}) {
        OBSDataAutoRelease none = obs_data_create();
        ImageSource image(type, none);
        obs_mouse_event mouse = {0, 5, 5};
        obs_source_send_mouse_click(image.source(), &mouse, MOUSE_LEFT, false, 1);
        obs_source_send_mouse_move(image.source(), &mouse, false);
        obs_source_send_mouse_click(image.source(), &mouse, MOUSE_LEFT, true, 1);
        obs_source_send_mouse_wheel(image.source(), &mouse, 0, 120);
        char text[] = "a";
        obs_key_event key = {0, text, 0, 'a', 0};
        obs_source_send_key_click(image.source(), &key, false);
        obs_source_send_focus(image.source(), true);
        obs_source_send_focus(image.source(), false);
        for (int command = 1; command <= 3; ++command)
            kp_obs_custom_callback(image.source(), command, nullptr);
        QTabletEvent pen(QEvent::TabletPress, QPointF(5, 5), QPointF(5, 5), QTabletEvent::Stylus,
                         QTabletEvent::Pen, 1.0, 0, 0, 0, 0, 0, Qt::NoModifier, 1, Qt::LeftButton, Qt::LeftButton);
        kp_tablet_event(image.source(), &pen);
        obs_data_item_t *first = obs_data_first(kp_obs_get_source_status(image.source()));
        EXPECT_EQ(first, nullptr) << type;
        obs_data_item_release(&first);
        EXPECT_EQ(image.list()->pageCount(), 0) << type;
        EXPECT_TRUE(isBlank(image.frame())) << type;
    }
}

TEST_F(ImageSourceTest, DestroyingASourceFreesEveryPage)
{
    for (const char *type : {kMulti, kSingle}) {
        QList<QWeakPointer<KPWhiteBoardItemObject>> drawn;
        {
            ImageSource image(type, fileSettings(m_a));
            image.useTool(1, kRed, 3);
            for (const QString &file : {m_a, m_b}) {
                image.setFile(file);
                image.drag({10, 10}, {50, 40});
                drawn << image.page()->items().value(0).toWeakRef();
            }
        }
        // The output lets go of a removed source on a later tick.
        waitTicks(3);
        KPObsTestEnvironment::runtime().drainDestroyQueue();
        for (const auto &item : drawn)
            EXPECT_TRUE(item.isNull()) << type;
    }
}

TEST_F(ImageSourceTest, UnloadAndActiveDecideWhenThePictureIsLoaded)
{
    struct Case
    {
        bool unload;
        bool active;
        QSize shown, hidden, reshown;
    };
    const QSize picture(80, 60), none(0, 0);
    const Case cases[] = {
        {true, true, picture, none, picture},
        {false, true, picture, picture, picture},
        {false, false, none, none, none},
    };
    for (const Case &c : cases) {
        OBSDataAutoRelease settings = fileSettings(m_a);
        obs_data_set_bool(settings, "unload", c.unload);
        obs_data_set_bool(settings, "active", c.active);
        ImageSource image(kMulti, settings);
        waitTicks(2);
        EXPECT_EQ(sourceSize(image), c.shown) << c.unload << c.active;
        image.setVisible(false);
        EXPECT_EQ(sourceSize(image), c.hidden) << c.unload << c.active;
        image.setVisible(true);
        EXPECT_EQ(sourceSize(image), c.reshown) << c.unload << c.active;
    }
}

TEST_F(ImageSourceTest, AHiddenPageKeepsItsDrawingWhenShownAgain)
{
    ImageSource image(kSingle, fileSettings(m_a));
    image.useTool(1, kRed, 3);
    image.drag({10, 10}, {50, 40});
    const QImage drawn = image.frame();
    image.setVisible(false);
    image.setVisible(true);
    EXPECT_EQ(image.frame(), drawn);
    EXPECT_TRUE(isRedInk(drawn.pixelColor(10, 25)));
}

// The check runs about once a second: a frame-bounded wait for the size.
bool waitForSize(const ImageSource &image, QSize size)
{
    for (int frames = 0; frames < 120 && sourceSize(image) != size; ++frames)
        waitTicks(1);
    return waitForPictures() && sourceSize(image) == size;
}

TEST_F(ImageSourceTest, AFileChangedOnDiskWhileOnAirReloadsGoesBlankAndComesBack)
{
    const QString shown = path("shown.png");
    ASSERT_TRUE(QFile::copy(m_a, shown));
    ImageSource image(kSingle, fileSettings(shown));
    EXPECT_EQ(sourceSize(image), QSize(80, 60));
    // Rewritten within the same second as the load: the size differs, and
    // the modification time does so only in its nanoseconds.
    ASSERT_TRUE(QFile::remove(shown) && QFile::copy(m_b, shown));
    EXPECT_TRUE(waitForSize(image, QSize(100, 50)));
    EXPECT_EQ(image.frame().pixelColor(50, 25), QColor(Qt::green));

    ASSERT_TRUE(QFile::remove(shown));
    EXPECT_TRUE(waitForSize(image, QSize(0, 0)));
    ASSERT_TRUE(QFile::copy(m_a, shown));
    EXPECT_TRUE(waitForSize(image, QSize(80, 60)));
    EXPECT_EQ(image.frame().pixelColor(40, 30), QColor(Qt::blue));
}

TEST_F(ImageSourceTest, SettingsUpdatesDecodeNothingAgainAndKeepTheBoardSize)
{
    QFile truncated(path("truncated.png"));
    QFile source(m_a);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly) && truncated.open(QIODevice::WriteOnly));
    truncated.write(source.readAll().left(int(source.size() / 2)));
    truncated.close();
    for (const char *type : {kMulti, kSingle}) {
        SCOPED_TRACE(type);
        const int before = KPPictureLoader::decodesStarted();
        ImageSource image(type, fileSettings(m_a));
        image.useTool(1, kRed, 3);
        OBSDataAutoRelease hide = fileSettings(m_a);
        obs_data_set_bool(hide, "kp_wb_hideHandwriting", true);
        image.update(hide);
        image.setFile(m_a);
        EXPECT_EQ(KPPictureLoader::decodesStarted() - before, 1);
        EXPECT_EQ(QSize(image.page()->width(), image.page()->height()), QSize(80, 60));
        // A picture libobs fails to decode is not tried again until its file changes.
        for (int i = 0; i < 3; ++i)
            image.setFile(truncated.fileName());
        EXPECT_EQ(KPPictureLoader::decodesStarted() - before, 2);
        image.setFile(m_b);
        EXPECT_EQ(KPPictureLoader::decodesStarted() - before, 3);
    }
}

TEST_F(ImageSourceTest, AnAnimatedGifAdvancesOnlyWhileActiveAndRestartsFromItsFirstFrame)
{
    const QString gif = path("moving.gif");
    ASSERT_TRUE(writeFlatGif(gif, 8, 8, {Qt::red, Qt::green}, 100));
    OBSDataAutoRelease settings = fileSettings(gif);
    obs_data_set_bool(settings, "unload", false);
    ImageSource image(kSingle, settings);
    const auto colour = [&image] { return image.frame().pixelColor(4, 4); };
    EXPECT_EQ(colour(), QColor(Qt::red));
    for (int i = 0; i < 60 && colour() != QColor(Qt::green); ++i)
        waitTicks(3);
    EXPECT_EQ(colour(), QColor(Qt::green));

    image.setVisible(false);
    EXPECT_EQ(colour(), QColor(Qt::red));
    waitTicks(45);
    EXPECT_EQ(colour(), QColor(Qt::red));
    image.setVisible(true);
    EXPECT_EQ(colour(), QColor(Qt::red));
}

TEST_F(ImageSourceTest, AGifWithoutFrameDelaysShowsWithoutStallingTheTicks)
{
    const QString gif = path("zero.gif");
    ASSERT_TRUE(writeFlatGif(gif, 8, 8, {Qt::red, Qt::green}, 0));
    ImageSource image(kSingle, fileSettings(gif));
    EXPECT_EQ(sourceSize(image), QSize(8, 8));
    EXPECT_TRUE(waitTicks(30));
}

// libobs's own allocations drop back once its threads let go of them.
bool allocationsReturnTo(long count)
{
    for (int i = 0; i < 100 && bnum_allocs() > count; ++i)
        waitTicks(1);
    return bnum_allocs() <= count;
}

TEST_F(ImageSourceTest, HostilePicturesNeverLoadAndLeaveEverythingElseAlone)
{
    QFile text(path("text.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("not a picture") > 0);
    text.close();
    QList<HostilePicture> hostile = writeHostilePictures(m_dir.path());
    hostile.append({QStringLiteral("not a picture"), text.fileName()});
    hostile.append({QStringLiteral("missing"), path("missing.png")});

    for (const char *type : {kMulti, kSingle}) {
        ImageSource image(type, fileSettings(m_a));
        image.useTool(1, kRed, 3);
        image.drag({10, 10}, {50, 40});
        const QImage drawn = image.frame();
        // The host makes the status record once, at the first request.
        kp_obs_get_source_status(image.source());
        for (const HostilePicture &picture : hostile) {
            SCOPED_TRACE(picture.name.toStdString() + " in " + type);
            const long before = bnum_allocs();
            KPLogCapture capture;
            image.setFile(picture.path);
            EXPECT_FALSE(capture.linesWithContent(QStringLiteral("failed to load texture ") + picture.path).isEmpty());
            EXPECT_EQ(sourceSize(image), QSize(0, 0));
            EXPECT_TRUE(isBlank(image.frame()));
            const QString notShown =
                QString::fromUtf8(obs_data_get_string(kp_obs_get_source_status(image.source()), "kp_picture_not_shown"));
            EXPECT_TRUE(notShown.startsWith(picture.path + QStringLiteral(": "))) << notShown.toStdString();
            image.setFile(m_a);
            EXPECT_EQ(image.frame(), drawn);
            EXPECT_FALSE(obs_data_has_user_value(kp_obs_get_source_status(image.source()), "kp_picture_not_shown"));
            EXPECT_TRUE(allocationsReturnTo(before)) << bnum_allocs() - before;
        }
    }
}

// A record entry of "kp_picture_boards" for file, its board content made by fill.
void addRecord(obs_data_array_t *records, const char *file, const std::function<void(obs_data_t *)> &fill)
{
    OBSDataAutoRelease record = obs_data_create();
    obs_data_set_string(record, "file", file);
    fill(record);
    obs_data_array_push_back(records, record);
}

TEST_F(ImageSourceTest, SavedDrawingsOutOfBoundsOrCorruptLeaveThatPageEmptyAndLoadTheOthers)
{
    OBSDataAutoRelease saved = obs_data_create();
    {
        ImageSource drawnOn(kMulti, fileSettings(m_a));
        drawnOn.useTool(1, kRed, 3);
        drawnOn.drag({10, 10}, {50, 40});
        obs_source_save(drawnOn.source());
        OBSDataAutoRelease settings = obs_source_get_settings(drawnOn.source());
        obs_data_apply(saved, settings);
    }
    OBSDataArrayAutoRelease records = obs_data_get_array(saved, "kp_picture_boards");
    ASSERT_EQ(obs_data_array_count(records), 1u);
    addRecord(records, "text.png", [](obs_data_t *record) { obs_data_set_string(record, "kp_wb_data", "drawings"); });
    addRecord(records, "many.png", [](obs_data_t *record) {
        OBSDataArrayAutoRelease items = obs_data_array_create();
        OBSDataAutoRelease item = obs_data_create();
        for (size_t i = 0; i <= KPWhiteBoardObject::kMaxSavedItems; ++i)
            obs_data_array_push_back(items, item);
        OBSDataAutoRelease content = obs_data_create();
        obs_data_set_array(content, "kp_wb_data_datas", items);
        obs_data_set_obj(record, "kp_wb_data", content);
    });
    addRecord(records, "", [](obs_data_t *) {});

    KPLogCapture capture;
    ImageSource loaded(kMulti, saved);
    obs_source_load(loaded.source());
    EXPECT_EQ(loaded.list()->pageCount(), 3);
    EXPECT_EQ(capture.linesWithContent(QStringLiteral("saved drawings not loaded: kp_wb_data is not an object")).size(), 1);
    EXPECT_EQ(capture.linesWithContent(QStringLiteral("saved drawings not loaded: 100001 items, more than 100000")).size(), 1);
    EXPECT_EQ(capture.linesWithContent(QStringLiteral("saved drawings 3 name no picture: not loaded")).size(), 1);
    EXPECT_EQ(loaded.page()->items().size(), 1);
    EXPECT_TRUE(isRedInk(loaded.frame().pixelColor(10, 25)));
    loaded.setFile(path("text.png"));
    EXPECT_TRUE(loaded.page()->items().isEmpty());
}

TEST(ImageSourceType, NamesDefaultsAndPropertySheets)
{
    EXPECT_STREQ(obs_source_get_display_name(kMulti), "kp_image_source");
    EXPECT_STREQ(obs_source_get_display_name(kSingle), "kp_single_image_source");
    OBSDataAutoRelease defaults = obs_get_source_defaults(kSingle);
    EXPECT_TRUE(obs_data_get_default_bool(defaults, "unload"));
    EXPECT_TRUE(obs_data_get_default_bool(defaults, "active"));
    EXPECT_FALSE(obs_data_get_default_bool(defaults, "hideHandwriting"));
    EXPECT_EQ(obs_data_get_default_int(defaults, "kp_wb_draw_size"), 20);

    const auto names = [](obs_properties_t *properties) {
        QStringList list;
        for (obs_property_t *p = obs_properties_first(properties); p; obs_property_next(&p))
            list << QString::fromUtf8(obs_property_name(p));
        return list;
    };
    obs_properties_t *typeSheet = obs_get_source_properties(kMulti);
    EXPECT_EQ(names(typeSheet), QStringList({"file", "kp_export_folder", "kp_export_title", "kp_export_layout",
                                             "kp_export_notes", "kp_export"}));
    obs_property_t *file = obs_properties_get(typeSheet, "file");
    EXPECT_STREQ(obs_property_path_filter(file),
                 "All formats (*.bmp *.tga *.png *.jpeg *.jpg *.gif);;BMP Files (*.bmp);;Targa Files (*.tga);;"
                 "PNG Files (*.png);;JPEG Files (*.jpeg *.jpg);;GIF Files (*.gif)");
    EXPECT_EQ(obs_property_path_default_path(file), nullptr);
    obs_properties_destroy(typeSheet);

    ImageSource image(kMulti, fileSettings(QStringLiteral("C:\\pictures\\a.png")));
    obs_properties_t *sheet = obs_source_properties(image.source());
    EXPECT_EQ(names(sheet), QStringList({"file", "kp_wb_hideHandwriting", "kp_wb_draw_color", "kp_wb_draw_size",
                                         "kp_wb_line_width", "kp_wb_spotlight_radius", "kp_wb_laser_width",
                                         "kp_wb_draw_type", "kp_export_folder", "kp_export_title", "kp_export_layout",
                                         "kp_export_notes", "kp_export"}));
    EXPECT_STREQ(obs_property_path_default_path(obs_properties_get(sheet, "file")), "C:/pictures/");
    obs_properties_destroy(sheet);
}

TEST(PictureTypes, RegisterTheirFlagsAndCallbacks)
{
    kp_obs_source_info multi = {}, single = {}, slideshow = {};
    kp_fill_obsolete_image_info(&multi);
    kp_fill_single_image_info(&single);
    kp_fill_slideshow_info(&slideshow, "kp_image_source", ss_get_name_image);
    const uint32_t pictureFlags = OBS_SOURCE_VIDEO | OBS_SOURCE_INTERACTION;
    const struct
    {
        const kp_obs_source_info &info;
        const char *id;
        uint32_t flags;
        bool showHide, tablet, composite;
    } rows[] = {
        {multi, "obsolete_image_module", pictureFlags, true, false, false},
        {single, "kp_single_image_source", pictureFlags, true, true, false},
        {slideshow, "kp_image_source", pictureFlags | OBS_SOURCE_CUSTOM_DRAW | OBS_SOURCE_COMPOSITE, false, true, true},
    };
    for (const auto &row : rows) {
        const kp_obs_source_info &info = row.info;
        SCOPED_TRACE(row.id);
        EXPECT_STREQ(info.id, row.id);
        EXPECT_EQ(info.type, OBS_SOURCE_TYPE_INPUT);
        EXPECT_EQ(info.output_flags, row.flags);
        for (const void *filled : {(void *)info.get_name, (void *)info.create, (void *)info.destroy,
                                   (void *)info.get_width, (void *)info.get_height, (void *)info.get_defaults,
                                   (void *)info.get_properties, (void *)info.update, (void *)info.video_tick,
                                   (void *)info.video_render, (void *)info.mouse_click, (void *)info.mouse_move,
                                   (void *)info.mouse_wheel, (void *)info.focus, (void *)info.key_click,
                                   (void *)info.status, (void *)info.do_custom_callback, (void *)info.save,
                                   (void *)info.load})
            EXPECT_NE(filled, nullptr);
        for (const void *empty : {(void *)info.activate, (void *)info.deactivate, (void *)info.filter_video,
                                  (void *)info.filter_audio, (void *)info.filter_remove, (void *)info.enum_all_sources})
            EXPECT_EQ(empty, nullptr);
        EXPECT_EQ(info.show != nullptr && info.hide != nullptr, row.showHide);
        EXPECT_EQ(info.tablet_event != nullptr, row.tablet);
        EXPECT_EQ(info.enum_active_sources != nullptr && info.audio_render != nullptr, row.composite);
    }
}
