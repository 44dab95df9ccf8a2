// The slideshow sources inside real libobs with OpenGL: the plug-in is loaded
// as a module, slideshows are created by id and shown on the output, input
// arrives through libobs and the host extension, and frames are read back.

#include "kplogcapture.h"
#include "kpobsext.h"
#include "kpobstestenvironment.h"
#include "hostilepictures.h"
#include "kpimagepluginlist.h"
#include "kpslideshow.h"
#include "kpslidedrawing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTabletEvent>
#include <QTemporaryDir>

#include <obs.hpp>

#include <cstring>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <cstdio>
#include <thread>

#include <sys/stat.h>

namespace {

auto *g_environment = ::testing::AddGlobalTestEnvironment(new KPObsTestEnvironment({true, true}));

void waitTicks(int count = 3)
{
    EXPECT_TRUE(KPObsTestEnvironment::runtime().waitTicks(count, 5000));
}

// A slideshow on the output; libobs applies updates on the next tick, so each
// update waits for it.
class Slideshow
{
public:
    explicit Slideshow(const char *type = "kp_image_source")
        : m_source(obs_source_create(type, "slideshow", nullptr, nullptr))
    {
        m_item = KPObsTestEnvironment::runtime().show(m_source);
        waitTicks();
    }
    ~Slideshow()
    {
        KPObsTestEnvironment::runtime().removeFromOutput(m_item);
        obs_source_release(m_source);
    }
    void show(const QString &file, const char *transition = "cut")
    {
        OBSDataAutoRelease settings = obs_data_create();
        obs_data_set_string(settings, "file", file.toUtf8().constData());
        obs_data_set_string(settings, "transition", transition);
        update(settings);
    }
    void update(obs_data_t *settings)
    {
        obs_source_update(m_source, settings);
        waitTicks();
    }
    obs_source_t *source() const { return m_source; }
    // The transition libobs sees as the slideshow's active child.
    obs_source_t *transition() const
    {
        obs_source_t *found = nullptr;
        obs_source_enum_active_sources(
            m_source,
            [](obs_source_t *, obs_source_t *child, void *param) {
                *static_cast<obs_source_t **>(param) = child;
            },
            &found);
        return found;
    }

private:
    obs_source_t *m_source;
    obs_sceneitem_t *m_item;
};

int count(const KPLogCapture &log, const QString &content)
{
    return log.linesWithContent(content).size();
}

} // namespace

TEST(Slideshow, TransitionNamesSelectTableRowsCaseInsensitively)
{
    struct Step
    {
        const char *name;
        const char *newType; // null: no new transition
        const char *direction;
    };
    const Step steps[] = {
        {"cut", "fade_transition", ""},
        {"no_such_transition", nullptr, ""},
        {"FADE", "fade_transition", ""},
        {"fade", nullptr, ""},
        {"Swipe_To_Right", "swipe_transition", "right"},
        {"slide_to_left", "slide_transition", "left"},
        {"cut", "fade_transition", ""},
    };
    Slideshow ss;
    KPLogCapture log;
    std::map<std::string, obs_source_t *> made; // one transition per row, kept and used again
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        log.clear();
        obs_source_t *before = ss.transition();
        ss.show(QStringLiteral("/nonexistent/picture.png"), step.name);
        EXPECT_EQ(count(log, QStringLiteral("direction is:%1").arg(QLatin1String(step.direction))), 1);
        obs_source_t *after = ss.transition();
        ASSERT_NE(after, nullptr);
        if (!step.newType) {
            EXPECT_EQ(after, before);
            EXPECT_EQ(log.lines().filter(QStringLiteral("new transition type")).size(), 0);
            continue;
        }
        EXPECT_NE(after, before);
        EXPECT_STREQ(obs_source_get_id(after), step.newType);
        const std::string row = QByteArray(step.name).toLower().toStdString();
        if (made.count(row)) {
            EXPECT_EQ(after, made[row]);
        }
        made[row] = after;
        OBSDataAutoRelease settings = obs_source_get_settings(after);
        EXPECT_STREQ(obs_data_get_string(settings, "direction"), *step.direction ? step.direction : "");
    }
}

