#pragma once

#include <QDate>
#include <QImage>
#include <QString>

#include <memory>

class QIODevice;
class QPainter;
class QPdfWriter;

// The PDF handout of an export: a title block on the first page, one, two,
// four or six pictures to a page, each with its slide number and file name
// and, when asked for, a ruled notes area beside it; page numbers in every
// footer. Pages are painted as pictures arrive, so no picture is kept.
class KPHandout
{
public:
    struct Options
    {
        QString title;
        QDate date;
        int perPage = 1;    // 1, 2, 4 or 6
        bool notes = false; // a ruled area beside each picture
        int slides = 1;     // how many cells the handout will have
    };

    KPHandout();
    ~KPHandout();

    bool begin(QIODevice *device, const Options &options);
    // The next slide: its picture, or the reason it is missing.
    void addPicture(const QString &fileName, const QImage &image);
    void addMissing(const QString &fileName, const QString &reason);
    bool end();

    // The layouts offered; any other number reads as the nearest of them.
    static int nearestLayout(long long perPage);
    // A title fit for a page and a file name: control characters become
    // spaces, runs of spaces one, and it is shortened to kMaxTitle characters.
    static QString cleanTitle(const QString &title);
    static const int kMaxTitle = 120;
    // The line width, in the picture's pixels, that prints at least
    // kThinnestLine wide when the picture of that size fills its slide's cell.
    static quint32 minimumLineWidth(const Options &options, int slide, const QSize &picture);
    // A hairline fit to print: 1 pt still shows once the page is printed,
    // copied or scanned at 150 dpi.
    static constexpr double kThinnestLine = 1.0;

private:
    struct Cell
    {
        QRect caption;
        QRect picture;
        QRect notes;
        QRect fileName;
    };

    // Where a slide's parts go on its page; the same with or without a painter.
    static Cell cellAt(const Options &options, int slide);
    static QRect pageRect();
    static QRect fitted(const QSize &picture, const QRect &box);
    Cell nextCell();
    void paintTitle(const QRect &band);
    void paintFooter();
    void paintNotes(const QRect &area);
    void setFont(int points, bool bold = false);

    Options m_options;
    int m_cell = 0;
    int m_pages = 0;
    std::unique_ptr<QPdfWriter> m_pdf;
    std::unique_ptr<QPainter> m_painter;

    KPHandout(const KPHandout &) = delete;
    KPHandout &operator=(const KPHandout &) = delete;
};
