#include "kpexportwriter.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QSet>
#include <QTemporaryFile>

#include <cstdio>
#include <memory>

namespace {

using Staged = std::vector<std::unique_ptr<QTemporaryFile>>;

const int kHandoutResolution = 300;
const int kCaptionPoints = 12;

QTemporaryFile *stage(const QString &folder, Staged *staged, QString *error)
{
    auto file = std::make_unique<QTemporaryFile>(QDir(folder).filePath(QStringLiteral(".kp-export-XXXXXX")));
    if (!file->open()) {
        *error = QStringLiteral("cannot write into %1: %2").arg(folder, file->errorString());
        return nullptr;
    }
    staged->push_back(std::move(file));
    return staged->back().get();
}

// A full disk shows itself only when the buffered bytes reach the file.
bool finish(QTemporaryFile *file, QString *error)
{
    if (file->flush() && file->error() == QFileDevice::NoError) {
        file->close();
        file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                             | QFileDevice::ReadOther);
        return true;
    }
    *error = QStringLiteral("cannot write %1: %2").arg(file->fileName(), file->errorString());
    return false;
}

bool writePng(QTemporaryFile *file, const QImage &image, QString *error)
{
    QImageWriter writer(file, "png");
    if (!writer.write(image)) {
        *error = QStringLiteral("cannot write %1: %2").arg(file->fileName(), writer.errorString());
        return false;
    }
    return finish(file, error);
}

void paintPage(QPainter *painter, const QRect &page, const KPExportWriter::Picture &picture)
{
    QFont font = painter->font();
    font.setPointSize(kCaptionPoints);
    painter->setFont(font);
    const int captionHeight = painter->fontMetrics().height() * 2;
    painter->drawText(QRect(page.left(), page.top(), page.width(), captionHeight), Qt::AlignLeft | Qt::AlignVCenter,
                      picture.caption);
    const QRect area(page.left(), page.top() + captionHeight, page.width(), page.height() - captionHeight);
    QSize fitted = picture.image.size().scaled(area.size(), Qt::KeepAspectRatio);
    QRect target(QPoint(), fitted);
    target.moveCenter(area.center());
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(target, picture.image);
}

bool writeHandout(QTemporaryFile *file, const QList<KPExportWriter::Picture> &pictures, QString *error)
{
    {
        QPdfWriter pdf(file);
        pdf.setResolution(kHandoutResolution);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                      QPageLayout::Millimeter));
        pdf.setCreator(QStringLiteral("kp-source"));
        QPainter painter;
        if (!painter.begin(&pdf)) {
            *error = QStringLiteral("cannot start the handout %1").arg(file->fileName());
            return false;
        }
        for (int i = 0; i < pictures.size(); ++i) {
            if (i > 0)
                pdf.newPage();
            paintPage(&painter, QRect(0, 0, pdf.width(), pdf.height()), pictures[i]);
        }
    }
    return finish(file, error);
}

// rename replaces an older export of the same name in one step.
bool publish(Staged &staged, const QStringList &targets, QString *error)
{
    for (size_t i = 0; i < staged.size(); ++i) {
        const QByteArray from = QFile::encodeName(staged[i]->fileName());
        const QByteArray to = QFile::encodeName(targets[static_cast<int>(i)]);
        if (std::rename(from.constData(), to.constData()) != 0) {
            *error = QStringLiteral("cannot rename %1 to %2").arg(staged[i]->fileName(), targets[static_cast<int>(i)]);
            return false;
        }
        staged[i]->setAutoRemove(false);
    }
    return true;
}

} // namespace

QString KPExportWriter::safeStem(const QString &text)
{
    QString stem;
    for (const QChar c : text)
        stem += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char('.') ? c : QLatin1Char('_');
    while (stem.startsWith(QLatin1Char('.')))
        stem.remove(0, 1);
    return stem.isEmpty() ? QStringLiteral("picture") : stem;
}

QStringList KPExportWriter::pictureNames(const QList<Picture> &pictures)
{
    QStringList names;
    QSet<QString> taken;
    for (const Picture &picture : pictures) {
        const QString base = safeStem(picture.stem) + QStringLiteral("-annotated");
        QString name = base + QStringLiteral(".png");
        for (int counter = 2; taken.contains(name.toLower()); ++counter)
            name = QStringLiteral("%1-%2.png").arg(base).arg(counter);
        taken.insert(name.toLower());
        names << name;
    }
    return names;
}

bool KPExportWriter::write(const QString &folder, const QString &handoutStem, const QList<Picture> &pictures,
                           QStringList *written, QString *error)
{
    if (pictures.isEmpty()) {
        *error = QStringLiteral("no picture to export");
        return false;
    }
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    const QDir dir(folder);
    QStringList targets;
    for (const QString &name : pictureNames(pictures))
        targets << dir.filePath(name);
    targets << dir.filePath(safeStem(handoutStem) + QStringLiteral("-annotated.pdf"));

    Staged staged;
    for (const Picture &picture : pictures) {
        QTemporaryFile *file = stage(folder, &staged, error);
        if (!file || !writePng(file, picture.image, error))
            return false;
    }
    QTemporaryFile *handout = stage(folder, &staged, error);
    if (!handout || !writeHandout(handout, pictures, error) || !publish(staged, targets, error))
        return false;
    *written = targets;
    return true;
}
