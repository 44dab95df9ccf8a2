#include "kplog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

std::string captured(const std::function<void()> &write)
{
    ::testing::internal::CaptureStdout();
    write();
    return ::testing::internal::GetCapturedStdout();
}

} // namespace

TEST(ProbeSink, LineGoesToStdoutWithTimestamp)
{
    const std::string out = captured([] { KP_LOG(3, QStringLiteral("join")); });
    const QRegularExpression layout(QStringLiteral(
        R"(^\d{8} \d\d:\d\d:\d\d:\d{3}: \[LEVEL=3\]\[TID=\d{6}\]\[LINE=\d{4}\]\[TYPE=1\]\[CONTENT=join\]\[FUN=.*\]\[FILE=.*probesinktest.cpp\]\n$)"));
    EXPECT_TRUE(layout.match(QString::fromStdString(out)).hasMatch()) << out;
}

TEST(ProbeSink, NegativeLevelWritesNothingEvenForScopes)
{
    const std::string out = captured([] {
        KP_LOG(-1, QStringLiteral("hidden"));
        KP_LOG_SCOPE_LEVEL(-1);
    });
    EXPECT_EQ(out, "");
}

TEST(ProbeSink, ScopeUsesItsLevel)
{
    const std::string out = captured([] { KP_LOG_SCOPE_LEVEL(2); });
    const QStringList lines = QString::fromStdString(out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("[LEVEL=2]")) && lines[0].contains(QStringLiteral("[TYPE=5][CONTENT=ENTER]")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("[LEVEL=2]")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(\[TYPE=5\]\[CONTENT=LEAVE=\d+ms\])")).match(lines[1]).hasMatch());
}

TEST(ProbeSink, InstantScopeLastsZeroMilliseconds)
{
    // A loaded machine may stretch any one scope past a millisecond, so an
    // instant scope has a few chances to show that it rounds down to 0.
    bool sawZero = false;
    for (int i = 0; i < 50 && !sawZero; ++i) {
        const std::string out = captured([] { KP_LOG_SCOPE_LEVEL(1); });
        sawZero = out.find("[CONTENT=LEAVE=0ms]") != std::string::npos;
    }
    EXPECT_TRUE(sawZero);
}

TEST(ProbeSink, NonAsciiContentReachesTheConsoleAsItsUtf8BytesOnce)
{
    const std::string out = captured([] { KP_LOG(1, QString::fromUtf8("caf\xc3\xa9 \xe4\xb8\xad")); });
    EXPECT_NE(out.find("[CONTENT=caf\xc3\xa9 \xe4\xb8\xad]"), std::string::npos) << out;
}

// Many threads log at once, as the SDK's threads and the interface thread do:
// every line must arrive whole, never cut by another thread's line.
TEST(ProbeSink, LinesFromManyThreadsStayWhole)
{
    const int threads = 8;
    const int linesEach = 4000;
    const std::string out = captured([] {
        std::vector<std::thread> writers;
        for (int t = 0; t < threads; ++t)
            writers.emplace_back([] {
                for (int i = 0; i < linesEach; ++i)
                    KP_LOG(1, QStringLiteral("line"));
            });
        for (std::thread &writer : writers)
            writer.join();
    });
    const QStringList lines = QString::fromStdString(out).split('\n', Qt::SkipEmptyParts);
    const QRegularExpression whole(QStringLiteral(R"(^\d{8} [^\[]*\[LEVEL=1\]\[TID=\d{6}\]\[LINE=\d{4}\]\[TYPE=1\]\[CONTENT=line\]\[FUN=[^\[]*\]\[FILE=[^\[]*\]$)"));
    int broken = 0;
    for (const QString &line : lines)
        broken += !whole.match(line).hasMatch();
    EXPECT_EQ(lines.size(), threads * linesEach);
    EXPECT_EQ(broken, 0);
}

// A scope that spans midnight lasts what it lasted. The wall clock is moved
// to one second before midnight in a child run of this program (libfaketime;
// the monotonic clock stays real).
TEST(ProbeSink, ScopeAcrossMidnightLastsItsRealTime)
{
    if (qEnvironmentVariableIsSet("KP_TEST_MIDNIGHT_CHILD")) {
        KP_LOG_SCOPE_LEVEL(1);
        QThread::msleep(1500);
        return;
    }
    const QString faketime = QStringLiteral("/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1");
    if (!QFileInfo::exists(faketime))
        GTEST_SKIP() << "libfaketime is not installed";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KP_TEST_MIDNIGHT_CHILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("LD_PRELOAD"), faketime);
    environment.insert(QStringLiteral("FAKETIME"), QStringLiteral("@2026-03-01 23:59:59"));
    environment.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
    // A sanitizer runtime must otherwise come first among the preloaded libraries.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=ProbeSink.ScopeAcrossMidnightLastsItsRealTime")});
    ASSERT_TRUE(child.waitForFinished(30000));
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    ASSERT_TRUE(out.contains(QStringLiteral(" 23:59:59:"))) << out.toStdString();
    const QRegularExpressionMatch leave = QRegularExpression(QStringLiteral(R"(\[CONTENT=LEAVE=(-?\d+)ms\])")).match(out);
    ASSERT_TRUE(leave.hasMatch()) << out.toStdString();
    EXPECT_GE(leave.captured(1).toInt(), 1400);
    EXPECT_LT(leave.captured(1).toInt(), 20000);
}
