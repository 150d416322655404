// A fresh machine in a temporary folder, made current for the duration of a test.
#pragma once

#include "platform/portable/machine.h"

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

class TestMachine {
public:
    TestMachine();
    ~TestMachine();
    portable::Machine& machine() { return *machine_; }
    std::filesystem::path root() const { return dir_.path() / "m"; }
    const std::filesystem::path& temp() const { return dir_.path(); }
    // Host folder of drive C:.
    std::filesystem::path DriveC() const { return dir_.path() / "m" / "drive_c"; }

private:
    TempDir dir_;
    portable::Machine* machine_ = nullptr;
};

// Reads or writes a whole host file.
std::string ReadHostFile(const std::filesystem::path& p);
void WriteHostFile(const std::filesystem::path& p, std::string_view bytes);

// Runs a command line through the shell; returns its exit status, stdout in out.
int RunCommand(const std::string& command, std::string* out = nullptr);

} // namespace testing_support
