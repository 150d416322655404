// The installation's record of what it replaced, so that the removal can give it back.
//
// Before an installation step's first write, the state of every value it is about to
// write (missing, or its type and exact bytes) is kept, with what the step writes there,
// and every key on the way to it that does not exist yet; after the step, what it left
// there. A step cut off in the middle thus leaves a record of every value it touched. The first
// installation's state wins: a second installation over the first adds only what is new to the
// record and moves its "left" state on. The suite's own values (below its keys, its verbs named
// Zepanu..., the uninstall entry), which the removal deletes whole, keep only the keys
// created for them.
//
// The record lives beside the suite's keys, under HKEY_LOCAL_MACHINE
// "SOFTWARE\Quorvel\Zepsetup": one REG_MULTI_SZ value per installation step, one string
// per item (tab-separated; data as hexadecimal bytes), so that it survives the removal's
// deletion of the suite's keys until the removal has used it, including a removal that was
// cut short and is run again: the record is deleted last.
#pragma once

#include "system/WinRegistry.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace app::record {

inline constexpr const char* kRecordKey = "SOFTWARE\\Quorvel\\Zepsetup";

// The installation steps, each with a value of its own in the record.
enum class Step {
    Lizenz,
    MachUninstEx,
    DateiTypenSchreiben,
    KnotextExVerscheidenes,
    TaskBarEx,
    SysSymboleschreiben,
    RefreshShellIcons,
};

// A value an installation step writes ("" names the default value), with the data it
// writes there where that is known beforehand (in order: a value can pass through one
// state to the next).
struct Target {
    WinRegistry::Root root;
    std::string key;
    std::string name;
    std::vector<WinRegistry::Stored> writes = {};
};

// Data as WinRegistry::WriteValue stores a string (ANSI) and an integer.
WinRegistry::Stored Text(std::string_view utf8);
WinRegistry::Stored Number(std::uint32_t number);

// Keeps the state of targets before the step writes them. Run-time error 75 when the
// record cannot be written.
void Before(Step step, const std::vector<Target>& targets);
// Keeps what the step left in targets. Run-time error 75 when the record cannot be written.
void After(Step step, const std::vector<Target>& targets);

// A recorded value: what it held before the installation, and what the installation left
// in it (unknown when the step did not finish: then what the step was about to write, where
// known).
struct Entry {
    Target target;
    std::optional<WinRegistry::Stored> before;
    bool afterKnown = false;
    std::optional<WinRegistry::Stored> after;
    std::vector<WinRegistry::Stored> intended;
    // Whether now is what the installation left, or what its unfinished step wrote.
    bool Left(const std::optional<WinRegistry::Stored>& now) const;
};

// The record as the removal reads it; empty when there is none. Strings that cannot be
// read are passed over.
class Record {
public:
    static Record Read();

    bool Empty() const { return values_.empty() && createdKeys_.empty(); }
    // Whether the installation recorded this value.
    bool Holds(WinRegistry::Root root, std::string_view key, std::string_view name) const;
    // The recorded values which selects that the installation changed.
    std::vector<Entry> Changed(const std::function<bool(const Target&)>& which) const;
    // Deletes at once every key the installation created that holds nothing but what it
    // left there (values it wrote that nobody changed since, keys it created): what giving
    // back each value and deleting the emptied keys would do, in one change per key.
    void DeleteUntouchedKeys() const;
    // Deletes the keys the installation created, deepest first, where they are empty; then
    // the record itself, and the keys that were created to hold it.
    void Finish() const;

private:
    bool Untouched(const Target& key) const;

    std::vector<Entry> values_;
    std::map<std::string, size_t> held_; // the values by identity
    std::vector<Target> createdKeys_;
    std::set<std::string> created_; // the created keys' identities
};

// Gives entry back: when the value still holds exactly what the installation left, what
// it held before (deleted when it did not exist). When that is unknown, a value that holds
// what the unfinished step wrote, or that points into programFolder, is given back. A value changed
// since is left alone. Run-time error 75 when the registry refuses.
void GiveBack(const Entry& entry, const std::optional<std::string>& programFolder);

// Whether a string value (REG_SZ or REG_EXPAND_SZ) names something in folder (its short
// form with a trailing backslash), compared without case.
bool PointsInto(const std::optional<WinRegistry::Stored>& value,
                const std::optional<std::string>& folder);

} // namespace app::record
