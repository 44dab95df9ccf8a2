// Text boxes on a real board: the draw item of type 7 takes the board's
// pointer, key, focus and status calls to its text state, paints it into the
// board's canvas and keeps it in its saved record.

#include "ft2source.h"
#include "kplogcapture.h"
#include "kpobstestenvironment.h"
#include "kptextdata.h"
#include "kpwhiteboarditemobject.h"
#include "kpwhiteboardobject.h"

#include <QImage>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// libobs without video: the board composes into its image only.
static auto *const g_environment = ::testing::AddGlobalTestEnvironment(
    new KPObsTestEnvironment({/*video*/ false, /*plugin*/ false, 1280, 720}));

namespace {

const quint32 Red = 0xff0000ffu;
const quint32 White = 0xffffffffu;

struct DataDeleter
{
    void operator()(obs_data_t *data) const { obs_data_release(data); }
};
using Data = std::unique_ptr<obs_data_t, DataDeleter>;

// A 400 by 300 white board whose tool is red text of size 20.
struct TextBoard
{
    TextBoard() : board(nullptr)
    {
        Data settings(obs_data_create());
        obs_data_set_int(settings.get(), "kp_wb_width", 400);
        obs_data_set_int(settings.get(), "kp_wb_height", 300);
        obs_data_set_int(settings.get(), "kp_wb_background", White);
        obs_data_set_int(settings.get(), "kp_wb_draw_type", KPWB::DRAW_ITEM_TYPE_TEXT);
        obs_data_set_int(settings.get(), "kp_wb_draw_color", Red);
        obs_data_set_int(settings.get(), "kp_wb_draw_size", 20);
        board.updateWithSettings(settings.get());
        frame();
    }

    void click(int x, int y, bool up, int button = 0)
    {
        obs_mouse_event event = {};
        event.x = x;
        event.y = y;
        board.do_mouse_click(&event, button, up, 1);
    }
    // A full click: press, then release at the same place.
    void clickAt(int x, int y)
    {
        click(x, y, false);
        click(x, y, true);
    }
    void moveTo(int x, int y)
    {
        obs_mouse_event event = {};
        event.x = x;
        event.y = y;
        board.do_mouse_move(&event, false);
    }
    void key(quint32 vkey, const char *text = "", quint32 modifiers = 0)
    {
        QByteArray bytes(text);
        obs_key_event event = {};
        event.modifiers = modifiers;
        event.text = bytes.data();
        event.native_vkey = vkey;
        board.do_key_click(&event, false);
        board.do_key_click(&event, true);
    }
    void type(const QString &characters)
    {
        for (QChar ch : characters)
            key(ch.unicode(), QString(ch).toUtf8().constData());
    }
    QImage frame()
    {
        board.do_video_tick();
        return board.image();
    }
    ft2_source *text() const
    {
        KPTextItemData *data = board.currentItem()->textItemData();
        return data ? data->source() : nullptr;
    }

    KPWhiteBoardObject board;
};

// The frame is drawn with the board's antialiasing: its corner is red but blended.
bool isRed(QRgb pixel)
{
    return qRed(pixel) == 255 && qGreen(pixel) < 200 && qBlue(pixel) < 200;
}

int inkIn(const QImage &image, const QRect &area)
{
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ink += image.pixel(x, y) != qRgba(255, 255, 255, 255);
    return ink;
}

} // namespace

