// Annotated pictures exported as a presenter does after a lecture: the button
// pressed on a slideshow and a whiteboard, the files compared with what
// libobs rendered, folders that cannot take the export, hostile pictures and
// names, a full disk, and a host quitting in the middle of an export.

#include "hostilepictures.h"
#include "kpexportwriter.h"
#include "kphostplay.h"
#include "kpobsruntime.h"
#include "kpobstestenvironment.h"
#include "kpslidedrawing.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QPainter>
#include <functional>
#include <sys/mount.h>

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
        // The first render waits for the picture; the slide's transition (a
        // fade of 100 ms) has ended by the second.
        + QStringLiteral(R"({"do": "render", "name": "ss", "out": "loaded-%1.png"}, {"do": "frames", "count": 6},
        {"do": "render", "name": "ss", "out": "shown-%1.png"},)").arg(index).toUtf8();
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

// The subfolders each export made, oldest name first.
QStringList exports(const QString &folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString onlyExport(const QString &folder)
{
    const QStringList made = exports(folder);
    return made.size() == 1 ? QDir(folder).filePath(made.first()) : QString();
}

// Every file under folder with a digest of its bytes.
QMap<QString, QByteArray> digests(const QString &folder)
{
    QMap<QString, QByteArray> all;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            all.insert(file.fileName(), QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1));
    }
    return all;
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

    const QJsonObject status = readJson(out.filePath(QStringLiteral("ss-status.json")));
    EXPECT_EQ(status.value("kp_export_state").toString(), "done");
    // The subfolder is named after the source and the local time.
    const QDir slides(onlyExport(out.filePath(QStringLiteral("slides/new"))));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ss \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d$"))
                    .match(slides.dirName())
                    .hasMatch())
        << slides.dirName().toStdString();
    EXPECT_EQ(status.value("kp_export_message").toString(),
              QStringLiteral("Exported 3 pictures and a handout to %1").arg(slides.absolutePath()));
    // In the order first shown; the second "a" gets a counter.
    EXPECT_EQ(slides.entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({"a-annotated-2.png", "a-annotated.png", "b-annotated.png", "ss-annotated.pdf"}));
    const QDir board(onlyExport(out.filePath(QStringLiteral("board"))));
    const QList<QPair<QString, QString>> pairs = {{slides.filePath("a-annotated.png"), "shown-0.png"},
                                                  {slides.filePath("b-annotated.png"), "shown-1.png"},
                                                  {slides.filePath("a-annotated-2.png"), "shown-2.png"},
                                                  {board.filePath("wb-annotated.png"), "shown-wb.png"}};
    for (const auto &[exported, shown] : pairs) {
        const QImage image = rgba(out.filePath(exported));
        ASSERT_FALSE(image.isNull()) << exported.toStdString();
        EXPECT_EQ(image, rgba(out.filePath(shown))) << exported.toStdString();
        EXPECT_TRUE(hasRectangle(image)) << exported.toStdString();
    }
    EXPECT_EQ(pdfPages(slides.filePath(QStringLiteral("ss-annotated.pdf"))), 3);
    EXPECT_EQ(pdfPages(board.filePath(QStringLiteral("wb-annotated.pdf"))), 1);
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
    EXPECT_TRUE(status.value("kp_export_message").toString().contains("left out gone.png (unreadable header)"))
        << status.value("kp_export_message").toString().toStdString();
    EXPECT_EQ(QDir(onlyExport(out.filePath(QStringLiteral("export")))).entryList(QDir::Files | QDir::Hidden),
              QStringList({"a-annotated.png", "pages-annotated.pdf"}));
}

