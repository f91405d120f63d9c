// The camera a dialog edits, taken from its weak handle at the moment of applying.
#pragma once

#include <memory>

class QWidget;
namespace vyk {
class AnyCamera;
}

/// The camera behind camera, or null after telling the user (a warning box with parent)
/// that it is gone: dialogs hold weak handles so that they never keep a removed camera open.
std::shared_ptr<vyk::AnyCamera> liveCameraOrWarn(const std::weak_ptr<vyk::AnyCamera>& camera, QWidget* parent);
