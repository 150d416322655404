#include "platform/portable/regedit_export.h"

#include "platform/codepage.h"
#include "platform/portable/machine.h"
#include "platform/portable/regedit_format.h"
#include "platform/portable/registry_store.h"

#include <utility>
#include <vector>

namespace portable {
namespace {

bool HasLineBreak(std::string_view name) {
    return name.find_first_of("\r\n") != std::string_view::npos;
}

class Exporter {
public:
    explicit Exporter(RegistryStore& store) : store_(store) { out_ = "REGEDIT4\r\n\r\n"; }

    // Depth first in name order, without recursion: keys may nest arbitrarily deep.
    void Tree(KeyId top, const std::string& topPath) {
        std::vector<std::pair<KeyId, std::string>> pending{{top, topPath}};
        while (!pending.empty()) {
            auto [key, path] = std::move(pending.back());
            pending.pop_back();
            Key(key, path);
            auto names = store_.SubkeyNames(key);
            for (auto it = names.rbegin(); it != names.rend(); ++it) {
                if (auto child = store_.FindChild(key, *it))
                    pending.emplace_back(*child, path + "\\" + *it);
            }
        }
    }

    std::string Take() { return std::move(out_); }

private:
    void Key(KeyId key, const std::string& path) {
        if (HasLineBreak(path))
            throw ExportError("key name with a line break: " + win::FromAnsi(path));
        out_ += "[" + path + "]\r\n";
        for (const auto& value : store_.Values(key)) {
            if (HasLineBreak(value.name))
                throw ExportError("value name with a line break in " + win::FromAnsi(path));
            out_ += ValueLine(value.name, value.type, value.data, true);
            out_ += "\r\n";
        }
        out_ += "\r\n";
    }

    RegistryStore& store_;
    std::string out_;
};

} // namespace

std::string ExportRegistry(Machine& machine, std::string_view keyPath) {
    auto store = RegistryStore::Of(machine);
    store->Validate();
    Exporter exporter(*store);
    if (keyPath.empty()) {
        exporter.Tree(kLocalMachineKey, "HKEY_LOCAL_MACHINE");
        exporter.Tree(kCurrentUserKey, "HKEY_CURRENT_USER");
        return exporter.Take();
    }
    size_t slash = keyPath.find('\\');
    std::string_view rootName = keyPath.substr(0, slash);
    std::string_view path = slash == std::string_view::npos ? "" : keyPath.substr(slash + 1);
    auto root = FindRoot(rootName);
    if (!root)
        throw ExportError("unknown root key " + win::FromAnsi(rootName));
    std::vector<std::string_view> parts;
    if (!SplitKeyPath(path, parts))
        throw ExportError("invalid key name: " + win::FromAnsi(keyPath));
    // The stored spelling of each name, so that a re-import recreates the same names.
    KeyId key = root->classes ? store->ClassesRoot() : root->key;
    std::string full(root->name);
    for (auto part : parts) {
        auto child = store->FindChild(key, part);
        if (!child)
            throw ExportError("no such key: " + win::FromAnsi(keyPath));
        key = *child;
        full += "\\" + store->KeyName(key);
    }
    exporter.Tree(key, full);
    return exporter.Take();
}

} // namespace portable
