// Editing a text box: keys, pointer, focus, the system clipboard, the status
// the host reads and the saved text record.

#include "kplogcapture.h"
#include "texttestitem.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {

using K = KPTextItemData;
const quint32 Control = INTERACT_CONTROL_KEY;

struct EditedText : TextTestItem
{
    explicit EditedText(const QString &content = QString()) { placeWith(content); }
};

QClipboard *clipboard()
{
    return QGuiApplication::clipboard();
}

obs_data_t *statusOf(KPTextItemData &data)
{
    obs_data_t *status = obs_data_create();
    data.setStatusData(status);
    return status;
}

} // namespace

TEST(TextKeys, typingAndCursorKeysEditAtTheCursor)
{
    EditedText item;
    item.type(QStringLiteral("ab"));
    item.key(K::KeyLeft);
    item.type(QStringLiteral("c"));
    EXPECT_EQ(item.text().text, QStringLiteral("acb"));
    EXPECT_EQ(item.text().anchorStart, 2u);
    EXPECT_EQ(item.text().anchorEnd, 2u);

    item.key(K::KeyReturn);
    item.key(K::KeyEnter);
    EXPECT_EQ(item.text().text, QStringLiteral("ac\n\nb"));
    item.key(0x01000001, "\t"); // Tab inserts the text the host sends with it
    EXPECT_EQ(item.text().text, QStringLiteral("ac\n\n\tb"));
    item.key('z', "z", 0, true);
    EXPECT_EQ(item.text().text, QStringLiteral("ac\n\n\tb")) << "key-up events are ignored";
}

TEST(TextKeys, typingChineseText)
{
    EditedText item;
    item.key(0, "你好，世界");
    EXPECT_EQ(item.text().text, QStringLiteral("你好，世界"));
    EXPECT_EQ(item.text().cells.size(), 5);
    for (const TextCell &cell : item.text().cells)
        EXPECT_GE(cell.width, 15) << "CJK glyphs measure about a full em";
}

TEST(TextKeys, backspaceAndLeftStopAtTheStart)
{
    EditedText item(QStringLiteral("ab"));
    item.text().anchorStart = item.text().anchorEnd = 0;
    const int redraws = item.redrawCount;
    item.key(K::KeyBackspace);
    item.key(K::KeyLeft);
    EXPECT_EQ(item.text().text, QStringLiteral("ab"));
    EXPECT_EQ(item.text().anchorStart, 0u);
    EXPECT_EQ(item.redrawCount, redraws) << "nothing changed, nothing to redraw";

    item.text().anchorStart = item.text().anchorEnd = 2;
    item.key(K::KeyRight);
    EXPECT_EQ(item.text().anchorStart, 2u) << "Right at the end does nothing";
}

TEST(TextKeys, selectAllThenBackspaceOrTypingReplacesEverything)
{
    EditedText item(QStringLiteral("hello"));
    item.key(K::KeyA, "\x01", Control);
    EXPECT_EQ(item.text().anchorStart, 0u);
    EXPECT_EQ(item.text().anchorEnd, 5u);
    item.key(K::KeyBackspace);
    EXPECT_EQ(item.text().text, QString());

    EditedText typed(QStringLiteral("hello"));
    typed.key(K::KeyA, "", Control);
    typed.key('x', "x");
    EXPECT_EQ(typed.text().text, QStringLiteral("x"));
    EXPECT_EQ(typed.text().anchorStart, 1u);
}

TEST(TextKeys, controlWithOtherModifiersInsertsTheText)
{
    EditedText item(QStringLiteral("ab"));
    clipboard()->setText(QStringLiteral("unchanged"));
    item.key(K::KeyA, "", Control);
    item.key(K::KeyC, "C", Control | INTERACT_SHIFT_KEY);
    EXPECT_EQ(item.text().text, QStringLiteral("C")) << "typed over the selection, not copied";
    EXPECT_EQ(clipboard()->text(), QStringLiteral("unchanged"));

    item.key('Q', "q", Control);
    EXPECT_EQ(item.text().text, QStringLiteral("C")) << "other Control keys insert nothing";
}

