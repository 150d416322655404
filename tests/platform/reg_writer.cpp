// A second process for the concurrency test: reg_writer MACHINE PREFIX COUNT writes COUNT
// values PREFIX0.. as separate changes, spread over ten keys both writers create.
#include "platform/advapi32.h"
#include "platform/portable/machine.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: reg_writer MACHINE PREFIX COUNT\n");
        return 2;
    }
    portable::UseMachine(portable::Machine::Open(argv[1]));
    std::string prefix = argv[2];
    int count = std::atoi(argv[3]);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        std::string path = "Concurrent\\Shared\\" + std::to_string(i % 10);
        HKEY key = nullptr;
        if (win::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, 0x3F, nullptr,
                                 &key, nullptr) != ERROR_SUCCESS) {
            ++failures;
            continue;
        }
        std::string name = prefix + std::to_string(i);
        DWORD data = static_cast<DWORD>(i);
        if (win::RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&data), 4) != ERROR_SUCCESS)
            ++failures;
        win::RegCloseKey(key);
    }
    if (failures)
        std::fprintf(stderr, "reg_writer %s: %d failed writes\n", prefix.c_str(), failures);
    return failures ? 1 : 0;
}
