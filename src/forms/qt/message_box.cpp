#include "forms/qt/message_box.h"

#include "forms/msgbox.h"
#include "forms/qt/synthetic_input.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <map>

namespace forms::qt {
namespace {

constexpr int kButtonsMask = 0x0F;
constexpr int kIconMask = 0xF0;

QMessageBox* shown = nullptr;

QMessageBox::Icon IconOf(int style) {
    switch (style & kIconMask) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QMessageBox* ShownMessageBox() {
    return shown;
}

int ShowMessageBox(QWidget* owner, std::string_view text, int style, std::string_view title,
                   std::optional<int> answer) {
    QMessageBox box(IconOf(style), Text(title), Text(text), QMessageBox::NoButton, owner);
    box.setWindowModality(Qt::ApplicationModal);
    std::map<QAbstractButton*, int> codes;
    if ((style & kButtonsMask) == vbYesNo) {
        QPushButton* yes = box.addButton("&Ja", QMessageBox::YesRole);
        QPushButton* no = box.addButton("&Nein", QMessageBox::NoRole);
        codes = {{yes, vbYes}, {no, vbNo}};
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
    } else {
        QPushButton* ok = box.addButton("OK", QMessageBox::AcceptRole);
        codes = {{ok, vbOK}};
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
    }
    if (answer) {
        for (auto& [button, code] : codes) {
            if (code != *answer)
                continue;
            QTimer::singleShot(0, button, [button = button] { ClickWidget(*button); });
        }
    }
    QMessageBox* outer = shown;
    shown = &box;
    box.exec();
    shown = outer;
    auto it = codes.find(box.clickedButton());
    if (it != codes.end())
        return it->second;
    return (style & kButtonsMask) == vbYesNo ? vbNo : vbOK;
}

} // namespace forms::qt