TEST(Slideshow, WithoutPicturesEveryForwardedCallDoesNothing)
{
    Slideshow ss;
    KPLogCapture log;
    ss.show(QString(), "fade"); // an empty "file" changes nothing at all
    EXPECT_EQ(count(log, QStringLiteral("cur file is:, files count:0")), 1);
    EXPECT_TRUE(log.lines().filter(QStringLiteral("in tr_name")).isEmpty());
    EXPECT_EQ(ss.transition(), nullptr);

    QTemporaryDir empty; // a folder without pictures fills nothing
    ss.show(empty.path());
    log.clear();
    obs_mouse_event mouse = {0, 10, 10};
    obs_source_send_mouse_click(ss.source(), &mouse, 0, false, 1);
    obs_source_send_mouse_move(ss.source(), &mouse, false);
    obs_source_send_mouse_click(ss.source(), &mouse, 0, true, 1);
    obs_source_send_mouse_wheel(ss.source(), &mouse, 0, 120);
    obs_key_event key = {0, const_cast<char *>("a"), 0, 0, 0};
    obs_source_send_key_click(ss.source(), &key, false);
    obs_source_send_focus(ss.source(), true);
    kp_obs_custom_callback(ss.source(), 3, nullptr);
    kp_tablet_event(ss.source(), nullptr);
    obs_data_t *status = kp_obs_get_source_status(ss.source());
    EXPECT_EQ(obs_data_first(status), nullptr);
    EXPECT_EQ(count(log, QStringLiteral("ss->files.num :0, ss->cur_item:0")), 1);
    EXPECT_EQ(count(log, QStringLiteral("ss_image_focus focus:1")), 1);
    EXPECT_EQ(obs_source_get_width(ss.source()), 0u);
    EXPECT_EQ(obs_source_get_height(ss.source()), 0u);
    EXPECT_EQ(KPObsTestEnvironment::runtime().renderSource(ss.source()).size(), QSize(1, 1));
}

TEST(Slideshow, DefaultsAndPropertySheetWithoutSource)
{
    OBSDataAutoRelease defaults = obs_get_source_defaults("kp_clound_source");
    EXPECT_STREQ(obs_data_get_string(defaults, "transition"), "cut");
    EXPECT_EQ(obs_data_get_int(defaults, "slide_time"), 8000);
    EXPECT_EQ(obs_data_get_int(defaults, "transition_speed"), 100);
    EXPECT_STREQ(obs_data_get_string(defaults, "use_custom_size"), "Automatic");
    EXPECT_TRUE(obs_data_get_bool(defaults, "unload"));
    EXPECT_TRUE(obs_data_get_bool(defaults, "active"));
    EXPECT_FALSE(obs_data_get_bool(defaults, "hideHandwriting"));
    EXPECT_EQ(obs_data_get_int(defaults, "kp_wb_draw_size"), 20);

    obs_properties_t *sheet = obs_get_source_properties("kp_image_source");
    ASSERT_NE(sheet, nullptr);
    obs_property_t *transition = obs_properties_get(sheet, "transition");
    ASSERT_EQ(obs_property_list_item_count(transition), 6u);
    EXPECT_STREQ(obs_property_list_item_string(transition, 0), "cut");
    EXPECT_STREQ(obs_property_list_item_string(transition, 5), "slide_to_right");
    obs_property_t *slideTime = obs_properties_get(sheet, "slide_time");
    EXPECT_EQ(obs_property_int_min(slideTime), 50);
    EXPECT_EQ(obs_property_int_max(slideTime), 3600000);
    EXPECT_EQ(obs_property_int_step(slideTime), 50);
    obs_property_t *size = obs_properties_get(sheet, "use_custom_size");
    ASSERT_EQ(obs_property_list_item_count(size), 6u);
    EXPECT_STREQ(obs_property_list_item_string(size, 5), "1280x720");
    const char *listFolder = obs_property_editable_list_default_path(obs_properties_get(sheet, "c_data_name_file_list"));
    EXPECT_TRUE(!listFolder || !*listFolder);
    const char *fileFolder = obs_property_path_default_path(obs_properties_get(sheet, "file"));
    EXPECT_TRUE(!fileFolder || !*fileFolder);
    obs_properties_destroy(sheet);
}

