// Annotated pictures exported as a presenter does after a lecture: the button
// pressed on a slideshow and a whiteboard, the files compared with what
// libobs rendered, and folders that cannot take the export.

#include "kphostplay.h"
#include "kpslidedrawing.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The rectangle of kpslidedrawing.h, drawn on whatever the source shows now.
QByteArray drawRectangle(const char *name)
{
    return QStringLiteral(R"({"do": "mouse", "name": "%1", "action": "down", "x": 20, "y": 20},
        {"do": "mouse", "name": "%1", "action": "move", "x": 70, "y": 50},
        {"do": "mouse", "name": "%1", "action": "up", "x": 120, "y": 80},)")
        .arg(QLatin1String(name))
        .toUtf8();
}

QByteArray showPicture(const char *file, int index)
{
    return QStringLiteral(R"({"do": "update", "name": "ss", "settings": {"file": "%1", "kp_wb_draw_type": 1,
        "kp_wb_draw_color": 4278190080, "kp_wb_draw_size": 4}}, {"do": "frames", "count": 3},)")
               .arg(QLatin1String(file))
               .toUtf8()
        + drawRectangle("ss")
        + QStringLiteral(R"({"do": "render", "name": "ss", "out": "shown-%1.png"},)").arg(index).toUtf8();
}

void writePicture(const QString &path, QColor colour, QSize size)
{
    QImage picture(size, QImage::Format_RGBA8888);
    picture.fill(colour);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    ASSERT_TRUE(picture.save(path));
}

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

int pdfPages(const QString &path)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    if (!info.waitForFinished(20000) || info.exitCode() != 0)
        return -1;
    const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(info.readAll()));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QImage rgba(const QString &path)
{
    return QImage(path).convertToFormat(QImage::Format_RGBA8888);
}

} // namespace

TEST(Export, SlideshowAndWhiteboardExportWhatTheyRender)
{
    QTemporaryDir dir;
    const QDir out(dir.filePath(QStringLiteral("out")));
    writePicture(out.filePath(QStringLiteral("a.png")), Qt::red, QSize(200, 100));
    writePicture(out.filePath(QStringLiteral("b.png")), Qt::green, QSize(160, 120));
    writePicture(out.filePath(QStringLiteral("sub/a.png")), Qt::blue, QSize(200, 100));
    const QByteArray script = R"({"canvas": [400, 200], "steps": [
        {"do": "create", "name": "ss", "type": "kp_image_source", "settings": {"file": "a.png"}},
        {"do": "frames", "count": 5},)" + showPicture("a.png", 0) + showPicture("b.png", 1)
        + showPicture("sub/a.png", 2) + R"(
        {"do": "create", "name": "wb", "type": "kp_source_whiteboard", "settings": {"kp_wb_width": 300,
         "kp_wb_height": 150}},
        {"do": "update", "name": "wb", "settings": {"kp_wb_draw_type": 1, "kp_wb_draw_color": 4278190335,
         "kp_wb_draw_size": 3}},)"
        + drawRectangle("wb") + R"(
        {"do": "render", "name": "wb", "out": "shown-wb.png"},
        {"do": "update", "name": "ss", "settings": {"kp_export_folder": "slides/new"}},
        {"do": "button", "name": "ss", "property": "kp_export"},
        {"do": "status", "name": "ss", "out": "ss-status.json"},
        {"do": "update", "name": "wb", "settings": {"kp_export_folder": "board"}},
        {"do": "button", "name": "wb", "property": "kp_export"}]})";
    const KPHostRun run = playHostScriptText(dir.path(), script);
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();

    EXPECT_EQ(readJson(out.filePath(QStringLiteral("ss-status.json"))).value("kp_export_state").toString(), "done");
    // In the order first shown; the second "a" gets a counter.
    const QDir slides(out.filePath(QStringLiteral("slides/new")));
    EXPECT_EQ(slides.entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({"a-annotated-2.png", "a-annotated.png", "b-annotated.png", "ss-annotated.pdf"}));
    const QList<QPair<QString, QString>> pairs = {{"slides/new/a-annotated.png", "shown-0.png"},
                                                  {"slides/new/b-annotated.png", "shown-1.png"},
                                                  {"slides/new/a-annotated-2.png", "shown-2.png"},
                                                  {"board/wb-annotated.png", "shown-wb.png"}};
    for (const auto &[exported, shown] : pairs) {
        const QImage image = rgba(out.filePath(exported));
        ASSERT_FALSE(image.isNull()) << exported.toStdString();
        EXPECT_EQ(image, rgba(out.filePath(shown))) << exported.toStdString();
        EXPECT_TRUE(hasRectangle(image)) << exported.toStdString();
    }
    EXPECT_EQ(pdfPages(slides.filePath(QStringLiteral("ss-annotated.pdf"))), 3);
    EXPECT_EQ(pdfPages(out.filePath(QStringLiteral("board/wb-annotated.pdf"))), 1);
}

