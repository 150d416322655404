// zepmachine diff NAME [--json]: what changed on the machine since snapshot NAME.
#include "cli.h"
#include "diff_output.h"

#include "platform/portable/machine.h"
#include "platform/portable/store/machine_state.h"
#include "platform/portable/store/snapshot_store.h"
#include "platform/portable/store/state_diff.h"

namespace zepmachine {

extern const Verb kDiffVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine diff NAME [--json]\n"
    "\n"
    "Compares the machine now with snapshot NAME (see `zepmachine snapshot`) and prints what\n"
    "was added (+), changed (~) and removed (-): files and folders, then registry keys,\n"
    "registry values, INI lines; each group in path order, ignoring case, a folder or key\n"
    "right before what it holds. Then a summary: N added, N changed, N removed (or: no\n"
    "differences). Values are shown in REGEDIT4 notation, long data cut short; control\n"
    "characters as \\xNN.\n"
    "\n"
    "Paths and names match without regard to case, as Windows finds them; one whose own\n"
    "name changed only in case is changed ('was OLDNAME'). A key removed or added is listed\n"
    "with each of its subkeys and values. A folder that became a file is removed and added.\n"
    "INI lines match exactly within their file and section, so they are added or removed.\n"
    "\n"
    "  --json  one JSON document (UTF-8):\n"
    "    {\"snapshot\":NAME,\"taken\":TIME,\"added\":[ITEM...],\"changed\":[ITEM...],\n"
    "     \"removed\":[ITEM...],\"counts\":{\"added\":N,\"changed\":N,\"removed\":N}}\n"
    "    each ITEM on a line of its own, in the order above; ITEM is one of\n"
    "    {\"kind\":\"folder\",\"path\":P,\"attributes\":A}\n"
    "    {\"kind\":\"file\",\"path\":P,\"size\":N,\"attributes\":A,\"sha256\":HEX}\n"
    "    {\"kind\":\"key\",\"path\":\"HKEY_LOCAL_MACHINE\\\\...\"}\n"
    "    {\"kind\":\"value\",\"key\":K,\"name\":N,\"type\":\"REG_SZ\",\"hex\":HEX[,\"text\":S]"
    "[,\"dword\":N]}\n"
    "    {\"kind\":\"ini\",\"file\":P,\"section\":S,\"line\":L}\n"
    "    A is a subset of \"RHS\" (read-only, hidden, system); hex is the exact data; text\n"
    "    is given for a REG_SZ or REG_EXPAND_SZ holding one string, dword for a 4-byte\n"
    "    REG_DWORD; the default value's name is \"\". A changed item carries its\n"
    "    identification (path, or key and name) and \"old\" and \"new\" objects with the\n"
    "    fields above (\"path\" for folders, files and keys; \"name\", type and data for\n"
    "    values).\n"
    "\n"
    "Exit status, as diff(1): 0 no differences, 1 differences, 2 trouble (no such snapshot,\n"
    "a damaged snapshot, an unreadable machine, an output that cannot be written).\n";

int Compare(const std::string& name, bool json) {
    portable::Machine& machine = TheMachine();
    portable::SnapshotInfo info;
    portable::MachineState before = portable::LoadSnapshot(machine, name, info);
    portable::MachineState now = portable::CaptureState(machine);
    portable::StateDiff diff = portable::CompareStates(before, now);
    WriteStdout(json ? DiffJson(diff, name, info.taken) : DiffText(diff), 2);
    return diff.Empty() ? 0 : 1;
}

int Run(std::span<const std::string> args) {
    std::vector<std::string> names;
    bool json = false;
    for (const auto& a : args) {
        if (a == "--json")
            json = true;
        else
            names.push_back(a);
    }
    ExpectArgs(names, 1, 1, "zepmachine diff NAME [--json]");
    if (!portable::IsValidSnapshotName(names[0]))
        throw CliError("no snapshot named '" + names[0] + "'", 2);
    // Trouble of any kind is status 2: 1 means "differences".
    try {
        return Compare(names[0], json);
    } catch (const CliError&) {
        throw;
    } catch (const std::exception& e) {
        throw CliError(e.what(), 2);
    }
}

} // namespace

const Verb kDiffVerb{"diff", "what changed since a snapshot (exit 1 when anything did)", kUsage,
                     Run};

} // namespace zepmachine