TEST(TextKeys, upAndDownMoveToTheNearestCharacterOfTheNeighbourLine)
{
    EditedText item(QStringLiteral("abc\nabc"));
    ft2_source &text = item.text();
    text.anchorStart = text.anchorEnd = 5;
    item.key(K::KeyUp);
    EXPECT_EQ(text.anchorStart, 1u);
    EXPECT_EQ(text.anchorEnd, 1u);
    item.key(K::KeyUp);
    EXPECT_EQ(text.anchorStart, 1u) << "Up on the first line does nothing";
    item.key(K::KeyDown);
    EXPECT_EQ(text.anchorStart, 5u);
    item.key(K::KeyDown);
    EXPECT_EQ(text.anchorStart, 5u) << "Down on the last line does nothing";
}

TEST(TextKeys, escapeUnfocusesAndKeysAreIgnoredUntilFocusReturns)
{
    EditedText item(QStringLiteral("ab"));
    const int redraws = item.redrawCount;
    item.key(K::KeyEscape);
    EXPECT_FALSE(item.text().focused);
    EXPECT_EQ(item.redrawCount, redraws + 1) << "the frame must disappear from the canvas";
    item.type(QStringLiteral("cd"));
    EXPECT_EQ(item.text().text, QStringLiteral("ab"));
    EXPECT_EQ(item.redrawCount, redraws + 1);

    item.press(105, 60);
    EXPECT_FALSE(item.text().focused) << "a press inside does not refocus";
    EXPECT_EQ(item.finishCount, 0);
    item.data.setFocus();
    item.type(QStringLiteral("c"));
    EXPECT_EQ(item.text().text, QStringLiteral("abc"));
}

TEST(TextPointer, firstPressPlacesTheBoxCentredOnTheClick)
{
    TextTestItem item;
    item.press(200, 300);
    EXPECT_TRUE(item.data.editing());
    EXPECT_TRUE(item.text().focused);
    EXPECT_TRUE(item.leftClicked);
    EXPECT_TRUE(item.initialized);
    EXPECT_EQ(item.start, QPoint(200, 300));
    EXPECT_EQ(item.end, QPoint(200, 300));
    EXPECT_EQ(item.text().textX, 200);
    EXPECT_EQ(item.text().textY, 285);
    EXPECT_GT(item.redrawCount, 0);
    EXPECT_EQ(item.canvas.pixel(192, 277), qRgba(255, 0, 0, 255)) << "frame's top-left corner";
}

TEST(TextPointer, pressOutsideTheFrameFinishesOnce)
{
    EditedText item(QStringLiteral("ab"));
    item.press(110, 60);
    EXPECT_EQ(item.finishCount, 0) << "inside the box";
    item.press(94, 60);
    EXPECT_EQ(item.finishCount, 0) << "inside the 8-pixel frame margin";
    item.press(600, 400);
    EXPECT_EQ(item.finishCount, 1);
    EXPECT_FALSE(item.text().focused);
    EXPECT_EQ(item.text().text, QStringLiteral("ab"));
}

TEST(TextPointer, pressWithAnotherButtonFinishesOnlyAPlacedBox)
{
    TextTestItem unplaced;
    unplaced.press(100, 100, 2);
    EXPECT_EQ(unplaced.finishCount, 0);
    EXPECT_FALSE(unplaced.data.editing());
    EXPECT_FALSE(unplaced.leftClicked);

    EditedText placed(QStringLiteral("ab"));
    placed.press(110, 60, 2);
    EXPECT_EQ(placed.finishCount, 1);
    EXPECT_FALSE(placed.leftClicked);
}

