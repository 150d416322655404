// Fuzzes the registry editor's importer on a real machine. Each input is imported inside a
// transaction that is rolled back, so every input starts from the baseline registry. What
// an accepted import leaves must export to a script that imports again without a problem.
#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_export.h"
#include "platform/portable/registry/regedit_import.h"
#include "platform/portable/store/sqlite_db.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

struct FuzzMachine {
    fs::path dir;
    std::unique_ptr<portable::Machine> machine;

    FuzzMachine() {
        std::string pattern = (fs::temp_directory_path() / "fuzz-regedit-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        dir = pattern;
        machine = portable::Machine::Create(dir / "m");
    }
    ~FuzzMachine() {
        machine.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzMachine fuzz;
    portable::Machine& machine = *fuzz.machine;
    portable::Transaction rollback(machine.store());
    std::string_view script(reinterpret_cast<const char*>(data), size);
    auto report = portable::ImportRegistryScript(machine, script, "fuzz.reg");
    if (!report.accepted)
        return 0;
    std::string text;
    try {
        text = portable::ExportRegistry(machine, "");
    } catch (const portable::ExportError&) {
        return 0; // a name with a line break inside its quotes: no script can hold it
    }
    auto again = portable::ImportRegistryScript(machine, text, "export.reg");
    if (!again.accepted || !again.problems.empty())
        std::abort();
    return 0;
}
