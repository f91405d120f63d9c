#include "StatusReporter.h"

StatusReporter::StatusReporter(QStatusBar* statusBar)
    : statusBar_(statusBar)
{
}

void StatusReporter::show(const QString& text, int timeoutMs)
{
    if (!statusBar_)
        return;
    statusBar_->setStyleSheet(QString());
    statusBar_->showMessage(text, timeoutMs);
}

void StatusReporter::warn(const QString& text)
{
    if (!statusBar_)
        return;
    statusBar_->setStyleSheet(QLatin1String(kWarningStyle));
    statusBar_->showMessage(text);
}

void StatusReporter::error(const QString& text)
{
    if (!statusBar_)
        return;
    statusBar_->setStyleSheet(QLatin1String(kErrorStyle));
    statusBar_->showMessage(text);
}

void StatusReporter::clearStyle()
{
    if (statusBar_)
        statusBar_->setStyleSheet(QString());
}