TEST(TextPointer, clickPlacesTheCursorAndDragSelects)
{
    EditedText item(QStringLiteral("abcd"));
    const TextCell c = item.text().cells[2];
    item.press(c.x + 1, 60);
    EXPECT_EQ(item.text().anchorStart, 2u);
    EXPECT_EQ(item.text().anchorEnd, 2u);
    item.move(900, 60);
    EXPECT_EQ(item.text().anchorStart, 2u);
    EXPECT_EQ(item.text().anchorEnd, 4u);
    EXPECT_EQ(item.end, QPoint(900, 60));
}

TEST(TextPointer, releaseEndsTheDragButKeepsTheBoxPainted)
{
    EditedText item(QStringLiteral("abcd"));
    item.press(item.text().cells[0].x + 1, 60);
    item.move(item.text().cells[2].x + 1, 60);
    item.release(item.text().cells[2].x + 1, 60);
    EXPECT_EQ(item.text().anchorStart, 0u);
    EXPECT_EQ(item.text().anchorEnd, 2u);
    EXPECT_FALSE(item.data.dragging());
    EXPECT_TRUE(item.leftClicked) << "the board paints its current item only while clicked";

    item.move(900, 60);
    EXPECT_EQ(item.text().anchorEnd, 2u) << "moves after the release leave the selection";
    EXPECT_EQ(item.end, item.start + QPoint(item.text().cells[2].x - item.text().cells[0].x, 0));

    item.type(QStringLiteral("x"));
    EXPECT_EQ(item.text().text, QStringLiteral("xcd"));
}

TEST(TextClipboard, copyCutAndPasteThroughTheSystemClipboard)
{
    EditedText item(QStringLiteral("hello world"));
    item.text().anchorStart = 6;
    item.text().anchorEnd = 11;
    item.key(K::KeyC, "", Control);
    EXPECT_EQ(clipboard()->text(), QStringLiteral("world"));
    EXPECT_EQ(item.text().text, QStringLiteral("hello world"));

    item.text().anchorStart = 0;
    item.text().anchorEnd = 6;
    item.key(K::KeyX, "", Control);
    EXPECT_EQ(clipboard()->text(), QStringLiteral("hello "));
    EXPECT_EQ(item.text().text, QStringLiteral("world"));
    EXPECT_EQ(item.text().anchorStart, 0u);

    item.text().anchorStart = item.text().anchorEnd = 5;
    clipboard()->setText(QStringLiteral("，你好\n!"));
    item.key(K::KeyV, "", Control);
    EXPECT_EQ(item.text().text, QStringLiteral("world，你好\n!"));
    EXPECT_EQ(item.text().anchorStart, 10u);
}

TEST(TextClipboard, copyAndCutWithoutSelectionKeepTheClipboard)
{
    EditedText item(QStringLiteral("abc"));
    clipboard()->setText(QStringLiteral("kept"));
    item.key(K::KeyC, "", Control);
    item.key(K::KeyX, "", Control);
    EXPECT_EQ(clipboard()->text(), QStringLiteral("kept"));
    EXPECT_EQ(item.text().text, QStringLiteral("abc"));
}

TEST(TextClipboard, pasteWithoutTextInsertsNothingAndLogsTheFormats)
{
    EditedText item(QStringLiteral("abc"));
    auto *data = new QMimeData;
    data->setData(QStringLiteral("application/x-kp-test"), QByteArray("\x01\x02", 2));
    clipboard()->setMimeData(data);
    KPLogCapture log;
    item.key(K::KeyV, "", Control);
    EXPECT_EQ(item.text().text, QStringLiteral("abc"));
    EXPECT_EQ(log.linesWithContent(
                     QStringLiteral("Cannot display data,formats=application/x-kp-test"))
                  .size(),
              1);
}

