#include "AboutBox.h"

#include <QMessageBox>
#include <QTimer>

namespace AboutBox {

namespace {

// Alternation state of every greeting in the process: the next tick shows magenta when true.
bool gNextIsMagenta = true;

} // namespace

QString text()
{
    return QStringLiteral("<b>%1</b><br>Version: %2<br><br>%3<br><br>Built with Qt %4<br>Compiled: %5 %6<br><br>"
                          "<a href=\"%7\" style=\"color:#ffaa00;\">Visit our website</a>")
        .arg(QStringLiteral("Rastel"), QStringLiteral("1.1.1.0"),
             QStringLiteral("Copyright (C) Vyk Imaging. All rights reserved."), QString::fromLatin1(qVersion()),
             QStringLiteral(__DATE__), QStringLiteral(__TIME__), QStringLiteral("https://www.vyk-imaging.example"));
}

void show(QWidget* parent)
{
    QMessageBox::about(parent, QStringLiteral("About"), text());
}

QMessageBox* showAprilGreeting(const QDate& today)
{
    if (today.month() != 4 || today.day() != 1)
        return nullptr;
    auto* box = new QMessageBox(QMessageBox::NoIcon, QString::fromUtf8("\xF0\x9F\x8E\x89 Cheers!"),
                                QStringLiteral("Happy April Fools' Day!"), QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    auto* timer = new QTimer(box);
    QObject::connect(timer, &QTimer::timeout, box, [box]() {
        box->setStyleSheet(gNextIsMagenta ? QStringLiteral("background-color: magenta;")
                                          : QStringLiteral("background-color: yellow;"));
        gNextIsMagenta = !gNextIsMagenta;
    });
    timer->start(200);
    box->show();
    return box;
}

} // namespace AboutBox
