// Conformance of the advapi32 registry subset on the portable machine: poisoned outputs
// before each call, then what must change and what must stay.
#include "platform/advapi32.h"

#include "platform/codepage.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/portable/store/sqlite_db.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using testing_support::TestMachine;

constexpr DWORD kPoison = 0xdeadbeef;
const HKEY kBadKey = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x7770));

class Advapi32 : public ::testing::Test {
protected:
    TestMachine m;

    HKEY Create(HKEY root, const std::string& path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(win::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       0x3F, nullptr, &key, disposition),
                  ERROR_SUCCESS)
            << path;
        return key;
    }

    LONG Open(HKEY root, const std::string& path, HKEY& key) {
        key = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(kPoison));
        return win::RegOpenKeyExA(root, path.c_str(), 0, 0x3F, &key);
    }

    void SetString(HKEY key, const char* name, const std::string& text) {
        ASSERT_EQ(win::RegSetValueExA(key, name, 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(text.c_str()),
                                      static_cast<DWORD>(text.size() + 1)),
                  ERROR_SUCCESS);
    }

    std::string Query(HKEY key, const char* name, DWORD* type = nullptr) {
        DWORD size = 0;
        if (win::RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
            return "<missing>";
        std::string data(size, '\0');
        EXPECT_EQ(win::RegQueryValueExA(key, name, nullptr, type,
                                        reinterpret_cast<LPBYTE>(data.data()), &size),
                  ERROR_SUCCESS);
        return data;
    }

    std::vector<std::string> JournalSince(std::int64_t id) {
        std::vector<std::string> lines;
        for (const auto& e : m.machine().ReadJournal(id))
            lines.push_back(e.text);
        return lines;
    }

    std::int64_t LastJournalId() {
        auto all = m.machine().ReadJournal();
        return all.empty() ? 0 : all.back().id;
    }
};

TEST_F(Advapi32, OpenOfAMissingKeyFailsAndLeavesNoHandle) {
    HKEY key;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software\\Nowhere\\Deeper", key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft", key), ERROR_SUCCESS);
    EXPECT_NE(key, nullptr);
    EXPECT_EQ(win::RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(win::RegCloseKey(key), ERROR_SUCCESS);     // Windows 95 does not mind a second close
    EXPECT_EQ(Open(key, "", key), ERROR_INVALID_HANDLE); // but the handle is gone
}

