// Whether a machine can take changes at all: asked before a program starts (by the
// program itself and by the launcher), so that a run that could change nothing says why
// and ends, instead of failing step by step with words that blame something else.
#include "platform/machine_access.h"

#include "platform/portable/files/file_system.h"
#include "platform/portable/machine.h"

#include <cctype>

namespace portable {
namespace {

// A refusal reads "drive C: <reason>; refused": the reason alone.
std::string Reason(std::string message, const std::string& drive) {
    constexpr std::string_view kTail = "; refused";
    if (message.starts_with(drive + " "))
        message.erase(0, drive.size() + 1);
    if (message.ends_with(kTail))
        message.resize(message.size() - kTail.size());
    return message;
}

// Why the drive that holds Windows cannot be written; empty when it can.
std::string WhyDriveRefused(Machine& machine, char letter) {
    auto drive = machine.FindDrive(letter);
    if (!drive)
        return "the machine has no such drive";
    if (!drive->HasMedium())
        return "it has no folder";
    if (drive->ReadOnly())
        return "it is a read-only drive";
    std::string name = "drive " + std::string(1, letter) + ":";
    try {
        OpenDriveFolder(machine, *drive);
    } catch (const MachineError& e) {
        return Reason(e.what(), name);
    }
    return {};
}

} // namespace

std::string WhyUnchangeable(Machine& machine) {
    if (machine.ReadOnly())
        return "the machine is read-only (" + machine.root().string() + " cannot be written)";
    std::string windows = machine.Setting("windows_dir", "C:\\WINDOWS");
    char letter = static_cast<char>(
        std::toupper(static_cast<unsigned char>(windows.empty() ? 'C' : windows.front())));
    if (std::string why = WhyDriveRefused(machine, letter); !why.empty())
        return "drive " + std::string(1, letter) + ": is refused: " + why;
    return {};
}

} // namespace portable

namespace win {

std::string WhyNoChangeCanBeMade() {
    return portable::WhyUnchangeable(portable::CurrentMachine());
}

} // namespace win
