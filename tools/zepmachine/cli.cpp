#include "cli.h"

#include "platform/portable/files/file_system.h"
#include "platform/portable/machine.h"
#include "platform/portable/windows/display.h"
#include "platform/quoted_input.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zepmachine {

bool WantsHelp(std::span<const std::string> args) {
    for (const auto& a : args) {
        if (a == "--")
            return false; // what follows is another program's
        if (a == "-h" || a == "--help")
            return true;
    }
    return false;
}

namespace {

std::vector<std::pair<char, std::filesystem::path>>& RunDrives() {
    static std::vector<std::pair<char, std::filesystem::path>> drives;
    return drives;
}

} // namespace

portable::Machine& TheMachine() {
    portable::Machine& machine = portable::CurrentMachine();
    for (const auto& [letter, host] : RunDrives()) {
        auto drive = machine.FindDrive(letter);
        if (!drive || !drive->runOnly)
            machine.MapRunOnlyDrive(letter, host);
    }
    return machine;
}

portable::FileSystem& TheFiles() {
    TheMachine();
    return portable::CurrentFileSystem();
}

void NameRunDrive(std::string_view argument) {
    char letter = argument.empty() ? 0 : static_cast<char>(std::toupper(argument[0]));
    if (argument.size() < 3 || argument[1] != '=' || letter < 'A' || letter > 'Z')
        throw CliError("--cd-rom takes LETTER=DIR, not '" + std::string(argument) + "'", 2);
    std::filesystem::path host(argument.substr(2));
    std::error_code ec;
    if (!std::filesystem::is_directory(host, ec))
        throw CliError("--cd-rom " + std::string(argument) + ": no such folder", 2);
    RunDrives().emplace_back(letter, std::filesystem::absolute(host));
}

void PrintDisplay(const portable::Display& d, std::string_view indent) {
    std::string in(indent);
    std::printf("%sscreen   %dx%d pixels, %d dpi\n", in.c_str(), d.width, d.height, d.dpi);
    std::printf("%scolours  %d bits per pixel, %d plane(s)\n", in.c_str(), d.bitsPerPixel,
                d.planes);
    std::printf("%staskbar  %s\n", in.c_str(),
                d.taskbar ? portable::RectText(*d.taskbar).c_str() : "none");
}

void ExpectArgs(std::span<const std::string> args, size_t min, size_t max, std::string_view usage) {
    for (const auto& a : args) {
        if (a.size() > 1 && a[0] == '-')
            throw CliError("unknown option " + a + "\nusage: " + std::string(usage), 2);
    }
    if (args.size() < min || args.size() > max)
        throw CliError("wrong number of arguments\nusage: " + std::string(usage), 2);
}

std::int64_t RunNumber(const std::string& text) {
    bool digits = !text.empty() && text.size() <= 18 &&
                  text.find_first_not_of("0123456789") == std::string::npos;
    std::int64_t n = digits ? std::stoll(text) : 0;
    if (n < 1)
        throw CliError("not a run number: '" + win::QuotedInput(text) + "'", 2);
    return n;
}

std::string Grouped(std::uint64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

void WriteStdout(std::string_view text, int status) {
    errno = 0;
    bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !written || std::ferror(stdout))
        throw CliError(std::string("cannot write the output: ") +
                           (errno ? std::strerror(errno) : "write error"),
                       status);
}

} // namespace zepmachine
