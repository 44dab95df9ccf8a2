#include "kphandout.h"

#include <QIODevice>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>
#include <cstdlib>

namespace {

const int kResolution = 300;
const int kTitlePoints = 24;
const int kDatePoints = 12;
const int kCaptionPoints = 11;
const int kSmallPoints = 8;
const int kLayouts[] = {1, 2, 4, 6};
const QColor kRuleColor(170, 170, 170);
const QColor kMutedColor(90, 90, 90);

int pixels(double points)
{
    return qRound(points * kResolution / 72.0);
}

// Columns and rows of a layout on a landscape page.
QSize grid(int perPage)
{
    switch (perPage) {
    case 2:
        return QSize(2, 1);
    case 4:
        return QSize(2, 2);
    case 6:
        return QSize(3, 2);
    default:
        return QSize(1, 1);
    }
}

QPageLayout pageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

// The title band on the first page only.
QRect titleBand(const QRect &page)
{
    return QRect(page.left(), page.top(), page.width(), pixels(kTitlePoints * 2.6));
}

} // namespace

KPHandout::KPHandout() = default;

KPHandout::~KPHandout()
{
    end();
}

bool KPHandout::begin(QIODevice *device, const Options &options)
{
    m_options = options;
    m_options.perPage = nearestLayout(options.perPage);
    m_options.slides = qMax(1, options.slides);
    m_pdf = std::make_unique<QPdfWriter>(device);
    m_pdf->setResolution(kResolution);
    m_pdf->setPageLayout(pageLayout());
    m_pdf->setTitle(m_options.title);
    m_pdf->setCreator(QStringLiteral("kp-source"));
    m_painter = std::make_unique<QPainter>();
    return m_painter->begin(m_pdf.get());
}

bool KPHandout::end()
{
    return m_painter && m_painter->isActive() ? m_painter->end() : false;
}

int KPHandout::nearestLayout(long long perPage)
{
    int nearest = kLayouts[0];
    for (const int layout : kLayouts)
        if (std::llabs(perPage - layout) < std::llabs(perPage - nearest))
            nearest = layout;
    return nearest;
}

QString KPHandout::cleanTitle(const QString &title)
{
    QString clean;
    for (const QChar c : title.left(kMaxTitle * 4)) {
        const bool space = c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
        if (!space)
            clean += c;
        else if (!clean.isEmpty() && !clean.endsWith(QLatin1Char(' ')))
            clean += QLatin1Char(' ');
    }
    clean = clean.trimmed();
    if (clean.size() > kMaxTitle) {
        clean.truncate(kMaxTitle - 1);
        if (clean.at(clean.size() - 1).isHighSurrogate())
            clean.chop(1);
        clean += QChar(0x2026);
    }
    return clean;
}

// What the PDF writer paints on: the page within its margins, at its resolution.
QRect KPHandout::pageRect()
{
    return QRect(QPoint(), pageLayout().paintRectPixels(kResolution).size());
}

void KPHandout::setFont(int points, bool bold)
{
    QFont font = m_painter->font();
    font.setPointSize(points);
    font.setBold(bold);
    m_painter->setFont(font);
}

void KPHandout::addPicture(const QString &fileName, const QImage &image)
{
    const Cell cell = nextCell();
    const QRect target = fitted(image.size(), cell.picture);
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform);
    m_painter->drawImage(target, image);
    m_painter->setPen(QPen(kRuleColor, pixels(0.5)));
    m_painter->drawRect(target);
    setFont(kSmallPoints);
    m_painter->setPen(kMutedColor);
    m_painter->drawText(cell.fileName, Qt::AlignLeft | Qt::AlignTop, fileName);
}

void KPHandout::addMissing(const QString &fileName, const QString &reason)
{
    const Cell cell = nextCell();
    m_painter->setPen(QPen(kRuleColor, pixels(0.5), Qt::DashLine));
    m_painter->drawRect(cell.picture);
    setFont(kCaptionPoints);
    m_painter->setPen(kMutedColor);
    m_painter->drawText(cell.picture, Qt::AlignCenter | Qt::TextWordWrap,
                        QStringLiteral("Not exported: %1").arg(reason));
    setFont(kSmallPoints);
    m_painter->drawText(cell.fileName, Qt::AlignLeft | Qt::AlignTop, fileName);
}

