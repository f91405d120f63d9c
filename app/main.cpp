// Program entry: prepares the application, paths and log, then runs the main window.
#include "DataPaths.h"
#include "Logging.h"
#include "MainWindow.h"
#include "RastelApplication.h"
#include "Resources.h"

#include "kv2_cam.h"

#include <QApplication>
#include <QDateTime>
#include <QDebug>
#include <QPalette>
#include <QPixmap>
#include <QSplashScreen>
#include <QStyleFactory>
#include <QSurfaceFormat>

#include <QVTKOpenGLNativeWidget.h>

#include <vtkOpenGLRenderWindow.h>

#include <memory>

namespace {

// Qt 5 has no colour-scheme query: a dark window background means a dark scheme.
bool systemSchemeIsDark()
{
    return QApplication::palette().color(QPalette::Window).lightness() < 128;
}

std::unique_ptr<QSplashScreen> showSplash()
{
    const QString logo = systemSchemeIsDark() ? QStringLiteral(":icons/vyk_logo_white.png")
                                              : QStringLiteral(":icons/vyk_logo_black.png");
    const QPixmap pixmap = QPixmap(logo).scaled(800, 800, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    auto splash = std::make_unique<QSplashScreen>(pixmap);
    splash->show();
    QApplication::processEvents();
    return splash;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication::setAttribute(Qt::AA_UseDesktopOpenGL);
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    vtkOpenGLRenderWindow::SetGlobalMaximumNumberOfMultiSamples(0);
    // The image views render through VTK's OpenGL widget, which needs its own surface format.
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());

    RastelApplication app(argc, argv);
    initRastelResources();
    QApplication::setQuitOnLastWindowClosed(true);

    const QString stamp = DataPaths::startTimeStamp(QDateTime::currentDateTime());
    QApplication::setOrganizationName(QStringLiteral("Vyk Imaging"));
    QApplication::setApplicationName(QStringLiteral("Rastel"));

    const QString dataDirectory = DataPaths::dataDirectory();
    DataPaths::createDirectory(dataDirectory);
    settingsFilePath = DataPaths::settingsFilePathIn(dataDirectory);
    DataPaths::createDirectory(dataDirectory);
    logFilePath = DataPaths::logFilePathIn(dataDirectory, stamp);
    openLogFile(logFilePath);
    qInstallMessageHandler(logMessageHandler);

    QApplication::setDesktopSettingsAware(false);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    std::unique_ptr<QSplashScreen> splash = showSplash();

    const int32_t initResult = VYK_InitializeLib();
    if (initResult != 0)
        qWarning().noquote() << "VYK_InitializeLib() returned with an error: 0x" + QString::number(static_cast<uint32_t>(initResult), 16);

    int result = 0;
    {
        MainWindow window;
        window.show();
        splash->finish(&window);
        splash.reset();
        result = QApplication::exec();
    }
    qInstallMessageHandler(nullptr);
    closeLogFile();
    return result;
}