namespace {

// A picture whose PNG does not compress: a full disk is reached quickly.
void writeNoise(const QString &path, QSize size)
{
    QImage picture(size, QImage::Format_RGBA8888);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    quint32 state = 12345;
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(picture.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = (state = state * 1664525u + 1013904223u) | 0xff000000u;
    }
    ASSERT_TRUE(picture.save(path));
}

QByteArray pageSteps(const QStringList &files)
{
    QByteArray steps;
    for (const QString &file : files)
        steps += QStringLiteral(R"({"do": "update", "name": "pages", "settings": {"file": "%1"}}, {"do": "frames", "count": 2},)")
                     .arg(file)
                     .toUtf8();
    return steps;
}

struct ExportCase
{
    const char *name;
    // Writes the case's files into the host's output folder; returns the
    // steps that create "pages" and fill it, or empty to skip with a reason
    // in skip.
    std::function<QByteArray(const QDir &out, QString *skip)> prepare;
    const char *state;
    QStringList messageParts;
    // Names of the exported files, in the one subfolder of "export".
    QStringList files;
};

QByteArray pagesWith(const QString &first, const QString &name = QStringLiteral("pages"))
{
    return QStringLiteral(R"({"do": "create", "name": "%1", "type": "obsolete_image_module", "settings":
        {"file": "%2", "kp_export_folder": "export"}}, {"do": "frames", "count": 3},)")
        .arg(name, first)
        .toUtf8();
}

} // namespace

// Each case ends with the export's status and exactly the files it expects;
// nothing that was refused is ever opened for reading beyond its header.
TEST(Export, HostilePicturesNamesAndDisks)
{
    const QString longName = QString(245, QChar(0x00e9)); // 490 bytes of UTF-8
    const QList<ExportCase> cases = {
        {"FIFO, folder and budget bombs are left out",
         [](const QDir &out, QString *) {
             writePicture(out.filePath(QStringLiteral("a.png")), Qt::red, QSize(40, 30));
             QStringList files;
             for (const HostilePicture &picture : writeHostilePictures(out.path()))
                 files << QFileInfo(picture.path).fileName();
             return pagesWith(QStringLiteral("a.png")) + pageSteps(files);
         },
         "done",
         {"left out", "fifo.png (not a regular file)", "folder.png (not a regular file)", "big.png (", "offset.gif ("},
         {"a-annotated.png", "pages-annotated.pdf"}},
        {"long picture names are shortened to fit, by whole characters",
         [](const QDir &out, QString *) {
             const QString source(250, QLatin1Char('n'));
             writePicture(out.filePath(QString(245, QLatin1Char('p')) + QStringLiteral(".png")), Qt::red, QSize(40, 30));
             writePicture(out.filePath(QString(125, QChar(0x00e9)) + QStringLiteral(".png")), Qt::blue, QSize(40, 30));
             return pagesWith(QString(245, QLatin1Char('p')) + QStringLiteral(".png"), source)
                 + QStringLiteral(R"({"do": "update", "name": "%1", "settings": {"file": "%2.png"}},)")
                       .arg(source, QString(125, QChar(0x00e9)))
                       .toUtf8();
         },
         "done",
         {"Exported 2 pictures and a handout to"},
         {QString(241, QLatin1Char('n')) + QStringLiteral("-annotated.pdf"),
          QString(241, QLatin1Char('p')) + QStringLiteral("-annotated.png"),
          QString(120, QChar(0x00e9)) + QStringLiteral("-annotated.png")}},
        {"a full disk fails with its reason and leaves nothing",
         [](const QDir &out, QString *skip) {
             writeNoise(out.filePath(QStringLiteral("noise.png")), QSize(400, 300));
             out.mkdir(QStringLiteral("export"));
             if (geteuid() != 0
                 || mount("tmpfs", QFile::encodeName(out.filePath(QStringLiteral("export"))).constData(), "tmpfs", 0,
                          "size=128k")
                     != 0)
                 *skip = QStringLiteral("a small tmpfs needs root");
             return pagesWith(QStringLiteral("noise.png"));
         },
         "failed",
         {"No space left on device"},
         {}},
    };
    for (const ExportCase &test : cases) {
        SCOPED_TRACE(test.name);
        QTemporaryDir dir;
        const QDir out(dir.filePath(QStringLiteral("out")));
        ASSERT_TRUE(out.mkpath(QStringLiteral(".")));
        QString skip;
        QByteArray steps;
        [&] { steps = test.prepare(out, &skip); }();
        if (!skip.isEmpty()) {
            std::printf("skipped \"%s\": %s\n", test.name, qPrintable(skip));
            continue;
        }
        const QByteArray source = test.files.isEmpty() || test.files.size() != 3 ? "pages" : QByteArray(250, 'n');
        const KPHostRun run = playHostScriptText(dir.path(), R"({"canvas": [400, 200], "steps": [)" + steps
                                                                 + R"({"do": "button", "name": ")" + source
                                                                 + R"(", "property": "kp_export"},
            {"do": "status", "name": ")" + source + R"(", "out": "status.json"}]})");
        const QString exportFolder = out.filePath(QStringLiteral("export"));
        const QStringList made = exports(exportFolder);
        umount(QFile::encodeName(exportFolder).constData());
        ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
        const QJsonObject status = readJson(out.filePath(QStringLiteral("status.json")));
        const QString message = status.value("kp_export_message").toString();
        EXPECT_EQ(status.value("kp_export_state").toString(), test.state) << message.toStdString();
        for (const QString &part : test.messageParts)
            EXPECT_TRUE(message.contains(part)) << message.toStdString() << " lacks " << part.toStdString();
        if (test.files.isEmpty()) {
            EXPECT_EQ(made, QStringList());
            continue;
        }
        ASSERT_EQ(made.size(), 1) << made.join(' ').toStdString();
        QStringList files = QDir(exportFolder + QLatin1Char('/') + made.first()).entryList(QDir::Files | QDir::Hidden);
        QStringList expected = test.files;
        files.sort();
        expected.sort();
        EXPECT_EQ(files, expected);
        EXPECT_LE(made.first().toUtf8().size(), 255);
    }
}

