#include "ft2source.h"

#include "ft2font.h"
#include "kplog.h"
#include "kptextdata.h"

#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QMimeData>
#include <QMutexLocker>
#include <QPainter>
#include <QTextOption>

#include <util/bmem.h>

#include <algorithm>

namespace {

const QColor SelectionColor(180, 215, 254, 255);
const QColor FrameColor(255, 0, 0, 255);
const int FrameMargin = 8;

QClipboard *applicationClipboard()
{
    // Without a QGuiApplication Qt has no clipboard to give.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        KP_LOG(1, QStringLiteral("clipboard unavailable: no QGuiApplication"));
        return nullptr;
    }
    return QGuiApplication::clipboard();
}

} // namespace

ft2_source::ft2_source(KPTextItemData *owner_) : owner(owner_)
{
    init_plugin();
}

ft2_source::~ft2_source()
{
    clearGlyphCache();
    ft2_done_face(fontFace);
}

void ft2_source::prepareUpdate()
{
    KP_LOG_SCOPE();
    if (owner)
        owner->prepareUpdate();
}

void ft2_source::updateText(const QString &newText)
{
    KP_LOG_SCOPE();
    if (newText == text)
        return;
    text = newText;
    clampAnchors();
    prepareUpdate();
}

void ft2_source::setFocusState(bool state)
{
    KP_LOG_SCOPE();
    if (state == focused)
        return;
    focused = state;
    prepareUpdate();
}

int ft2_source::lineHeight() const
{
    return int(fontSize) + lineGap + lineSpacing;
}

bool ft2_source::hasSelection() const
{
    return anchorStart != anchorEnd;
}

int ft2_source::cellAtOrBefore(int index) const
{
    const auto after = std::upper_bound(cells.cbegin(), cells.cend(), index,
                                        [](int wanted, const TextCell &cell) { return wanted < cell.index; });
    return int(after - cells.cbegin()) - 1;
}

QLine ft2_source::getAnchorIndexLine(int index) const
{
    KP_LOG_SCOPE();
    const int L = lineHeight();
    if (cells.isEmpty())
        return QLine(textX, textY, textX, textY + L);
    const int at = index >= 0 ? cellAtOrBefore(index) : cells.size() - 1;
    if (at < 0)
        return QLine(textX, textY, textX, textY + L);
    const TextCell &cell = cells.at(at);
    if (cell.index == index)
        return QLine(cell.x, cell.y, cell.x, cell.y + cell.height);
    // Within a line's characters right of the canvas: the cursor stands at the edge.
    if (at < cells.size() - 1) {
        const int right = cell.x + cell.width;
        return QLine(right, cell.y, right, cell.y + cell.height);
    }
    const TextCell &last = cells.last();
    if (last.ch == QLatin1Char('\n')) {
        const int top = last.y + last.height;
        return QLine(textX, top, textX, top + L);
    }
    const int right = last.x + last.width;
    return QLine(right, last.y, right, last.y + last.height);
}

int ft2_source::indexAt(const QPoint &point) const
{
    const int px = point.x();
    const int py = point.y();
    int result = 0;
    bool lineFound = false;
    bool found = false;
    int previousEnd = -1;
    for (int i = 0; i < cells.size(); ++i) {
        const TextCell &cell = cells.at(i);
        const bool onLine = cell.y <= py && py < cell.y + cell.height;
        if (!onLine) {
            if (lineFound)
                break;
            continue;
        }
        if (!lineFound) {
            lineFound = true;
            qDebug() << "i" << i << "c" << cell.ch;
        }
        // After characters right of the canvas the cursor stays at the edge,
        // just behind the last character that shows.
        const bool afterHidden = previousEnd >= 0 && cell.index != previousEnd;
        result = afterHidden ? previousEnd : cell.index;
        if (px < cell.x + cell.width / 2 || cell.ch == QLatin1Char('\n')) {
            found = true;
            break;
        }
        previousEnd = cell.index + 1;
    }
    if (!cells.isEmpty()) {
        const TextCell &last = cells.last();
        const int L = lineHeight();
        // The empty line after a final newline spans [y + L, y + 2L), like every
        // other line: its top row belongs to it too.
        if (last.ch == QLatin1Char('\n')) {
            if (!lineFound && last.y + L <= py && py < last.y + last.height + L)
                result = layoutEnd;
        } else if (lineFound && !found) {
            result = layoutEnd;
        }
    }
    qDebug() << "isFoundY" << lineFound << "index" << result;
    return result;
}

