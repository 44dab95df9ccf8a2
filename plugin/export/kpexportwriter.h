#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

// Writes annotated pictures into a folder: one PNG per picture and one PDF
// handout with a page per picture, in the order given. Every file is written
// under a temporary name first and renamed only once all of them were
// written, so a folder that fills up or refuses a file is left as it was.
class KPExportWriter
{
public:
    struct Picture
    {
        QString caption; // the picture file's name, printed above its page
        QString stem;    // what the PNG is named after
        QImage image;
    };

    // handoutStem names the PDF. On failure error says why and nothing new
    // is left in the folder; on success written lists the files' paths.
    static bool write(const QString &folder, const QString &handoutStem, const QList<Picture> &pictures,
                      QStringList *written, QString *error);

    // "<stem>-annotated.png", with "-2", "-3" ... after names already taken.
    static QStringList pictureNames(const QList<Picture> &pictures);
    // A stem that is safe as a file name on every system.
    static QString safeStem(const QString &text);
};
