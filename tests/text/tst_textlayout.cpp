// Layout, extent, cursor line, hit test, selection and automatic shrinking,
// measured with the real font and painted with QPainter.

#include "texttestitem.h"

#include <gtest/gtest.h>

namespace {

const QRgb Selection = qRgba(180, 215, 254, 255);

// A box placed at (100, 50) with font size 20 holding the given text.
struct PlacedText : TextTestItem
{
    explicit PlacedText(const QString &content, const QSize &canvasSize = QSize(1280, 720))
        : TextTestItem(canvasSize)
    {
        press(100, 65);
        text().text = content;
        paint();
    }
};

int countPixels(const QImage &image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

} // namespace

TEST(TextLayout, twoLinesLayOutCellByCell)
{
    PlacedText item(QStringLiteral("ab\ncd"));
    const QList<TextCell> &cells = item.text().cells;
    ASSERT_EQ(cells.size(), 5);
    EXPECT_EQ(item.text().textX, 100);
    EXPECT_EQ(item.text().textY, 50);

    EXPECT_EQ(cells[0].x, 100);
    EXPECT_GT(cells[0].width, 0);
    EXPECT_EQ(cells[1].x, 100 + cells[0].width);
    EXPECT_EQ(cells[2].x, cells[1].x + cells[1].width);
    EXPECT_EQ(cells[2].width, 0) << "newline";
    for (int i : {0, 1, 2})
        EXPECT_EQ(cells[i].y, 50);
    EXPECT_EQ(cells[3].x, 100);
    EXPECT_EQ(cells[4].x, 100 + cells[3].width);
    for (int i : {3, 4})
        EXPECT_EQ(cells[i].y, 80);
    for (const TextCell &cell : cells)
        EXPECT_EQ(cell.height, 30);

    EXPECT_EQ(item.text().textRight, std::max(cells[1].x + cells[1].width,
                                              cells[4].x + cells[4].width));
    EXPECT_EQ(item.text().textBottom, 110);
    const QRect first(cells[0].x, cells[0].y, cells[0].width, cells[0].height);
    EXPECT_LT(countPixels(item.canvas.copy(first), qRgba(255, 255, 255, 255)), first.width() * 30)
        << "the character is painted inside its cell";
}

TEST(TextLayout, cursorLineFollowsTheCells)
{
    PlacedText empty{QString()};
    EXPECT_EQ(empty.text().getAnchorIndexLine(0), QLine(100, 50, 100, 80));

    PlacedText item(QStringLiteral("ab\n"));
    const QList<TextCell> &cells = item.text().cells;
    EXPECT_EQ(item.text().getAnchorIndexLine(1), QLine(cells[1].x, 50, cells[1].x, 80));
    EXPECT_EQ(item.text().getAnchorIndexLine(3), QLine(100, 80, 100, 110))
        << "after a final newline the cursor starts the empty line below";
    EXPECT_EQ(item.text().textBottom, 110) << "the empty last line belongs to the box";

    PlacedText noNewline(QStringLiteral("ab"));
    const TextCell &last = noNewline.text().cells.last();
    const int right = last.x + last.width;
    EXPECT_EQ(noNewline.text().getAnchorIndexLine(2), QLine(right, 50, right, 80));
}

TEST(TextLayout, hitTestPicksTheNearestCharacterEdge)
{
    PlacedText item(QStringLiteral("ab\ncd"));
    const ft2_source &text = item.text();
    const TextCell &b = text.cells[1];
    const int middle = b.x + b.width / 2;
    EXPECT_EQ(text.indexAt(QPoint(middle - 1, 60)), 1) << "left of the middle";
    EXPECT_EQ(text.indexAt(QPoint(middle + 1, 60)), 2) << "right of the middle";
    EXPECT_EQ(text.indexAt(QPoint(1000, 60)), 2) << "right of the first line: before its newline";
    EXPECT_EQ(text.indexAt(QPoint(1000, 90)), 5) << "past the end of the last line";
    EXPECT_EQ(text.indexAt(QPoint(0, 90)), 3);
    EXPECT_EQ(text.indexAt(QPoint(120, 10)), 0) << "above every line";
    EXPECT_EQ(text.indexAt(QPoint(120, 500)), 0) << "below every line";

    PlacedText trailing(QStringLiteral("ab\n"));
    EXPECT_EQ(trailing.text().indexAt(QPoint(150, 80)), 3) << "top row of the empty last line";
    EXPECT_EQ(trailing.text().indexAt(QPoint(150, 109)), 3);
    EXPECT_EQ(trailing.text().indexAt(QPoint(150, 110)), 0);
}

TEST(TextLayout, selectionRectanglesCoverTheDraggedLines)
{
    PlacedText item(QStringLiteral("abc\ndef\nghi"));
    ft2_source &text = item.text();
    text.setSelectionPoints(QPoint(300, 100), QPoint(120, 60));
    item.paint();
    // Dragged upwards from the second line: the points are ordered, the first
    // line runs from the upper point to the canvas edge, the second ends at the
    // lower point.
    ASSERT_EQ(text.selectionRects.size(), 2);
    EXPECT_EQ(text.selectionRects[0], QRect(120, 50, 1280 - 120, 30));
    EXPECT_EQ(text.selectionRects[1], QRect(0, 80, 300, 30));
    EXPECT_FALSE(text.selectByPoints);
    EXPECT_EQ(text.anchorStart, quint32(text.indexAt(QPoint(120, 60))));
    EXPECT_EQ(text.anchorEnd, 7u) << "right of the whole second line: before its newline";
    EXPECT_GT(countPixels(item.canvas, Selection), 0);

    text.setSelectionPoints(QPoint(150, 60), QPoint(110, 60));
    item.paint();
    ASSERT_EQ(text.selectionRects.size(), 1);
    EXPECT_EQ(text.selectionRects[0], QRect(110, 50, 40, 30)) << "one line, ordered by x";

    text.setSelectionPoints(QPoint(150, 20), QPoint(130, 90));
    item.paint();
    ASSERT_EQ(text.selectionRects.size(), 2);
    EXPECT_EQ(text.selectionRects[0], QRect(0, 50, 1280, 30)) << "from above the box: line start";
    EXPECT_EQ(text.selectionRects[1], QRect(0, 80, 130, 30));
}

TEST(TextLayout, selectionIsHighlightedOnlyWhileFocused)
{
    PlacedText item(QStringLiteral("abc"));
    item.text().anchorStart = 0;
    item.text().anchorEnd = 3;
    item.paint();
    EXPECT_GT(countPixels(item.canvas, Selection), 0);
    item.data.clearFocus();
    item.paint();
    EXPECT_EQ(countPixels(item.canvas, Selection), 0);
}

TEST(TextLayout, wideTextShrinksOnePixelPerRepaintDownToNine)
{
    PlacedText item(QStringLiteral("The quick brown fox jumps"), QSize(300, 200));
    quint32 previous = item.text().fontSize;
    for (int repaint = 0; repaint < 30; ++repaint) {
        item.paint();
        const quint32 size = item.text().fontSize;
        EXPECT_TRUE(size == previous || size == previous - 1);
        previous = size;
    }
    EXPECT_LT(previous, 20u);
    EXPECT_GT(previous, 9u);
    EXPECT_LE(item.text().textRight, 300) << "shrinking stops once the text fits";

    PlacedText hopeless(QString(200, QLatin1Char('m')), QSize(300, 200));
    for (int repaint = 0; repaint < 30; ++repaint)
        hopeless.paint();
    EXPECT_EQ(hopeless.text().fontSize, 9u) << "never below 9";

    // A box whose lines start right of the canvas edge does not fit even when
    // it holds nothing but line breaks.
    PlacedText offCanvas(QStringLiteral("\n\n"), QSize(300, 200));
    ASSERT_EQ(offCanvas.text().fontSize, 20u);
    offCanvas.text().textX = 320;
    offCanvas.paint();
    EXPECT_EQ(offCanvas.text().fontSize, 19u);
}

TEST(TextLayout, charactersBelowTheCanvasGetNoCellButSurviveBackspace)
{
    QString lines;
    for (int i = 0; i < 10; ++i)
        lines += QString::number(i) + (i < 9 ? QStringLiteral("\n") : QString());
    PlacedText item(lines, QSize(400, 100));
    for (int repaint = 0; repaint < 15; ++repaint)
        item.paint();
    ft2_source &text = item.text();
    EXPECT_EQ(text.fontSize, 9u);
    EXPECT_LT(text.cells.size(), lines.size());

    text.anchorStart = text.anchorEnd = 1;
    item.key(KPTextItemData::KeyBackspace);
    EXPECT_EQ(text.text, lines.mid(1)) << "the tail beyond the laid-out cells is kept";
    EXPECT_EQ(text.anchorStart, 0u);

    text.anchorStart = 0;
    text.anchorEnd = 2;
    item.key(KPTextItemData::KeyBackspace);
    EXPECT_EQ(text.text, lines.mid(3));
}

// A line far wider than the canvas lays out only what shows: the characters
// right of the edge get no cell, yet hit test, cursor and editing still find
// their place in the text.
TEST(TextLayout, charactersRightOfTheCanvasGetNoCell)
{
    const int wide = 100000;
    PlacedText item(QString(wide, QLatin1Char('a')) + QStringLiteral("\nbc"), QSize(400, 200));
    ft2_source &text = item.text();
    ASSERT_FALSE(text.cells.isEmpty());
    EXPECT_LT(text.cells.size(), 100);
    EXPECT_EQ(text.cells.last().index, wide + 2);
    EXPECT_EQ(text.layoutEnd, wide + 3);
    const TextCell &edge = text.cells.at(text.cells.size() - 4);
    EXPECT_GT(edge.x + edge.width, 400) << "the character across the edge keeps its cell";

    const int firstLine = text.cells.first().y + 5;
    EXPECT_EQ(text.indexAt(QPoint(edge.x + edge.width - 1, firstLine)), edge.index + 1);
    EXPECT_EQ(text.indexAt(QPoint(1000, firstLine)), edge.index + 1) << "behind the last shown character";
    EXPECT_EQ(text.getAnchorIndexLine(wide / 2).x1(), edge.x + edge.width) << "cursor at the edge";
    EXPECT_EQ(text.getAnchorIndexLine(wide + 1).x1(), 100) << "the next line starts as usual";

    text.anchorStart = text.anchorEnd = quint32(wide);
    item.type(QStringLiteral("z"));
    item.paint();
    EXPECT_EQ(text.text.mid(wide - 1, 3), QStringLiteral("az\n"));
    EXPECT_EQ(text.cells.last().index, wide + 3);
}
