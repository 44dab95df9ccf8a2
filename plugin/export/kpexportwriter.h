#pragma once

#include "kphandout.h"

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>

class QFile;

// Writes one export: a PNG per picture and a PDF handout (KPHandout) with
// the pictures in the order added, into a new subfolder of the export folder.
// Everything goes into a private temporary folder beside it first, every
// file created exclusively; only a complete export is renamed into place,
// and never over anything that exists. A writer that does not publish
// removes what it staged.
class KPExportWriter
{
public:
    KPExportWriter();
    ~KPExportWriter();

    // Creates the export folder when missing and the staging folder in it;
    // handoutName is the PDF's file name.
    bool open(const QString &folder, const QString &handoutName, const KPHandout::Options &handout,
              QString *error);
    // Writes the picture as fileName and adds it to the handout under its
    // caption, as printed when that is not null. The pictures are not kept.
    bool add(const QString &caption, const QString &fileName, const QImage &image, const QImage &printed,
             QString *error);
    // The handout shows why the slide is missing; no file is written.
    void addMissing(const QString &caption, const QString &reason);
    // Finishes the handout and renames the staging folder to subfolder, or
    // "subfolder (2)" and so on when that exists; path is where it went.
    bool publish(const QString &subfolder, QString *path, QString *error);

    // "<stem>-annotated.png", with "-2", "-3" ... after names already taken,
    // each shortened to fit a file name.
    static QStringList pictureNames(const QStringList &stems);
    // A stem that is safe as a file name on every system.
    static QString safeStem(const QString &text);
    // The subfolder of an export of source at the given local time:
    // "<source> 2026-12-08 14-05-33", shortened to fit with a counter.
    static QString subfolderName(const QString &source, const QDateTime &time);
    // stem shortened (by whole characters) so that stem + tail fits a file
    // name's 255 bytes of UTF-8.
    static QString fitName(const QString &stem, const QString &tail);

private:
    bool finishHandout(QString *error);

    QString m_folder;
    QString m_staging;
    bool m_published = false;
    std::unique_ptr<QFile> m_handoutFile;
    KPHandout m_handout;

    KPExportWriter(const KPExportWriter &) = delete;
    KPExportWriter &operator=(const KPExportWriter &) = delete;
};