TEST(Slideshow, CustomSizeReadsSizesAndAspectRatios)
{
    struct Case
    {
        const char *text;
        uint32_t width, height;       // largest picture
        uint32_t wantWidth, wantHeight;
    };
    const Case cases[] = {
        {"1280x720", 0, 0, 1280, 720},
        {"1280x720", 300, 200, 1280, 720},
        {"16:9", 1000, 1000, 1777, 1000},
        {"4:3", 1600, 900, 1600, 1200},
        {"1:1", 500, 500, 500, 500},
        {"Automatic", 640, 480, 640, 480},
        {"anything", 640, 480, 640, 480},
        {"0x720", 640, 480, 640, 480},
        {"-5x10", 640, 480, 640, 480},
        {"99999x99999", 640, 480, 640, 480},
        {"16:0", 640, 480, 640, 480},
        {"16:9", 0, 0, 0, 0},
        // Ratios whose side would leave any texture behind keep the pictures' size.
        {"100000:1", 640, 480, 640, 480},
        {"1:100000", 640, 480, 640, 480},
        {"2147483647:1", 640, 480, 640, 480},
        {"1:2147483647", 640, 480, 640, 480},
        {"99999999999999999999:1", 640, 480, 640, 480},
        {"34:1", 640, 480, 16320, 480},
        {"35:1", 640, 480, 640, 480},
        {"4294967296x720", 640, 480, 640, 480},
        {"16384x16384", 640, 480, 16384, 16384},
        {"16385x1", 640, 480, 640, 480},
    };
    for (const Case &c : cases) {
        uint32_t width = c.width;
        uint32_t height = c.height;
        ss_custom_size(c.text, "Automatic", &width, &height);
        EXPECT_EQ(width, c.wantWidth) << c.text;
        EXPECT_EQ(height, c.wantHeight) << c.text;
    }
    for (const char *yes : {".png", ".PNG", ".Jpeg", ".jpg", ".gif", ".bmp", ".TGA"})
        EXPECT_TRUE(is_image_extension(yes)) << yes;
    for (const char *no : {".txt", ".pngx", "", "png"})
        EXPECT_FALSE(is_image_extension(no)) << no;
    EXPECT_FALSE(is_image_extension(nullptr));
}

namespace {

constexpr long long kBlack = 0xff000000LL;

// Plain pictures of one colour each, written where the slideshow reads them.
QString picture(const QTemporaryDir &dir, const QString &name, QColor color, QSize size = {200, 100},
                const char *format = "PNG")
{
    QImage image(size, QImage::Format_RGBA8888);
    image.fill(color);
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path, format)) << name.toStdString();
    return path;
}

// For as long as a picture is on its way: a loaded machine may take longer
// to decode it.
void waitWhileLoading(Slideshow &ss)
{
    for (int i = 0; i < 600 && obs_data_get_bool(kp_obs_get_source_status(ss.source()), "kp_picture_loading"); ++i)
        waitTicks(1);
}

QImage frameOf(Slideshow &ss, int ticks = 10)
{
    waitTicks(ticks);
    waitWhileLoading(ss);
    return KPObsTestEnvironment::runtime().renderSource(ss.source());
}

void useTool(Slideshow &ss, const QString &file, long long type)
{
    OBSDataAutoRelease tool = obs_data_create();
    obs_data_set_string(tool, "file", file.toUtf8().constData());
    obs_data_set_int(tool, "kp_wb_draw_type", type);
    obs_data_set_int(tool, "kp_wb_draw_color", kBlack);
    obs_data_set_int(tool, "kp_wb_draw_size", 4);
    ss.update(tool);
}

void drag(Slideshow &ss, QPoint from, QPoint to)
{
    obs_mouse_event event = {0, from.x(), from.y()};
    obs_source_send_mouse_click(ss.source(), &event, 0, false, 1);
    event.x = (from.x() + to.x()) / 2;
    event.y = (from.y() + to.y()) / 2;
    obs_source_send_mouse_move(ss.source(), &event, false);
    event.x = to.x();
    event.y = to.y();
    obs_source_send_mouse_move(ss.source(), &event, false);
    obs_source_send_mouse_click(ss.source(), &event, 0, true, 1);
}