TEST(TextItem, clickPlacesTypingFillsAndAClickOutsideFilesOnce)
{
    TextBoard t;
    t.type(QStringLiteral("zz"));
    ASSERT_NE(t.text(), nullptr);
    EXPECT_EQ(t.text()->text, QString()) << "keys before a box is placed are dropped";

    t.clickAt(100, 100);
    ASSERT_NE(t.text(), nullptr);
    EXPECT_EQ(t.text()->textX, 100);
    EXPECT_EQ(t.text()->textY, 85);
    EXPECT_TRUE(t.board.currentItem()->initialized());
    t.type(QStringLiteral("ab"));
    t.key(KPTextItemData::KeyLeft);
    t.type(QStringLiteral("c"));
    EXPECT_EQ(t.text()->text, QStringLiteral("acb"));
    EXPECT_TRUE(t.board.items().isEmpty());

    // After the release the box being edited is still painted, with its frame.
    EXPECT_TRUE(t.board.currentItem()->leftClicked());
    QImage editing = t.frame();
    EXPECT_GT(inkIn(editing, QRect(100, 85, 40, 30)), 20);
    EXPECT_TRUE(isRed(editing.pixel(92, 77))) << "frame's top-left corner";

    t.clickAt(110, 100);
    EXPECT_EQ(t.text()->text, QStringLiteral("acb")) << "a click inside places the cursor";
    EXPECT_TRUE(t.board.items().isEmpty());

    const QSharedPointer<KPWhiteBoardItemObject> box = t.board.currentItem();
    t.clickAt(350, 250);
    ASSERT_EQ(t.board.items().size(), 1);
    EXPECT_EQ(t.board.items()[0], box);
    EXPECT_FALSE(box->textItemData()->source()->focused);
    EXPECT_EQ(t.board.currentItem()->itemProperty.type, KPWB::DRAW_ITEM_TYPE_TEXT);
    EXPECT_FALSE(t.text() && t.text()->focused)
        << "the release after finishing only reaches the new item";

    const QImage filed = t.frame();
    EXPECT_GT(inkIn(filed, QRect(100, 85, 40, 30)), 20);
    EXPECT_EQ(filed.pixel(92, 77), qRgba(255, 255, 255, 255)) << "no frame once finished";
    EXPECT_EQ(inkIn(filed, QRect(300, 200, 100, 100)), 0) << "no new box at the finishing click";

    t.type(QStringLiteral("x"));
    EXPECT_EQ(box->textItemData()->source()->text, QStringLiteral("acb"));
    EXPECT_EQ(t.board.items().size(), 1);
}

TEST(TextItem, releaseEndsTheDragSelectionOnly)
{
    TextBoard t;
    t.clickAt(100, 100);
    t.type(QStringLiteral("abcd"));
    t.frame();
    const QList<TextCell> cells = t.text()->cells;
    t.click(cells[0].x + 1, 100, false);
    t.moveTo(cells[2].x + 1, 100);
    t.frame();
    t.click(cells[2].x + 1, 100, true);
    t.frame();
    EXPECT_EQ(t.text()->anchorStart, 0u);
    EXPECT_EQ(t.text()->anchorEnd, 2u);

    t.moveTo(380, 100);
    t.frame();
    EXPECT_EQ(t.text()->anchorEnd, 2u) << "moves after the release keep the selection";
    EXPECT_TRUE(t.board.currentItem()->leftClicked());
    t.type(QStringLiteral("x"));
    EXPECT_EQ(t.text()->text, QStringLiteral("xcd"));
}

TEST(TextItem, focusLossFilesTheBoxUnfocused)
{
    TextBoard t;
    t.clickAt(100, 100);
    t.type(QStringLiteral("ab"));
    const QSharedPointer<KPWhiteBoardItemObject> box = t.board.currentItem();
    t.board.focus(false);
    ASSERT_EQ(t.board.items().size(), 1);
    EXPECT_EQ(t.board.items()[0], box);
    EXPECT_FALSE(box->textItemData()->source()->focused);
    EXPECT_EQ(t.frame().pixel(92, 77), qRgba(255, 255, 255, 255));
}

