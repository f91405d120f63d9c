#include "CommandsContext.h"

#include <QAction>

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