TEST(TextStatus, reportsEditingAndTheCursorLine)
{
    TextTestItem item;
    item.press(200, 300);
    obs_data_t *status = statusOf(item.data);
    EXPECT_TRUE(obs_data_get_bool(status, "kp_wb_text_item_editing"));
    EXPECT_EQ(obs_data_get_int(status, "kp_wb_text_item_cursor_line_pos1_x"), 200);
    EXPECT_EQ(obs_data_get_int(status, "kp_wb_text_item_cursor_line_pos1_y"), 285);
    EXPECT_EQ(obs_data_get_int(status, "kp_wb_text_item_cursor_line_pos2_x"), 200);
    EXPECT_EQ(obs_data_get_int(status, "kp_wb_text_item_cursor_line_pos2_y"), 315);
    obs_data_release(status);

    item.type(QStringLiteral("a\n"));
    item.key(K::KeyEscape);
    KPLogCapture log;
    status = statusOf(item.data);
    EXPECT_FALSE(obs_data_get_bool(status, "kp_wb_text_item_editing"));
    EXPECT_EQ(obs_data_get_int(status, "kp_wb_text_item_cursor_line_pos1_x"), 200);
    EXPECT_EQ(obs_data_get_int(status, "kp_wb_text_item_cursor_line_pos1_y"), 315);
    EXPECT_EQ(log.linesWithContent(QStringLiteral("kp_wb_text_item_editing=NO")).size(), 1);
    obs_data_release(status);
}

TEST(TextRecord, savedTextLoadsAndDrawsTheSamePixels)
{
    EditedText item;
    item.key(0, "Hello 你好\nsecond line");
    item.key(K::KeyEscape);
    item.paint();
    obs_data_t *record = item.data.toData();
    EXPECT_EQ(obs_data_get_int(record, "kp_wb_text_x"), 100);
    EXPECT_EQ(obs_data_get_int(record, "kp_wb_text_y"), 50);
    EXPECT_STREQ(obs_data_get_string(record, "kp_wb_text"), "Hello 你好\nsecond line");
    EXPECT_EQ(obs_data_get_int(record, "kp_wb_text_font_size"), 20);

    TextTestItem loaded;
    loaded.data.updateWithSettings(record);
    obs_data_release(record);
    EXPECT_EQ(loaded.redrawCount, 0) << "loading requests no redraw";
    loaded.paint();
    EXPECT_EQ(loaded.text().text, item.text().text);
    EXPECT_EQ(loaded.canvas, item.canvas);
}

TEST(TextRecord, shrunkSizeIsSavedAndLoaded)
{
    TextTestItem item(QSize(300, 200));
    item.placeWith(QStringLiteral("a line too wide for this"));
    for (int repaint = 0; repaint < 15; ++repaint)
        item.paint();
    const quint32 shrunk = item.text().fontSize;
    ASSERT_LT(shrunk, 20u);
    item.data.clearFocus();
    item.paint();
    obs_data_t *record = item.data.toData();
    EXPECT_EQ(obs_data_get_int(record, "kp_wb_text_font_size"), shrunk);

    TextTestItem loaded(QSize(300, 200));
    loaded.data.updateWithSettings(record);
    obs_data_release(record);
    loaded.paint();
    EXPECT_EQ(loaded.text().fontSize, shrunk);
    EXPECT_EQ(loaded.text().fontFace->size->metrics.y_ppem, shrunk);
    EXPECT_EQ(loaded.canvas, item.canvas);
}

TEST(TextRecord, missingOrBadValuesKeepASafeState)
{
    TextTestItem item;
    obs_data_t *record = obs_data_create();
    obs_data_set_int(record, "kp_wb_text_font_size", 0);
    obs_data_set_int(record, "kp_wb_text_y", 5000000000LL);
    KPLogCapture log;
    item.data.updateWithSettings(record);
    item.data.updateWithSettings(nullptr);
    obs_data_release(record);
    EXPECT_EQ(item.text().fontSize, 20u);
    EXPECT_EQ(item.text().textX, 0);
    EXPECT_LE(std::abs(item.text().textY), 1000000);
    EXPECT_EQ(item.text().text, QString());
    EXPECT_EQ(log.linesWithContent(QStringLiteral("kp_wb_text_font_size=0 ignored")).size(), 1);
    item.paint();
}
