// zepmachine ls WINPATH: a folder's entries with long and short names.
#include "cli.h"

#include "platform/codepage.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/machine.h"
#include "platform/quoted_input.h"

#include <cstdio>

namespace zepmachine {

extern const Verb kLsVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine ls [--tsv] WINPATH\n"
    "\n"
    "Lists the entries of the folder WINPATH (or the one entry a file path names) with\n"
    "8.3 alias, attributes (R read-only, H hidden, S system, A archive, D folder), size\n"
    "and long name. WINPATH may end in a pattern with * and ?.\n"
    "  --tsv   tab-separated lines: long name, alias, attributes (hex), size\n";

std::string AttributeLetters(DWORD a) {
    std::string s;
    s += (a & FILE_ATTRIBUTE_DIRECTORY) ? 'D' : '-';
    s += (a & FILE_ATTRIBUTE_READONLY) ? 'R' : '-';
    s += (a & FILE_ATTRIBUTE_HIDDEN) ? 'H' : '-';
    s += (a & FILE_ATTRIBUTE_SYSTEM) ? 'S' : '-';
    s += (a & FILE_ATTRIBUTE_ARCHIVE) ? 'A' : '-';
    return s;
}

std::string ErrorText(DWORD rc) {
    switch (rc) {
    case ERROR_FILE_NOT_FOUND:
        return "file not found";
    case ERROR_PATH_NOT_FOUND:
        return "path not found";
    case ERROR_NOT_READY:
        return "drive not ready (no medium)";
    case ERROR_INVALID_NAME:
        return "invalid name";
    case ERROR_FILENAME_EXCED_RANGE:
        return "path too long";
    default:
        return "error " + std::to_string(rc);
    }
}

int Run(std::span<const std::string> args) {
    bool tsv = !args.empty() && args[0] == "--tsv";
    std::span<const std::string> rest = tsv ? args.subspan(1) : args;
    ExpectArgs(rest, 1, 1, "zepmachine ls [--tsv] WINPATH");
    TheMachine();
    portable::FileSystem& files = TheFiles();
    std::string path = win::ToAnsi(rest[0]);

    // A folder lists its contents; anything else is taken as a pattern or a file.
    portable::DirEntry self;
    std::string pattern = path;
    if (path.find_first_of("*?") == std::string::npos) {
        DWORD rc = files.Stat(path, self);
        if (rc != ERROR_SUCCESS)
            throw CliError(rest[0] + ": " + ErrorText(rc));
        if (self.IsDirectory())
            pattern = path + (path.ends_with("\\") || path.ends_with("/") ? "*" : "\\*");
    }
    std::vector<portable::DirEntry> entries;
    if (DWORD rc = files.Find(pattern, entries); rc != ERROR_SUCCESS) {
        if (rc == ERROR_FILE_NOT_FOUND && self.IsDirectory())
            return 0; // an empty drive root
        throw CliError(rest[0] + ": " + ErrorText(rc));
    }
    for (const auto& e : entries) {
        std::string name = win::QuotedInput(win::FromAnsi(e.longName), 0);
        std::string alias = win::QuotedInput(win::FromAnsi(e.shortName), 0);
        if (tsv) {
            std::printf("%s\t%s\t%02X\t%llu\n", name.c_str(), alias.c_str(),
                        static_cast<unsigned>(e.attributes),
                        static_cast<unsigned long long>(e.size));
        } else {
            // Padded by characters: the alias is Windows-1252, one byte each, but printed as
            // UTF-8, where Ä takes two.
            std::string padding(e.shortName.size() < 12 ? 12 - e.shortName.size() : 0, ' ');
            std::printf("%s%s %s %10llu  %s\n", alias.c_str(), padding.c_str(),
                        AttributeLetters(e.attributes).c_str(),
                        static_cast<unsigned long long>(e.size), name.c_str());
        }
    }
    return 0;
}

} // namespace

const Verb kLsVerb{"ls", "list a folder with long and short names", kUsage, Run};

} // namespace zepmachine
