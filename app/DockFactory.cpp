#include "DockFactory.h"

#include <qtadvanceddocking/DockWidget.h>

namespace DockFactory {

ads::CDockWidget* create(const QString& title, const QIcon& icon, const QString& objectName)
{
    auto* dock = new ads::CDockWidget(title);
    dock->setObjectName(objectName.isEmpty() ? title : objectName);
    dock->setIcon(icon);
    return dock;
}

void putPanel(ads::CDockWidget* dock, QWidget* panel, bool scrollArea)
{
    dock->setWidget(panel, scrollArea ? ads::CDockWidget::AutoScrollArea : ads::CDockWidget::ForceNoScrollArea);
    dock->setStyleSheet(QLatin1String(kPanelDockStyle));
}

bool deletePanel(ads::CDockWidget* dock)
{
    if (!dock || !dock->widget())
        return false;
    QWidget* panel = dock->takeWidget();
    delete panel;
    return true;
}

} // namespace DockFactory
