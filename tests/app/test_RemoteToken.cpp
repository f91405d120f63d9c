// Adding remote cameras from a device server that demands a token: the marker in "Select
// Remote Devices", the refusal shown to the user, and the token from RASTEL_TOKEN or from the
// Camera Setup dialog's settings entry. The server runs as a process on loopback.
#include "MainWindowFixture.h"

#include "CameraSelectionDialog.h"
#include "CameraSetup.h"
#include "MainWindow.h"
#include "RemoteToken.h"

#include "camera/Configuration.h"
#include "camera/Description.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <cstdlib>

#ifdef RASTEL_DEVSERVER

namespace {

constexpr int kWaitMs = 10000;
constexpr DWORD kRemoteSerial = 5101;
const char* const kToken = "gui-token-42";
const QString kRefusalTitle = QStringLiteral("Remote Camera");

class RemoteTokenTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        unsetenv("RASTEL_TOKEN");
        startServer();
        setSetting(QStringLiteral("mainWindow/Searchmode"), QStringLiteral("remote"));
        // Ticks every offered camera, after noting how the "Device" cells read.
        answerer_->on(QStringLiteral("Select Remote Devices"), [this](QWidget* dialog) {
            auto* selection = qobject_cast<CameraSelectionDialog*>(dialog);
            ASSERT_NE(selection, nullptr);
            for (int row = 0; row < selection->table()->rowCount(); ++row) {
                deviceCells_ << selection->table()->item(row, 3)->text();
                selection->table()->cellWidget(row, 0)->findChild<QCheckBox*>()->setChecked(true);
            }
            selection->findChild<QPushButton*>()->click();
        });
        answerer_->on(kRefusalTitle, [this](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            ASSERT_NE(box, nullptr);
            refusals_ << box->text();
            box->buttons().first()->click();
        });
    }

    void TearDown() override
    {
        unsetenv("RASTEL_TOKEN");
        // The window releases its cameras on the server, so it goes first.
        window_.reset();
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            EXPECT_TRUE(server_.waitForFinished(5000));
        }
        MainWindowTest::TearDown();
    }

    // The device server with one camera and a private token file.
    void startServer()
    {
        const QString set = dir_.filePath(QStringLiteral("server-cameras.json"));
        QFile file(set);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(nlohmann::json{{"cameras", nlohmann::json::array({camera(kRemoteSerial)})}}.dump()));
        file.close();
        const QString tokenFile = dir_.filePath(QStringLiteral("token"));
        QFile token(tokenFile);
        ASSERT_TRUE(token.open(QIODevice::WriteOnly));
        token.write(QByteArray(kToken) + "\n");
        token.close();
        ASSERT_TRUE(token.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));

        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.start(QStringLiteral(RASTEL_DEVSERVER),
                      {"--bind", "127.0.0.1", "--base-port", "0", "--discovery-port", QString::number(discoveryPort_),
                       "--config", set, "--data-dir", dir_.filePath(QStringLiteral("server-data")),
                       "--no-light-sources", "--token-file", tokenFile});
        ASSERT_TRUE(server_.waitForStarted(5000));
        QByteArray output;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (output += server_.readAll()).contains("ready"); }, kWaitMs))
            << output.constData();
    }

    QProcess server_;
    QStringList deviceCells_; // "Device" cells of the selection dialog, row by row
    QStringList refusals_;    // texts of the refusal boxes shown
};

TEST_F(RemoteTokenTest, WithoutATokenTheRefusalIsShownAndNoCameraAdded)
{
    MainWindow& window = makeWindow(false);
    EXPECT_EQ(deviceCells_, QStringList{QStringLiteral("camera (token required)")});
    EXPECT_TRUE(window.cameras().empty());
    ASSERT_EQ(refusals_.size(), 1);
    EXPECT_TRUE(refusals_.first().contains(QStringLiteral("refused the token: missing or wrong token")))
        << refusals_.first().toStdString();
    EXPECT_TRUE(logged(QStringLiteral("Failed to create remote camera at ")));
    EXPECT_TRUE(logged(QStringLiteral("Remote camera refused: ")));
    EXPECT_EQ(answerer_->count(QStringLiteral("No Camera")), 1);
}

TEST_F(RemoteTokenTest, TokenFromTheEnvironmentAddsTheCamera)
{
    setenv("RASTEL_TOKEN", kToken, 1);
    MainWindow& window = makeWindow(false);
    EXPECT_EQ(window.cameras().count(kRemoteSerial), 1u);
    EXPECT_TRUE(refusals_.isEmpty()) << refusals_.join('\n').toStdString();
    EXPECT_TRUE(logged(QStringLiteral("Added remote camera: ")));
}

TEST_F(RemoteTokenTest, TokenFromCameraSetupIsKeptAndUsed)
{
    {
        CameraSetup setup(vyk::Configuration{}, vyk::Description{});
        ASSERT_NE(setup.tokenEdit(), nullptr);
        EXPECT_TRUE(setup.tokenEdit()->text().isEmpty());
        EXPECT_NE(setup.tokenEdit()->echoMode(), QLineEdit::Normal) << "the token is a secret";
        setup.tokenEdit()->setText(QStringLiteral(" %1 ").arg(QLatin1String(kToken)));
        setup.accept();
    }
    EXPECT_EQ(setting(QString::fromLatin1(RemoteToken::kSettingsKey)).toString(), QLatin1String(kToken));
    {
        CameraSetup cancelled(vyk::Configuration{}, vyk::Description{});
        EXPECT_EQ(cancelled.tokenEdit()->text(), QLatin1String(kToken));
        cancelled.tokenEdit()->setText(QStringLiteral("changed but cancelled"));
        cancelled.reject();
    }
    EXPECT_EQ(RemoteToken::stored(), QLatin1String(kToken));

    MainWindow& window = makeWindow(false);
    EXPECT_EQ(window.cameras().count(kRemoteSerial), 1u);
    EXPECT_TRUE(refusals_.isEmpty()) << refusals_.join('\n').toStdString();
}

TEST_F(RemoteTokenTest, EnvironmentWinsOverTheStoredToken)
{
    RemoteToken::store(QString::fromLatin1(kToken));
    setenv("RASTEL_TOKEN", "stale", 1);
    EXPECT_EQ(RemoteToken::configured(), "stale");
    MainWindow& window = makeWindow(false);
    EXPECT_TRUE(window.cameras().empty());
    EXPECT_EQ(refusals_.size(), 1);

    // An empty token removes the entry, so nothing is sent.
    RemoteToken::store(QString());
    EXPECT_FALSE(setting(QString::fromLatin1(RemoteToken::kSettingsKey)).isValid());
    unsetenv("RASTEL_TOKEN");
    EXPECT_EQ(RemoteToken::configured(), "");
}

} // namespace

#endif // RASTEL_DEVSERVER