// The next slide's cell, starting a page when the last one is full.
KPHandout::Cell KPHandout::cellAt(const Options &options, int slide)
{
    const int inPage = slide % options.perPage;
    const QRect page = pageRect();
    const int footer = pixels(kSmallPoints * 3);
    const int top = slide < options.perPage ? titleBand(page).bottom() + 1 : page.top();
    const QSize cells = grid(options.perPage);
    const int gap = pixels(14);
    const int width = (page.width() - gap * (cells.width() - 1)) / cells.width();
    const int height = (page.bottom() - footer - top - gap * (cells.height() - 1)) / cells.height();
    const QRect area(page.left() + inPage % cells.width() * (width + gap), top + inPage / cells.width() * (height + gap),
                     width, height);

    Cell cell;
    cell.caption = QRect(area.left(), area.top(), area.width(), pixels(kCaptionPoints * 1.8));
    cell.fileName = QRect(area.left(), area.bottom() - pixels(kSmallPoints * 1.6), area.width(),
                          pixels(kSmallPoints * 1.6));
    const QRect body(area.left(), cell.caption.bottom() + 1, area.width(),
                     cell.fileName.top() - cell.caption.bottom() - 1);
    cell.picture = body;
    if (options.notes) {
        cell.picture.setWidth(body.width() * 58 / 100);
        cell.notes = QRect(cell.picture.right() + gap, body.top(), body.right() - cell.picture.right() - gap,
                           body.height());
        cell.fileName.setWidth(cell.picture.width());
    }
    return cell;
}

// The next slide's cell, starting a page when the last one is full.
KPHandout::Cell KPHandout::nextCell()
{
    const int index = m_cell++;
    if (index % m_options.perPage == 0) {
        if (m_pages++ > 0)
            m_pdf->newPage();
        paintFooter();
        if (index == 0)
            paintTitle(titleBand(pageRect()));
    }
    const Cell cell = cellAt(m_options, index);
    if (m_options.notes)
        paintNotes(cell.notes);
    setFont(kCaptionPoints, true);
    m_painter->setPen(Qt::black);
    m_painter->drawText(cell.caption, Qt::AlignLeft | Qt::AlignVCenter,
                        QStringLiteral("Slide %1 of %2").arg(index + 1).arg(m_options.slides));
    return cell;
}

QRect KPHandout::fitted(const QSize &picture, const QRect &box)
{
    QRect target(QPoint(), picture.scaled(box.size(), Qt::KeepAspectRatio));
    target.moveCenter(box.center());
    return target;
}

quint32 KPHandout::minimumLineWidth(const Options &options, int slide, const QSize &picture)
{
    if (picture.isEmpty() || slide < 0)
        return 1;
    Options layout = options;
    layout.perPage = nearestLayout(options.perPage);
    const double printed = double(fitted(picture, cellAt(layout, slide).picture).width()) / picture.width();
    const double wanted = kThinnestLine * kResolution / 72.0;
    // Beyond the widest line a tool draws, a line would hide what it marks.
    return printed >= wanted ? 1 : quint32(qBound(1.0, std::ceil(wanted / qMax(printed, 1e-6)), 64.0));
}

void KPHandout::paintTitle(const QRect &band)
{
    const QRect title(band.left(), band.top(), band.width(), pixels(kTitlePoints * 1.5));
    setFont(kTitlePoints, true);
    m_painter->setPen(Qt::black);
    m_painter->drawText(title, Qt::AlignLeft | Qt::AlignVCenter, m_options.title);
    setFont(kDatePoints);
    m_painter->setPen(kMutedColor);
    m_painter->drawText(QRect(band.left(), title.bottom(), band.width(), band.bottom() - title.bottom()),
                        Qt::AlignLeft | Qt::AlignTop, QLocale::c().toString(m_options.date, QStringLiteral("d MMMM yyyy")));
}

void KPHandout::paintFooter()
{
    const QRect page = pageRect();
    const QRect footer(page.left(), page.bottom() - pixels(kSmallPoints * 2), page.width(), pixels(kSmallPoints * 2));
    const int pages = (m_options.slides + m_options.perPage - 1) / m_options.perPage;
    setFont(kSmallPoints);
    m_painter->setPen(kMutedColor);
    m_painter->drawText(footer, Qt::AlignLeft | Qt::AlignVCenter, m_options.title);
    m_painter->drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
                        QStringLiteral("Page %1 of %2").arg(m_pages).arg(pages));
}

void KPHandout::paintNotes(const QRect &area)
{
    setFont(kSmallPoints, true);
    m_painter->setPen(kMutedColor);
    const int label = pixels(kSmallPoints * 1.8);
    m_painter->drawText(QRect(area.left(), area.top(), area.width(), label), Qt::AlignLeft | Qt::AlignVCenter,
                        QStringLiteral("Notes"));
    m_painter->setPen(QPen(kRuleColor, pixels(0.5)));
    const int spacing = pixels(20);
    for (int y = area.top() + label + spacing; y <= area.bottom(); y += spacing)
        m_painter->drawLine(area.left(), y, area.right(), y);
}
