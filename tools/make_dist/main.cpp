// make_dist: writes the distribution folder the setup program installs from (see
// distribution.h). Run by the build; usable by hand.
#include "distribution.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

namespace {

constexpr const char* kHelp =
    "usage: make_dist --setup FILE --staging DIR --out DIR [--mscompress PROGRAM] [--verbose]\n"
    "\n"
    "Writes a stand-in for every file of the install manifest (the setup program's own row\n"
    "gets FILE) into the staging folder DIR, expanded and named as installed, and packs\n"
    "each with mscompress (default: mscompress from PATH) into the --out folder under the\n"
    "packed name the manifest gives it. Files whose contents did not change are neither\n"
    "written nor packed again; packed files the manifest no longer names are removed.\n"
    "The same sources give the same bytes on every run. --verbose prints what was done.\n";

int Usage(const std::string& message) {
    std::fprintf(stderr, "make_dist: %s (see make_dist --help)\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    make_dist::DistributionPaths paths;
    paths.mscompress = "mscompress";
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "-v" || arg == "--verbose") {
            verbose = true;
            continue;
        }
        std::filesystem::path* target = arg == "--setup"        ? &paths.setup
                                        : arg == "--staging"    ? &paths.staging
                                        : arg == "--out"        ? &paths.out
                                        : arg == "--mscompress" ? &paths.mscompress
                                                                : nullptr;
        if (!target)
            return Usage("unknown argument " + std::string(arg));
        if (i + 1 == argc || argv[i + 1][0] == '\0')
            return Usage(std::string(arg) + " needs a value");
        *target = argv[++i];
    }
    if (paths.setup.empty() || paths.staging.empty() || paths.out.empty())
        return Usage("--setup, --staging and --out are required");
    try {
        make_dist::DistributionReport report = make_dist::MakeDistribution(paths);
        if (verbose)
            std::printf("make_dist: %zu files, %zu written, %zu packed, %zu removed\n",
                        report.files, report.written, report.packed, report.removed);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_dist: %s\n", error.what());
        return 1;
    }
}
