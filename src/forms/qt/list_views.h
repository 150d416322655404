// The drive list and the folder list, filled from the machine through the platform API
// (the drives GetLogicalDriveStringsA gives, the folders FindFirstFileA lists), never from
// the host's file system. Choosing a drive, or opening a folder with a double click or
// Enter, queues the choice for the model, which decides what the list then shows.
#pragma once

#include "forms/qt/view.h"

#include <QComboBox>
#include <QListWidget>

#include <string>

namespace forms::qt {

class DriveListView : public QComboBox, public View {
public:
    DriveListView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);
    QWidget& widget() override { return *this; }
    void Mirror(Property what) override;
    bool TabStop() const override { return true; }
    // The entry of a drive ("a:"); -1 when the list has none.
    int EntryOf(std::string_view drive) const;

    void showPopup() override;

private:
    void Fill();
};

class DirListView : public QListWidget, public View {
public:
    DirListView(Control& control, InputQueue& input, const Scale& scale, QWidget* parent);
    QWidget& widget() override { return *this; }
    void Mirror(Property what) override;
    bool TabStop() const override { return true; }
    // The full path an entry opens.
    static std::string PathOf(const QListWidgetItem& item);

private:
    void Fill();
};

} // namespace forms::qt
