#include "CommandsContext.h"

#include "acquisition/CameraAcquisition.h"

#include <QAction>
#include <QDebug>

std::shared_ptr<vyk::AnyCamera> CommandsContext::camera(DWORD serial) const
{
    if (!cameras)
        return nullptr;
    const auto found = cameras->find(serial);
    return found == cameras->end() ? nullptr : found->second;
}

CameraAcquisition* CommandsContext::acquisition(DWORD serial) const
{
    if (!acquisitions)
        return nullptr;
    const auto found = acquisitions->find(serial);
    return found == acquisitions->end() ? nullptr : found->second;
}

bool CommandsContext::cameraRecording(DWORD serial) const
{
    if (CameraAcquisition* found = acquisition(serial))
        return found->cameraRecording();
    // A camera without an acquisition object has no worker thread that could be using it.
    const std::shared_ptr<vyk::AnyCamera> handle = camera(serial);
    if (!handle)
        return false;
    try {
        return handle->isRecording();
    } catch (const std::exception& e) {
        qWarning() << "Could not ask camera: " << serial << " whether it records: " << e.what();
        return false;
    }
}

bool CommandsContext::anyCameraRecording() const
{
    if (!cameras)
        return false;
    for (const auto& entry : *cameras) {
        if (cameraRecording(entry.first))
            return true;
    }
    return false;
}

void CommandsContext::setActionState(QAction* action, const QString& iconName, bool checked, bool enabled) const
{
    if (!action)
        return;
    const bool blocked = action->blockSignals(true);
    if (icons)
        action->setIcon(icons(iconName));
    action->setChecked(checked);
    action->setEnabled(enabled);
    action->blockSignals(blocked);
}
