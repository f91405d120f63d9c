#include "CameraPalette.h"

#include "camera/AnyCamera.h"

#include <QDebug>

namespace CameraPalette {

const QStringList& colours()
{
    static const QStringList palette{
        QStringLiteral("green"), QStringLiteral("steelblue"), QStringLiteral("gold"),
        QStringLiteral("deeppink"), QStringLiteral("lawngreen"), QStringLiteral("lightblue"),
        QStringLiteral("yellow"), QStringLiteral("violet"), QStringLiteral("limegreen"),
        QStringLiteral("slateblue"), QStringLiteral("goldenrod"), QStringLiteral("orchid")};
    return palette;
}

ColourMap assign(const CameraMap& cameras)
{
    ColourMap result;
    int i = 0;
    for (const auto& [serial, camera] : cameras) {
        result[serial] = colours().at(i % colours().size());
        qInfo() << "Camera: " << i << "-> Name: " << QString::fromStdString(camera->getName())
                << " Serial: " << serial;
        ++i;
    }
    return result;
}

int indexOf(const QString& colour)
{
    const int index = colours().indexOf(colour);
    return index < 0 ? 0 : index;
}

} // namespace CameraPalette
