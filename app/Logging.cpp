#include "Logging.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdlib>
#include <mutex>

#include <pthread.h>

std::atomic<int> logLevel{3};
QString settingsFilePath;
QString logFilePath;

namespace {

// Guards logFile: opening, closing and writing one complete line.
std::mutex logMutex;
QFile logFile; // guarded by logMutex

const char* typeName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "DEBUG";
    case QtInfoMsg:
        return "INFO ";
    case QtWarningMsg:
        return "WARNING";
    case QtCriticalMsg:
        return "CRITICAL";
    case QtFatalMsg:
        return "FATAL";
    }
    return "DEBUG";
}

QString nativeThreadId()
{
    return QString::number(static_cast<qulonglong>(pthread_self()), 16);
}

} // namespace

int severityRank(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return 4;
    case QtInfoMsg:
        return 3;
    case QtWarningMsg:
        return 2;
    case QtCriticalMsg:
    case QtFatalMsg:
        return 1;
    }
    return 4;
}

bool passesLogLevel(QtMsgType type, int level)
{
    return level != 0 && severityRank(type) <= level;
}

QString formatLogLine(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QString text = message.trimmed();
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QStringLiteral("__cdecl"), QStringLiteral(" "));
    const QString file = context.file ? QFileInfo(QString::fromUtf8(context.file)).fileName() : QString();
    return QStringLiteral("[%1] {%2} [THR_ID: %3] %4 (%5:%6)")
        .arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss:zzz")),
             QLatin1String(typeName(type)), nativeThreadId(), text, file,
             QString::number(context.line));
}

bool openLogFile(const QString& path)
{
    std::lock_guard<std::mutex> lock(logMutex);
    if (logFile.isOpen())
        logFile.close();
    logFile.setFileName(path);
    return logFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

void closeLogFile()
{
    std::lock_guard<std::mutex> lock(logMutex);
    logFile.close();
}

void logMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!passesLogLevel(type, logLevel.load(std::memory_order_relaxed)))
        return;
    const QByteArray line = formatLogLine(type, context, message).toUtf8() + '\n';

    std::lock_guard<std::mutex> lock(logMutex);
    if (logFile.isOpen()) {
        logFile.write(line);
        logFile.flush();
    }
    if (type == QtFatalMsg)
        std::abort();
}