// Qt writes neither GIF nor TGA: a one-pixel red GIF and an uncompressed
// red TGA of 200 by 100 are written byte by byte.
void writeBytes(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray redGif()
{
    static const char bytes[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
                                ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";
    return QByteArray(bytes, sizeof(bytes) - 1);
}

QByteArray redTga()
{
    QByteArray bytes(18, '\0');
    bytes[2] = 2; // uncompressed true colour
    bytes[12] = char(200);
    bytes[14] = char(100);
    bytes[16] = 32;
    bytes[17] = 0x28; // top-left origin, 8 alpha bits
    for (int i = 0; i < 200 * 100; ++i)
        bytes.append("\x00\x00\xff\xff", 4); // blue, green, red, alpha
    return bytes;
}

OBSSourceAutoRelease slideOnAir(Slideshow &ss)
{
    return ss.transition() ? obs_transition_get_active_source(ss.transition()) : nullptr;
}

// A switch waits on the ticks until its slide's picture is decoded: the
// slide on air once it is there (the one showing file, when given).
OBSSourceAutoRelease slideOnAirOnceDecoded(Slideshow &ss, const QString &file = QString())
{
    const auto shows = [&](obs_source_t *slide) {
        OBSDataAutoRelease own = slide ? obs_source_get_settings(slide) : nullptr;
        return slide && (file.isEmpty() || QString::fromUtf8(obs_data_get_string(own, "file")) == file);
    };
    for (int tick = 0; tick < 150 && !shows(slideOnAir(ss)); ++tick)
        waitTicks(1);
    return slideOnAir(ss);
}

} // namespace

TEST(SlideshowPictures, EachPictureKeepsItsDrawings)
{
    QTemporaryDir dir;
    const QString red = picture(dir, QStringLiteral("red.png"), Qt::red);
    const QString green = picture(dir, QStringLiteral("green.png"), Qt::green);
    Slideshow ss;
    ss.show(red);
    useTool(ss, red, 1);
    drag(ss, {20, 20}, {120, 80});
    QImage frame = frameOf(ss);
    ASSERT_EQ(frame.size(), QSize(200, 100));
    EXPECT_EQ(frame.pixelColor(150, 90), QColor(Qt::red));
    EXPECT_TRUE(hasRectangle(frame));

    KPLogCapture log;
    ss.show(green);
    EXPECT_EQ(count(log, QStringLiteral("not find")), 1);
    frame = frameOf(ss);
    EXPECT_EQ(frame.pixelColor(150, 90), QColor(Qt::green));
    EXPECT_FALSE(hasRectangle(frame));

    log.clear();
    ss.show(red);
    EXPECT_EQ(count(log, QStringLiteral("find")), 1);
    frame = frameOf(ss);
    EXPECT_EQ(frame.pixelColor(150, 90), QColor(Qt::red));
    EXPECT_TRUE(hasRectangle(frame));

    // The same picture with the same transition only re-applies the settings.
    log.clear();
    ss.show(red);
    EXPECT_EQ(count(log, QStringLiteral("transition start.")), 0);
    EXPECT_TRUE(log.lines().filter(QStringLiteral("new transition type")).isEmpty());
    EXPECT_TRUE(hasRectangle(frameOf(ss)));

    // A new transition on the same picture runs on the canvas of the old one.
    log.clear();
    ss.show(red, "fade");
    EXPECT_EQ(count(log, QStringLiteral("file not changed.")), 1);
    frame = frameOf(ss, 60);
    ASSERT_EQ(frame.size(), QSize(200, 100));
    EXPECT_EQ(frame.pixelColor(150, 90), QColor(Qt::red));
    EXPECT_TRUE(hasRectangle(frame));
}

TEST(SlideshowPictures, CommandsTabletAndStatusReachThePictureOnAir)
{
    QTemporaryDir dir;
    const QString red = picture(dir, QStringLiteral("red.png"), Qt::red);
    Slideshow ss;
    ss.show(red);
    useTool(ss, red, 1);
    drag(ss, {20, 20}, {120, 80});
    ASSERT_TRUE(hasRectangle(frameOf(ss)));
    kp_obs_custom_callback(ss.source(), 1, nullptr); // undo
    EXPECT_FALSE(hasRectangle(frameOf(ss)));

    useTool(ss, red, 6);
    for (auto type : {QEvent::TabletPress, QEvent::TabletMove, QEvent::TabletRelease}) {
        const QPointF pos = type == QEvent::TabletPress ? QPointF(20, 20) : QPointF(20, 80);
        QTabletEvent event(type, pos, pos, QTabletEvent::Stylus, QTabletEvent::Pen, 1.0, 0, 0, 0, 0,
                           0, Qt::NoModifier, 1, Qt::LeftButton, Qt::LeftButton);
        kp_tablet_event(ss.source(), &event);
    }
    EXPECT_TRUE(hasRectangle(frameOf(ss)));

    useTool(ss, red, 7);
    obs_mouse_event click = {0, 60, 40};
    obs_source_send_mouse_click(ss.source(), &click, 0, false, 1);
    obs_source_send_mouse_click(ss.source(), &click, 0, true, 1);
    obs_data_t *status = kp_obs_get_source_status(ss.source());
    EXPECT_TRUE(obs_data_get_bool(status, "kp_wb_text_item_editing"));
}

TEST(SlideshowPictures, AFolderAddsItsPicturesAndShowsTheFirst)
{
    QTemporaryDir dir;
    picture(dir, QStringLiteral("a.png"), Qt::red);
    picture(dir, QStringLiteral("b.JPG"), Qt::red, {200, 100}, "JPG");
    picture(dir, QStringLiteral("c.Bmp"), Qt::red, {200, 100}, "BMP");
    picture(dir, QStringLiteral("d.jpeg"), Qt::red, {200, 100}, "JPG");
    writeBytes(dir, QStringLiteral("e.gif"), redGif());
    writeBytes(dir, QStringLiteral("f.TGA"), redTga());
    picture(dir, QStringLiteral("notes.txt"), Qt::red);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub.png")));
    picture(dir, QStringLiteral("sub.png/inner.png"), Qt::red);
    // Neither a name that is no UTF-8 nor a FIFO becomes a slide.
    const QByteArray latin1 = QFile::encodeName(dir.path()) + "/caf\xe9.png";
    QFile red(dir.filePath(QStringLiteral("a.png")));
    ASSERT_TRUE(red.open(QIODevice::ReadOnly));
    const QByteArray bytes = red.readAll();
    std::FILE *copy = std::fopen(latin1.constData(), "wb");
    ASSERT_NE(copy, nullptr);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), copy);
    std::fclose(copy);
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("g.png"))).constData(), 0600), 0);

    Slideshow ss;
    KPLogCapture log;
    ss.show(dir.path());
    kp_obs_get_source_status(ss.source());
    EXPECT_EQ(count(log, QStringLiteral("ss->files.num :6, ss->cur_item:0")), 1);
    EXPECT_EQ(log.lines().filter(QStringLiteral("skipped, name not UTF-8")).size(), 1);
    EXPECT_EQ(count(log, QStringLiteral("skipped, not a regular file:") + dir.filePath(QStringLiteral("g.png"))), 1);

    // The first slide keeps its own picture, not the folder it came from.
    OBSSourceAutoRelease first = slideOnAirOnceDecoded(ss);
    ASSERT_NE(first, nullptr);
    OBSDataAutoRelease own = obs_source_get_settings(first);
    EXPECT_TRUE(QString::fromUtf8(obs_data_get_string(own, "file")).startsWith(dir.path() + QLatin1Char('/')));
    const QImage frame = frameOf(ss);
    ASSERT_EQ(frame.width(), int(obs_source_get_width(first)));
    ASSERT_GT(frame.width(), 0);
    EXPECT_EQ(frame.pixelColor(frame.width() / 2, frame.height() / 2), QColor(Qt::red));

    obs_properties_t *sheet = obs_source_properties(ss.source());
    EXPECT_STREQ(obs_property_path_default_path(obs_properties_get(sheet, "file")),
                 (dir.path() + QLatin1Char('/')).toUtf8().constData());
    obs_properties_destroy(sheet);

    // "file" still names the folder: a settings change keeps the picture on air.
    useTool(ss, dir.path(), 1);
    OBSSourceAutoRelease still = slideOnAir(ss);
    EXPECT_EQ(still.Get(), first.Get());
    EXPECT_EQ(frameOf(ss), frame);
}

