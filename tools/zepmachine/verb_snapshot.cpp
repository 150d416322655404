// zepmachine snapshot NAME | --list | --delete NAME: records the machine's state for diff.
#include "cli.h"

#include "platform/portable/machine.h"
#include "platform/portable/store/machine_state.h"
#include "platform/portable/store/snapshot_store.h"

namespace zepmachine {

extern const Verb kSnapshotVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine snapshot NAME\n"
    "       zepmachine snapshot --list\n"
    "       zepmachine snapshot --delete NAME\n"
    "\n"
    "Records what the machine holds now under NAME (replacing an older snapshot of that\n"
    "name), for `zepmachine diff NAME`:\n"
    "  files     every file and folder on each drive whose folder lies inside the machine\n"
    "            folder (not a CD-ROM drive mapped to a distribution folder elsewhere): long\n"
    "            path, size, attributes read-only/hidden/system, SHA-256 of the contents\n"
    "  registry  every key, every value with its type and exact bytes\n"
    "  INI       the non-blank lines of each *.INI directly in the Windows folder, by section\n"
    "Snapshots are kept in the machine's store (machine.db), never on a drive, and taking one\n"
    "changes nothing a diff compares. NAME is 1 to 64 of A-Z a-z 0-9 . _ + - and starts with\n"
    "neither - nor '.'.\n"
    "  --list          the snapshots: name, when taken (UTC), what they hold\n"
    "  --delete NAME   removes a snapshot (exit status 1 when there is none)\n";

std::string Contents(std::int64_t files, std::int64_t keys, std::int64_t values,
                     std::int64_t iniLines) {
    auto n = [](std::int64_t v) { return Grouped(static_cast<std::uint64_t>(v < 0 ? 0 : v)); };
    return n(files) + " files and folders, " + n(keys) + " keys, " + n(values) + " values, " +
           n(iniLines) + " INI lines";
}

int List() {
    std::string out;
    for (const auto& s : portable::ListSnapshots(TheMachine()))
        out +=
            s.name + "  " + s.taken + "  " + Contents(s.files, s.keys, s.values, s.iniLines) + "\n";
    WriteStdout(out);
    return 0;
}

int Delete(const std::string& name) {
    if (!portable::DeleteSnapshot(TheMachine(), name))
        throw CliError("no snapshot named '" + name + "'");
    return 0;
}

int Take(const std::string& name) {
    if (!portable::IsValidSnapshotName(name))
        throw CliError("invalid snapshot name '" + name +
                           "' (1 to 64 of A-Z a-z 0-9 . _ + -, not starting with - or .)",
                       2);
    portable::Machine& machine = TheMachine();
    portable::MachineState state = portable::CaptureState(machine);
    portable::SaveSnapshot(machine, name, state);
    WriteStdout("snapshot " + name + ": " +
                Contents(static_cast<std::int64_t>(state.files.size()),
                         static_cast<std::int64_t>(state.keys.size()),
                         static_cast<std::int64_t>(state.values.size()),
                         static_cast<std::int64_t>(state.iniLines.size())) +
                "\n");
    return 0;
}

int Run(std::span<const std::string> args) {
    if (args.size() == 1 && args[0] == "--list")
        return List();
    if (args.size() == 2 && args[0] == "--delete")
        return Delete(args[1]);
    ExpectArgs(args, 1, 1, "zepmachine snapshot NAME | --list | --delete NAME");
    return Take(args[0]);
}

} // namespace

const Verb kSnapshotVerb{"snapshot", "record files, registry and INI lines for diff", kUsage, Run};

} // namespace zepmachine
