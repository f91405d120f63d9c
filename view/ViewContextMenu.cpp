#include "view/ViewContextMenu.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QWidgetAction>

namespace {

constexpr std::array<double, 4> kZoomFactors{0.5, 1.0, 2.0, 4.0};

}  // namespace

ViewContextMenu::ViewContextMenu(const std::array<bool, 3>& overlaysVisible, DisplayRangeMode mode,
                                 const QString& minText, const QString& maxText, QWidget* parent)
    : QMenu(parent)
{
    const std::array<QString, 3> overlayNames{QStringLiteral("Pixelvalues"), QStringLiteral("Image Stats"),
                                              QStringLiteral("Performance Stats")};
    for (std::size_t i = 0; i < overlays_.size(); ++i) {
        overlays_[i] = addAction(overlayNames[i]);
        overlays_[i]->setCheckable(true);
        overlays_[i]->setChecked(overlaysVisible[i]);
    }

    QMenu* range = addMenu(QStringLiteral("Display Range"));
    auto* group = new QActionGroup(range);
    group->setExclusive(true);
    const auto addRangeEntry = [&](DisplayRangeMode entryMode, const QString& text) {
        QAction* action = range->addAction(text);
        action->setCheckable(true);
        group->addAction(action);
        ranges_[static_cast<std::size_t>(entryMode)] = action;
    };
    addRangeEntry(DisplayRangeMode::AutoRange, QStringLiteral("Auto Range"));
    addRangeEntry(DisplayRangeMode::ThreeSigma, QStringLiteral("3Sigma"));
    addRangeEntry(DisplayRangeMode::FiveSigma, QStringLiteral("5Sigma"));
    range->addSeparator();
    addRangeEntry(DisplayRangeMode::Manual, QStringLiteral("Manual"));
    // "Manual" only shows the state: typing a limit is what selects it.
    ranges_[0]->setEnabled(false);
    auto* limits = new QWidgetAction(range);
    limits->setDefaultWidget(buildLimitRow());
    range->addAction(limits);
    checkRangeEntry(mode);
    if (mode == DisplayRangeMode::Manual) {
        minField_->setText(minText);
        maxField_->setText(maxText);
    }

    QMenu* zoom = addMenu(QStringLiteral("Zoom"));
    const std::array<QString, 4> zoomNames{QStringLiteral("Zoom 0.5x"), QStringLiteral("Zoom 1x"),
                                           QStringLiteral("Zoom 2x"), QStringLiteral("Zoom 4x")};
    for (std::size_t i = 0; i < zooms_.size(); ++i)
        zooms_[i] = zoom->addAction(zoomNames[i]);

    // Submenu actions are reported by their own menus; remember whichever fires last.
    for (QMenu* menu : {static_cast<QMenu*>(this), range, zoom})
        connect(menu, &QMenu::triggered, this, [this](QAction* action) { chosen_ = action; });
}

QWidget* ViewContextMenu::buildLimitRow()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto addField = [&](const QString& label, QLineEdit*& field, const QString& name) {
        layout->addWidget(new QLabel(label + QLatin1Char(':'), row));
        field = new QLineEdit(row);
        field->setPlaceholderText(label);
        field->setFixedWidth(50);
        field->setObjectName(name);
        layout->addWidget(field);
    };
    addField(QStringLiteral("Min"), minField_, QStringLiteral("displayRangeMin"));
    addField(QStringLiteral("Max"), maxField_, QStringLiteral("displayRangeMax"));
    return row;
}

bool ViewContextMenu::overlayChecked(int i) const
{
    return overlays_.at(static_cast<std::size_t>(i))->isChecked();
}

std::optional<DisplayRangeMode> ViewContextMenu::rangeModeOf(const QAction* action) const
{
    for (std::size_t i = 1; i < ranges_.size(); ++i)
        if (action && ranges_[i] == action)
            return static_cast<DisplayRangeMode>(i);
    return std::nullopt;
}

double ViewContextMenu::zoomOf(const QAction* action) const
{
    for (std::size_t i = 0; i < zooms_.size(); ++i)
        if (action && zooms_[i] == action)
            return kZoomFactors[i];
    return 0.0;
}

void ViewContextMenu::checkRangeEntry(DisplayRangeMode mode, bool checked)
{
    QAction* action = ranges_.at(static_cast<std::size_t>(mode));
    if (checked) {
        action->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its checked entry directly.
    QActionGroup* group = action->actionGroup();
    group->setExclusive(false);
    action->setChecked(false);
    group->setExclusive(true);
}
