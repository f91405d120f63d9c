#include "LogCapture.h"

#include "DataPaths.h"
#include "Logging.h"

#include <gtest/gtest.h>

#include <QDebug>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <thread>
#include <vector>

namespace {

const QRegularExpression kLinePattern(
    QStringLiteral(R"(^\[\d\d:\d\d:\d\d:\d\d\d\] \{(DEBUG|INFO |WARNING|CRITICAL|FATAL)\} \[THR_ID: [0-9a-f]+\] (.*) \(([^:]*):(\d+)\)$)"));

} // namespace

TEST(LogLevelTable, EachLevelAdmitsItsTypesOnly)
{
    struct Row {
        int level;
        bool debug, info, warning, critical;
    };
    const Row rows[] = {
        {0, false, false, false, false},
        {1, false, false, false, true},
        {2, false, false, true, true},
        {3, false, true, true, true},
        {4, true, true, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.level);
        EXPECT_EQ(passesLogLevel(QtDebugMsg, row.level), row.debug);
        EXPECT_EQ(passesLogLevel(QtInfoMsg, row.level), row.info);
        EXPECT_EQ(passesLogLevel(QtWarningMsg, row.level), row.warning);
        EXPECT_EQ(passesLogLevel(QtCriticalMsg, row.level), row.critical);
        EXPECT_EQ(passesLogLevel(QtFatalMsg, row.level), row.critical);
    }
}

TEST(LogLine, FormatWithoutSourceLocationEndsInEmptyFileAndZero)
{
    const QMessageLogContext noContext;
    const QString line = formatLogLine(QtInfoMsg, noContext, QStringLiteral("  hello world  "));
    const QRegularExpressionMatch match = kLinePattern.match(line);
    ASSERT_TRUE(match.hasMatch()) << line.toStdString();
    EXPECT_EQ(match.captured(1), QStringLiteral("INFO "));
    EXPECT_EQ(match.captured(2), QStringLiteral("hello world"));
    EXPECT_TRUE(line.endsWith(QStringLiteral(" (:0)")));
}

TEST(LogLine, TypeNamesAreTheFixedWords)
{
    const QMessageLogContext noContext;
    EXPECT_TRUE(formatLogLine(QtDebugMsg, noContext, QStringLiteral("x")).contains(QStringLiteral("{DEBUG}")));
    EXPECT_TRUE(formatLogLine(QtWarningMsg, noContext, QStringLiteral("x")).contains(QStringLiteral("{WARNING}")));
    EXPECT_TRUE(formatLogLine(QtCriticalMsg, noContext, QStringLiteral("x")).contains(QStringLiteral("{CRITICAL}")));
    EXPECT_TRUE(formatLogLine(QtFatalMsg, noContext, QStringLiteral("x")).contains(QStringLiteral("{FATAL}")));
}

TEST(LogLine, MultiLineTextAndCallingConventionBecomeBlanks)
{
    const QMessageLogContext noContext;
    const QString line = formatLogLine(QtWarningMsg, noContext, QStringLiteral("first\nsecond\nvoid __cdecl f()\n"));
    const QRegularExpressionMatch match = kLinePattern.match(line);
    ASSERT_TRUE(match.hasMatch()) << line.toStdString();
    EXPECT_EQ(match.captured(2), QStringLiteral("first second void   f()"));
}

TEST(LogLine, SourceLocationKeepsOnlyTheFileName)
{
    const QMessageLogContext context("/home/dev/rastel/camera/Camera.cpp", 123, "f", "default");
    const QString line = formatLogLine(QtCriticalMsg, context, QStringLiteral("failed"));
    EXPECT_TRUE(line.endsWith(QStringLiteral("failed (Camera.cpp:123)"))) << line.toStdString();
}

TEST(LogLine, ThreadIdDiffersBetweenThreads)
{
    const QMessageLogContext noContext;
    const QString here = kLinePattern.match(formatLogLine(QtInfoMsg, noContext, QStringLiteral("a"))).captured(0);
    QString there;
    std::thread([&] { there = formatLogLine(QtInfoMsg, noContext, QStringLiteral("a")); }).join();
    auto threadId = [](const QString& line) { return line.section(QStringLiteral("[THR_ID: "), 1).section(QLatin1Char(']'), 0, 0); };
    EXPECT_FALSE(threadId(here).isEmpty());
    EXPECT_NE(threadId(here), threadId(there));
}