TEST(SlideshowPictures, CustomSizeGivesTheCanvasOfTheFirstFill)
{
    struct Case
    {
        const char *customSize;
        QSize picture;
        QSize canvas;
    };
    const Case cases[] = {
        {"1280x720", {200, 100}, {1280, 720}},
        {"16:9", {1000, 1000}, {1777, 1000}},
        {"Automatic", {300, 200}, {300, 200}},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.customSize);
        Slideshow ss;
        OBSDataAutoRelease settings = obs_data_create();
        const QString file = picture(dir, QStringLiteral("%1.png").arg(c.picture.width()), Qt::blue, c.picture);
        obs_data_set_string(settings, "file", file.toUtf8().constData());
        obs_data_set_string(settings, "use_custom_size", c.customSize);
        ss.update(settings);
        ASSERT_NE(ss.transition(), nullptr);
        uint32_t width = 0;
        uint32_t height = 0;
        obs_transition_get_size(ss.transition(), &width, &height);
        EXPECT_EQ(QSize(int(width), int(height)), c.canvas);
    }
}

TEST(SlideshowPictures, RemovingItReleasesEverySlideAndItsTransition)
{
    QTemporaryDir dir;
    // libobs destroys sources on a thread of its own.
    std::atomic<int> destroyed{0};
    const auto countDestroyed = [](void *param, calldata_t *) { ++*static_cast<std::atomic<int> *>(param); };
    {
        Slideshow ss;
        for (const char *name : {"a.png", "b.png"}) {
            const QString file = picture(dir, QLatin1String(name), Qt::red);
            ss.show(file);
            OBSSourceAutoRelease slide = slideOnAirOnceDecoded(ss, file);
            ASSERT_NE(slide, nullptr);
            signal_handler_connect(obs_source_get_signal_handler(slide), "destroy", countDestroyed,
                                   &destroyed);
        }
        signal_handler_connect(obs_source_get_signal_handler(ss.transition()), "destroy",
                               countDestroyed, &destroyed);
    }
    for (int i = 0; i < 100 && destroyed < 3; ++i) {
        waitTicks(1);
        KPObsTestEnvironment::runtime().drainDestroyQueue();
    }
    EXPECT_EQ(destroyed, 3);
}

