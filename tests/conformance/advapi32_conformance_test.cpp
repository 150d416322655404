// The registry functions as the program uses them, on the portable machine and on Windows.
#include "conformance/conformance_env.h"
#include "platform/advapi32.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPoison = 0xdeadbeef;

class Advapi32 : public conformance::Test {
protected:
    HKEY Create(const std::string& sub, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        std::string path = env.Key() + (sub.empty() ? "" : "\\" + sub);
        EXPECT_EQ(win::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                       REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                       disposition),
                  static_cast<LONG>(ERROR_SUCCESS))
            << path;
        return key;
    }
    LONG Open(const std::string& sub, HKEY* key) {
        std::string path = env.Key() + (sub.empty() ? "" : "\\" + sub);
        return win::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key);
    }
    // The index-th sub-key's name of key, or the call's error.
    LONG EnumKey(HKEY key, DWORD index, std::string* name = nullptr) {
        char buffer[256];
        DWORD size = sizeof buffer;
        LONG rc = win::RegEnumKeyExA(key, index, buffer, &size, nullptr, nullptr, nullptr, nullptr);
        if (name && rc == ERROR_SUCCESS)
            *name = buffer;
        return rc;
    }
    bool KeyExists(const std::string& sub) {
        HKEY key = nullptr;
        if (Open(sub, &key) != ERROR_SUCCESS)
            return false;
        win::RegCloseKey(key);
        return true;
    }
};

