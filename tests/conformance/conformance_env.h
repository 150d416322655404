// Where the conformance tests work, on either implementation of the platform API: a fresh
// empty folder and a fresh registry key under HKEY_CURRENT_USER. On the portable machine
// both lie on a fresh machine made current for the test; on Windows (and under Wine) the
// folder lies in the temporary folder and the key under Software\ZepsetupConformance, and
// both are removed afterwards.
#pragma once

#include "platform/win_types.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

namespace conformance {

class Environment {
public:
    Environment();
    ~Environment();
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    // The work folder's full path, without a trailing backslash.
    const std::string& Folder() const { return folder_; }
    // Folder() + "\" + relative.
    std::string Path(std::string_view relative) const;
    // The work key, a sub-key path of HKEY_CURRENT_USER.
    const std::string& Key() const { return key_; }

    // Writes or reads a whole file through the platform API.
    void Write(std::string_view relative, std::string_view bytes) const;
    std::string Read(std::string_view relative) const;
    bool Exists(std::string_view relative) const;

private:
    struct Machine;
    std::unique_ptr<Machine> machine_;
    std::string folder_;
    std::string key_;
};

class Test : public ::testing::Test {
protected:
    Environment env;
};

// Where the test runs: the real API under Wine differs from Windows in a few places.
bool OnWine();
bool OnWindows();
// Under Wine run by root, whom the host's file permissions do not stop.
bool OnWineAsRoot();

// The answer expected where Windows 95 and the NT family differ: the portable machine gives
// Windows 95's, the Windows build runs on the NT family (or Wine, where it answers alike).
template <typename T> T Win95OrNt(T windows95, T ntFamily) {
    return OnWindows() ? ntFamily : windows95;
}

} // namespace conformance

// As Wine's own tests mark a known difference: the check must fail under Wine (and pass
// everywhere else), so the test states what Wine really does and notices when it changes.
#define EXPECT_TODO_WINE(condition)                                                                \
    do {                                                                                           \
        if (conformance::OnWine())                                                                 \
            EXPECT_FALSE(condition) << "passes under Wine now; drop the todo: " #condition;        \
        else                                                                                       \
            EXPECT_TRUE(condition) << #condition;                                                  \
    } while (0)