// Two sources exported twice into one folder and into their pictures' own
// folder: every export gets a subfolder of its own, and every file there
// before (the user's "x-annotated.png" too) keeps its bytes.
TEST(Export, ExportsNeverReplaceAnything)
{
    QTemporaryDir dir;
    const QDir out(dir.filePath(QStringLiteral("out")));
    writePicture(out.filePath(QStringLiteral("x.png")), Qt::red, QSize(40, 30));
    writePicture(out.filePath(QStringLiteral("x-annotated.png")), Qt::green, QSize(40, 30));
    const QByteArray script = R"({"canvas": [400, 200], "steps": [
        {"do": "create", "name": "one", "type": "obsolete_image_module", "settings": {"file": "x.png",
         "kp_export_folder": "."}},
        {"do": "create", "name": "two", "type": "kp_source_whiteboard", "settings": {"kp_export_folder": "."}},
        {"do": "frames", "count": 3},
        {"do": "button", "name": "one", "property": "kp_export"},
        {"do": "button", "name": "two", "property": "kp_export"},
        {"do": "button", "name": "one", "property": "kp_export"}]})";
    ASSERT_EQ(playHostScriptText(dir.path(), script).exitCode, 0);
    QMap<QString, QByteArray> before = digests(out.path());
    before.remove(out.filePath(QStringLiteral("kp-host.log")));
    ASSERT_EQ(exports(out.path()).size(), 3) << exports(out.path()).join(' ').toStdString();
    ASSERT_EQ(playHostScriptText(dir.path(), script).exitCode, 0);
    const QMap<QString, QByteArray> after = digests(out.path());
    for (auto it = before.constBegin(); it != before.constEnd(); ++it)
        EXPECT_EQ(after.value(it.key()), it.value()) << it.key().toStdString();
    const QStringList made = exports(out.path());
    EXPECT_EQ(made.size(), 6) << made.join(' ').toStdString();

    // Exports within one second share a name: the counter, whatever the clock
    // did between the exports above.
    QDir(dir.path()).mkdir(QStringLiteral("same"));
    QDir(dir.path()).mkdir(QStringLiteral("same (2)"));
    KPExportWriter writer;
    QString error;
    QString path;
    ASSERT_TRUE(writer.open(dir.path(), QStringLiteral("same.pdf"), KPHandout::Options(), &error))
        << error.toStdString();
    ASSERT_TRUE(writer.publish(QStringLiteral("same"), &path, &error)) << error.toStdString();
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("same (3)"));
}

