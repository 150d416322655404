// A fresh machine on a virtual clock with the qt interface on Qt's offscreen platform, for
// tests of the windows as the user sees them. Renders windows to PNG files under
// build/screenshots. After each test no window is left loaded.
#pragma once

#include "forms/qt/qt_backend.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <QImage>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// Drops every loaded window when it goes out of scope: declared after a test's own windows,
// it runs before they are destroyed.
class DropWindowsOnExit {
public:
    DropWindowsOnExit() = default;
    ~DropWindowsOnExit();
    DropWindowsOnExit(const DropWindowsOnExit&) = delete;
    DropWindowsOnExit& operator=(const DropWindowsOnExit&) = delete;
};

class QtUiTest : public ::testing::Test {
protected:
    // On Qt's offscreen platform unless a test names a real one (xcb under Xvfb).
    explicit QtUiTest(const char* platform = "offscreen");
    ~QtUiTest() override;

    // Starts the interface anew: following script when it is not empty, recording to
    // record when that is given.
    forms::qt::QtBackend& Start(std::string_view script = "", std::string record = "");
    forms::qt::QtBackend& backend() { return *backend_; }
    std::vector<std::string> Transcript() const;
    // The widget of a control (or window) of a loaded form; the test fails without one.
    QWidget& Widget(const forms::Control& control);
    // Lets Qt paint what is pending.
    static void Settle();
    // The window as drawn, saved as build/screenshots/NAME.png.
    QImage Shot(const forms::Form& form, const std::string& name);
    // Runs startUp as a program; the failure message of the interface, empty when none.
    std::string RunProgram(const std::function<void()>& startUp);

    TestMachine machine_;
    std::unique_ptr<forms::qt::QtBackend> backend_;
};

} // namespace testing_support