TEST(LogHandler, DefaultLevelWritesWarningsButNotDebug)
{
    LogCapture log(3);
    qWarning() << QStringLiteral("a warning");
    qDebug() << "a debug message";
    qInfo() << "an info message";
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("{WARNING} ")));
    // Qt's debug stream quotes strings; that text reaches the file as produced.
    EXPECT_TRUE(lines[0].contains(QStringLiteral("\"a warning\" (:0)"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("{INFO } ")));
}

TEST(LogHandler, OffWritesNothingAtAll)
{
    LogCapture log(0);
    qCritical() << "critical";
    qWarning() << "warning";
    qInfo() << "info";
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(LogHandler, EveryLineMatchesTheFormat)
{
    LogCapture log(4);
    qDebug() << "one" << 2 << 3.5;
    qInfo().noquote() << "multi\nline";
    qCritical() << "three";
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 3);
    for (const QString& line : lines)
        EXPECT_TRUE(kLinePattern.match(line).hasMatch()) << line.toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("multi line (:0)")));
}

TEST(LogHandler, LinesFromManyThreadsNeverInterleave)
{
    LogCapture log(3);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                qInfo().noquote() << QStringLiteral("thread %1 message %2 %3").arg(t).arg(i).arg(QString(50, QLatin1Char('x')));
        });
    for (std::thread& thread : threads)
        thread.join();
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 800);
    for (const QString& line : lines)
        ASSERT_TRUE(kLinePattern.match(line).hasMatch()) << line.toStdString();
}

TEST(LogFile, RestartInTheSameMinuteAppends)
{
    QTemporaryDir dir;
    const QString stamp = DataPaths::startTimeStamp(QDateTime(QDate(2026, 12, 6), QTime(17, 24, 59)));
    EXPECT_EQ(stamp, QStringLiteral("06_12_2026_17_24"));
    const QString path = DataPaths::logFilePathIn(dir.path() + QLatin1Char('/'), stamp);
    EXPECT_TRUE(path.endsWith(QStringLiteral("/rastel_06_12_2026_17_24.log")));

    const int previousLevel = logLevel.load();
    logLevel.store(3);
    QtMessageHandler previous = qInstallMessageHandler(logMessageHandler);
    ASSERT_TRUE(openLogFile(path));
    qInfo() << "first run";
    closeLogFile();
    ASSERT_TRUE(openLogFile(path));
    qInfo() << "second run";
    closeLogFile();
    qInstallMessageHandler(previous);
    logLevel.store(previousLevel);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("first run")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("second run")));
}

TEST(LogFile, UnopenableFileDropsLinesSilently)
{
    QTemporaryDir dir;
    EXPECT_FALSE(openLogFile(dir.filePath(QStringLiteral("missing/dir/x.log"))));
    const int previousLevel = logLevel.load();
    QtMessageHandler previous = qInstallMessageHandler(logMessageHandler);
    qCritical() << "goes nowhere";
    qInstallMessageHandler(previous);
    logLevel.store(previousLevel);
    closeLogFile();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing/dir/x.log"))));
}

TEST(DataPathsTest, AllUsersProfileDecidesTheDataDirectory)
{
    const QByteArray saved = qgetenv("ALLUSERSPROFILE");
    qputenv("ALLUSERSPROFILE", "/tmp/some/profile/");
    EXPECT_EQ(DataPaths::dataDirectory(), QStringLiteral("/tmp/some/profile/vyk/"));
    EXPECT_EQ(DataPaths::settingsFilePathIn(DataPaths::dataDirectory()), QStringLiteral("/tmp/some/profile/vyk/rastel_setup.ini"));
    qunsetenv("ALLUSERSPROFILE");
    EXPECT_TRUE(DataPaths::dataDirectory().endsWith(QStringLiteral("/vyk/")));
    EXPECT_FALSE(DataPaths::dataDirectory().startsWith(QStringLiteral("/vyk")));
    if (!saved.isNull())
        qputenv("ALLUSERSPROFILE", saved);
}

TEST(DataPathsTest, CreateDirectoryMakesMissingParents)
{
    QTemporaryDir dir;
    const QString nested = dir.filePath(QStringLiteral("a/b/vyk/"));
    DataPaths::createDirectory(nested);
    EXPECT_TRUE(QDir(nested).exists());
}
