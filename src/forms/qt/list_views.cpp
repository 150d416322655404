#include "forms/qt/list_views.h"

#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "platform/kernel32.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

namespace forms::qt {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndent = 11;

QIcon DriveIcon(const std::string& drive) {
    std::string root = drive + "\\";
    QStyle* style = QApplication::style();
    switch (win::GetDriveTypeA(root.c_str())) {
    case DRIVE_REMOVABLE:
        return style->standardIcon(QStyle::SP_DriveFDIcon);
    case DRIVE_CDROM:
        return style->standardIcon(QStyle::SP_DriveCDIcon);
    case DRIVE_REMOTE:
        return style->standardIcon(QStyle::SP_DriveNetIcon);
    default:
        return style->standardIcon(QStyle::SP_DriveHDIcon);
    }
}

// Entries stand indented by their depth: the drive's root, the open folder's parents,
// the open folder, then the folders in it.
class IndentingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented = option;
        indented.rect.adjust(index.data(kLevelRole).toInt() * kIndent, 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }
};

void AddFolder(QListWidget& list, const QIcon& icon, const std::string& text,
               const std::string& path, int level) {
    auto* item = new QListWidgetItem(icon, QString::fromStdString(text), &list);
    item->setData(kPathRole, QString::fromStdString(path));
    item->setData(kLevelRole, level);
}

} // namespace

DriveListView::DriveListView(Control& control, InputQueue& input, const Scale& scale,
                             QWidget* parent)
    : QComboBox(parent), View(control, input, scale) {
    setFocusPolicy(Qt::StrongFocus);
    Fill();
    connect(this, &QComboBox::activated, this, [this](int index) {
        Push(UserAction::Kind::Set, itemData(index).toString().toStdString());
    });
}

void DriveListView::Fill() {
    QSignalBlocker quiet(this);
    clear();
    for (const std::string& drive : static_cast<DriveListBox&>(control_).List())
        addItem(DriveIcon(drive), QString::fromStdString(drive), QString::fromStdString(drive));
}

void DriveListView::showPopup() {
    Fill(); // a medium may have come or gone
    Mirror(Property::Drive);
    QComboBox::showPopup();
}

int DriveListView::EntryOf(std::string_view drive) const {
    return findData(QString::fromUtf8(drive.data(), static_cast<int>(drive.size())), Qt::UserRole,
                    Qt::MatchFixedString);
}

void DriveListView::Mirror(Property what) {
    MirrorCommon(what);
    if (what != Property::Drive)
        return;
    QSignalBlocker quiet(this);
    setCurrentIndex(EntryOf(static_cast<DriveListBox&>(control_).Drive()));
}

DirListView::DirListView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent)
    : QListWidget(parent), View(control, input, scale) {
    setFocusPolicy(Qt::StrongFocus);
    setItemDelegate(new IndentingDelegate(this));
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { Push(UserAction::Kind::Set, PathOf(*item)); });
}

std::string DirListView::PathOf(const QListWidgetItem& item) {
    return item.data(kPathRole).toString().toStdString();
}

void DirListView::Mirror(Property what) {
    MirrorCommon(what);
    if (what == Property::Path)
        Fill();
}

void DirListView::Fill() {
    QSignalBlocker quiet(this);
    clear();
    auto& list = static_cast<DirListBox&>(control_);
    const std::string& path = list.Path();
    if (path.size() < 3)
        return;
    QStyle* s = style();
    QIcon open = s->standardIcon(QStyle::SP_DirOpenIcon);
    QIcon closed = s->standardIcon(QStyle::SP_DirClosedIcon);
    std::string root = path.substr(0, 3);
    std::string label = root;
    label[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(label[0])));
    AddFolder(*this, open, label, root, 0);
    int level = 0;
    for (size_t at = 3; at < path.size();) {
        size_t end = path.find('\\', at);
        if (end == std::string::npos)
            end = path.size();
        AddFolder(*this, open, path.substr(at, end - at), path.substr(0, end), ++level);
        at = end + 1;
    }
    setCurrentRow(count() - 1);
    std::string parent = path.back() == '\\' ? path : path + "\\";
    for (const std::string& name : list.Subfolders())
        AddFolder(*this, closed, name, parent + name, level + 1);
}

} // namespace forms::qt
