#pragma once
// Helpers of the RAM dialog tests: acting on a modal dialog from inside its event loop and
// finding the dialogs' editors.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace ramtest {

// Runs act on the first Dialog that becomes the active modal widget (as the user would,
// inside the dialog's own event loop). The watcher ends once it has acted.
template <typename Dialog>
void whenShown(std::function<void(Dialog*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start();
}

// The child of parent named name; a test failure when there is none.
template <typename T>
T* child(const QWidget& parent, const QString& name)
{
    T* found = parent.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

inline QPushButton* okButton(const QWidget& dialog)
{
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

inline QPushButton* cancelButton(const QWidget& dialog)
{
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
}

inline QPushButton* applyButton(const QWidget& dialog)
{
    for (QAbstractButton* button : dialog.findChild<QDialogButtonBox*>()->buttons())
        if (button->text() == QLatin1String("Apply"))
            return qobject_cast<QPushButton*>(button);
    ADD_FAILURE() << "no Apply button";
    return nullptr;
}

} // namespace ramtest
