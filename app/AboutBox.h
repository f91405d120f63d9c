// The "About" box and the first-of-April greeting.
#pragma once

#include <QDate>
#include <QString>

class QMessageBox;
class QWidget;

namespace AboutBox {

// The box's rich text: name, version, legal notice, the Qt version in use, the build's
// date and time and the web address.
QString text();

// Shows the modal About box.
void show(QWidget* parent);

// On 1 April: shows the non-modal, parentless greeting whose background alternates
// magenta / yellow every 200 ms, and returns it (it deletes itself when closed).
// Other days: returns null.
QMessageBox* showAprilGreeting(const QDate& today);

} // namespace AboutBox