void ft2_source::setSelectionPoints(const QPoint &first, const QPoint &second)
{
    selectPoint1 = first;
    selectPoint2 = second;
    selectByPoints = true;
    prepareUpdate();
}

QRect ft2_source::textRect() const
{
    // Before the first layout of a newly placed box its extent is still the
    // empty box; never let the stale zero edges turn the rectangle inside out.
    const int right = std::max(textRight, textX);
    const int bottom = std::max(textBottom, textY + lineHeight());
    return QRect(QPoint(textX, textY), QPoint(right, bottom));
}

QRect ft2_source::frameRect() const
{
    return textRect().adjusted(-FrameMargin, -FrameMargin, FrameMargin, FrameMargin);
}

void ft2_source::insertText(const QString &inserted)
{
    KP_LOG(1, QStringLiteral("insertText text") + inserted);
    if (hasSelection())
        do_backspace_key();
    clampAnchors();
    text.insert(int(anchorStart), inserted);
    anchorStart += quint32(inserted.size());
    anchorEnd = anchorStart;
    prepareUpdate();
}

void ft2_source::do_backspace_key()
{
    KP_LOG_SCOPE();
    KP_LOG(1, QStringLiteral("anchorStart=%1,anchorEnd=%2").arg(anchorStart).arg(anchorEnd));
    clampAnchors();
    const int s = int(anchorStart);
    const int e = int(anchorEnd);
    // The tail is taken from the text itself, not from the laid-out cells, so
    // characters below the canvas bottom survive an edit above them.
    QString newText;
    if (s == e) {
        newText = (s >= 1 ? text.left(s - 1) : QString()) + text.mid(e);
        if (anchorStart > 0)
            --anchorStart;
    } else {
        newText = text.left(s) + text.mid(e);
    }
    anchorEnd = anchorStart;
    KP_LOG(1, QStringLiteral("this->text=%1,text=%2").arg(text, newText));
    updateText(newText);
}

void ft2_source::doCopy()
{
    if (!hasSelection())
        return;
    QClipboard *clipboard = applicationClipboard();
    if (!clipboard)
        return;
    clampAnchors();
    auto *data = new QMimeData;
    data->setText(text.mid(int(anchorStart), int(anchorEnd - anchorStart)));
    clipboard->setMimeData(data, QClipboard::Clipboard);
}

void ft2_source::doCut()
{
    if (!hasSelection())
        return;
    doCopy();
    do_backspace_key();
}

void ft2_source::doPaste()
{
    QClipboard *clipboard = applicationClipboard();
    const QMimeData *data = clipboard ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
    if (data && data->hasText()) {
        insertText(data->text());
        return;
    }
    const QStringList formats = data ? data->formats() : QStringList();
    KP_LOG(1, QStringLiteral("Cannot display data,formats=") + formats.join(QLatin1Char('-')));
}

void ft2_source::selectAll()
{
    anchorStart = 0;
    anchorEnd = quint32(text.size());
    prepareUpdate();
}

void ft2_source::moveCursorLeft()
{
    if (hasSelection()) {
        anchorEnd = anchorStart;
    } else if (anchorStart > 0) {
        --anchorStart;
        anchorEnd = anchorStart;
    } else {
        return;
    }
    prepareUpdate();
}

void ft2_source::moveCursorRight()
{
    if (hasSelection()) {
        anchorStart = anchorEnd;
    } else if (anchorStart < quint32(layoutEnd)) {
        ++anchorStart;
        anchorEnd = anchorStart;
    } else {
        return;
    }
    prepareUpdate();
}

void ft2_source::moveCursorLine(bool up)
{
    if (hasSelection()) {
        anchorEnd = anchorStart;
        prepareUpdate();
        return;
    }
    const int L = lineHeight();
    const QLine cursor = getAnchorIndexLine(int(anchorStart));
    const int target = cursor.y1() + L / 2 + (up ? -L : L);
    if (!(textY < target && target < textBottom))
        return;
    selectPoint1 = QPoint(cursor.x1(), target);
    selectPoint2 = selectPoint1;
    selectByPoints = true;
    prepareUpdate();
}

void ft2_source::resetFace()
{
    KP_LOG_SCOPE();
    init_font(this);
    if (fontFace) {
        QMutexLocker lock(ft2_face_mutex());
        FT_Error error = FT_Set_Pixel_Sizes(fontFace, 0, fontSize);
        if (error)
            KP_LOG(1, QStringLiteral("FT_Set_Pixel_Sizes size=%1,error=%2").arg(fontSize).arg(error));
        error = FT_Select_Charmap(fontFace, FT_ENCODING_UNICODE);
        if (error)
            KP_LOG(1, QStringLiteral("FT_Select_Charmap error=%1").arg(error));
    }
    clearGlyphCache();
}

