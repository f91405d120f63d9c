// Range widget label, file path picker, reporting dialog and the percent delegate.
#include "widgets/FilePathWidget.h"
#include "widgets/PercentSpinboxDxr.h"
#include "widgets/RangeSlider.h"
#include "widgets/RangeWidget.h"
#include "widgets/VYKDialog.h"

#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QToolButton>

TEST(RangeWidget, LabelShowsTheValuesOfTheExistingHandles)
{
    RangeWidget both(QStringLiteral("Playback Range"), Qt::Horizontal, RangeSlider::BothHandles);
    EXPECT_EQ(both.label()->text(), QStringLiteral("Playback Range: [0, 100]"));
    both.slider()->setRange(1, 20);
    EXPECT_EQ(both.label()->text(), QStringLiteral("Playback Range: [1, 20]"));
    both.slider()->setLowerValue(5);
    EXPECT_EQ(both.label()->text(), QStringLiteral("Playback Range: [5, 20]"));
    EXPECT_EQ(both.lowerValue(), 5);

    RangeWidget lower(QStringLiteral("Start"), Qt::Horizontal, RangeSlider::LowerHandle);
    lower.slider()->setLowerValue(7);
    EXPECT_EQ(lower.label()->text(), QStringLiteral("Start: 7"));
    lower.slider()->setUpperValue(50);
    EXPECT_EQ(lower.label()->text(), QStringLiteral("Start: 7")) << "the upper value is not shown";
    EXPECT_EQ(lower.upperValue(), 50) << "but it is stored";

    RangeWidget upper(QStringLiteral("End"), Qt::Vertical, RangeSlider::UpperHandle);
    upper.slider()->setUpperValue(42);
    EXPECT_EQ(upper.label()->text(), QStringLiteral("End: 42"));

    RangeWidget none(QStringLiteral("Position"), Qt::Horizontal, RangeSlider::NoHandle);
    none.slider()->setLowerValue(3);
    EXPECT_EQ(none.label()->text(), QStringLiteral("Position"));
}

TEST(RangeWidget, SetValuesRewritesTheLabelWithoutMovingTheSlider)
{
    RangeWidget widget(QStringLiteral("Range"), Qt::Horizontal, RangeSlider::BothHandles);
    QSignalSpy moved(widget.slider(), &RangeSlider::lowerValueChanged);
    widget.setValues(3, 9);
    EXPECT_EQ(widget.label()->text(), QStringLiteral("Range: [3, 9]"));
    EXPECT_EQ(widget.slider()->lowerValue(), 0);
    EXPECT_EQ(widget.slider()->upperValue(), 100);
    EXPECT_EQ(moved.count(), 0);
}

TEST(FilePathWidget, Layout)
{
    FilePathWidget widget;
    auto* layout = qobject_cast<QHBoxLayout*>(widget.layout());
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->contentsMargins(), QMargins(0, 0, 0, 0));
    EXPECT_EQ(layout->spacing(), 2);
    EXPECT_EQ(widget.lineEdit()->placeholderText(), QStringLiteral("Path to LUT file"));
    EXPECT_EQ(widget.browseButton()->text(), QStringLiteral("..."));
    EXPECT_EQ(widget.browseButton()->toolTip(), QStringLiteral("Browse for file"));
    EXPECT_EQ(widget.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(widget.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

TEST(FilePathWidget, BrowsingAsksForALutFileStartingAtTheCurrentPath)
{
    FilePathWidget widget;
    widget.lineEdit()->setText(QStringLiteral("/data/old.lut"));
    QStringList asked;
    QString answer = QStringLiteral("/data/new.lt2");
    widget.setFileChooser([&](QWidget* parent, const QString& caption, const QString& start,
                              const QString& filter) {
        EXPECT_EQ(parent, &widget);
        asked << caption << start << filter;
        return answer;
    });
    QSignalSpy changed(&widget, &FilePathWidget::pathChanged);

    QTest::mouseClick(widget.browseButton(), Qt::LeftButton);
    EXPECT_EQ(asked, (QStringList{"Select LUT file", "/data/old.lut",
                                  "LUT files (*.lut *.lt1 *.lt2 *.lt3 *.lt4)"}));
    EXPECT_EQ(widget.lineEdit()->text(), answer);
    EXPECT_EQ(changed.count(), 1);

    answer.clear(); // cancelled
    widget.onBrowseClicked();
    EXPECT_EQ(widget.lineEdit()->text(), QStringLiteral("/data/new.lt2"));
    EXPECT_EQ(changed.count(), 1);
}

TEST(FilePathWidget, FinishingAnEditReportsTheChange)
{
    FilePathWidget widget;
    QSignalSpy changed(&widget, &FilePathWidget::pathChanged);
    QTest::keyClicks(widget.lineEdit(), QStringLiteral("/tmp/x.lut"));
    EXPECT_EQ(changed.count(), 0);
    QTest::keyClick(widget.lineEdit(), Qt::Key_Return);
    EXPECT_EQ(changed.count(), 1);
}

TEST(VYKDialog, ReportsShowingAndHiding)
{
    auto* layout = new QHBoxLayout;
    VYKDialog dialog(layout, nullptr, Qt::Tool);
    EXPECT_EQ(dialog.layout(), layout);
    EXPECT_EQ(dialog.size(), QSize(200, 100));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::Tool));

    QSignalSpy shown(&dialog, &VYKDialog::showSignal);
    QSignalSpy hidden(&dialog, &VYKDialog::hideSignal);
    dialog.show();
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(hidden.count(), 0);
    dialog.hide();
    EXPECT_EQ(hidden.count(), 1);
    dialog.show();
    dialog.reject();
    EXPECT_EQ(shown.count(), 2);
    EXPECT_EQ(hidden.count(), 2);
}

TEST(PercentSpinboxDxr, EditsWholePercentagesInTheEditRole)
{
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), 42, Qt::EditRole);
    PercentSpinboxDxr delegate;
    QWidget parent;
    QWidget* editor = delegate.createEditor(&parent, QStyleOptionViewItem(), model.index(0, 0));
    auto* spin = qobject_cast<QSpinBox*>(editor);
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->parent(), &parent);
    EXPECT_EQ(spin->minimum(), 0);
    EXPECT_EQ(spin->maximum(), 100);
    EXPECT_EQ(spin->suffix(), QStringLiteral("%"));
    EXPECT_EQ(spin->singleStep(), 1);

    delegate.setEditorData(spin, model.index(0, 0));
    EXPECT_EQ(spin->value(), 42);

    spin->setValue(77);
    delegate.setModelData(spin, &model, model.index(0, 0));
    const QVariant stored = model.data(model.index(0, 0), Qt::EditRole);
    EXPECT_EQ(stored.userType(), QMetaType::Int);
    EXPECT_EQ(stored.toInt(), 77);

    model.setData(model.index(0, 0), QStringLiteral("250"), Qt::EditRole);
    delegate.setEditorData(spin, model.index(0, 0));
    EXPECT_EQ(spin->value(), 100) << "out-of-range model values are clamped by the editor";
}
