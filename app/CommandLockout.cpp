#include "CommandLockout.h"

#include <QVariant>

namespace {

// QAction and QWidget both carry the "enabled" property.
const char* const kEnabled = "enabled";

} // namespace

CommandLockout::CommandLockout(std::initializer_list<QObject*> targets)
{
    for (QObject* target : targets) {
        if (!target)
            continue;
        targets_.emplace_back(target, target->property(kEnabled).toBool());
        target->setProperty(kEnabled, false);
    }
}

CommandLockout::~CommandLockout()
{
    for (const auto& [target, enabled] : targets_) {
        if (target)
            target->setProperty(kEnabled, enabled);
    }
}
