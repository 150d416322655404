#include "conformance/conformance_env.h"

#include "platform/advapi32.h"
#include "platform/kernel32.h"

#ifndef _WIN32
#include "support/test_machine.h"
#endif

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace conformance {
namespace {

constexpr char kKeyBase[] = "Software\\ZepsetupConformance";

std::atomic<int> g_serial{0};

#ifdef _WIN32
// Removes a folder with everything in it (read-only entries included).
void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}
#endif

} // namespace

#ifdef _WIN32
struct Environment::Machine {};

bool OnWine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

bool OnWindows() {
    return true;
}

Environment::Environment() {
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    std::string unique = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++g_serial);
    folder_ = std::string(temp, n) + "zepconf-" + unique;
    key_ = std::string(kKeyBase) + "\\" + unique;
    if (!CreateDirectoryA(folder_.c_str(), nullptr))
        throw std::runtime_error("cannot create " + folder_);
}

Environment::~Environment() {
    RemoveTree(folder_);
    win::RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
    HKEY base = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyBase, 0, KEY_READ, &base) == ERROR_SUCCESS) {
        DWORD subKeys = 0;
        RegQueryInfoKeyA(base, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(base);
        if (subKeys == 0)
            RegDeleteKeyA(HKEY_CURRENT_USER, kKeyBase);
    }
}
#else
struct Environment::Machine {
    testing_support::TestMachine machine;
};

bool OnWine() {
    return false;
}

bool OnWindows() {
    return false;
}

Environment::Environment() : machine_(std::make_unique<Machine>()) {
    folder_ = "C:\\WORK" + std::to_string(++g_serial);
    key_ = kKeyBase;
    if (!win::CreateDirectoryA(folder_.c_str(), nullptr))
        throw std::runtime_error("cannot create " + folder_);
}

Environment::~Environment() = default;
#endif

std::string Environment::Path(std::string_view relative) const {
    return folder_ + "\\" + std::string(relative);
}

void Environment::Write(std::string_view relative, std::string_view bytes) const {
    std::string path = Path(relative);
    HANDLE file = win::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << " error " << win::GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(
        win::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    EXPECT_EQ(written, bytes.size());
    win::CloseHandle(file);
}

std::string Environment::Read(std::string_view relative) const {
    std::string path = Path(relative);
    HANDLE file = win::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD n = 0;
    while (win::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0)
        bytes.append(buffer, n);
    win::CloseHandle(file);
    return bytes;
}

bool Environment::Exists(std::string_view relative) const {
    return win::GetFileAttributesA(Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool OnWineAsRoot() {
    const char* user = std::getenv("USERNAME"); // Wine's name for the host user
    return OnWine() && user && std::string_view(user) == "root";
}

} // namespace conformance