TEST_F(Advapi32, CreateMakesEveryMissingLevelAndReportsTheDisposition) {
    DWORD disposition = kPoison;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Quorvel\\Zepanu\\3.0", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    win::RegCloseKey(key);
    key = Create(HKEY_CURRENT_USER, "SOFTWARE\\QUORVEL", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    HKEY child;
    EXPECT_EQ(Open(key, "zepanu\\3.0", child), ERROR_SUCCESS); // relative to an open key
    win::RegCloseKey(child);
    win::RegCloseKey(key);
}

// That names ignore case is a conformance test; here, what the store keeps.
TEST_F(Advapi32, AKeyKeepsTheSpellingItWasCreatedWith) {
    std::string mixed = win::ToAnsi("SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx");
    std::string upper = win::ToAnsi("software\\QUORVEL\\zepanu\\KONTEXTMENÜEX");
    win::RegCloseKey(Create(HKEY_LOCAL_MACHINE, mixed));
    DWORD disposition = 0;
    win::RegCloseKey(Create(HKEY_LOCAL_MACHINE, upper, &disposition));
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    // The stored name keeps the spelling it was created with.
    auto store = portable::RegistryStore::Of(m.machine());
    auto id = store->FindKey(portable::kLocalMachineKey, upper);
    ASSERT_TRUE(id);
    EXPECT_EQ(win::FromAnsi(store->KeyName(*id)), "KontextmenüEx");
}

TEST_F(Advapi32, ClassesRootIsTheClassesKeyOfTheLocalMachine) {
    HKEY key = Create(HKEY_CLASSES_ROOT, "zipFile\\Shell");
    SetString(key, "", "Zip-Dateien");
    win::RegCloseKey(key);
    HKEY same;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\ZIPFILE\\shell", same), ERROR_SUCCESS);
    EXPECT_EQ(Query(same, nullptr), std::string("Zip-Dateien\0", 12));
    win::RegCloseKey(same);
}

// The sizes a query answers are a conformance test; here, the bytes it leaves alone.
TEST_F(Advapi32, AQueryWritesNothingBeyondWhatItReturns) {
    HKEY key = Create(HKEY_CURRENT_USER, "T");
    SetString(key, "Name", "Ja");

    DWORD type = kPoison;
    DWORD size = kPoison;
    EXPECT_EQ(win::RegQueryValueExA(key, "name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 3u); // the terminator counts

    char buffer[8];
    std::memset(buffer, 0xA5, sizeof buffer);
    size = 2;
    type = kPoison;
    EXPECT_EQ(
        win::RegQueryValueExA(key, "Name", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 0xA5); // untouched

    size = sizeof buffer;
    EXPECT_EQ(win::RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer),
                                    &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_STREQ(buffer, "Ja");
    EXPECT_EQ(static_cast<unsigned char>(buffer[3]), 0xA5); // nothing past the value

    size = kPoison;
    EXPECT_EQ(win::RegQueryValueExA(key, "Other", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win::RegQueryValueExA(key, "", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND); // no default value until one is set
    win::RegCloseKey(key);
}

// Common types are a conformance test; here, what Windows 95 does with odd ones.
TEST_F(Advapi32, OddValuesKeepTheirTypeAndBytes) {
    HKEY key = Create(HKEY_CURRENT_USER, "T");
    const BYTE bytes[] = {0x00, 0xFF, 0x00, 0x10, 0x20};
    ASSERT_EQ(win::RegSetValueExA(key, "Bin", 0, REG_BINARY, bytes, sizeof bytes), ERROR_SUCCESS);
    ASSERT_EQ(win::RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    ASSERT_EQ(win::RegSetValueExA(key, "Odd", 0, 0x12345, bytes, 3), ERROR_SUCCESS);
    const BYTE unterminated[] = {'a', 'b'};
    ASSERT_EQ(win::RegSetValueExA(key, "Raw", 0, REG_EXPAND_SZ, unterminated, 2), ERROR_SUCCESS);
    // Windows 95 wants data for a string, even an empty one.
    EXPECT_EQ(win::RegSetValueExA(key, "NoText", 0, REG_SZ, nullptr, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Query(key, "NoText"), "<missing>");

    DWORD type = 0;
    EXPECT_EQ(Query(key, "Bin", &type), std::string("\0\xFF\0\x10\x20", 5));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(Query(key, "Empty", &type), "");
    EXPECT_EQ(Query(key, "Odd", &type), std::string("\0\xFF\0", 3));
    EXPECT_EQ(type, 0x12345u);
    EXPECT_EQ(Query(key, "Raw", &type), "ab"); // only REG_SZ is taken as a C string

    SetString(key, "bin", "now a string"); // replaces the value, whatever its spelling
    EXPECT_EQ(Query(key, "BIN", &type), std::string("now a string\0", 13));
    EXPECT_EQ(type, REG_SZ);
    win::RegCloseKey(key);
}

// That a delete takes the subtree is a conformance test; here, what the store keeps of it
// and the roots of every hive.
TEST_F(Advapi32, ADeletedSubtreeLeavesNoRowsAndNoRootGoes) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx\\Deep");
    SetString(key, "v", "1");
    win::RegCloseKey(key);
    EXPECT_EQ(win::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorvel\\Zepanu"), ERROR_SUCCESS);
    auto& db = m.machine().store();
    auto& orphans = db.Prepare("SELECT count(*) FROM reg_values WHERE key NOT IN "
                               "(SELECT id FROM reg_keys)");
    ASSERT_TRUE(orphans.Step());
    EXPECT_EQ(orphans.Int(0), 0);
    orphans.Reset();

    EXPECT_EQ(win::RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(win::RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(win::RegDeleteKeyA(HKEY_CURRENT_USER, nullptr), ERROR_BADKEY); // Windows 95
    HKEY still;
    EXPECT_EQ(Open(HKEY_CLASSES_ROOT, "txtfile", still), ERROR_SUCCESS);
    win::RegCloseKey(still);
}

TEST_F(Advapi32, DeleteValue) {
    HKEY key = Create(HKEY_CURRENT_USER, "T");
    SetString(key, "a", "1");
    SetString(key, "", "default");
    EXPECT_EQ(win::RegDeleteValueA(key, "A"), ERROR_SUCCESS);
    EXPECT_EQ(win::RegDeleteValueA(key, "a"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win::RegDeleteValueA(key, nullptr), ERROR_SUCCESS); // the default value
    EXPECT_EQ(Query(key, ""), "<missing>");
    win::RegCloseKey(key);
}

TEST_F(Advapi32, NullAndUnknownHandlesFailWithoutEffect) {
    auto before = LastJournalId();
    const BYTE one[] = {1, 0, 0, 0};
    for (HKEY bad : {static_cast<HKEY>(nullptr), kBadKey, HKEY_USERS}) {
        SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(bad));
        // Windows 95 calls a null key a bad key where it opens or closes one.
        LONG badKey = bad ? ERROR_INVALID_HANDLE : ERROR_BADKEY;
        HKEY out = kBadKey;
        EXPECT_EQ(win::RegOpenKeyExA(bad, "x", 0, 0x3F, &out), badKey);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(win::RegCreateKeyExA(bad, "x", 0, nullptr, 0, 0x3F, nullptr, &out, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(win::RegSetValueExA(bad, "v", 0, REG_DWORD, one, 4), ERROR_INVALID_HANDLE);
        DWORD size = 0;
        EXPECT_EQ(win::RegQueryValueExA(bad, "v", nullptr, nullptr, nullptr, &size),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(win::RegDeleteValueA(bad, "v"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(win::RegDeleteKeyA(bad, "x"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(win::RegCloseKey(bad), badKey);
    }
    EXPECT_EQ(LastJournalId(), before);                            // nothing changed
    EXPECT_EQ(win::RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS); // predefined: harmless
}

TEST_F(Advapi32, AHandleOfADeletedKeyFails) {
    HKEY key = Create(HKEY_CURRENT_USER, "Doomed\\Child");
    ASSERT_EQ(win::RegDeleteKeyA(HKEY_CURRENT_USER, "Doomed"), ERROR_SUCCESS);
    const BYTE one[] = {1, 0, 0, 0};
    EXPECT_EQ(win::RegSetValueExA(key, "v", 0, REG_DWORD, one, 4), ERROR_KEY_DELETED);
    HKEY sub;
    EXPECT_EQ(Open(key, "", sub), ERROR_KEY_DELETED);
    EXPECT_EQ(win::RegCreateKeyExA(key, "New", 0, nullptr, 0, 0x3F, nullptr, &sub, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Doomed", sub), ERROR_FILE_NOT_FOUND); // not recreated
    win::RegCloseKey(key);
}

TEST_F(Advapi32, InvalidKeyNamesAreRefused) {
    HKEY key = nullptr;
    for (const std::string& bad :
         {std::string("a\\\\b"), std::string("\\\\a"), std::string(256, 'x')}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(win::RegCreateKeyExA(HKEY_CURRENT_USER, bad.c_str(), 0, nullptr, 0, 0x3F, nullptr,
                                       &key, nullptr),
                  ERROR_BADKEY);
        EXPECT_EQ(key, nullptr);
    }
    key = Create(HKEY_CURRENT_USER, std::string(255, 'x') + "\\"); // trailing '\' ignored
    win::RegCloseKey(key);
    // Windows 95 ignores one leading '\' (later versions answer ERROR_BAD_PATHNAME).
    DWORD disposition = kPoison;
    key = Create(HKEY_CURRENT_USER, "\\Lead\\Child", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    win::RegCloseKey(key);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Lead\\Child", key), ERROR_SUCCESS);
    win::RegCloseKey(key);
    EXPECT_EQ(JournalSince(LastJournalId() - 1),
              std::vector<std::string>{"reg create [HKEY_CURRENT_USER\\Lead\\Child]"});
}

TEST_F(Advapi32, EnumerationInNameOrder) {
    HKEY key = Create(HKEY_CURRENT_USER, "E");
    for (const char* sub : {"beta", "Alpha", "gamma"})
        win::RegCloseKey(Create(key, sub));
    SetString(key, "zeta", "z");
    SetString(key, "Eta", "e");

    std::vector<std::string> names;
    char name[16];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        LONG rc = win::RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(rc, ERROR_SUCCESS);
        EXPECT_EQ(size, std::strlen(name));
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));

    DWORD small = 3;
    EXPECT_EQ(win::RegEnumKeyExA(key, 0, name, &small, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);

    names.clear();
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        DWORD type = 0;
        char data[8];
        DWORD dataSize = sizeof data;
        LONG rc = win::RegEnumValueA(key, i, name, &size, nullptr, &type,
                                     reinterpret_cast<LPBYTE>(data), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(rc, ERROR_SUCCESS);
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(dataSize, 2u);
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Eta", "zeta"}));
    win::RegCloseKey(key);
}

TEST_F(Advapi32, EveryChangeIsJournalledReadably) {
    auto before = LastJournalId();
    HKEY key = Create(HKEY_CLASSES_ROOT, "zipFile");
    const BYTE flags[] = {0xd2, 0x01, 0x00, 0x00};
    win::RegSetValueExA(key, "EditFlags", 0, REG_BINARY, flags, 4);
    SetString(key, "", "Zip-Dateien");
    win::RegDeleteValueA(key, "EditFlags");
    win::RegCloseKey(key);
    win::RegCloseKey(Create(HKEY_CLASSES_ROOT, "zipFile")); // no change, no line
    win::RegDeleteKeyA(HKEY_CLASSES_ROOT, "zipFile");
    EXPECT_EQ(JournalSince(before),
              (std::vector<std::string>{
                  "reg create [HKEY_CLASSES_ROOT\\zipFile]",
                  "reg set [HKEY_CLASSES_ROOT\\zipFile] \"EditFlags\"=hex:d2,01,00,00",
                  "reg set [HKEY_CLASSES_ROOT\\zipFile] @=\"Zip-Dateien\"",
                  "reg delete value [HKEY_CLASSES_ROOT\\zipFile] \"EditFlags\"",
                  "reg delete [HKEY_CLASSES_ROOT\\zipFile] (1 keys, 1 values)",
              }));
}

// Another process's committed change is seen at once, cached reads included.
TEST_F(Advapi32, ChangesOfAnotherConnectionAreSeen) {
    HKEY key = Create(HKEY_CURRENT_USER, "Shared");
    SetString(key, "v", "mine");
    EXPECT_EQ(Query(key, "v"), std::string("mine\0", 5)); // now cached

    auto other = portable::Machine::Open(m.root());
    auto store = portable::RegistryStore::Of(*other);
    {
        portable::Transaction txn(other->store());
        auto id = store->FindKey(portable::kCurrentUserKey, "Shared");
        ASSERT_TRUE(id);
        store->SetValue(*id, "v", REG_SZ, std::string("theirs\0", 7));
        txn.Commit();
    }
    EXPECT_EQ(Query(key, "v"), std::string("theirs\0", 7));
    {
        portable::Transaction txn(other->store());
        std::int64_t keys = 0;
        std::int64_t values = 0;
        store->DeleteKey(*store->FindKey(portable::kCurrentUserKey, "Shared"), keys, values);
        txn.Commit();
    }
    EXPECT_EQ(Query(key, "v"), "<missing>");
    HKEY gone;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Shared", gone), ERROR_FILE_NOT_FOUND);
    win::RegCloseKey(key);
}

TEST_F(Advapi32, HandlesDoNotOutliveTheirMachine) {
    HKEY key = Create(HKEY_CURRENT_USER, "Kept");
    TestMachine next; // a new current machine
    const BYTE one[] = {1, 0, 0, 0};
    EXPECT_EQ(win::RegSetValueExA(key, "v", 0, REG_DWORD, one, 4), ERROR_INVALID_HANDLE);
    HKEY there;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Kept", there), ERROR_FILE_NOT_FOUND);
}

} // namespace