TEST_F(Advapi32, CreateMakesEveryMissingLevelAndTellsNewFromExisting) {
    DWORD disposition = kPoison;
    HKEY key = Create("Eins\\Zwei\\Drei", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    win::RegCloseKey(key);
    key = Create("Eins\\Zwei", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    win::RegCloseKey(key);
    HKEY missing = reinterpret_cast<HKEY>(static_cast<intptr_t>(kPoison));
    EXPECT_EQ(Open("Fehlt", &missing), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Advapi32, NamesIgnoreCaseUmlautsIncluded) {
    win::RegCloseKey(Create("Kontextmen\xFC"
                            "Ex"));
    EXPECT_TRUE(KeyExists("KONTEXTMEN\xDC"
                          "EX"));
    HKEY key = Create("");
    const char data[] = "Ja";
    ASSERT_EQ(win::RegSetValueExA(key, "Akzeptiert\xE4", 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(data), sizeof data),
              static_cast<LONG>(ERROR_SUCCESS));
    DWORD type = 0, size = 0;
    EXPECT_EQ(win::RegQueryValueExA(key, "AKZEPTIERT\xC4", nullptr, &type, nullptr, &size),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, sizeof data);
    win::RegCloseKey(key);
}

TEST_F(Advapi32, QueryFollowsTheBufferContract) {
    HKEY key = Create("");
    const char text[] = "C:\\Programme\\Dovek's Zepanu's 1.0";
    ASSERT_EQ(win::RegSetValueExA(key, "Pfad", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                  sizeof text),
              static_cast<LONG>(ERROR_SUCCESS));
    char buffer[64];
    std::memset(buffer, 0xA5, sizeof buffer);
    DWORD type = kPoison, size = 8;
    EXPECT_EQ(
        win::RegQueryValueExA(key, "Pfad", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size),
        static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(size, sizeof text);
    size = sizeof buffer;
    EXPECT_EQ(
        win::RegQueryValueExA(key, "Pfad", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size),
        static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, sizeof text);
    EXPECT_STREQ(buffer, text);
    size = sizeof buffer;
    EXPECT_EQ(win::RegQueryValueExA(key, "Fehlt", nullptr, &type, reinterpret_cast<LPBYTE>(buffer),
                                    &size),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    win::RegCloseKey(key);
}

TEST_F(Advapi32, ValuesKeepTypeAndExactBytes) {
    HKEY key = Create("");
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {"Zahl", REG_DWORD, std::string("\x10\x00\x00\x00", 4)},
        {"Bytes", REG_BINARY, std::string("\x00\xFF\x01", 3)},
        {"Liste", REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
        {"", REG_SZ, std::string("Standard\0", 9)},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(win::RegSetValueExA(key, c.name, 0, c.type,
                                      reinterpret_cast<const BYTE*>(c.bytes.data()),
                                      static_cast<DWORD>(c.bytes.size())),
                  static_cast<LONG>(ERROR_SUCCESS))
            << c.name;
    }
    for (const auto& c : cases) {
        char buffer[32] = {};
        DWORD type = 0, size = sizeof buffer;
        ASSERT_EQ(win::RegQueryValueExA(key, c.name, nullptr, &type,
                                        reinterpret_cast<LPBYTE>(buffer), &size),
                  static_cast<LONG>(ERROR_SUCCESS))
            << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(std::string(buffer, size), c.bytes) << c.name;
    }
    // The default value is also reached by a null name.
    DWORD size = 0;
    EXPECT_EQ(win::RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(win::RegDeleteValueA(key, "Zahl"), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(win::RegDeleteValueA(key, "Zahl"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    win::RegCloseKey(key);
}

// Windows 95 deletes a key with its subtree; the platform keeps that on the NT family.
TEST_F(Advapi32, DeleteKeyTakesTheWholeSubtreeButNeverARoot) {
    win::RegCloseKey(Create("Baum\\Ast\\Zweig"));
    win::RegCloseKey(Create("Baum\\Ast2"));
    win::RegCloseKey(Create("Nachbar"));
    std::string tree = env.Key() + "\\Baum";
    EXPECT_EQ(win::RegDeleteKeyA(HKEY_CURRENT_USER, tree.c_str()),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_FALSE(KeyExists("Baum"));
    EXPECT_TRUE(KeyExists("Nachbar"));
    EXPECT_EQ(win::RegDeleteKeyA(HKEY_CURRENT_USER, tree.c_str()),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(win::RegDeleteKeyA(HKEY_CURRENT_USER, ""), static_cast<LONG>(ERROR_ACCESS_DENIED));
    // A null name fails too (the portable machine says ERROR_INVALID_PARAMETER).
    EXPECT_NE(win::RegDeleteKeyA(HKEY_CURRENT_USER, nullptr), static_cast<LONG>(ERROR_SUCCESS));
}

TEST_F(Advapi32, EnumerationListsEveryKeyInNameOrderAndEveryValue) {
    for (const char* name : {"beta", "Alpha", "GAMMA"})
        win::RegCloseKey(Create(std::string("Liste\\") + name));
    HKEY key = nullptr;
    ASSERT_EQ(Open("Liste", &key), static_cast<LONG>(ERROR_SUCCESS));
    std::vector<std::string> keys;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        LONG rc = win::RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(rc, static_cast<LONG>(ERROR_SUCCESS));
        EXPECT_EQ(size, std::strlen(name));
        keys.push_back(name);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "GAMMA"}));
    for (const char* name : {"z", "a", "M"}) {
        ASSERT_EQ(win::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2),
                  static_cast<LONG>(ERROR_SUCCESS));
    }
    // Windows 95 lists values in name order, the NT family in the order they were made; the
    // program reads values by name only, so only the set is the same.
    std::set<std::string> values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name, type = 0;
        LONG rc = win::RegEnumValueA(key, i, name, &size, nullptr, &type, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(rc, static_cast<LONG>(ERROR_SUCCESS));
        values.insert(name);
    }
    EXPECT_EQ(values, (std::set<std::string>{"M", "a", "z"}));
    char tiny[2];
    DWORD size = sizeof tiny;
    EXPECT_EQ(win::RegEnumKeyExA(key, 0, tiny, &size, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_MORE_DATA));
    win::RegCloseKey(key);
}

// The classic slip of a size without the NUL: Windows 95 stores the string and its NUL
// whatever the size says; the NT family (Wine answers alike) stores the bytes given and adds
// the NUL only where the byte after them is one.
TEST_F(Advapi32, AStringIsStoredUpToItsTerminator) {
    HKEY key = Create("");
    using conformance::Win95OrNt;
    const std::string whole("Zepanu\0", 7);
    struct Row {
        const char* name;
        const char* text;
        DWORD size;
        std::string stored;
    };
    const Row rows[] = {
        {"Genau", "Zepanu", 7, whole},
        {"Ohne Null", "Zepanu", 6, whole},
        {"Zu kurz", "Zepanu", 3, Win95OrNt(whole, std::string("Zep"))},
        {"Leer", "", 0, Win95OrNt(std::string(1, '\0'), std::string())},
        {"Zwei", "Ja\0Nein", 8, Win95OrNt(std::string("Ja\0", 3), std::string("Ja\0Nein\0", 8))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(win::RegSetValueExA(key, row.name, 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(row.text), row.size),
                  static_cast<LONG>(ERROR_SUCCESS));
        char buffer[16];
        DWORD size = sizeof buffer;
        ASSERT_EQ(win::RegQueryValueExA(key, row.name, nullptr, nullptr,
                                        reinterpret_cast<LPBYTE>(buffer), &size),
                  static_cast<LONG>(ERROR_SUCCESS));
        EXPECT_EQ(std::string(buffer, size), row.stored);
    }
    DWORD size = 6; // as long as the text: too small for the NUL
    char buffer[16];
    EXPECT_EQ(win::RegQueryValueExA(key, "Ohne Null", nullptr, nullptr,
                                    reinterpret_cast<LPBYTE>(buffer), &size),
              static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 7u);
    win::RegCloseKey(key);
}

TEST_F(Advapi32, EnumeratingAKeyDeletedThroughAnotherHandleFails) {
    HKEY key = Create("Weg");
    win::RegCloseKey(Create("Weg\\Kind"));
    ASSERT_EQ(win::RegSetValueExA(key, "Wert", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2),
              static_cast<LONG>(ERROR_SUCCESS));
    ASSERT_EQ(EnumKey(key, 0), static_cast<LONG>(ERROR_SUCCESS)); // an enumeration under way
    ASSERT_EQ(win::RegDeleteKeyA(HKEY_CURRENT_USER, (env.Key() + "\\Weg").c_str()),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(EnumKey(key, 0), static_cast<LONG>(ERROR_KEY_DELETED));
    char name[32];
    DWORD size = sizeof name;
    EXPECT_EQ(win::RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_KEY_DELETED));
    win::RegCloseKey(key);
}

// Type and data size are reported whichever buffer is short. A name too long: Windows 95
// gives what fits and its length; the NT family (Wine too) leaves the length alone, and
// Windows XP the name as well.
TEST_F(Advapi32, EnumValueWithABufferTooSmall) {
    HKEY key = Create("");
    ASSERT_EQ(
        win::RegSetValueExA(key, "Test", 0, REG_SZ, reinterpret_cast<const BYTE*>("foobar"), 7),
        static_cast<LONG>(ERROR_SUCCESS));
    const std::string untouched = "xxxxxxxxxx";
    struct Row {
        const char* what;
        DWORD nameSize;
        DWORD dataSize;
        DWORD nameSizeAfter;
        std::string nameAfter;
    };
    const Row rows[] = {
        {"data too small", 20, 2, 20, untouched},
        {"both too small", 2, 2, 2, untouched},
        {"name too small", 3, 20, conformance::Win95OrNt<DWORD>(2, 3), "Te"},
        {"no room for a name", 0, 20, 0, untouched},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        char name[32] = "xxxxxxxxxx";
        char data[32] = "xxxxxxxxxx";
        DWORD nameSize = row.nameSize, dataSize = row.dataSize, type = kPoison;
        EXPECT_EQ(win::RegEnumValueA(key, 0, name, &nameSize, nullptr, &type,
                                     reinterpret_cast<LPBYTE>(data), &dataSize),
                  static_cast<LONG>(ERROR_MORE_DATA));
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(dataSize, 7u);
        EXPECT_EQ(nameSize, row.nameSizeAfter);
        EXPECT_TRUE(name == row.nameAfter || (conformance::OnWindows() && name == untouched))
            << name;
        if (row.dataSize < 7) {
            EXPECT_EQ(data, untouched);
        }
    }
    win::RegCloseKey(key);
}

TEST_F(Advapi32, CreateTakesASubKeyEndingInTwoBackslashes) {
    DWORD disposition = kPoison;
    win::RegCloseKey(Create("Zwei\\\\", &disposition));
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    win::RegCloseKey(Create("Zwei\\\\", &disposition));
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    HKEY key = Create("");
    std::string name;
    EXPECT_EQ(EnumKey(key, 0, &name), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(name, "Zwei");
    EXPECT_EQ(EnumKey(key, 1), static_cast<LONG>(ERROR_NO_MORE_ITEMS));
    win::RegCloseKey(key);
}

TEST_F(Advapi32, QueryTakesTypeAndSizeInOneVariable) {
    HKEY key = Create("");
    const BYTE four[] = {1, 2, 3, 4};
    ASSERT_EQ(win::RegSetValueExA(key, "Bin", 0, REG_BINARY, four, sizeof four),
              static_cast<LONG>(ERROR_SUCCESS));
    BYTE buffer[4] = {};
    DWORD both = sizeof buffer; // REG_BINARY (3), were it read back as the size, is too small
    EXPECT_EQ(win::RegQueryValueExA(key, "Bin", nullptr, &both, buffer, &both),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(std::memcmp(buffer, four, sizeof four), 0);
    win::RegCloseKey(key);
}

} // namespace