// Each folder fails the whole export: nothing is written, the status says why.
TEST(Export, FolderThatCannotTakeTheExportWritesNothing)
{
    const QList<QPair<QString, QString>> cases = {
        {"", "no export folder chosen"},
        {"plain.txt", "cannot create the folder"},
        {"plain.txt/sub", "cannot create the folder"},
        {"/proc", "cannot write into /proc"},
    };
    for (const auto &[folder, message] : cases) {
        QTemporaryDir dir;
        const QDir out(dir.filePath(QStringLiteral("out")));
        writePicture(out.filePath(QStringLiteral("a.png")), Qt::red, QSize(40, 30));
        QFile plain(out.filePath(QStringLiteral("plain.txt")));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QByteArray script = QStringLiteral(R"({"canvas": [400, 200], "steps": [
            {"do": "create", "name": "ss", "type": "obsolete_image_module", "settings": {"file": "a.png",
             "kp_export_folder": "%1"}}, {"do": "frames", "count": 3},
            {"do": "button", "name": "ss", "property": "kp_export"},
            {"do": "status", "name": "ss", "out": "status.json"}]})")
                                      .arg(folder)
                                      .toUtf8();
        const KPHostRun run = playHostScriptText(dir.path(), script);
        ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
        const QJsonObject status = readJson(out.filePath(QStringLiteral("status.json")));
        EXPECT_EQ(status.value("kp_export_state").toString(), "failed") << folder.toStdString();
        EXPECT_TRUE(status.value("kp_export_message").toString().contains(message))
            << status.value("kp_export_message").toString().toStdString();
        EXPECT_EQ(out.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                  QStringList({"a.png", "kp-host.log", "plain.txt", "status.json"}))
            << folder.toStdString();
        EXPECT_EQ(QFileInfo(plain.fileName()).size(), 0);
    }
}

// A picture that no longer decodes is left out; the others are exported.
TEST(Export, UnreadablePictureIsLeftOutAndNamed)
{
    QTemporaryDir dir;
    const QDir out(dir.filePath(QStringLiteral("out")));
    writePicture(out.filePath(QStringLiteral("a.png")), Qt::red, QSize(40, 30));
    writePicture(out.filePath(QStringLiteral("gone.png")), Qt::green, QSize(40, 30));
    QFile junk(out.filePath(QStringLiteral("junk.txt")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("not a picture") > 0);
    junk.close();
    const KPHostRun run = playHostScriptText(dir.path(), R"({"canvas": [400, 200], "steps": [
        {"do": "create", "name": "pages", "type": "obsolete_image_module", "settings": {"file": "gone.png",
         "kp_export_folder": "export"}},
        {"do": "frames", "count": 3}, {"do": "update", "name": "pages", "settings": {"file": "a.png"}},
        {"do": "copy", "from": "junk.txt", "to": "gone.png"},
        {"do": "button", "name": "pages", "property": "kp_export"},
        {"do": "status", "name": "pages", "out": "status.json"}]})");
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    const QJsonObject status = readJson(out.filePath(QStringLiteral("status.json")));
    EXPECT_EQ(status.value("kp_export_state").toString(), "done");
    EXPECT_TRUE(status.value("kp_export_message").toString().contains("cannot read gone.png"));
    EXPECT_EQ(QDir(out.filePath(QStringLiteral("export"))).entryList(QDir::Files | QDir::Hidden),
              QStringList({"a-annotated.png", "pages-annotated.pdf"}));
}