int ft2_source::measureGlyph(FT_UInt glyphIndex) const
{
    FT_Error error = FT_Load_Glyph(fontFace, glyphIndex, 0);
    if (error) {
        KP_LOG(1, QStringLiteral("FT_Load_Glyph index=%1,error=%2").arg(glyphIndex).arg(error));
        return 0;
    }
    error = FT_Render_Glyph(fontFace->glyph, FT_RENDER_MODE_NORMAL);
    if (error)
        KP_LOG(1, QStringLiteral("FT_Render_Glyph index=%1,error=%2").arg(glyphIndex).arg(error));
    return int(fontFace->glyph->advance.x >> 6);
}

// Faces are shared between text boxes of one file and size, and FreeType
// measures through the face's one glyph slot: the face lock covers both.
int ft2_source::glyphAdvance(QChar ch)
{
    QMutexLocker lock(ft2_face_mutex());
    const FT_UInt glyphIndex = FT_Get_Char_Index(fontFace, ch.unicode());
    if (glyphIndex >= FT_UInt(GlyphCacheSize))
        return measureGlyph(glyphIndex);
    ft2_glyph_info *&entry = glyphSlot(glyphIndex);
    if (!entry) {
        entry = static_cast<ft2_glyph_info *>(bmalloc(sizeof(ft2_glyph_info)));
        entry->advance = measureGlyph(glyphIndex);
    }
    return entry->advance;
}

ft2_glyph_info *&ft2_source::glyphSlot(FT_UInt glyphIndex)
{
    ft2_glyph_info **&page = glyphPages[glyphIndex / GlyphPageSize];
    if (!page)
        page = static_cast<ft2_glyph_info **>(bzalloc(sizeof(ft2_glyph_info *) * GlyphPageSize));
    return page[glyphIndex % GlyphPageSize];
}

const ft2_glyph_info *ft2_source::cachedGlyph(FT_UInt glyphIndex) const
{
    if (glyphIndex >= FT_UInt(GlyphCacheSize))
        return nullptr;
    ft2_glyph_info *const *page = glyphPages[glyphIndex / GlyphPageSize];
    return page ? page[glyphIndex % GlyphPageSize] : nullptr;
}

void ft2_source::clearGlyphCache()
{
    for (ft2_glyph_info **&page : glyphPages) {
        if (!page)
            continue;
        for (int i = 0; i < GlyphPageSize; ++i) {
            if (page[i])
                bfree(page[i]);
        }
        bfree(page);
        page = nullptr;
    }
}

bool ft2_source::selectionTest(const QRect &cell) const
{
    const int middle = cell.x() + cell.width() / 2;
    for (const QRect &rect : selectionRects) {
        if (rect.top() >= cell.y() && rect.top() < cell.y() + cell.height())
            return rect.left() <= middle && middle <= rect.right();
    }
    return false;
}

bool ft2_source::cellSelected(int index, const QRect &cell) const
{
    if (!focused)
        return false;
    if (selectByPoints)
        return selectionTest(cell);
    return anchorStart <= quint32(index) && quint32(index) < anchorEnd;
}

int ft2_source::snapToLineTop(int y) const
{
    const qint64 L = lineHeight();
    const qint64 distance = qint64(y) - textY;
    if (distance <= L)
        return textY;
    return int(textY + (distance - 1) / L * L);
}

void ft2_source::buildSelectionRects()
{
    selectionRects.clear();
    const int L = lineHeight();
    const int W = int(maxWidth);
    const qint64 H = maxHeight;
    QPoint a(std::max(0, selectPoint1.x()), selectPoint1.y());
    QPoint b(std::max(0, selectPoint2.x()), selectPoint2.y());
    const bool fromLineStart = a.y() < textY || b.y() < textY;
    a.setY(snapToLineTop(a.y()));
    b.setY(snapToLineTop(b.y()));
    if (b.y() < a.y() || (b.y() == a.y() && b.x() < a.x()))
        std::swap(a, b);
    for (qint64 t = a.y(); t < H; t += L) {
        const int top = int(t);
        if (top == a.y()) {
            if (b.y() == a.y()) {
                selectionRects.append(QRect(a.x(), top, b.x() - a.x(), L));
                break;
            }
            selectionRects.append(fromLineStart ? QRect(0, top, W, L)
                                                : QRect(a.x(), top, W - a.x(), L));
        } else if (b.y() <= t && t <= qint64(b.y()) + L) {
            selectionRects.append(QRect(0, top, b.x(), L));
            break;
        } else {
            selectionRects.append(QRect(0, top, W, L));
        }
    }
}

