#include "kplog.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

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
