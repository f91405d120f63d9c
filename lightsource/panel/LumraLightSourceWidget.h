// The "Light Source" row of the light-source panel: a selector over all light sources.
#pragma once

#include <QIcon>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;
class VYKTreeComboBox;

/// Selector of the light source the panel shows. Entries carry the name as text, the serial
/// as item data and an icon telling local from remote.
class LumraLightSourceWidget : public QWidget {
    Q_OBJECT
public:
    /// An empty selector for row of tree (either may be null).
    explicit LumraLightSourceWidget(QTreeWidgetItem* row = nullptr, QTreeWidget* tree = nullptr,
                                    QWidget* parent = nullptr);

    /// Replaces the entries (the three lists run in parallel; a missing icon is empty) and
    /// refills the selector; the first entry becomes current without lightSourceChanged.
    void setLightSources(const QStringList& names, const QList<unsigned>& serials, const QList<QIcon>& icons);

    /// The names, in selector order.
    const QStringList& names() const { return names_; }
    /// The serials, in selector order.
    const QList<unsigned>& serials() const { return serials_; }
    /// The serial of the current entry; an invalid QVariant while the selector is empty.
    QVariant currentSerial() const;
    /// The selector.
    VYKTreeComboBox* selector() const { return selector_; }

signals:
    /// The current entry changed to the light source with this serial (unsigned).
    void lightSourceChanged(QVariant serial);

public slots:
    /// Emits lightSourceChanged with the item data of entry index (nothing for -1).
    void onCurrentIndexChanged(int index);

private:
    VYKTreeComboBox* selector_; ///< the selector (child)
    QStringList names_;         ///< entry texts
    QList<unsigned> serials_;   ///< entry serials
    QList<QIcon> icons_;        ///< entry icons
};
