// The application object keeps running when an event handler throws, and tells the user.
#include "RastelApplication.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {

// Throws from its timer handler, as a slot does that meets an error nobody catches.
class Thrower : public QObject {
protected:
    void timerEvent(QTimerEvent*) override { throw std::runtime_error("key \"crop\" not found"); }
};

// Answers the warning box and remembers its title and text.
struct BoxAnswerer {
    QString title;
    QString text;
    int boxes = 0;
    QTimer timer;
    BoxAnswerer()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                text = box->text();
                ++boxes;
                box->accept();
            }
        });
        timer.start(5);
    }
};

}  // namespace

TEST(RastelApplication, ExceptionInAnEventHandlerIsReportedAndTheProgramGoesOn)
{
    auto* app = qobject_cast<RastelApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    QSignalSpy reported(app, &RastelApplication::unhandledException);
    BoxAnswerer answerer;
    Thrower thrower;
    const int timer = thrower.startTimer(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.count() >= 3; }, 5000));
    thrower.killTimer(timer);
    EXPECT_EQ(reported.at(0).at(0).toString(), QStringLiteral("key \"crop\" not found"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.boxes >= 1; }, 5000));
    EXPECT_EQ(answerer.title, QStringLiteral("Unexpected error"));
    EXPECT_TRUE(answerer.text.contains(QStringLiteral("key \"crop\" not found")));
    // Events after the failure are still delivered.
    bool delivered = false;
    QTimer::singleShot(0, app, [&delivered] { delivered = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return delivered; }, 5000));
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    RastelApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
