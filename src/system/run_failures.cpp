#include "system/run_failures.h"

#include "platform/codepage.h"
#include "platform/kernel32.h"

#include <cstdio>
#include <string>

namespace RunFailures {
namespace {

int& Counter() {
    static int count = 0;
    return count;
}

} // namespace

void Note(std::string_view what) {
    ++Counter();
    std::string line = "zepsetup: " + std::string(what);
    std::fprintf(stderr, "%s\n", line.c_str());
    win::OutputDebugStringA(win::ToAnsi(line).c_str());
}

int Count() {
    return Counter();
}

void Reset() {
    Counter() = 0;
}

} // namespace RunFailures
