// The two image source types inside real libobs with OpenGL: pages per
// picture file, picture loading, reloading and animation, and bad files.

#include "gifwriter.h"
#include "imagetestsupport.h"
#include "kplogcapture.h"
#include "kpmodule.h"
#include "kpobsext.h"
#include "kpobstestenvironment.h"
#include "kpwhiteboarditemobject.h"

#include <QFile>
#include <QTabletEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

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

TEST_F(ImageSourceTest, SinglePageEmptiesOnANewFileAndKeepsTheTool)
{
    ImageSource image(kSingle, fileSettings(m_a));
    image.useTool(5, kRed, 7);
    image.drag({10, 10}, {50, 40});
    image.setFile(m_a);
    EXPECT_EQ(image.page()->items().size(), 1);

    KPImagePlugin *page = image.page();
    image.setFile(m_b);
    EXPECT_EQ(image.page(), page);
    EXPECT_EQ(image.list()->pageCount(), 1);
    EXPECT_TRUE(page->items().isEmpty());
    EXPECT_EQ(page->undoCount(), 0);
    EXPECT_EQ(page->currentItem()->itemProperty.type, 5);
    EXPECT_EQ(page->currentItem()->itemProperty.size, 7u);
    EXPECT_EQ(sourceSize(image), QSize(100, 50));
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
        obs_wait_for_destroy_queue();
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

TEST_F(ImageSourceTest, AFileRewrittenOnDiskReloadsWithinAboutASecond)
{
    const QString shown = path("shown.png");
    ASSERT_TRUE(QFile::copy(m_a, shown));
    ImageSource image(kSingle, fileSettings(shown));
    EXPECT_EQ(sourceSize(image), QSize(80, 60));
    ASSERT_TRUE(QFile::remove(shown) && QFile::copy(m_b, shown));
    // A later modification time, as a rewrite a few seconds on would have.
    struct stat info = {};
    ASSERT_EQ(stat(shown.toUtf8().constData(), &info), 0);
    const utimbuf later = {info.st_atime, info.st_mtime + 5};
    ASSERT_EQ(utime(shown.toUtf8().constData(), &later), 0);
    int frames = 0;
    while (sourceSize(image) != QSize(100, 50) && frames < 90) {
        waitTicks(1);
        ++frames;
    }
    EXPECT_EQ(sourceSize(image), QSize(100, 50));
    EXPECT_EQ(image.frame().pixelColor(50, 25), QColor(Qt::green));
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

TEST_F(ImageSourceTest, APictureThatDoesNotDecodeShowsNothingAndSparesOtherPages)
{
    QFile text(path("text.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("not a picture") > 0);
    text.close();
    QFile empty(path("empty.gif"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    const QString bad[] = {text.fileName(), empty.fileName(), path("missing.png"), m_dir.path()};

    ImageSource image(kMulti, fileSettings(m_a));
    image.useTool(1, kRed, 3);
    image.drag({10, 10}, {50, 40});
    const QImage drawn = image.frame();
    for (const QString &file : bad) {
        KPLogCapture capture;
        image.setFile(file);
        EXPECT_FALSE(capture.linesWithContent(QStringLiteral("failed to load texture ") + file).isEmpty())
            << file.toStdString();
        EXPECT_EQ(sourceSize(image), QSize(0, 0)) << file.toStdString();
        EXPECT_TRUE(isBlank(image.frame())) << file.toStdString();
    }
    image.setFile(m_a);
    EXPECT_EQ(image.frame(), drawn);
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
    EXPECT_EQ(names(typeSheet), QStringList({"file", "kp_export_folder", "kp_export"}));
    obs_property_t *file = obs_properties_get(typeSheet, "file");
    EXPECT_STREQ(obs_property_path_filter(file),
                 "All formats (*.bmp *.tga *.png *.jpeg *.jpg *.gif);;BMP Files (*.bmp);;Targa Files (*.tga);;"
                 "PNG Files (*.png);;JPEG Files (*.jpeg *.jpg);;GIF Files (*.gif)");
    EXPECT_EQ(obs_property_path_default_path(file), nullptr);
    obs_properties_destroy(typeSheet);

    ImageSource image(kMulti, fileSettings(QStringLiteral("C:\\pictures\\a.png")));
    obs_properties_t *sheet = obs_source_properties(image.source());
    EXPECT_EQ(names(sheet), QStringList({"file", "kp_wb_hideHandwriting", "kp_wb_draw_color", "kp_wb_draw_size",
                                         "kp_wb_draw_type", "kp_export_folder", "kp_export"}));
    EXPECT_STREQ(obs_property_path_default_path(obs_properties_get(sheet, "file")), "C:/pictures/");
    obs_properties_destroy(sheet);
}
