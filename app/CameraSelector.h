// The tool bar's camera selector: one entry per camera, in ascending serial order.
#pragma once

#include "CameraMap.h"

#include <QIcon>
#include <QString>

#include <optional>

class QComboBox;

namespace CameraSelector {

// "wifi" for a remote camera, "computer" for a local one, tinted with colour.
QIcon entryIcon(vyk::AnyCamera& camera, const QString& colour);

// Clears selector and adds "Camera: <name>" with the serial as item data for every camera.
// The caller decides about blocking the selector's signals.
void fill(QComboBox* selector, const CameraMap& cameras, const ColourMap& colours);

// The serial of the current entry, none when the selector is empty.
std::optional<DWORD> currentSerial(const QComboBox* selector);

// Index of serial's entry, -1 when there is none.
int indexOf(const QComboBox* selector, DWORD serial);

} // namespace CameraSelector
