#include "LiveCamera.h"

#include "camera/AnyCamera.h"

#include <QMessageBox>

std::shared_ptr<vyk::AnyCamera> liveCameraOrWarn(const std::weak_ptr<vyk::AnyCamera>& camera, QWidget* parent)
{
    std::shared_ptr<vyk::AnyCamera> live = camera.lock();
    if (!live) {
        QMessageBox::warning(parent, QStringLiteral("Camera unavailable"),
                             QStringLiteral("The camera is no longer available."));
    }
    return live;
}
