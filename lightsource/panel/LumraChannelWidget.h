// One channel row of the light-source panel: wavelength swatch, on/off box, intensity.
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class VYKTreeSpinBox;

/// Editor of one light-source channel. Intensities here are percent (5..100); the panel
/// converts to the light source's tenths of a percent.
class LumraChannelWidget : public QWidget {
    Q_OBJECT
public:
    /// Smallest intensity the panel can set, percent.
    static constexpr int kMinimumPercent = 5;
    /// Largest intensity, percent.
    static constexpr int kMaximumPercent = 100;

    /// Channel channelIdx of wavelength nm, shown in row of tree; starts with intensityPercent
    /// (clamped to 5..100) and the given on state.
    LumraChannelWidget(int intensityPercent, bool on, int channelIdx, unsigned wavelengthNm,
                       QTreeWidgetItem* row, QTreeWidget* tree, QWidget* parent = nullptr);

    /// The channel index (0-based).
    int channelIndex() const { return channelIdx_; }
    /// The channel's wavelength, nm.
    unsigned wavelength() const { return wavelengthNm_; }
    /// Whether the on box is ticked.
    bool isOn() const;
    /// Ticks or clears the on box without emitting propertyChanged.
    void setOnSilently(bool on);
    /// The intensity shown, percent.
    int intensityPercent() const;

    /// The wavelength swatch.
    QLabel* swatch() const { return swatch_; }
    /// The on/off box.
    QCheckBox* onBox() const { return onBox_; }
    /// The intensity editor (percent).
    VYKTreeSpinBox* intensityBox() const { return intensityBox_; }

signals:
    /// The user changed the on state or finished editing the intensity of channelIdx.
    void propertyChanged(int channelIdx);

public slots:
    /// The on box changed: makes this row current and reports the change.
    void onStateChanged(int state);
    /// Intensity editing finished: reports the change.
    void onIntensityChanged();

private:
    const int channelIdx_;        ///< 0-based channel index
    const unsigned wavelengthNm_; ///< channel wavelength, nm
    QTreeWidgetItem* row_;        ///< the tree row holding this widget (owned by the tree)
    QTreeWidget* tree_;           ///< the tree showing the row (not owned)
    QLabel* swatch_;              ///< wavelength swatch (child)
    QCheckBox* onBox_;            ///< channel on/off (child)
    VYKTreeSpinBox* intensityBox_; ///< intensity in percent (child)
};
