// WinRegistry's registry access: typed reads and writes by root and sub-key, with the stored
// bytes checked through advapi32.
#include "system/WinRegistry.h"

#include "forms/run_time_error.h"
#include "platform/advapi32.h"
#include "platform/codepage.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/portable/store/sqlite_db.h"
#include "support/error_of.h"
#include "support/test_machine.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using testing_support::TestMachine;
using WinRegistry::HKCR;
using WinRegistry::HKCU;
using WinRegistry::HKLM;
using WinRegistry::Value;

struct Stored {
    LONG rc = ERROR_FILE_NOT_FOUND;
    DWORD type = 0;
    std::string data;
};

HKEY Root(WinRegistry::Root root) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(root));
}

// The raw value as the platform keeps it.
Stored Raw(WinRegistry::Root root, const std::string& subKey, const std::string& name) {
    Stored s;
    HKEY key = nullptr;
    if (win::RegOpenKeyExA(Root(root), win::ToAnsi(subKey).c_str(), 0, 0x3F, &key) != 0)
        return s;
    std::string ansiName = win::ToAnsi(name);
    DWORD size = 0;
    s.rc = win::RegQueryValueExA(key, ansiName.c_str(), nullptr, &s.type, nullptr, &size);
    s.data.resize(size);
    if (s.rc == ERROR_SUCCESS)
        win::RegQueryValueExA(key, ansiName.c_str(), nullptr, nullptr,
                              reinterpret_cast<LPBYTE>(s.data.data()), &size);
    win::RegCloseKey(key);
    return s;
}

// Stores the bytes exactly as given, as a registry script or another program may leave them
// (RegSetValueExA takes a REG_SZ as a C string).
void SetRaw(WinRegistry::Root root, const std::string& subKey, const std::string& name, DWORD type,
            const std::string& data) {
    auto store = portable::RegistryStore::Of(portable::CurrentMachine());
    portable::Transaction txn(store->db());
    portable::KeyId start = root == HKCU   ? portable::kCurrentUserKey
                            : root == HKLM ? portable::kLocalMachineKey
                                           : store->ClassesRoot();
    bool created = false;
    store->SetValue(store->CreateKey(start, subKey, created), name, type, data);
    txn.Commit();
}

bool KeyExists(WinRegistry::Root root, const std::string& subKey) {
    HKEY key = nullptr;
    LONG rc = win::RegOpenKeyExA(Root(root), win::ToAnsi(subKey).c_str(), 0, 0x3F, &key);
    win::RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

using testing_support::ErrorOf;

class WinRegistryTest : public ::testing::Test {
protected:
    TestMachine m;
};

TEST_F(WinRegistryTest, MissingKeysAndValuesReadEmpty) {
    EXPECT_TRUE(WinRegistry::ReadValue(HKCU, "Software\\Nowhere", "x").IsEmpty());
    EXPECT_TRUE(
        WinRegistry::ReadUserValue("Control Panel\\desktop\\WindowMetrics", "Shell Icon BPP")
            .IsEmpty());
    Value empty = WinRegistry::ReadMachineValue("SOFTWARE\\Nowhere", "");
    EXPECT_EQ(empty.ToString(), "");
    EXPECT_EQ(empty.ToLong(), 0);
    EXPECT_EQ(WinRegistry::ReadMachineValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                            "ProgramFilesDir"),
              Value("C:\\Programme"));
}

TEST_F(WinRegistryTest, IntegersAreStoredAsFourByteDwords) {
    WinRegistry::WriteValue(HKLM, "SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx", "DateiTypZip",
                            Value::Integer(1));
    Stored s = Raw(HKLM, "SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx", "DateiTypZip");
    EXPECT_EQ(s.type, REG_DWORD);
    EXPECT_EQ(s.data, std::string("\x01\0\0\0", 4));
    EXPECT_EQ(
        WinRegistry::ReadValue(HKLM, "SOFTWARE\\Quorvel\\Zepanu\\KONTEXTMENÜEX", "dateityPZIP"),
        Value::Long(1));

    WinRegistry::WriteValue(HKCU, "T", "neg", Value::Integer(-2)); // sign-extended
    EXPECT_EQ(Raw(HKCU, "T", "neg").data, "\xFE\xFF\xFF\xFF");
    WinRegistry::WriteValue(HKCU, "T", "long", Value::Long(0x12345678));
    EXPECT_EQ(Raw(HKCU, "T", "long").data, "\x78\x56\x34\x12");
}

