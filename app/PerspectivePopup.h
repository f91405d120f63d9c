// The tool bar's perspectives button and its pop-up panel.
#pragma once

class LayoutPersistence;
class QComboBox;
class QWidget;
class VYKToolbarPopup;

// A VYKToolbarPopup (icon "layout-right", no text) whose panel holds "Add Perspective",
// "Update Perspective", "Remove Perspective" and selector, wired to layout.
VYKToolbarPopup* createPerspectivePopup(LayoutPersistence* layout, QComboBox* selector, QWidget* parent);
