#include "lightsource/panel/LumraLightSourceWidget.h"

#include "widgets/VYKTreeComboBox.h"

#include <QHBoxLayout>
#include <algorithm>
#include <QSignalBlocker>

namespace {

constexpr int kRowHeight = 24;
constexpr int kEditorHeight = 20;

}  // namespace

LumraLightSourceWidget::LumraLightSourceWidget(QTreeWidgetItem* row, QTreeWidget* tree, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    selector_ = new VYKTreeComboBox(row, tree, this);
    selector_->setFixedHeight(kEditorHeight);
    selector_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    layout->addWidget(selector_);
    setFixedHeight(kRowHeight);
    setFocusPolicy(Qt::StrongFocus);
    connect(selector_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &LumraLightSourceWidget::onCurrentIndexChanged);
}

void LumraLightSourceWidget::setLightSources(const QStringList& names, const QList<unsigned>& serials,
                                             const QList<QIcon>& icons)
{
    names_ = names;
    serials_ = serials;
    icons_ = icons;
    {
        // Refilling passes through transient indices; the owner shows the new first entry itself.
        const QSignalBlocker blocker(selector_);
        selector_->clear();
        const int count = std::min(names_.size(), serials_.size());
        for (int i = 0; i < count; ++i)
            selector_->addItem(i < icons_.size() ? icons_.at(i) : QIcon(), names_.at(i), serials_.at(i));
        selector_->setCurrentIndex(count > 0 ? 0 : -1);
    }
}

QVariant LumraLightSourceWidget::currentSerial() const
{
    return selector_->currentData();
}

void LumraLightSourceWidget::onCurrentIndexChanged(int index)
{
    if (index < 0)
        return;
    emit lightSourceChanged(selector_->itemData(index));
}