TEST_F(WinRegistryTest, SinglesRoundHalvesToEvenAndOverflowIsAnError) {
    const std::pair<float, std::string> rows[] = {
        {2.5f, std::string("\x02\0\0\0", 4)},
        {3.5f, std::string("\x04\0\0\0", 4)},
        {-2.5f, "\xFE\xFF\xFF\xFF"},
        {1.4f, std::string("\x01\0\0\0", 4)},
    };
    for (const auto& [number, bytes] : rows) {
        SCOPED_TRACE(number);
        WinRegistry::WriteValue(HKCU, "T", "s", Value::Single(number));
        EXPECT_EQ(Raw(HKCU, "T", "s").data, bytes);
    }
    EXPECT_EQ(ErrorOf([] { WinRegistry::WriteValue(HKCU, "T\\Over", "s", Value::Single(3e9f)); }),
              6);
    EXPECT_TRUE(KeyExists(HKCU, "T\\Over")); // the key was made before the conversion
    EXPECT_EQ(Raw(HKCU, "T\\Over", "s").rc, ERROR_FILE_NOT_FOUND);
}

TEST_F(WinRegistryTest, StringsCarryOneTerminator) {
    WinRegistry::WriteValue(HKCU, "Software\\Quorvel\\Zepanu\\3.0", "Lizenz", Value("Ja"));
    Stored s = Raw(HKCU, "Software\\Quorvel\\Zepanu\\3.0", "Lizenz");
    EXPECT_EQ(s.type, REG_SZ);
    EXPECT_EQ(s.data, std::string("Ja\0", 3));
    EXPECT_EQ(WinRegistry::ReadUserValue("Software\\Quorvel\\Zepanu\\3.0", "Lizenz"), Value("Ja"));

    WinRegistry::WriteValue(HKCU, "T", "empty", Value(""));
    EXPECT_EQ(Raw(HKCU, "T", "empty").data, std::string(1, '\0'));
    EXPECT_EQ(WinRegistry::ReadValue(HKCU, "T", "empty"), Value(""));

    WinRegistry::WriteValue(HKCU, "T", "umlaut", Value("Mit &Notepad öffnen"));
    EXPECT_EQ(Raw(HKCU, "T", "umlaut").data, std::string("Mit &Notepad \xF6"
                                                         "ffnen\0",
                                                         20));
    EXPECT_EQ(WinRegistry::ReadValue(HKCU, "T", "umlaut"), Value("Mit &Notepad öffnen"));
}

TEST_F(WinRegistryTest, TheEmptyNameIsTheDefaultValue) {
    WinRegistry::WriteValue(HKCR, "Unknown\\Shell", "", Value("open"));
    Stored s = Raw(HKCR, "Unknown\\shell", "");
    EXPECT_EQ(s.data, std::string("open\0", 5));
    EXPECT_EQ(WinRegistry::ReadValue(HKLM, "SOFTWARE\\Classes\\Unknown\\Shell", ""), Value("open"));
}

