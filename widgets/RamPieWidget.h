// Pie chart of a storage division: one slice per segment, the unallocated rest in grey.
// Shared by the camera-RAM and the DXR allocation dialogs.
#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

class RamPieWidget : public QWidget {
    Q_OBJECT
public:
    // An empty pie (all grey) of at least 150 x 150 pixels.
    explicit RamPieWidget(QWidget* parent = nullptr);

    // Stores the segment percentages (slice i in segmentColor(i)) and repaints.
    void setPercentages(const QList<int>& percentages);
    // The percentages last given.
    const QList<int>& percentages() const { return percentages_; }

    // The colour of segment index (0-based) in the pie and in both dialogs' texts.
    static QColor segmentColor(int index);
    // The colour of the unallocated rest.
    static QColor restColor();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<int> percentages_; // per segment, percent of the whole storage
};
