#include "kplog.h"
#include "kplogcapture.h"
#include "kpobsext.h"
#include "logcontent.h"

#include <QMutex>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QStringList g_qtDebugLines;

void captureQtDebug(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_qtDebugLines << message;
}

class PluginSinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_qtDebugLines.clear();
        m_previousQtHandler = qInstallMessageHandler(captureQtDebug);
    }
    void TearDown() override
    {
        qInstallMessageHandler(m_previousQtHandler);
        kp_obs_set_log_encrypted(false);
    }

    KPLogCapture m_capture;
    QtMessageHandler m_previousQtHandler = nullptr;
};

const QString kFields = QStringLiteral(
    R"(\[LEVEL=(\d+)\]\[TID=(\d{6})\]\[LINE=(\d{4})\]\[TYPE=(\d+)\]\[CONTENT=(.*)\]\[FUN=(.*)\]\[FILE=(.*)\]$)");

} // namespace

TEST_F(PluginSinkTest, PlainLineHasTimestampAllFieldsAndReachesQtDebug)
{
    kp_obs_set_log_encrypted(false);
    const int line = __LINE__ + 1;
    KP_LOG(2, QStringLiteral("hello"));

    ASSERT_EQ(m_capture.lines().size(), 1);
    const QString text = m_capture.lines().first();
    const QRegularExpression layout(QStringLiteral(R"(^\d{8} \d\d:\d\d:\d\d:\d{3}: )") + kFields);
    const QRegularExpressionMatch match = layout.match(text);
    ASSERT_TRUE(match.hasMatch()) << text.toStdString();
    EXPECT_EQ(match.captured(1), QStringLiteral("2"));
    EXPECT_EQ(match.captured(3), QStringLiteral("%1").arg(line, 4, 10, QLatin1Char('0')));
    EXPECT_EQ(match.captured(4), QStringLiteral("1"));
    EXPECT_EQ(match.captured(5), QStringLiteral("hello"));
    EXPECT_TRUE(match.captured(6).contains(QStringLiteral("TestBody")));
    EXPECT_TRUE(match.captured(7).endsWith(QStringLiteral("pluginsinktest.cpp")));
    EXPECT_EQ(g_qtDebugLines, QStringList{text});
}

TEST_F(PluginSinkTest, EncryptedLineHasNoTimestampEncodesContentAndSkipsQtDebug)
{
    kp_obs_set_log_encrypted(true);
    KP_LOG(1, QStringLiteral("abc"));
    KP_LOG(1, QString());

    const QStringList lines = m_capture.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("[LEVEL=1][TID=")));
    // "abc" is Base64 "YWJj"; upper case moves by 11, lower case by 7.
    EXPECT_TRUE(lines[0].contains(QStringLiteral("[CONTENT=JHUq]"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("[CONTENT=]")));
    EXPECT_TRUE(g_qtDebugLines.isEmpty());
}

TEST_F(PluginSinkTest, ScopeWritesEnterAndLeaveAtLevelOne)
{
    {
        KP_LOG_SCOPE();
    }
    const QStringList lines = m_capture.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("[LEVEL=1]")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("[TYPE=5][CONTENT=ENTER]")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(\[TYPE=5\]\[CONTENT=LEAVE=\d+ms\])")).match(lines[1]).hasMatch());
    // Both lines name the scope's own line, not the destructor's.
    EXPECT_EQ(lines[0].section(QStringLiteral("[LINE="), 1).left(4),
              lines[1].section(QStringLiteral("[LINE="), 1).left(4));
}

TEST_F(PluginSinkTest, InstantScopeLastsZeroMilliseconds)
{
    // A loaded machine may stretch any one scope past a millisecond, so an
    // instant scope has a few chances to show that it rounds down to 0.
    for (int i = 0; i < 50 && m_capture.linesWithContent(QStringLiteral("LEAVE=0ms")).isEmpty(); ++i) {
        KP_LOG_SCOPE();
    }
    EXPECT_FALSE(m_capture.linesWithContent(QStringLiteral("LEAVE=0ms")).isEmpty());
}

TEST(LogFields, LineAndThreadArePaddedOrCutToTheirWidth)
{
    EXPECT_EQ(kplog::lineField(16), QStringLiteral("[LINE=0016]"));
    EXPECT_EQ(kplog::lineField(12345), QStringLiteral("[LINE=2345]"));
    EXPECT_EQ(kplog::threadValue(4321), QStringLiteral("004321"));
    EXPECT_EQ(kplog::threadValue(12345678), QStringLiteral("345678"));
}

TEST(LogContent, EncodingRotatesOnlyDigitsAndLettersOfTheBase64Text)
{
    EXPECT_EQ(encodeLogContent(QStringLiteral("abc"), LogKey{0, 0, 0}), QStringLiteral("YWJj"));
    // Characters outside Latin-1 become '?', Base64 "Pw==": padding is kept.
    EXPECT_EQ(encodeLogContent(QString::fromUtf8("\xe4\xb8\xad"), LogKey{0, 0, 0}), QStringLiteral("Pw=="));
    EXPECT_EQ(encodeLogContent(QStringLiteral("\xff\xff\xff"), LogKey{0, 0, 0}), QStringLiteral("////"));
    // "5555" is Base64 "NTU1NQ==": with a digit shift of 9 its 1 wraps to 0.
    EXPECT_EQ(encodeLogContent(QStringLiteral("5555"), LogKey{9, 0, 0}), QStringLiteral("NTU0NQ=="));

    const QString content = QStringLiteral("m_hideHandwriting is true. x=12, y=-7");
    EXPECT_EQ(decodeLogContent(encodeLogContent(content)), content);
}
