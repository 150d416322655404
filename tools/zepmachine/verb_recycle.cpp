// zepmachine recycle: the machine's recycle bin.
#include "cli.h"

#include "platform/codepage.h"
#include "platform/portable/files/file_system.h"
#include "platform/portable/files/recycle_bin.h"
#include "platform/portable/machine.h"
#include "platform/quoted_input.h"

#include <charconv>
#include <cstdio>

namespace zepmachine {

extern const Verb kRecycleVerb;

namespace {

constexpr std::string_view kUsage =
    "usage: zepmachine recycle list [--json]\n"
    "       zepmachine recycle restore ID...\n"
    "       zepmachine recycle empty\n"
    "\n"
    "The machine's recycle bin: what a program deleted with SHFileOperation and\n"
    "FOF_ALLOWUNDO. Each drive keeps its items in the hidden system folder RECYCLED at its\n"
    "root, renamed to D<drive><n>[.EXT]; the machine's store records where they came from.\n"
    "  list     one line per item: ID, time recycled (UTC), size in bytes (of a folder, all\n"
    "           its files), original path, path in the bin. --json prints a JSON array of\n"
    "           objects with id, time, size, folder, original and stored.\n"
    "  restore  moves each item back to its original path, creating missing parent folders\n"
    "           as Windows does. An item is refused, and stays in the bin, when something\n"
    "           is at its path now or its record cannot be trusted.\n"
    "  empty    deletes everything in the bins for good.\n"
    "Every recycle, restore and deletion is recorded in the journal (zepmachine log).\n"
    "\n"
    "Exit status: 0 when everything was done, 1 when something was refused or failed (said\n"
    "on stderr; the other items are still done), 2 on a usage error.\n";

std::string Utf8(std::string_view ansi) {
    return win::FromAnsi(ansi);
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void PrintJson(const std::vector<portable::RecycledItem>& items) {
    std::printf("[");
    for (size_t i = 0; i < items.size(); ++i) {
        const auto& item = items[i];
        // The time comes from the store as it is; through the code page it is valid UTF-8.
        std::printf("%s\n  {\"id\": %lld, \"time\": %s, \"size\": %llu, \"folder\": %s, "
                    "\"original\": %s, \"stored\": %s}",
                    i ? "," : "", static_cast<long long>(item.id),
                    JsonString(Utf8(win::ToAnsi(item.deleted))).c_str(),
                    static_cast<unsigned long long>(item.size), item.folder ? "true" : "false",
                    JsonString(Utf8(item.original)).c_str(),
                    JsonString(Utf8(item.StoredPath())).c_str());
    }
    std::printf("%s]\n", items.empty() ? "" : "\n");
}

int List(std::span<const std::string> args) {
    bool json = args.size() == 1 && args[0] == "--json";
    if (!json)
        ExpectArgs(args, 0, 0, "zepmachine recycle list [--json]");
    TheMachine();
    auto items = portable::RecycleBin(TheFiles()).Items();
    if (json) {
        PrintJson(items);
        return 0;
    }
    for (const auto& item : items)
        std::printf("%lld  %s  %llu  %s  %s\n", static_cast<long long>(item.id),
                    win::QuotedInput(Utf8(win::ToAnsi(item.deleted)), 0).c_str(),
                    static_cast<unsigned long long>(item.size),
                    win::QuotedInput(Utf8(item.original), 0).c_str(),
                    win::QuotedInput(Utf8(item.StoredPath()), 0).c_str());
    return 0;
}

std::int64_t ParseId(const std::string& text) {
    std::int64_t id = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc() || end != text.data() + text.size() || id <= 0)
        throw CliError("'" + text + "' is no item number (see zepmachine recycle list)", 2);
    return id;
}

int Restore(std::span<const std::string> args) {
    ExpectArgs(args, 1, args.size() + 1, "zepmachine recycle restore ID...");
    std::vector<std::int64_t> ids;
    for (const auto& a : args)
        ids.push_back(ParseId(a));
    TheMachine();
    portable::RecycleBin bin(TheFiles());
    int status = 0;
    for (std::int64_t id : ids) {
        auto item = bin.Item(id);
        std::string why;
        if (bin.Restore(id, why) != ERROR_SUCCESS) {
            std::fprintf(stderr, "zepmachine recycle: %s\n", why.c_str());
            status = 1;
            continue;
        }
        std::printf("restored %lld: %s -> %s\n", static_cast<long long>(id),
                    Utf8(item->StoredPath()).c_str(), Utf8(item->original).c_str());
    }
    return status;
}

int Empty(std::span<const std::string> args) {
    ExpectArgs(args, 0, 0, "zepmachine recycle empty");
    TheMachine();
    portable::EmptyReport report = portable::RecycleBin(TheFiles()).Empty();
    std::printf("deleted %d item(s)", report.items);
    if (report.others)
        std::printf(" and %d other entr%s of the bins", report.others,
                    report.others == 1 ? "y" : "ies");
    std::printf("\n");
    for (const auto& problem : report.problems)
        std::fprintf(stderr, "zepmachine recycle: %s\n", problem.c_str());
    return report.problems.empty() ? 0 : 1;
}

int Run(std::span<const std::string> args) {
    if (args.empty())
        throw CliError("expected list, restore or empty\n" + std::string(kUsage), 2);
    std::span<const std::string> rest = args.subspan(1);
    if (args[0] == "list")
        return List(rest);
    if (args[0] == "restore")
        return Restore(rest);
    if (args[0] == "empty")
        return Empty(rest);
    throw CliError("unknown recycle command '" + args[0] + "' (list, restore, empty)", 2);
}

} // namespace

const Verb kRecycleVerb{"recycle", "list, restore or empty the recycle bin", kUsage, Run};

} // namespace zepmachine