TEST(SlideshowPictures, UpdatesFromOtherThreadsNeverReachAFillInProgress)
{
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < 40; ++i)
        files << picture(dir, QStringLiteral("p%1.png").arg(i, 4, 10, QLatin1Char('0')), Qt::red, {8, 8});
    Slideshow ss;
    // Rewrites of "file" from two threads while the video thread fills the
    // slideshow from the folder and applies them.
    const auto rewrite = [&ss, &files](int offset) {
        for (int i = 0; i < 200; ++i) {
            OBSDataAutoRelease settings = obs_data_create();
            const QString file = i == 0 ? QFileInfo(files[0]).path() : files[(i + offset) % files.size()];
            obs_data_set_string(settings, "file", file.toUtf8().constData());
            obs_source_update(ss.source(), settings);
        }
    };
    std::thread other(rewrite, 7);
    rewrite(0);
    other.join();
    waitTicks();
    KPLogCapture log;
    kp_obs_get_source_status(ss.source());
    const QStringList status = log.lines().filter(QStringLiteral("ss->files.num :"));
    ASSERT_EQ(status.size(), 1);
    const int slides = status[0].section(QStringLiteral("ss->files.num :"), 1).section(QLatin1Char(','), 0, 0).toInt();
    EXPECT_GE(slides, 1);
    EXPECT_LE(slides, 40); // never a slide for a path made of the folder and a picture
}

