#include "boardtestsupport.h"
#include "kpobstestenvironment.h"
#include "kpwhiteboarditemobject.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

using namespace boardtest;

// libobs with OpenGL video: the board's texture is real and libobs's own
// graphics thread ticks and renders it.
static auto *const g_environment = ::testing::AddGlobalTestEnvironment(
    new KPObsTestEnvironment({/*video*/ true, /*plugin*/ false, 640, 480}));

namespace {

// A bare source around one board, so that libobs ticks and renders it.
const char kSourceId[] = "kp_board_video_test";

void registerBoardSource()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    obs_source_info info = {};
    info.id = kSourceId;
    info.type = OBS_SOURCE_TYPE_INPUT;
    info.output_flags = OBS_SOURCE_VIDEO;
    info.get_name = [](void *) { return "board"; };
    info.create = [](obs_data_t *settings, obs_source_t *source) -> void * {
        auto *board = new KPWhiteBoardObject(source);
        board->updateWithSettings(settings);
        return board;
    };
    info.destroy = [](void *data) { delete static_cast<KPWhiteBoardObject *>(data); };
    info.get_width = [](void *data) {
        return static_cast<uint32_t>(static_cast<KPWhiteBoardObject *>(data)->width());
    };
    info.get_height = [](void *data) {
        return static_cast<uint32_t>(static_cast<KPWhiteBoardObject *>(data)->height());
    };
    info.video_tick = [](void *data, float) {
        static_cast<KPWhiteBoardObject *>(data)->do_video_tick();
    };
    info.video_render = [](void *data, gs_effect_t *effect) {
        static_cast<KPWhiteBoardObject *>(data)->do_video_render(effect);
    };
    obs_register_source(&info);
}

struct SourceDeleter
{
    void operator()(obs_source_t *source) const { obs_source_release(source); }
};
using Source = std::unique_ptr<obs_source_t, SourceDeleter>;

Source createBoardSource(int type)
{
    registerBoardSource();
    Data settings = boardSettings(type);
    return Source(obs_source_create(kSourceId, "board", settings.get(), nullptr));
}

KPWhiteBoardObject &boardOf(const Source &source)
{
    return *static_cast<KPWhiteBoardObject *>(obs_obj_get_data(source.get()));
}

KPObsRuntime &runtime()
{
    return KPObsTestEnvironment::runtime();
}

} // namespace

TEST(BoardVideo, TextureFollowsSizeAndActivation)
{
    KPWhiteBoardObject board(nullptr);
    board.updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_RECT).get());
    board.do_video_tick();
    ASSERT_TRUE(board.hasTexture());
    board.setSize(200, 100);
    board.do_video_tick();
    EXPECT_TRUE(board.hasTexture());
    EXPECT_EQ(board.image().size(), QSize(200, 100));
    board.setActive(false);
    EXPECT_FALSE(board.hasTexture());
    EXPECT_TRUE(board.image().isNull());
    board.setActive(true);
    board.do_video_tick();
    EXPECT_TRUE(board.hasTexture());
    EXPECT_EQ(board.image().size(), QSize(200, 100));
}

TEST(BoardVideo, RenderedFrameShowsTheDrawingAndFollowsUndo)
{
    Source source = createBoardSource(KPWB::DRAW_ITEM_TYPE_RECT);
    ASSERT_TRUE(source);
    KPWhiteBoardObject &board = boardOf(source);
    drag(board, {100, 100}, {200, 180});
    ASSERT_TRUE(runtime().waitTicks(3, 5000));
    QImage frame = runtime().renderSource(source.get());
    ASSERT_EQ(frame.size(), QSize(400, 300));
    EXPECT_EQ(frame.pixelColor(150, 140), QColor(Qt::white));
    EXPECT_TRUE(isInk(frame, 100, 140));
    EXPECT_TRUE(isInk(frame, 150, 180));
    EXPECT_FALSE(isInk(frame, 97, 140));
    const QColor edge = frame.pixelColor(100, 140);
    EXPECT_GT(edge.red(), 200);

    board.do_undo();
    ASSERT_TRUE(runtime().waitTicks(3, 5000));
    frame = runtime().renderSource(source.get());
    EXPECT_FALSE(isInk(frame, 100, 140));

    board.setActive(false);
    frame = runtime().renderSource(source.get());
    EXPECT_EQ(frame.pixelColor(150, 140).alpha(), 0);
}

