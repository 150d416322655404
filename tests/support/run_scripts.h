// What the end-to-end tests and the benchmark of the setup program share: its exit
// statuses and the UI scripts of the common runs. Only literals, so that the benchmark
// can use it without the test framework.
#pragma once

#include <string>

namespace testing_support {

// Exit statuses as scripts read them. They are written out here, not taken from the
// program, so that a changed number fails a test.
namespace exit_status {
inline constexpr int kCompleted = 0;
inline constexpr int kCouldNotRun = 1;
inline constexpr int kNothingDone = 2;
inline constexpr int kCompletedWithErrors = 3;
inline constexpr int kAnotherInstallation = 4;
inline constexpr int kCancelledDuringCopy = 5;
inline constexpr int kRestartNeeded = 9;
inline constexpr int kRestartStarted = 10;
inline constexpr int kRestartNeededWithErrors = 11;
} // namespace exit_status

// The default program folder on a fresh machine.
inline constexpr const char* kDefaultFolder = "C:\\Programme\\Dovek's Zepanu's 1.0";

// Lines of the script that reach the options page with the default folder.
inline constexpr const char* kToOptions = "click Lizenz.Command1\n"
                                          "mouseup WillkommenSchirm.WeiterLabel\n"
                                          "click Setup.WeiterCommand\n";
// Every option, the restart question answered No (status 9 on a fresh machine).
inline const std::string kFullInstall =
    std::string(kToOptions) + "click ProgEinstellungen.Command1\nanswer no\n";
// No option: "Abbrechen" on the options page, then the completion message.
inline const std::string kPlainInstall =
    std::string(kToOptions) + "click ProgEinstellungen.Command2\nanswer ok\n";

// The removal's success message, and its confirmation up to that message.
inline constexpr const char* kRemoved =
    "Dovek’s Zepanu wurde erfolgreich von Ihrem System entfernt.";
inline const std::string kConfirmRemoval =
    std::string("click UnInstall.Command1\nanswer ok \"") + kRemoved + "\"\n";

} // namespace testing_support
