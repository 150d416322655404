#include "forms/qt/qt_module.h"

#include "forms/program_end.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <vector>

namespace forms::qt {
namespace {

namespace fs = std::filesystem;

constexpr const char* kModuleName = "zepsetup-qt.so";

std::vector<fs::path> Candidates() {
    std::vector<fs::path> places;
    if (const char* env = std::getenv("ZEPSETUP_QT_MODULE"); env && *env)
        places.emplace_back(env);
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        places.push_back(exe.parent_path() / kModuleName);
        // A copy installed on a machine runs from the machine's drive, far from its module:
        // the build's, else the package's.
#ifdef ZEPSETUP_QT_MODULE_DIR
    places.push_back(fs::path(ZEPSETUP_QT_MODULE_DIR) / kModuleName);
#endif
#ifdef ZEPSETUP_QT_MODULE_INSTALLED
    places.push_back(fs::path(ZEPSETUP_QT_MODULE_INSTALLED) / kModuleName);
#endif
    return places;
}

// The module's one exported function (module.cpp).
using Entry = Backend* (*)(QtOptions*);

} // namespace

std::unique_ptr<Backend> LoadQtBackend(QtOptions options) {
    std::string looked;
    for (const fs::path& place : Candidates()) {
        std::error_code ec;
        if (!fs::is_regular_file(place, ec)) {
            looked += (looked.empty() ? "" : ", ") + place.string();
            continue;
        }
        // Kept loaded for the rest of the process: the backend's code lives there.
        void* module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module)
            throw BackendFailure(std::string("cannot open windows: ") + ::dlerror());
        auto entry = reinterpret_cast<Entry>(::dlsym(module, "zepsetup_qt_backend"));
        if (!entry)
            throw BackendFailure("cannot open windows: " + place.string() +
                                 " is not the windows module");
        return std::unique_ptr<Backend>(entry(&options));
    }
    throw BackendFailure(std::string("cannot open windows: the windows module ") + kModuleName +
                         " is missing (looked in " + looked + ")");
}

} // namespace forms::qt