// Pointer, tablet and key events and undo, redo and clear arrive from worker
// threads while libobs ticks and renders the board on its graphics thread and
// this thread renders it too (graphics context first, then the board).
TEST(BoardVideo, ConcurrentEventsCommandsTicksAndRendersDoNotDeadlock)
{
    Source source = createBoardSource(KPWB::DRAW_ITEM_TYPE_PEN);
    ASSERT_TRUE(source);
    KPWhiteBoardObject &board = boardOf(source);
    obs_sceneitem_t *shown = runtime().show(source.get());
    std::atomic<bool> done{false};

    std::vector<std::unique_ptr<QThread>> workers;
    workers.emplace_back(QThread::create([&] {
        for (int i = 0; i < 150; ++i)
            drag(board, {10 + i % 300, 10}, {20 + i % 300, 200});
    }));
    workers.emplace_back(QThread::create([&] {
        for (int i = 0; i < 150; ++i) {
            tablet(board, QEvent::TabletPress, {50.0 + i, 50.0}, 0.5);
            tablet(board, QEvent::TabletMove, {60.0 + i, 150.0}, 1.0);
            tablet(board, QEvent::TabletRelease, {60.0 + i, 150.0}, 0.0);
            setShift(board, i % 2 == 0);
        }
    }));
    workers.emplace_back(QThread::create([&] {
        for (int i = 0; i < 150; ++i) {
            switch (i % 5) {
            case 0: board.do_undo(); break;
            case 1: board.do_redo(); break;
            case 2: board.do_clear(); break;
            case 3: board.setSize(400 + i % 2, 300); break;
            default: board.focus(false); break;
            }
        }
        board.setActive(false);
        board.setActive(true);
    }));
    for (auto &worker : workers)
        worker->start();
    int renders = 0;
    while (!done) {
        runtime().renderSource(source.get());
        ++renders;
        done = true;
        for (auto &worker : workers)
            done = done && worker->isFinished();
        if (renders > 20000)
            break;
    }
    for (auto &worker : workers)
        ASSERT_TRUE(worker->wait(60000));
    EXPECT_TRUE(done.load());
    EXPECT_TRUE(runtime().waitTicks(2, 5000));
    EXPECT_GE(board.items().size(), 150);
    runtime().removeFromOutput(shown);
}

// The texture is cut into tiles: a board over several of them, translucent
// and opaque ink on some and nothing on others, is drawn as its frame.
// libobs's target holds premultiplied colour, so that is what is compared.
TEST(BoardVideo, TheTiledTextureDrawsTheFrameAcrossTileBorders)
{
    registerBoardSource();
    Data settings = boardSettings(KPWB::Draw_ITEM_TYPE_PEN_ALPHA, kTransparent, kRed, 20, 600, 420);
    Source source(obs_source_create(kSourceId, "board", settings.get(), nullptr));
    ASSERT_TRUE(source);
    KPWhiteBoardObject &board = boardOf(source);
    drag(board, {30, 240}, {560, 280});
    board.setCurrentItemProperty({4, kRed, KPWB::DRAW_ITEM_TYPE_RECT});
    drag(board, {250, 250}, {270, 270});
    // libobs's video thread ticks the board too: let its ticks settle.
    board.do_video_tick();
    ASSERT_TRUE(runtime().waitTicks(2, 5000));
    const QImage drawn = runtime().renderSource(source.get());
    QImage expected = board.image().convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    expected.reinterpretAsFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(drawn.size(), expected.size());
    int worst = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        const uchar *a = drawn.constScanLine(y);
        const uchar *b = expected.constScanLine(y);
        for (int i = 0; i < drawn.width() * 4; ++i)
            worst = qMax(worst, qAbs(int(a[i]) - int(b[i])));
    }
    EXPECT_LE(worst, 2);
    EXPECT_TRUE(isInk(drawn, 260, 250));
}

// A transparent board (a picture's page) with nothing to show holds no
// frame and no texture; the first stroke makes them, and undoing it or hiding
// the handwriting drops them again.
TEST(BoardVideo, AnEmptyOrHiddenTransparentBoardHoldsNoTexture)
{
    KPWhiteBoardObject board(nullptr);
    board.updateWithSettings(boardSettings(KPWB::DRAW_ITEM_TYPE_RECT, kTransparent).get());
    const auto shows = [&board] {
        board.do_video_tick();
        EXPECT_EQ(board.image().isNull(), !board.hasTexture());
        return board.hasTexture();
    };
    EXPECT_FALSE(shows());
    press(board, {20, 20});
    move(board, {80, 60});
    EXPECT_TRUE(shows());
    release(board, {80, 60});
    EXPECT_TRUE(shows());
    board.setHideHandwriting(true);
    EXPECT_FALSE(shows());
    board.setHideHandwriting(false);
    EXPECT_TRUE(shows());
    board.do_undo();
    EXPECT_FALSE(shows());
    board.do_redo();
    EXPECT_TRUE(shows());
}

// libobs ticks the board on its own thread: an idle board uploads nothing,
// while a focused text box still composes when its cursor blinks, and only then.
TEST(BoardVideo, IdleBoardUploadsNothingButAFocusedCursorStillBlinks)
{
    Source source = createBoardSource(KPWB::DRAW_ITEM_TYPE_RECT);
    ASSERT_TRUE(source);
    KPWhiteBoardObject &board = boardOf(source);
    obs_sceneitem_t *shown = runtime().show(source.get());
    drag(board, {100, 100}, {200, 180});
    ASSERT_TRUE(runtime().waitTicks(3, 5000));
    const quint64 uploads = board.uploads();
    ASSERT_TRUE(runtime().waitTicks(30, 10000));
    EXPECT_EQ(board.uploads(), uploads);

    board.setCurrentItemProperty({20, kRed, KPWB::DRAW_ITEM_TYPE_TEXT});
    press(board, {20, 20});
    release(board, {20, 20});
    ASSERT_TRUE(runtime().waitTicks(2, 5000));
    const quint64 frames = board.composedFrames();
    QList<QImage> looks;
    // About 2.5 s of frames: the cursor flips every 600 ms.
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(runtime().waitTicks(3, 5000));
        const QImage frame = runtime().renderSource(source.get());
        if (!looks.contains(frame))
            looks << frame;
    }
    const quint64 blinks = board.composedFrames() - frames;
    EXPECT_GE(blinks, 2u);
    EXPECT_LE(blinks, 8u);
    // The cursor shown and hidden.
    EXPECT_EQ(looks.size(), 2);
    runtime().removeFromOutput(shown);
}
