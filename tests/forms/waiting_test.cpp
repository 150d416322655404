// A program waiting for the person (a window left open, a message box) holds nothing of the
// machine's store: another process's checkpoint copies the whole log meanwhile.
#include "forms/controls.h"
#include "forms/global_form.h"
#include "forms/msgbox.h"
#include "forms/runtime.h"
#include "platform/advapi32.h"
#include "platform/user32.h"
#include "support/ui_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::RunCommand;
using testing_support::UiTest;

// Another process (the sqlite3 shell) commits to the store, then checkpoints without waiting
// for anyone; its answer "busy|log|copied" tells whether every frame of the log was copied.
bool AnotherProcessCopiesTheWholeLog(const std::filesystem::path& store) {
    std::string out;
    std::string sql = "INSERT INTO journal(time, pid, entry) VALUES('t', 1, 'other'); "
                      "PRAGMA wal_checkpoint(PASSIVE);";
    if (RunCommand("sqlite3 '" + store.string() + "' \"" + sql + "\" 2>&1", &out) != 0)
        return false;
    auto first = out.find('|');
    auto second = out.find('|', first + 1);
    if (first == std::string::npos || second == std::string::npos)
        return false;
    return out.substr(0, first) == "0" && std::stol(out.substr(first + 1, second - first - 1)) ==
                                              std::stol(out.substr(second + 1));
}

// Reads the registry twice: the second read keeps its snapshot (the store is quiet).
void ReadTheRegistry() {
    for (int i = 0; i < 2; ++i) {
        DWORD size = 0;
        win::RegQueryValueExA(HKEY_CURRENT_USER, "nothing", nullptr, nullptr, nullptr, &size);
        HKEY key = nullptr;
        ASSERT_EQ(win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, 0x3F, &key), ERROR_SUCCESS);
        win::RegCloseKey(key);
    }
}

class Dialog : public forms::Form {
public:
    Dialog() : Form("Dialog") {}
    forms::CommandButton Ok{*this, "Ok"};
};
forms::Global<Dialog> TheDialog;

// A user interface whose person takes their time: while the program waits, another process
// checkpoints; then the window is closed or the box answered.
class SlowPerson : public forms::Backend {
public:
    explicit SlowPerson(std::filesystem::path store) : store_(std::move(store)) {}
    HDC DeviceContextFor(forms::PictureBox&) override { return win::GetDC(nullptr); }
    int MessageBox(std::string_view, int, std::string_view) override {
        copied.push_back(AnotherProcessCopiesTheWholeLog(store_));
        return 1;
    }
    void WaitForInput() override {
        copied.push_back(AnotherProcessCopiesTheWholeLog(store_));
        forms::Unload(*TheDialog);
    }
    std::vector<bool> copied;

private:
    std::filesystem::path store_;
};

class Waiting : public UiTest {};

TEST_F(Waiting, AWindowLeftOpenOrAMessageBoxHoldsBackNoCheckpoint) {
    std::filesystem::path store = machine_.root() / "machine.db";
    SlowPerson person(store);
    forms::Runtime::Get().SetBackend(&person);

    // The check can tell: a snapshot kept from a read holds the other process's frames back.
    ReadTheRegistry();
    EXPECT_FALSE(AnotherProcessCopiesTheWholeLog(store));

    ReadTheRegistry();
    TheDialog->Show(forms::vbModal);
    ReadTheRegistry();
    forms::MsgBox("Weiter?", forms::vbOKOnly);
    EXPECT_EQ(person.copied, (std::vector<bool>{true, true}));
}

} // namespace