TEST_F(WinRegistryTest, TypesWithoutARegistryTypeWriteNothingButTheKey) {
    for (const Value& v : {Value::Double(1.5), Value::Boolean(true), Value()}) {
        SCOPED_TRACE(std::string(v.TypeName()));
        WinRegistry::WriteValue(HKCU, "Software\\New\\Levels\\Here", "v", v);
        EXPECT_TRUE(KeyExists(HKCU, "Software\\New\\Levels\\Here"));
        EXPECT_EQ(Raw(HKCU, "Software\\New\\Levels\\Here", "v").rc, ERROR_FILE_NOT_FOUND);
    }
    for (const Value& v : {Value::Longs({1}), Value::Integers({1}), Value::Byte(1)}) {
        SCOPED_TRACE(std::string(v.TypeName()));
        EXPECT_EQ(ErrorOf([&] { WinRegistry::WriteValue(HKCU, "T\\Odd", "v", v); }), 13);
        EXPECT_TRUE(KeyExists(HKCU, "T\\Odd"));
        EXPECT_EQ(Raw(HKCU, "T\\Odd", "v").rc, ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(WinRegistryTest, ListsAndBytes) {
    WinRegistry::WriteValue(HKCU, "T", "multi", Value(std::vector<std::string>{"a", "bü"}));
    Stored s = Raw(HKCU, "T", "multi");
    EXPECT_EQ(s.type, REG_MULTI_SZ);
    EXPECT_EQ(s.data, std::string("a\0b\xFC\0\0", 6));
    EXPECT_EQ(WinRegistry::ReadValue(HKCU, "T", "multi").List(),
              (std::vector<std::string>{"a", "bü"}));
    WinRegistry::WriteValue(HKCU, "T", "none", Value(std::vector<std::string>{}));
    EXPECT_EQ(Raw(HKCU, "T", "none").data, std::string(1, '\0'));

    WinRegistry::WriteValue(HKCU, "T", "bin", Value(std::vector<std::uint8_t>{0xd2, 1, 0, 0}));
    s = Raw(HKCU, "T", "bin");
    EXPECT_EQ(s.type, REG_BINARY);
    EXPECT_EQ(s.data, std::string("\xd2\x01\0\0", 4));
    EXPECT_EQ(WinRegistry::ReadValue(HKCU, "T", "bin").Bytes(),
              (std::vector<std::uint8_t>{0xd2, 1, 0, 0}));
}

TEST_F(WinRegistryTest, ReadsByStoredType) {
    SetRaw(HKCU, "T", "expand", REG_EXPAND_SZ, std::string("%windir%\\x\0", 11));
    EXPECT_EQ(WinRegistry::ReadValue(HKCU, "T", "expand"), Value("%windir%\\x")); // unexpanded
    SetRaw(HKCU, "T", "big", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x01", 4));
    EXPECT_EQ(WinRegistry::ReadValue(HKCU, "T", "big"), Value::Long(0x01000000)); // as stored
    for (DWORD type : {REG_NONE, REG_LINK, DWORD{8}, DWORD{0x1234}}) {
        SCOPED_TRACE(type);
        SetRaw(HKCU, "T", "other", type, "abc");
        EXPECT_TRUE(WinRegistry::ReadValue(HKCU, "T", "other").IsEmpty());
    }
}

// Data the readers cannot take: stored by other programs, read without harm.
TEST_F(WinRegistryTest, OddlySizedDataIsReadSafely) {
    SetRaw(HKCU, "T", "zero", REG_SZ, "");
    EXPECT_EQ(ErrorOf([] { WinRegistry::ReadValue(HKCU, "T", "zero"); }), 5);
    SetRaw(HKCU, "T", "nobytes", REG_BINARY, "");
    EXPECT_EQ(ErrorOf([] { WinRegistry::ReadValue(HKCU, "T", "nobytes"); }), 9);
    SetRaw(HKCU, "T", "long dword", REG_DWORD, "\x01\x02\x03\x04\x05\x06\x07\x08");
    EXPECT_EQ(WinRegistry::ReadValue(HKCU, "T", "long dword"), Value::Long(0x04030201));
    SetRaw(HKCU, "T", "short dword", REG_DWORD, "\x01\x02");
    EXPECT_EQ(WinRegistry::ReadValue(HKCU, "T", "short dword"), Value::Long(0x0201));
    SetRaw(HKCU, "T", "unterminated", REG_SZ, "abc");
    EXPECT_EQ(WinRegistry::ReadValue(HKCU, "T", "unterminated"), Value("abc"));
    SetRaw(HKCU, "T", "empty multi", REG_MULTI_SZ, "");
    EXPECT_EQ(WinRegistry::ReadValue(HKCU, "T", "empty multi").List(),
              std::vector<std::string>{""});
}

TEST_F(WinRegistryTest, CreateAndDeleteKeys) {
    WinRegistry::CreateKey(HKCU, "Software\\Quorvel\\Zepanu\\Extras");
    EXPECT_TRUE(KeyExists(HKCU, "Software\\Quorvel\\Zepanu\\Extras"));
    WinRegistry::WriteValue(HKCU, "Software\\Quorvel\\Zepanu\\Task-Leisten Symbole", "Abmelden",
                            Value::Integer(0));
    WinRegistry::CreateKey(HKCU, "SOFTWARE\\QUORVEL\\ZEPANU\\EXTRAS"); // leaves it as it is
    WinRegistry::DeleteKey(HKCU, "Software\\Quorvel\\Zepanu");
    EXPECT_FALSE(KeyExists(HKCU, "Software\\Quorvel\\Zepanu"));
    EXPECT_TRUE(KeyExists(HKCU, "Software\\Quorvel"));
    WinRegistry::DeleteKey(HKCU, "Software\\Quorvel\\Zepanu"); // missing: nothing happens
    WinRegistry::DeleteKey(HKCR, "Directory\\shell\\ZepanuDos");
    EXPECT_TRUE(KeyExists(HKCR, "Directory\\shell"));
}

TEST_F(WinRegistryTest, DeleteValue) {
    WinRegistry::WriteValue(HKLM, "SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx",
                            "NotePad per Doppelklick", Value("True"));
    WinRegistry::DeleteValue(HKLM, "SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx",
                             "notepad PER doppelklick");
    EXPECT_TRUE(WinRegistry::ReadValue(HKLM, "SOFTWARE\\Quorvel\\Zepanu\\KontextmenüEx",
                                       "NotePad per Doppelklick")
                    .IsEmpty());
    WinRegistry::DeleteValue(HKLM, "SOFTWARE\\Nowhere", "x"); // missing key: nothing
    WinRegistry::DeleteValue(HKCU, "Control Panel\\desktop", "MenuShowDelay");
    EXPECT_TRUE(KeyExists(HKCU, "Control Panel\\desktop"));
}

TEST(SplitMultiString, Cases) {
    using List = std::vector<std::string>;
    const std::pair<std::string, List> rows[] = {
        {std::string("a\0b\0\0", 5), {"a", "b"}},
        {"abc", {""}},
        {std::string("\0abc", 4), {""}},
        {std::string("a\0", 2), {"a"}},
        {"", {""}},
        {std::string("\0\0", 2), {""}},
        {std::string("a\0\0b\0\0", 6), {"a"}},
        {std::string("ü\0ß\0\0", 7), {"ü", "ß"}},
    };
    for (const auto& [data, list] : rows) {
        SCOPED_TRACE(testing::PrintToString(data));
        EXPECT_EQ(WinRegistry::SplitMultiString(data), list);
    }
}

TEST(SplitMultiString, SixteenBitLimits) {
    std::string longest(32766, 'x');
    EXPECT_EQ(WinRegistry::SplitMultiString(longest + '\0' + '\0')[0].size(), 32766u);
    EXPECT_EQ(ErrorOf([&] { WinRegistry::SplitMultiString(longest + "x" + '\0'); }), 6);
    EXPECT_EQ(WinRegistry::SplitMultiString(std::string(40000, 'x')), // no NUL, no position
              std::vector<std::string>{""});

    std::string many;
    for (int i = 0; i < 32767; ++i)
        many += std::string("e\0", 2);
    EXPECT_EQ(WinRegistry::SplitMultiString(many + '\0').size(), 32767u);
    EXPECT_EQ(ErrorOf([&] { WinRegistry::SplitMultiString(many + std::string("e\0\0", 3)); }), 6);
}

TEST(TaggedValue, TypeNamesAndConversions) {
    EXPECT_EQ(Value().TypeName(), "Empty");
    EXPECT_EQ(Value("x").TypeName(), "String");
    EXPECT_EQ(Value(std::vector<std::string>{}).TypeName(), "String()");
    EXPECT_EQ(Value(std::vector<std::uint8_t>{}).TypeName(), "Byte()");
    EXPECT_EQ(Value::Long(1).TypeName(), "Long");
    EXPECT_EQ(Value::Integer(1).TypeName(), "Integer");
    EXPECT_EQ(Value::Single(1).TypeName(), "Single");
    EXPECT_EQ(Value::Longs({}).TypeName(), "Long()");

    EXPECT_EQ(Value::Long(16).ToString(), "16");
    EXPECT_EQ(Value("16").ToLong(), 16);
    // Singles print with 7 significant digits and Doubles with 15, as the classic runtime
    // prints them; whole numbers in text may have blanks around them and a sign.
    EXPECT_EQ(Value::Single(0.1f).ToString(), "0.1");
    EXPECT_EQ(Value::Single(1.0f / 3).ToString(), "0.3333333");
    EXPECT_EQ(Value::Single(123456789.0f).ToString(), "1.234568E+08");
    EXPECT_EQ(Value::Single(-2.5f).ToString(), "-2.5");
    EXPECT_EQ(Value::Double(0.1).ToString(), "0.1");
    EXPECT_EQ(Value::Double(1.0 / 3).ToString(), "0.333333333333333");
    EXPECT_EQ(Value::Double(1e20).ToString(), "1E+20");
    EXPECT_EQ(Value::Double(0.00001).ToString(), "1E-05");
    EXPECT_EQ(Value::Double(100).ToString(), "100");
    for (const char* text : {" 16", "16 ", "\t16\t", "  +16  "}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Value(text).ToLong(), 16);
    }
    EXPECT_EQ(Value(" -16 ").ToLong(), -16);
    for (const char* text : {"", "   ", "1 6", "+-16", "+", "16x"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ErrorOf([&] { Value(text).ToLong(); }), 13);
    }
    EXPECT_EQ(Value::Boolean(true).ToString(), "True");
    EXPECT_EQ(ErrorOf([] { Value("abc").ToLong(); }), 13);
    EXPECT_EQ(ErrorOf([] { Value("99999999999").ToLong(); }), 6);
    EXPECT_EQ(ErrorOf([] { Value(std::vector<std::string>{"a"}).ToString(); }), 13);
    EXPECT_EQ(ErrorOf([] { Value("a").List(); }), 13);
}

} // namespace