// A host that quits while a long export runs: the export is cancelled, lets
// go of the sources before libobs destroys them, and leaves nothing behind.
TEST(Export, ShutdownDuringAnExportIsClean)
{
    QTemporaryDir dir;
    const QDir pictures(dir.filePath(QStringLiteral("pictures")));
    for (int i = 0; i < 12; ++i)
        writeNoise(pictures.filePath(QStringLiteral("p%1.png").arg(i, 2, 10, QLatin1Char('0'))), QSize(1280, 720));
    KPObsRuntime runtime;
    QString error;
    ASSERT_TRUE(runtime.start({}, &error)) << error.toStdString();
    ASSERT_TRUE(runtime.loadModule(KPObsTestEnvironment::pluginPath(), KPObsTestEnvironment::pluginDataPath(), &error))
        << error.toStdString();
    obs_data_t *settings = obs_data_create();
    obs_data_set_string(settings, "file", QFile::encodeName(pictures.path()).constData());
    obs_data_set_string(settings, "kp_export_folder", QFile::encodeName(dir.filePath(QStringLiteral("out"))).constData());
    obs_source_t *deck = obs_source_create("kp_image_source", "deck", settings, nullptr);
    obs_data_release(settings);
    runtime.show(deck);
    ASSERT_TRUE(runtime.waitTicks(20, 20000));
    obs_properties_t *properties = obs_source_properties(deck);
    obs_property_button_clicked(obs_properties_get(properties, "kp_export"), deck);
    obs_properties_destroy(properties);
    runtime.removeFromOutput(runtime.itemOf(deck));
    obs_source_release(deck);
    runtime.shutdown();
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
}

// The handout over seven pictures in every layout, with and without notes,
// and with titles a user may type: pages, slide and page numbers, the title
// on the first page and in the file's name.
TEST(Export, HandoutLayoutsNumbersAndTitles)
{
    struct Case
    {
        QByteArray settings;
        int pages;
        QString file;
        QStringList texts;
    };
    const QString longTitle(100000, QLatin1Char('t'));
    const QString shortened(119, QLatin1Char('t')); // and an ellipsis: 120 characters
    // Settings stay from one export to the next, as in a host's sheet.
    const QByteArray plain = R"("kp_export_title": "", "kp_export_notes": false)";
    const QList<Case> cases = {
        {plain, 7, "deck-annotated.pdf", {"deck", "Slide 3 of 7", "Page 7 of 7"}},
        {plain + R"(, "kp_export_layout": 2)", 4, "deck-annotated.pdf", {"Slide 7 of 7", "Page 4 of 4"}},
        {R"("kp_export_layout": 4, "kp_export_notes": true)", 2, "deck-annotated.pdf", {"Notes", "Page 2 of 2"}},
        {plain + R"(, "kp_export_layout": 6, "kp_export_title": "Week\u0007 1:\n optics")", 2,
         "Week_1__optics-annotated.pdf", {"Week 1: optics", "Slide 6 of 7"}},
        {plain + R"(, "kp_export_layout": 5)", 2, "deck-annotated.pdf", {"Page 2 of 2"}},
        {plain + R"(, "kp_export_layout": "six")", 7, "deck-annotated.pdf", {"Page 7 of 7"}},
        {R"("kp_export_title": ")" + longTitle.toLatin1() + "\"", 7, shortened + "_-annotated.pdf",
         {shortened}},
    };
    QTemporaryDir dir;
    const QDir out(dir.filePath(QStringLiteral("out")));
    QByteArray steps;
    for (int i = 0; i < 7; ++i) {
        const QString name = QStringLiteral("p%1.png").arg(i);
        writePicture(out.filePath(name), QColor::fromHsv(i * 50, 200, 200), QSize(64, 48));
        steps += QStringLiteral(R"({"do": "update", "name": "deck", "settings": {"file": "%1"}},
            {"do": "frames", "count": 3},)").arg(name).toUtf8();
    }
    for (int i = 0; i < cases.size(); ++i)
        steps += QStringLiteral(R"({"do": "update", "name": "deck", "settings": {"kp_export_folder": "h%1", %2}},
            {"do": "button", "name": "deck", "property": "kp_export"},)")
                     .arg(i)
                     .arg(QString::fromUtf8(cases[i].settings))
                     .toUtf8();
    const KPHostRun run = playHostScriptText(dir.path(), R"({"canvas": [400, 200], "steps": [
        {"do": "create", "name": "deck", "type": "obsolete_image_module", "settings": {}},)" + steps
                                                             + R"({"do": "frames", "count": 1}]})");
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    for (int i = 0; i < cases.size(); ++i) {
        const QString pdf = QDir(onlyExport(out.filePath(QStringLiteral("h%1").arg(i)))).filePath(cases[i].file);
        EXPECT_EQ(pdfPages(pdf), cases[i].pages) << cases[i].settings.left(60).constData();
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(20000));
        const QString words = QString::fromUtf8(text.readAll());
        for (const QString &expected : cases[i].texts)
            EXPECT_TRUE(words.contains(expected)) << cases[i].settings.left(60).constData() << ": " << expected.left(40).toStdString();
    }
}

