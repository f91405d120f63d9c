#include "CameraSetup.h"

#include "RemoteToken.h"
#include "GenicamSetting.h"

#include <QComboBox>
#include <QDebug>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Bit depth shown for a pixel-format flag.
QString depthOfFlag(uint32_t flag)
{
    switch (flag) {
    case 0x1: return QStringLiteral("16");
    case 0x2: return QStringLiteral("14");
    case 0x4: return QStringLiteral("12");
    case 0x8: return QStringLiteral("10");
    case 0x10: return QStringLiteral("8");
    default: return QString::number(flag);
    }
}

// The "Remote Access" / "Token" row: the stored token, hidden like a password, since device
// servers started with --token-file refuse requests without it.
QLineEdit* addTokenRow(QTreeWidget* tree)
{
    auto* access = new QTreeWidgetItem(tree);
    access->setText(0, QStringLiteral("Remote Access"));
    auto* row = new QTreeWidgetItem(access);
    row->setText(0, QStringLiteral("Token"));
    auto* edit = new QLineEdit(RemoteToken::stored(), tree);
    edit->setObjectName(QStringLiteral("Token"));
    edit->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    edit->setPlaceholderText(QStringLiteral("none"));
    edit->setToolTip(QStringLiteral("Sent to device servers that demand a token; RASTEL_TOKEN overrides it"));
    tree->setItemWidget(row, 1, edit);
    return edit;
}

} // namespace

CameraSetup::CameraSetup(const vyk::Configuration& configuration, const vyk::Description& description, QWidget* parent)
    : QDialog(parent)
    , configuration_(configuration)
    , tree_(new QTreeWidget(this))
    , genicamEdit_(new QLineEdit(GenicamSetting::stored(), tree_))
{
    setModal(true);
    setWindowTitle(QStringLiteral("Setup"));
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
    tree_->setColumnWidth(0, 150);

    auto* settings = new QTreeWidgetItem(tree_);
    settings->setText(0, QStringLiteral("Settings"));
    if (description.pixel_format_vec.size() >= 2) {
        auto* row = new QTreeWidgetItem(settings);
        row->setText(0, QStringLiteral("Pixelformat"));
        pixelFormatBox_ = new QComboBox(tree_);
        for (uint32_t flag : description.pixel_format_vec)
            pixelFormatBox_->addItem(depthOfFlag(flag), flag);
        const int current = pixelFormatBox_->findData(configuration_.pixel_format);
        if (current >= 0)
            pixelFormatBox_->setCurrentIndex(current);
        tree_->setItemWidget(row, 1, pixelFormatBox_);
        connect(pixelFormatBox_, qOverload<int>(&QComboBox::currentIndexChanged), this, &CameraSetup::onComboChanged);
    }
    tokenEdit_ = addTokenRow(tree_);
    auto* genicam = new QTreeWidgetItem(tree_);
    genicam->setText(0, QStringLiteral("GenICam"));
    auto* genicamRow = new QTreeWidgetItem(genicam);
    genicamRow->setText(0, QStringLiteral("Cameras"));
    genicamEdit_->setPlaceholderText(QStringLiteral("127.0.0.1, Fake_1, discover"));
    genicamEdit_->setToolTip(QStringLiteral("GigE Vision and USB3 Vision cameras opened by the next camera scan: "
                                            "Aravis device ids separated by commas. \"discover\" searches every "
                                            "network interface. Empty: RASTEL_GENICAM, else none."));
    tree_->setItemWidget(genicamRow, 1, genicamEdit_);
    tree_->expandAll();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(this, &QDialog::accepted, this, [this] { RemoteToken::store(tokenEdit_->text().trimmed()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_);
    layout->addWidget(buttons);
}

void CameraSetup::onComboChanged(int index)
{
    qDebug() << "Combo index changed to:" << index;
    if (pixelFormatBox_ && index >= 0)
        configuration_.pixel_format = pixelFormatBox_->itemData(index).toUInt();
}

QString CameraSetup::genicamCameras() const
{
    return genicamEdit_->text().trimmed();
}
