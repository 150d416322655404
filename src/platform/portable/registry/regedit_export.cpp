#include "platform/portable/registry/regedit_export.h"

#include "platform/codepage.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_format.h"
#include "platform/portable/registry/registry_limits.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/quoted_input.h"

#include <vector>

namespace portable {
namespace {

constexpr size_t kPieceSize = 64 * 1024;

bool HasLineBreak(std::string_view name) {
    return name.find_first_of("\r\n") != std::string_view::npos;
}

class Exporter {
public:
    Exporter(RegistryStore& store, const ExportSink& sink) : store_(store), sink_(sink) {
        out_ = "REGEDIT4\r\n\r\n";
    }

    // Depth first in name order, without recursion. Only the path being written is held
    // whole; each level keeps the names of its children still to come.
    void Tree(KeyId top, std::string path, size_t depth) {
        struct Level {
            KeyId key;
            std::vector<std::string> children;
            size_t next = 0;
            size_t pathSize = 0;
        };
        Key(top, path);
        std::vector<Level> levels;
        levels.push_back({top, store_.SubkeyNames(top), 0, path.size()});
        while (!levels.empty()) {
            Level& level = levels.back();
            if (level.next == level.children.size()) {
                levels.pop_back();
                continue;
            }
            const std::string& name = level.children[level.next++];
            auto child = store_.FindChild(level.key, name);
            if (!child)
                continue;
            path.resize(level.pathSize);
            path += "\\" + name;
            if (depth + levels.size() > kMaxKeyDepth)
                throw ExportError("key deeper than " + std::to_string(kMaxKeyDepth) +
                                  " levels: " + win::QuotedInput(win::FromAnsi(path)));
            Key(*child, path);
            levels.push_back({*child, store_.SubkeyNames(*child), 0, path.size()});
        }
    }

    void Finish() {
        if (!out_.empty())
            sink_(out_);
        out_.clear();
    }

private:
    void Key(KeyId key, const std::string& path) {
        if (HasLineBreak(path))
            throw ExportError("key name with a line break: " +
                              win::QuotedInput(win::FromAnsi(path)));
        out_ += "[" + path + "]\r\n";
        for (const auto& value : store_.Values(key)) {
            if (HasLineBreak(value.name))
                throw ExportError("value name with a line break in " +
                                  win::QuotedInput(win::FromAnsi(path)));
            out_ += ValueLine(value.name, value.type, value.data, true);
            out_ += "\r\n";
        }
        out_ += "\r\n";
        if (out_.size() >= kPieceSize)
            Finish();
    }

    RegistryStore& store_;
    const ExportSink& sink_;
    std::string out_;
};

} // namespace

void ExportRegistry(Machine& machine, std::string_view keyPath, const ExportSink& sink) {
    auto store = RegistryStore::Of(machine);
    store->Validate();
    Exporter exporter(*store, sink);
    if (keyPath.empty()) {
        exporter.Tree(kLocalMachineKey, "HKEY_LOCAL_MACHINE", 0);
        exporter.Tree(kCurrentUserKey, "HKEY_CURRENT_USER", 0);
        exporter.Finish();
        return;
    }
    size_t slash = keyPath.find('\\');
    std::string_view rootName = keyPath.substr(0, slash);
    std::string_view path = slash == std::string_view::npos ? "" : keyPath.substr(slash + 1);
    auto root = FindRoot(rootName);
    if (!root)
        throw ExportError("unknown root key " + win::QuotedInput(win::FromAnsi(rootName)));
    std::vector<std::string_view> parts;
    if (!SplitKeyPath(path, parts))
        throw ExportError("invalid key name: " + win::QuotedInput(win::FromAnsi(keyPath)));
    // The stored spelling of each name, so that a re-import recreates the same names.
    KeyId key = root->classes ? store->ClassesRoot() : root->key;
    std::string full(root->name);
    for (auto part : parts) {
        auto child = store->FindChild(key, part);
        if (!child)
            throw ExportError("no such key: " + win::QuotedInput(win::FromAnsi(keyPath)));
        key = *child;
        full += "\\" + store->KeyName(key);
    }
    exporter.Tree(key, full, parts.size() + (root->classes ? 2 : 0));
    exporter.Finish();
}

std::string ExportRegistry(Machine& machine, std::string_view keyPath) {
    std::string text;
    ExportRegistry(machine, keyPath, [&](std::string_view piece) { text += piece; });
    return text;
}

} // namespace portable