// Characters right of the canvas are neither measured nor painted: a line of
// a million characters costs no more than the part of it that shows.
ft2_source::Layout ft2_source::layoutText()
{
    Layout layout;
    const int L = lineHeight();
    qint64 x = textX;
    qint64 y = textY;
    layoutEnd = text.size();
    for (int i = 0; i < text.size(); ++i) {
        if (y >= qint64(maxHeight)) {
            layout.overflow = true;
            layoutEnd = i;
            break;
        }
        const QChar ch = text.at(i);
        const bool newline = ch == QLatin1Char('\n');
        if (!newline && x > qint64(maxWidth)) {
            layout.overflow = true;
            const int next = text.indexOf(QLatin1Char('\n'), i);
            if (next < 0)
                break;
            i = next - 1;
            continue;
        }
        const int advance = newline ? 0 : glyphAdvance(ch);
        const QRect rect(int(x), int(y), advance, L);
        cells.append(TextCell{rect.x(), rect.y(), advance, L, ch, i});
        if (cellSelected(i, rect))
            layout.highlight.append(rect);
        if (newline) {
            y += L;
            x = textX;
        } else {
            layout.drawn.append(cells.size() - 1);
            x += advance;
        }
        // A line that starts right of the canvas does not fit either.
        if (x > qint64(maxWidth))
            layout.overflow = true;
    }
    return layout;
}

void ft2_source::updateExtent()
{
    const int L = lineHeight();
    textRight = textX;
    textBottom = textY + L;
    for (const TextCell &cell : cells) {
        textRight = std::max(textRight, cell.x + cell.width);
        textBottom = std::max(textBottom, cell.y + cell.height);
    }
    if (!cells.isEmpty() && cells.last().ch == QLatin1Char('\n'))
        textBottom = std::max(textBottom, cells.last().y + cells.last().height + L);
}

void ft2_source::clampAnchors()
{
    const quint32 length = quint32(text.size());
    anchorEnd = std::min(anchorEnd, length);
    anchorStart = std::min(anchorStart, anchorEnd);
}

void ft2_source::paintLayout(QPainter *painter, const Layout &layout, const QColor &textColor)
{
    painter->setPen(SelectionColor);
    for (const QRect &rect : layout.highlight)
        painter->drawRects(&rect, 1);
    painter->setPen(textColor);
    for (int index : layout.drawn) {
        const TextCell &cell = cells.at(index);
        painter->drawText(QRectF(cell.x, cell.y, cell.width, cell.height), QString(cell.ch),
                          QTextOption());
    }
}

void ft2_source::paintFrameAndCursor(QPainter *painter)
{
    painter->setBrush(Qt::NoBrush);
    QPen pen(FrameColor);
    pen.setWidth(1);
    painter->setPen(pen);
    QRect frame;
    frame.setTopLeft(QPoint(textX - FrameMargin, textY - FrameMargin));
    frame.setBottomRight(QPoint(textRight + FrameMargin, textBottom + FrameMargin));
    painter->drawRect(frame);
    if (cursorVisible) {
        const QLine cursor = getAnchorIndexLine(int(anchorStart));
        painter->drawLines(&cursor, 1);
    }
}

void ft2_source::render(QPainter *painter, const QSize &canvas, const QColor &textColor)
{
    maxWidth = quint32(std::max(0, canvas.width()));
    maxHeight = quint32(std::max(0, canvas.height()));
    if (faceResetPending) {
        faceResetPending = false;
        resetFace();
    }
    if (!fontFace)
        return;
    textRight = 0;
    textBottom = 0;
    if (selectByPoints)
        buildSelectionRects();
    cells.clear();

    painter->save();
    painter->setBrush(QBrush(SelectionColor, Qt::SolidPattern));
    font.setPixelSize(int(fontSize));
    painter->setFont(font);
    painter->setPen(textColor);
    const Layout layout = layoutText();
    paintLayout(painter, layout, textColor);
    updateExtent();
    if (selectByPoints) {
        anchorStart = quint32(indexAt(selectPoint1));
        anchorEnd = quint32(indexAt(selectPoint2));
        if (anchorEnd < anchorStart)
            std::swap(anchorStart, anchorEnd);
        selectByPoints = false;
    }
    if (focused)
        paintFrameAndCursor(painter);
    if (layout.overflow && fontSize > MinimumFontSize) {
        --fontSize;
        faceResetPending = true;
        prepareUpdate();
    }
    painter->restore();
}
