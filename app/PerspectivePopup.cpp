#include "PerspectivePopup.h"

#include "IconLoader.h"
#include "LayoutPersistence.h"
#include "VYKToolbarPopup.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton* addButton(QVBoxLayout* layout, const QString& text, const QString& toolTip)
{
    auto* button = new QPushButton(text);
    button->setToolTip(toolTip);
    layout->addWidget(button);
    return button;
}

} // namespace

VYKToolbarPopup* createPerspectivePopup(LayoutPersistence* layout, QComboBox* selector, QWidget* parent)
{
    auto* panelLayout = new QVBoxLayout;
    QPushButton* add = addButton(panelLayout, QStringLiteral("Add Perspective"), QStringLiteral("Add a new perspective"));
    QPushButton* update = addButton(panelLayout, QStringLiteral("Update Perspective"),
                                    QStringLiteral("Update existing perspective to current layout"));
    QPushButton* remove = addButton(panelLayout, QStringLiteral("Remove Perspective"),
                                    QStringLiteral("Remove current perspective from list"));
    selector->setToolTip(QStringLiteral("Switch between existing layouts"));
    panelLayout->addWidget(selector);

    auto* action = new QAction(loadIcon(QStringLiteral("layout-right")), QString(), parent);
    action->setToolTip(QStringLiteral("Edit, add or remove perspectives"));
    auto* popup = new VYKToolbarPopup(action, panelLayout, parent);

    QObject::connect(add, &QPushButton::clicked, layout, &LayoutPersistence::onAddPerspectiveClicked);
    QObject::connect(update, &QPushButton::clicked, layout, &LayoutPersistence::onSavePerspectiveClicked);
    QObject::connect(remove, &QPushButton::clicked, layout, &LayoutPersistence::onRemovePerspectiveClicked);
    return popup;
}
