// The removal progress window: its load handler runs the five removal steps with short
// pauses between them while the bar and the status line show how far it is, then reports
// success and ends the program. No step shows an error: each passes over what fails.
#pragma once

#include "forms/controls.h"
#include "forms/global_form.h"
#include "forms/picture_box.h"
#include "program/install_record.h"

#include <cstdint>
#include <optional>
#include <string>

namespace uninstall {

class KillPrBarForm : public forms::Form {
public:
    KillPrBarForm();
    void Form_Load() override;

    // The removal steps, in the order the load handler runs them (one file each).
    void DateienLöschen();
    void LinkKiller();
    void MachWinInitEx();
    void RegKiller();
    void SysSymbolKiller();

    forms::PictureBox Picture1{*this, "Picture1"};
    forms::Label DateiName{*this, "DateiName"};
    // The bar's percentage; each step adds to it and draws the bar.
    std::int16_t Progress = 0;

private:
    // Sets the status text, or adds to Progress and draws the bar.
    void Status(const char* text);
    void Advance(std::int16_t by);
    // The program folder this removal works on (program_folder.h), decided at its first use.
    const std::optional<std::string>& Folder();

    std::optional<std::optional<std::string>> folder_;
};

inline forms::Global<KillPrBarForm> KillPrBar;

// Which recorded values the icon restoration gives back (the shell's icon overrides, the
// icons of classes and shell objects, the icon size); the registry cleanup gives back the
// others.
bool GivenBackWithTheIcons(const app::record::Target& target);

} // namespace uninstall
