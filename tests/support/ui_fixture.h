// A fresh machine on a virtual clock with the headless user interface following a UI
// script given as text, for tests of windows and services. After each test no window is
// left loaded.
#pragma once

#include "forms/headless/headless_backend.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

class UiTest : public ::testing::Test {
protected:
    UiTest();
    ~UiTest() override;

    // Starts the headless interface with script (the test fails on a malformed line).
    forms::headless::HeadlessBackend& Script(std::string_view text);
    // The transcript so far.
    std::vector<std::string> Transcript() const;
    // Runs startUp as a program and returns the failure message of the user interface,
    // empty when the run went through.
    std::string RunProgram(const std::function<void()>& startUp);

    TestMachine machine_;
    std::unique_ptr<forms::headless::HeadlessBackend> backend_;
};

} // namespace testing_support
