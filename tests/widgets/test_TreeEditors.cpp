// Tree editor widgets: row bookkeeping on focus changes, wheel handling, step buttons.
#include "widgets/VYKTreeComboBox.h"
#include "widgets/VYKTreeDoubleSpinBox.h"
#include "widgets/VYKTreePushButton.h"
#include "widgets/VYKTreeSpinBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>

namespace {

// A tree with many rows (so it can scroll) and one editor row in the middle.
class TreeFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.setColumnCount(2);
        tree.resize(300, 200);
        for (int i = 0; i < 60; ++i) {
            auto* item = new QTreeWidgetItem(&tree, QStringList{QStringLiteral("Row %1").arg(i)});
            if (i == 5)
                row = item;
        }
        other = tree.topLevelItem(0);
    }

    // Puts editor into the value column of the editor row and shows the tree.
    void install(QWidget* editor)
    {
        tree.setItemWidget(row, 1, editor);
        tree.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    }

    // Sends a focus change with the given reason straight to the widget.
    static void focus(QWidget* widget, QEvent::Type type, Qt::FocusReason reason)
    {
        QFocusEvent event(type, reason);
        QApplication::sendEvent(widget, &event);
    }

    // One wheel notch down over the widget; returns whether the widget kept the event.
    // (Qt hands an ignored wheel event from the window system on to the parent, the tree's
    // viewport, which scrolls.)
    static bool wheelAccepted(QWidget* widget)
    {
        const QPointF centre(widget->width() / 2.0, widget->height() / 2.0);
        QWheelEvent event(centre, widget->mapToGlobal(centre.toPoint()), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &event);
        return event.isAccepted();
    }

    // Gives the widget real keyboard focus (the tree window must be active).
    static bool giveFocus(QWidget* widget)
    {
        QApplication::setActiveWindow(widget->window());
        widget->setFocus(Qt::OtherFocusReason);
        return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 5000);
    }

    QTreeWidget tree;
    QTreeWidgetItem* row = nullptr;
    QTreeWidgetItem* other = nullptr;
};

} // namespace

TEST_F(TreeFixture, SpinBoxFocusMakesRowCurrentAndShowsButtonsOnlyWhileFocused)
{
    auto* spin = new VYKTreeSpinBox(0, 50, row, &tree);
    install(spin);
    EXPECT_EQ(spin->minimum(), 0);
    EXPECT_EQ(spin->maximum(), 50);
    EXPECT_EQ(spin->focusPolicy(), Qt::ClickFocus);
    EXPECT_FALSE(spin->autoFillBackground());
    EXPECT_EQ(spin->buttonSymbols(), QAbstractSpinBox::NoButtons) << "shown without buttons";

    tree.setCurrentItem(other);
    focus(spin, QEvent::FocusIn, Qt::MouseFocusReason);
    EXPECT_EQ(tree.currentItem(), row);
    EXPECT_EQ(spin->buttonSymbols(), QAbstractSpinBox::UpDownArrows);

    row->setSelected(true);
    focus(spin, QEvent::FocusOut, Qt::MouseFocusReason);
    EXPECT_EQ(spin->buttonSymbols(), QAbstractSpinBox::NoButtons);
    EXPECT_FALSE(row->isSelected());
}

TEST_F(TreeFixture, DoubleSpinBoxBehavesLikeTheSpinBoxButFillsItsBackground)
{
    auto* spin = new VYKTreeDoubleSpinBox(-1.5, 2.5, row, &tree);
    install(spin);
    EXPECT_DOUBLE_EQ(spin->minimum(), -1.5);
    EXPECT_DOUBLE_EQ(spin->maximum(), 2.5);
    EXPECT_TRUE(spin->autoFillBackground());
    EXPECT_EQ(spin->buttonSymbols(), QAbstractSpinBox::NoButtons);

    focus(spin, QEvent::FocusIn, Qt::TabFocusReason);
    EXPECT_EQ(tree.currentItem(), row);
    EXPECT_EQ(spin->buttonSymbols(), QAbstractSpinBox::UpDownArrows);
    focus(spin, QEvent::FocusOut, Qt::TabFocusReason);
    EXPECT_FALSE(row->isSelected());
    EXPECT_EQ(spin->buttonSymbols(), QAbstractSpinBox::NoButtons);
}

