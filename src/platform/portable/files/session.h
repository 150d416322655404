// What a process has half done on a machine, so that whoever opens the machine after the
// process died (kill -9, a crash, a power cut) can finish it. The file system keeps files
// under names of its own for a moment (a deleted file set aside until the store commits, a
// replaced file's second name, a file of its own for a hard-linked name) and programs write
// temporary files to rename into place (a shortcut, an INI file, an expansion); each such
// name is recorded before it may be left behind and again once it is gone. Everything a
// dead process left is a name nothing refers to any more: removing it finishes the change
// (the set-aside file was being deleted) or rolls it back (the temporary file never
// replaced anything), so recovery removes them all.
//
// A session is a file of the machine folder's "sessions" folder, one line per name ("+" or
// "-", the folder's key in the names table, "/", the host name), locked (flock) by its
// process for as long as it lives: a session whose lock can be taken belongs to a process
// that has ended.
#pragma once

#include "platform/portable/files/file_system.h"

#include <set>
#include <string>
#include <utility>

namespace portable {

class Machine;

class Session {
public:
    explicit Session(Machine& machine) : machine_(machine) {}
    // A session that ends cleanly removes what it still lists (a name it could not
    // remove) and its file.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // name in the folder dirKey may be left behind from now on. MachineError when the
    // session cannot record it.
    void Begun(const std::string& dirKey, const std::string& name);
    // name is gone (renamed away or removed). Names never begun are passed over.
    void Done(const std::string& dirKey, const std::string& name);

private:
    void Write(char mark, const std::string& dirKey, const std::string& name);

    Machine& machine_;
    UniqueFd file_;
    std::string fileName_;
    std::set<std::pair<std::string, std::string>> open_; // begun and not done
};

// Removes the names that ended processes left listed in their sessions, and those
// sessions, with a journal line for each name removed. Run when a writable machine is
// opened; returns how many names were removed.
int RecoverInterruptedChanges(Machine& machine);

} // namespace portable