namespace {

const KPImagePluginList *pictureOf(obs_source_t *slide)
{
    return static_cast<const KPImagePluginList *>(obs_obj_get_data(slide));
}

// Fires a slideshow's hotkey as a stock host does for a bound key.
void fireHotkey(obs_source_t *source, const char *name)
{
    struct Search
    {
        obs_source_t *source;
        const char *name;
        obs_hotkey_id id = OBS_INVALID_HOTKEY_ID;
    } search{source, name};
    obs_enum_hotkeys(
        [](void *data, obs_hotkey_id id, obs_hotkey_t *hotkey) {
            auto *search = static_cast<Search *>(data);
            auto *owner = static_cast<obs_weak_source_t *>(obs_hotkey_get_registerer(hotkey));
            if (std::strcmp(obs_hotkey_get_name(hotkey), search->name) == 0
                && obs_weak_source_references_source(owner, search->source))
                search->id = id;
            return true;
        },
        &search);
    ASSERT_NE(search.id, OBS_INVALID_HOTKEY_ID) << name;
    obs_key_combination_t key = {0, OBS_KEY_F12};
    obs_hotkey_load_bindings(search.id, &key, 1);
    obs_hotkey_inject_event(key, true);
    obs_hotkey_inject_event(key, false);
    obs_hotkey_load_bindings(search.id, nullptr, 0);
    waitTicks();
}

QString fileOf(obs_source_t *source)
{
    OBSDataAutoRelease settings = obs_source_get_settings(source);
    return QString::fromUtf8(obs_data_get_string(settings, "file"));
}

} // namespace

TEST(SlideshowPictures, AFirstFillOfManyPicturesDecodesOnlyThePictureOnAir)
{
    QTemporaryDir dir;
    for (int i = 0; i < 200; ++i)
        picture(dir, QStringLiteral("p%1.png").arg(i, 3, 10, QLatin1Char('0')), Qt::red, {64, 64});
    Slideshow ss;
    ss.show(dir.path());
    OBSSourceAutoRelease onAir = nullptr;
    for (int i = 0; i < 60 && !(onAir && obs_source_get_width(onAir) == 64); ++i) {
        waitTicks(1);
        onAir = slideOnAir(ss);
    }
    ASSERT_NE(onAir, nullptr);
    EXPECT_EQ(obs_source_get_width(onAir), 64u);
    const auto *record = static_cast<const slideshow *>(obs_obj_get_data(ss.source()));
    const QList<obs_source_t *> slides = record->slides().shown();
    ASSERT_EQ(slides.size(), 200);
    int decoded = 0;
    for (obs_source_t *slide : slides) {
        decoded += pictureOf(slide)->pictureShown();
        obs_source_release(slide);
    }
    EXPECT_EQ(decoded, 1);
}

TEST(SlideshowPictures, HostilePicturesInAFolderShowNothingAndSpareTheOthers)
{
    QTemporaryDir dir;
    const QList<HostilePicture> hostile = writeHostilePictures(dir.path());
    // The good picture comes first in the folder, so that the first fill
    // shows it and every hostile file is first tried by its own switch.
    const QString good = picture(dir, QStringLiteral("0-good.png"), Qt::green);
    Slideshow ss;
    ss.show(dir.path());
    waitWhileLoading(ss);
    for (const HostilePicture &file : hostile) {
        SCOPED_TRACE(file.name.toStdString());
        KPLogCapture log;
        OBSSourceAutoRelease before = slideOnAir(ss);
        ss.show(file.path);
        if (QFileInfo(file.path).isDir()) { // a folder is no picture: nothing changes
            OBSSourceAutoRelease after = slideOnAir(ss);
            EXPECT_EQ(after.Get(), before.Get());
            continue;
        }
        // The switch to the empty slide lands on a tick after the failure; the
        // first fill's own failure may still arrive meanwhile, so only this
        // file's line ends the wait.
        const QString failure = QStringLiteral("failed to load texture ") + file.path;
        for (int i = 0; i < 600 && (count(log, failure) == 0 || obs_source_get_width(ss.source()) != 0); ++i)
            waitTicks(1);
        waitWhileLoading(ss);
        EXPECT_EQ(count(log, failure), 1);
        EXPECT_EQ(obs_source_get_width(ss.source()), 0u);
    }
    ss.show(good);
    const QImage frame = frameOf(ss, 30);
    ASSERT_EQ(frame.size(), QSize(200, 100));
    EXPECT_EQ(frame.pixelColor(100, 50), QColor(Qt::green));
}