TEST_F(TreeFixture, UnfocusedSpinBoxPassesTheWheelToTheTree)
{
    auto* spin = new VYKTreeSpinBox(0, 100, row, &tree);
    spin->setValue(50);
    install(spin);
    ASSERT_FALSE(spin->hasFocus());
    EXPECT_FALSE(wheelAccepted(spin));
    EXPECT_EQ(spin->value(), 50);
}

TEST_F(TreeFixture, FocusedSpinBoxStepsOnTheWheel)
{
    auto* spin = new VYKTreeDoubleSpinBox(0.0, 100.0, row, &tree);
    spin->setValue(50.0);
    install(spin);
    ASSERT_TRUE(giveFocus(spin));
    EXPECT_TRUE(wheelAccepted(spin));
    EXPECT_LT(spin->value(), 50.0);
}

TEST_F(TreeFixture, ComboBoxNeverReactsToTheWheel)
{
    auto* combo = new VYKTreeComboBox(row, &tree);
    combo->addItems({"a", "b", "c"});
    combo->setCurrentIndex(1);
    install(combo);
    EXPECT_FALSE(wheelAccepted(combo));
    EXPECT_EQ(combo->currentIndex(), 1);
    ASSERT_TRUE(giveFocus(combo));
    EXPECT_FALSE(wheelAccepted(combo));
    EXPECT_EQ(combo->currentIndex(), 1);
}

TEST_F(TreeFixture, ComboBoxSelectsItsRowOnlyWhenFocusReturnsFromPopupOrWindow)
{
    auto* combo = new VYKTreeComboBox(row, &tree);
    install(combo);
    EXPECT_EQ(combo->focusPolicy(), Qt::ClickFocus);
    EXPECT_TRUE(combo->autoFillBackground());

    tree.setCurrentItem(other);
    focus(combo, QEvent::FocusIn, Qt::MouseFocusReason);
    EXPECT_EQ(tree.currentItem(), row);
    EXPECT_FALSE(row->isSelected()) << "a fresh click deselects the row";

    focus(combo, QEvent::FocusIn, Qt::PopupFocusReason);
    EXPECT_TRUE(row->isSelected());

    tree.setCurrentItem(other);
    focus(combo, QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(tree.currentItem(), row);
    EXPECT_TRUE(row->isSelected());

    focus(combo, QEvent::FocusOut, Qt::MouseFocusReason);
    EXPECT_FALSE(row->isSelected());
}

TEST_F(TreeFixture, PushButtonTakesNoFocusButMakesItsRowCurrentWhenPressed)
{
    auto* button = new VYKTreePushButton(QStringLiteral("Apply"), row, &tree);
    install(button);
    EXPECT_EQ(button->text(), QStringLiteral("Apply"));
    EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(button->autoFillBackground());

    tree.setCurrentItem(other);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(tree.currentItem(), row);

    row->setSelected(true);
    focus(button, QEvent::FocusOut, Qt::MouseFocusReason);
    EXPECT_FALSE(row->isSelected());
}

TEST(TreeEditorsInADyingTree, FocusedEditorsSurviveTheirTreesDestruction)
{
    // The tree's QWidget destructor moves the focus away from its editors after the tree
    // part is gone; the editors must not touch the tree or its rows then.
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
        auto* tree = new QTreeWidget;
        tree->setColumnCount(2);
        auto* item = new QTreeWidgetItem(tree, QStringList{QStringLiteral("Row")});
        QWidget* editor = nullptr;
        if (kind == 0)
            editor = new VYKTreeSpinBox(item, tree);
        else if (kind == 1)
            editor = new VYKTreeDoubleSpinBox(item, tree);
        else
            editor = new VYKTreeComboBox(item, tree);
        tree->setItemWidget(item, 1, editor);
        tree->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(tree));
        QApplication::setActiveWindow(tree);
        editor->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([editor] { return editor->hasFocus(); }, 5000));
        item->setSelected(true);
        delete tree;
    }
}

TEST(TreeEditorsWithoutTree, NullRowAndTreeAreHarmless)
{
    VYKTreeSpinBox spin(nullptr, nullptr);
    VYKTreeComboBox combo(nullptr, nullptr);
    VYKTreePushButton button(QStringLiteral("x"), nullptr, nullptr);
    for (QWidget* w : std::initializer_list<QWidget*>{&spin, &combo, &button}) {
        QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(w, &in);
        QFocusEvent out(QEvent::FocusOut, Qt::PopupFocusReason);
        QApplication::sendEvent(w, &out);
    }
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(spin.row().item(), nullptr);
    EXPECT_EQ(spin.row().tree(), nullptr);
}
