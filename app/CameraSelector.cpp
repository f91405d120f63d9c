#include "CameraSelector.h"

#include "IconLoader.h"

#include "camera/AnyCamera.h"

#include <QComboBox>

namespace CameraSelector {

QIcon entryIcon(vyk::AnyCamera& camera, const QString& colour)
{
    return loadIcon(camera.isRemote() ? QStringLiteral("wifi") : QStringLiteral("computer"), colour);
}

void fill(QComboBox* selector, const CameraMap& cameras, const ColourMap& colours)
{
    selector->clear();
    for (const auto& [serial, camera] : cameras) {
        const auto colour = colours.find(serial);
        selector->addItem(entryIcon(*camera, colour == colours.end() ? QString() : colour->second),
                          QStringLiteral("Camera: %2").arg(QString::fromStdString(camera->getName())), serial);
    }
}

std::optional<DWORD> currentSerial(const QComboBox* selector)
{
    if (!selector || selector->currentIndex() < 0)
        return std::nullopt;
    return selector->currentData().toUInt();
}

int indexOf(const QComboBox* selector, DWORD serial)
{
    return selector ? selector->findData(serial) : -1;
}

} // namespace CameraSelector