namespace {

// Rows of an image holding a dark run at least minimum pixels long: how many
// pixels wide a long horizontal line is, wherever it lies.
int darkRows(const QImage &image, int minimum)
{
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        int dark = 0;
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
        rows += dark >= minimum;
    }
    return rows;
}

} // namespace

// A 1-px line on a 1920 x 1080 board, which the page shrinks: the handout
// widens it to print, at 150 dpi at least 2 px, while the PNG keeps it 1 px.
TEST(Export, HandoutPrintsHairlinesOfShrunkPictures)
{
    QTemporaryDir dir;
    const QDir out(dir.filePath(QStringLiteral("out")));
    QByteArray steps;
    const QList<int> layouts = {1, 6};
    for (const int layout : layouts)
        steps += QStringLiteral(R"({"do": "update", "name": "wb", "settings": {"kp_export_folder": "h%1",
            "kp_export_layout": %1}}, {"do": "button", "name": "wb", "property": "kp_export"},)")
                     .arg(layout)
                     .toUtf8();
    const KPHostRun run = playHostScriptText(dir.path(), R"({"canvas": [400, 200], "steps": [
        {"do": "create", "name": "wb", "type": "kp_source_whiteboard", "settings": {"kp_wb_width": 1920,
         "kp_wb_height": 1080}},
        {"do": "update", "name": "wb", "settings": {"kp_wb_draw_type": 4, "kp_wb_draw_color": 4278190080}},
        {"do": "mouse", "name": "wb", "action": "down", "x": 60, "y": 540},
        {"do": "mouse", "name": "wb", "action": "move", "x": 900, "y": 540},
        {"do": "mouse", "name": "wb", "action": "up", "x": 1860, "y": 540},)" + steps
                                                             + R"({"do": "frames", "count": 1}]})");
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    for (const int layout : layouts) {
        const QDir made(onlyExport(out.filePath(QStringLiteral("h%1").arg(layout))));
        EXPECT_EQ(darkRows(rgba(made.filePath(QStringLiteral("wb-annotated.png"))), 1000), 1) << layout;
        QProcess render;
        render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-png"),
                                                  QStringLiteral("-singlefile"), made.filePath("wb-annotated.pdf"),
                                                  made.filePath(QStringLiteral("page"))});
        ASSERT_TRUE(render.waitForFinished(60000) && render.exitCode() == 0) << layout;
        const QImage page = rgba(made.filePath(QStringLiteral("page.png")));
        ASSERT_FALSE(page.isNull()) << layout;
        // The line spans nine tenths of the picture; text makes no run this long.
        EXPECT_GE(darkRows(page, page.width() / 5), 2) << layout;
    }
}