TEST(SlideshowKeys, TheyWalkTheFileListStopAtTheEndsAndKeepEachPicturesDrawings)
{
    QTemporaryDir dir;
    const QString title = picture(dir, QStringLiteral("title.png"), Qt::red);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("deck")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("empty")));
    const QString b = picture(dir, QStringLiteral("deck/b.png"), Qt::blue);
    const QString a = picture(dir, QStringLiteral("deck/a.png"), Qt::green);
    picture(dir, QStringLiteral("deck/notes.txt"), Qt::green);
    // The keys pass over what the first fill refuses: a name that is no UTF-8.
    ASSERT_TRUE(QFile::copy(b, dir.filePath(QStringLiteral("c.png"))));
    ASSERT_EQ(std::rename(QFile::encodeName(dir.filePath(QStringLiteral("c.png"))).constData(),
                          (QFile::encodeName(dir.path()) + "/deck/c\xe9.png").constData()), 0);
    Slideshow ss;
    OBSDataAutoRelease settings = obs_data_create();
    OBSDataArrayAutoRelease list = obs_data_array_create();
    for (const QString &entry : {title, dir.filePath(QStringLiteral("gone.png")), dir.filePath(QStringLiteral("deck")),
                                 dir.filePath(QStringLiteral("empty"))}) {
        OBSDataAutoRelease element = obs_data_create();
        obs_data_set_string(element, "value", entry.toUtf8().constData());
        obs_data_array_push_back(list, element);
    }
    obs_data_set_array(settings, "c_data_name_file_list", list);
    ss.update(settings);
    ss.show(title);
    useTool(ss, title, 1);
    drag(ss, {20, 20}, {120, 80});
    ASSERT_TRUE(hasRectangle(frameOf(ss)));

    KPLogCapture log;
    const struct
    {
        const char *hotkey;
        QString file;
        QColor colour;
    } steps[] = {
        {"kp_ss_hotkey_previous", title, Qt::red}, {"kp_ss_hotkey_next", a, Qt::green},
        {"kp_ss_hotkey_next", b, Qt::blue},        {"kp_ss_hotkey_next", b, Qt::blue},
        {"kp_ss_hotkey_previous", a, Qt::green},   {"kp_ss_hotkey_first", title, Qt::red},
        {"kp_ss_hotkey_last", b, Qt::blue},
    };
    for (const auto &step : steps) {
        fireHotkey(ss.source(), step.hotkey);
        EXPECT_EQ(fileOf(ss.source()), step.file) << step.hotkey;
        EXPECT_EQ(frameOf(ss).pixelColor(150, 90), step.colour) << step.hotkey;
    }
    EXPECT_EQ(log.linesWithContent(QStringLiteral("slide list entry skipped, no such file: %1")
                                       .arg(dir.filePath(QStringLiteral("gone.png")))).size(), 7);
    EXPECT_EQ(log.linesWithContent(QStringLiteral("slide list entry skipped, no pictures in folder: %1")
                                       .arg(dir.filePath(QStringLiteral("empty")))).size(), 7);
    fireHotkey(ss.source(), "kp_ss_hotkey_first");
    EXPECT_TRUE(hasRectangle(frameOf(ss)));
}

TEST(SlideshowKeys, WithoutAListTheyWalkThePicturesShownAndWithNothingTheyDoNothing)
{
    Slideshow empty;
    fireHotkey(empty.source(), "kp_ss_hotkey_next");
    EXPECT_EQ(fileOf(empty.source()), QString());

    QTemporaryDir dir;
    const QString red = picture(dir, QStringLiteral("red.png"), Qt::red);
    const QString green = picture(dir, QStringLiteral("green.png"), Qt::green);
    Slideshow ss;
    ss.show(green);
    ss.show(red);
    for (const auto &step : {std::make_pair("kp_ss_hotkey_previous", green), std::make_pair("kp_ss_hotkey_previous", green),
                             std::make_pair("kp_ss_hotkey_next", red)}) {
        fireHotkey(ss.source(), step.first);
        EXPECT_EQ(fileOf(ss.source()), step.second) << step.first;
    }
}