// Every way of filing a box being edited must drop its frame and cursor,
// including the history commands that bring it back afterwards.
TEST(TextItem, historyCommandsFileTheBoxUnfocused)
{
    const struct
    {
        const char *name;
        std::vector<int> commands; // 1 undo, 2 redo, 3 clear
    } cases[] = {{"undo, redo", {1, 2}}, {"clear, undo", {3, 1}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TextBoard t;
        t.clickAt(100, 100);
        t.type(QStringLiteral("ab"));
        const QSharedPointer<KPWhiteBoardItemObject> box = t.board.currentItem();
        for (int command : c.commands)
            t.board.do_custom_callback(command, nullptr);
        ASSERT_TRUE(t.board.items().contains(box));
        EXPECT_TRUE(box->visible());
        EXPECT_FALSE(box->textItemData()->source()->focused);
        const QImage frame = t.frame();
        EXPECT_GT(inkIn(frame, QRect(100, 85, 40, 30)), 20);
        EXPECT_EQ(frame.pixel(92, 77), qRgba(255, 255, 255, 255)) << "no frame once filed";
    }
}

TEST(TextItem, statusReportsEditingAndTheCursorLine)
{
    TextBoard t;
    t.clickAt(200, 150);
    t.type(QStringLiteral("a\n"));
    t.frame();
    Data status(obs_data_create());
    t.board.currentItem()->setStatusData(status.get());
    EXPECT_TRUE(obs_data_get_bool(status.get(), "kp_wb_text_item_editing"));
    EXPECT_EQ(obs_data_get_int(status.get(), "kp_wb_text_item_cursor_line_pos1_x"), 200);
    EXPECT_EQ(obs_data_get_int(status.get(), "kp_wb_text_item_cursor_line_pos1_y"), 165);
    EXPECT_EQ(obs_data_get_int(status.get(), "kp_wb_text_item_cursor_line_pos2_x"), 200);
    EXPECT_EQ(obs_data_get_int(status.get(), "kp_wb_text_item_cursor_line_pos2_y"), 195);

    t.key(KPTextItemData::KeyEscape);
    Data unfocused(obs_data_create());
    t.board.currentItem()->setStatusData(unfocused.get());
    EXPECT_FALSE(obs_data_get_bool(unfocused.get(), "kp_wb_text_item_editing"));

    // Other draw types report nothing of a text box.
    KPWhiteBoardItemObject rect(&t.board, KPWB::ItemProperty{20, Red, KPWB::DRAW_ITEM_TYPE_RECT});
    Data none(obs_data_create());
    rect.setStatusData(none.get());
    EXPECT_FALSE(obs_data_has_user_value(none.get(), "kp_wb_text_item_editing"));
    EXPECT_EQ(rect.textItemData(), nullptr);
}

TEST(TextItem, savedRecordLoadsIntoANewBoardAndDrawsTheSamePixels)
{
    TextBoard t;
    t.clickAt(60, 80);
    t.key(0, "Hello 你好\nsecond");
    t.clickAt(390, 290);
    ASSERT_EQ(t.board.items().size(), 1);
    const QImage drawn = t.frame();
    EXPECT_GT(inkIn(drawn, QRect(60, 65, 120, 60)), 100);

    Data record(t.board.items()[0]->toData());
    obs_data_t *text = obs_data_get_obj(record.get(), "kp_wb_data_textData");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(obs_data_get_string(text, "kp_wb_text"), "Hello 你好\nsecond");
    EXPECT_EQ(obs_data_get_int(text, "kp_wb_text_x"), 60);
    EXPECT_EQ(obs_data_get_int(text, "kp_wb_text_y"), 65);
    EXPECT_EQ(obs_data_get_int(text, "kp_wb_text_font_size"), 20);
    obs_data_release(text);

    TextBoard loaded;
    const auto item = KPWhiteBoardItemObject::createFromData(&loaded.board, record.get());
    ASSERT_TRUE(item);
    loaded.board.appendToList(item);
    loaded.board.requestRedraw();
    EXPECT_EQ(loaded.frame(), drawn);
    Data again(item->toData());
    EXPECT_STREQ(obs_data_get_json(again.get()), obs_data_get_json(record.get()));
}

TEST(TextItem, recordsWithoutTextKeepASafeEmptyBox)
{
    TextBoard t;
    // A box that was never given text saves an empty text record.
    KPWhiteBoardItemObject rect(&t.board, KPWB::ItemProperty{20, Red, KPWB::DRAW_ITEM_TYPE_RECT});
    Data plain(rect.toData());
    EXPECT_FALSE(obs_data_has_user_value(plain.get(), "kp_wb_data_textData"));

    obs_data_t *tool = obs_data_get_obj(plain.get(), "kp_wb_data_itemProperty");
    obs_data_set_int(tool, "kp_wb_draw_type", KPWB::DRAW_ITEM_TYPE_TEXT);
    obs_data_release(tool);
    KPLogCapture log;
    const auto item = KPWhiteBoardItemObject::createFromData(&t.board, plain.get());
    ASSERT_TRUE(item);
    ASSERT_NE(item->textItemData(), nullptr);
    EXPECT_EQ(item->textItemData()->source()->text, QString());
    EXPECT_EQ(log.linesWithContent(QStringLiteral("text record missing")).size(), 1);
    t.board.appendToList(item);
    t.board.requestRedraw();
    EXPECT_EQ(inkIn(t.frame(), QRect(0, 0, 400, 300)), 0);
}
