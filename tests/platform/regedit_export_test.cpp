// Export and re-import: the REGEDIT4 text of a registry brings back the same keys, names,
// types and bytes, for the baseline and for random registries full of awkward names and data.
#include "platform/portable/registry/regedit_export.h"

#include "platform/codepage.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_import.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/portable/store/sqlite_db.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

namespace {

using portable::KeyId;
using portable::RegistryStore;
using testing_support::TestMachine;

// Every value with its key's full path, sorted: what "the same registry" means.
std::string Dump(portable::Machine& machine) {
    auto store = RegistryStore::Of(machine);
    std::map<std::string, std::string> lines;
    std::vector<std::pair<KeyId, std::string>> pending = {{portable::kLocalMachineKey, "HKLM"},
                                                          {portable::kCurrentUserKey, "HKCU"}};
    while (!pending.empty()) {
        auto [key, path] = pending.back();
        pending.pop_back();
        lines[path] = "";
        for (const auto& v : store->Values(key)) {
            std::ostringstream s;
            s << path << " | " << v.name << " | " << v.type << " | ";
            for (unsigned char c : v.data)
                s << static_cast<int>(c) << ',';
            lines[s.str()] = "";
        }
        for (const auto& name : store->SubkeyNames(key))
            pending.emplace_back(*store->FindChild(key, name), path + "\\" + name);
    }
    std::string out;
    for (const auto& [line, unused] : lines)
        out += line + "\n";
    return out;
}

void WipeRegistry(portable::Machine& machine) {
    machine.store().Exec("DELETE FROM reg_values; DELETE FROM reg_keys WHERE parent IS NOT NULL");
}

// Exports machine, imports the text into a wiped fresh machine, and compares both ways.
void ExpectRoundTrip(TestMachine& source) {
    std::string text = portable::ExportRegistry(source.machine(), "");
    std::string dump = Dump(source.machine());
    TestMachine target;
    WipeRegistry(target.machine());
    auto report = portable::ImportRegistryScript(target.machine(), text, "export.reg");
    ASSERT_TRUE(report.accepted);
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    EXPECT_EQ(Dump(target.machine()), dump);
    EXPECT_EQ(portable::ExportRegistry(target.machine(), ""), text);
}

TEST(RegeditExport, TheBaselineComesBackWhole) {
    TestMachine m;
    ExpectRoundTrip(m);
}

std::string RandomName(std::mt19937& rng, size_t maxLength) {
    // Printable Windows-1252 with the characters REGEDIT4 has to escape or could mistake.
    static const std::string kAlphabet = win::ToAnsi("abcXYZ019 \"\\[]=@;-.,:ü€ÄßÿŸ\t");
    std::uniform_int_distribution<size_t> length(1, maxLength);
    std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
    std::string name;
    for (size_t n = length(rng); name.size() < n;)
        name += kAlphabet[pick(rng)];
    return name;
}

std::string RandomKeyName(std::mt19937& rng) {
    std::string name = RandomName(rng, 12);
    std::replace(name.begin(), name.end(), '\\', '_'); // the separator
    return name;
}

std::string RandomBytes(std::mt19937& rng, size_t maxLength) {
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string data(length(rng), '\0');
    for (char& c : data)
        c = static_cast<char>(byte(rng));
    return data;
}

void AddRandomValue(std::mt19937& rng, RegistryStore& store, KeyId key) {
    std::uniform_int_distribution<int> kind(0, 9);
    std::string name = kind(rng) == 0 ? "" : RandomName(rng, 16);
    switch (kind(rng)) {
    case 0:
        return store.SetValue(key, name, REG_SZ, RandomName(rng, 40) + '\0');
    case 1:
        return store.SetValue(key, name, REG_SZ, RandomBytes(rng, 20)); // any bytes
    case 2:
        return store.SetValue(key, name, REG_SZ, std::string("two\r\nlines\0", 11));
    case 3:
        return store.SetValue(key, name, REG_EXPAND_SZ, "%windir%\\x" + std::string(1, 0));
    case 4:
        return store.SetValue(key, name, REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    case 5:
        return store.SetValue(key, name, REG_BINARY, RandomBytes(rng, 300));
    case 6:
        return store.SetValue(key, name, REG_DWORD, std::string("\x01\x02\x03\x04"));
    case 7:
        return store.SetValue(key, name, REG_DWORD, RandomBytes(rng, 7)); // odd sizes
    case 8:
        return store.SetValue(key, name, REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x01", 4));
    default:
        return store.SetValue(key, name, 0x1234 + kind(rng), RandomBytes(rng, 5));
    }
}

TEST(RegeditExport, RandomRegistriesComeBackWhole) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        TestMachine m;
        auto store = RegistryStore::Of(m.machine());
        portable::Transaction txn(m.machine().store());
        std::vector<KeyId> keys = {portable::kCurrentUserKey, store->ClassesRoot()};
        std::uniform_int_distribution<int> count(0, 6);
        for (int i = 0; i < 150; ++i) {
            KeyId parent = keys[std::uniform_int_distribution<size_t>(0, keys.size() - 1)(rng)];
            bool created = false;
            KeyId key = store->CreateChild(parent, RandomKeyName(rng), created);
            keys.push_back(key);
            for (int v = count(rng); v > 0; --v)
                AddRandomValue(rng, *store, key);
        }
        txn.Commit();
        ExpectRoundTrip(m);
    }
}

TEST(RegeditExport, LongDataIsWrappedAsTheEditorWrapsIt) {
    TestMachine m;
    auto store = RegistryStore::Of(m.machine());
    bool created = false;
    KeyId key = store->CreateChild(portable::kCurrentUserKey, "T", created);
    store->SetValue(key, "Blob", REG_BINARY, std::string(100, '\x5a'));
    std::string text = portable::ExportRegistry(m.machine(), "HKEY_CURRENT_USER\\T");
    std::istringstream lines(text);
    std::string line;
    int continued = 0;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r'); // CR LF throughout
        EXPECT_LE(line.size(), 81u);
        if (line.starts_with("  5a"))
            ++continued;
    }
    EXPECT_EQ(continued, 4);
}

TEST(RegeditExport, RefusesWhatNoScriptCanHold) {
    TestMachine m;
    auto store = RegistryStore::Of(m.machine());
    bool created = false;
    KeyId key = store->CreateChild(portable::kCurrentUserKey, "T", created);
    store->SetValue(key, "line\nbreak", REG_SZ, std::string("x\0", 2));
    EXPECT_THROW(portable::ExportRegistry(m.machine(), "HKEY_CURRENT_USER\\T"),
                 portable::ExportError);
    EXPECT_THROW(portable::ExportRegistry(m.machine(), "HKEY_CURRENT_USER\\Nowhere"),
                 portable::ExportError);
    EXPECT_THROW(portable::ExportRegistry(m.machine(), "HKEY_USERS"), portable::ExportError);
}

} // namespace
