// Test fixture helper: routes the log handler into a temporary log file.
#pragma once

#include "Logging.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

class LogCapture {
public:
    // Opens a fresh log file, installs the handler and sets level.
    explicit LogCapture(int level = 3)
        : path_(dir_.filePath(QStringLiteral("rastel_test.log")))
    {
        previousLevel_ = logLevel.load();
        logLevel.store(level);
        openLogFile(path_);
        previousHandler_ = qInstallMessageHandler(logMessageHandler);
    }

    ~LogCapture()
    {
        qInstallMessageHandler(previousHandler_);
        closeLogFile();
        logLevel.store(previousLevel_);
    }

    // The lines written so far.
    QStringList lines() const
    {
        QFile file(path_);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    const QString& path() const { return path_; }

private:
    QTemporaryDir dir_;
    QString path_;
    int previousLevel_ = 3;
    QtMessageHandler previousHandler_ = nullptr;
};
