// WinRegistry: the program's registry service. Typed values are read, written and deleted by
// root and sub-key; keys are created and deleted (a deletion takes the whole subtree); and
// registry scripts are written and imported through the machine's registry editor.
//
// Every call opens what it needs with the access mask 0x3F and closes it again: no handle
// and no cached state survives a call. Nothing returns a status: a missing key or value
// reads as empty, deleting something missing does nothing. Failures the contract does not
// absorb (a value that cannot be converted, data the readers cannot take, a script that
// cannot be written or imported) are forms::RunTimeError for the caller's error policy.
// Strings are UTF-8; they cross into the platform as ANSI (Windows-1252).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace WinRegistry {

// A predefined root key, kept as a 32-bit integer as the callers keep it.
using Root = std::int32_t;
inline constexpr Root HKCR = static_cast<Root>(0x80000000u); // HKEY_CLASSES_ROOT
inline constexpr Root HKCU = static_cast<Root>(0x80000001u); // HKEY_CURRENT_USER
inline constexpr Root HKLM = static_cast<Root>(0x80000002u); // HKEY_LOCAL_MACHINE

// The access mask of every open and create, reads included: query, set, create sub-key,
// enumerate, notify, create link.
inline constexpr std::uint32_t kAccess = 0x3F;

// A tagged value: empty, or one value of a named type. Values read from the registry are
// Empty, String, String(), Byte() or Long; a value to write takes its registry type from
// TypeName() (see WriteValue).
class Value {
public:
    Value() = default;                                        // "Empty"
    Value(std::string text);                                  // "String"
    Value(const char* text);                                  // "String"
    Value(std::vector<std::string> list);                     // "String()"
    Value(std::vector<std::uint8_t> bytes);                   // "Byte()"
    static Value Long(std::int32_t number);                   // "Long"
    static Value Integer(std::int16_t number);                // "Integer"
    static Value Single(float number);                        // "Single"
    static Value Double(double number);                       // "Double"
    static Value Boolean(bool flag);                          // "Boolean"
    static Value Byte(std::uint8_t number);                   // "Byte"
    static Value Longs(std::vector<std::int32_t> numbers);    // "Long()"
    static Value Integers(std::vector<std::int16_t> numbers); // "Integer()"

    // The name of the value's type: "Empty", "String", "String()", "Long", "Integer",
    // "Single", "Double", "Boolean", "Byte", "Byte()", "Long()", "Integer()".
    std::string_view TypeName() const;
    bool IsEmpty() const;

    // The value as callers use a value read: Empty is "" and 0. Numbers convert to their
    // decimal text and strings of digits to numbers; anything else is run-time error 13.
    std::string ToString() const;
    std::int32_t ToLong() const;
    // The elements of a "String()" or "Byte()" value; run-time error 13 for other types.
    const std::vector<std::string>& List() const;
    const std::vector<std::uint8_t>& Bytes() const;

    friend bool operator==(const Value&, const Value&) = default;

    using Data =
        std::variant<std::monostate, std::string, std::vector<std::string>,
                     std::vector<std::uint8_t>, std::int32_t, std::int16_t, float, double, bool,
                     std::uint8_t, std::vector<std::int32_t>, std::vector<std::int16_t>>;
    const Data& data() const { return data_; }

private:
    explicit Value(Data data) : data_(std::move(data)) {}
    Data data_;
};

// ---- Registry access (registry_access.cpp)

// The value valueName ("" for the default value) of root\subKey, or Empty when the key
// or value is missing or of a type not handled (REG_NONE, REG_LINK, above REG_MULTI_SZ).
// REG_SZ and REG_EXPAND_SZ read as String (unexpanded), REG_MULTI_SZ as String() through
// SplitMultiString, REG_BINARY as Byte(), REG_DWORD and REG_DWORD_BIG_ENDIAN as Long with
// the bytes as stored. Run-time error 5 for a string stored with size 0, 9 for a binary
// value of size 0, 6 where SplitMultiString overflows.
Value ReadValue(Root root, std::string_view subKey, std::string_view valueName);
Value ReadUserValue(std::string_view subKey, std::string_view valueName);
Value ReadMachineValue(std::string_view subKey, std::string_view valueName);

// Creates root\subKey (and every missing key above it), then stores value by its type name,
// compared exactly:
//   "String"                    REG_SZ, the text and one NUL
//   "String()"                  REG_MULTI_SZ, each element and a NUL, then one more NUL
//   "Long", "Integer", "Single" REG_DWORD, 4 bytes little-endian (Single rounded half to
//                               even; run-time error 6 outside the 32-bit range)
//   "Byte()"                    REG_BINARY, one byte per element
//   "Long()", "Integer()", "Byte" run-time error 13 (no conversion can take them)
//   anything else               nothing is written; the key stays
void WriteValue(Root root, std::string_view subKey, std::string_view valueName, const Value& value);
// Creates root\subKey and every missing key above it; an existing key is left as it is.
void CreateKey(Root root, std::string_view subKey);
// Deletes root\subKey with all its values and subkeys; a missing key is no error.
void DeleteKey(Root root, std::string_view subKey);
// Deletes one value; a missing key or value is no error.
void DeleteValue(Root root, std::string_view subKey, std::string_view valueName);
// The strings of REG_MULTI_SZ data: up to the NUL that follows an element's NUL. Data
// without a NUL gives one empty string. Positions and the count are 16-bit: an element
// whose NUL lies beyond position 32,767, or more than 32,767 elements, is run-time error 6.
std::vector<std::string> SplitMultiString(std::string_view data);

// ---- Stored data (registry_access.cpp): a value's registry type and exact bytes, as the
// installation keeps them before it replaces a value and the removal writes them back.

struct Stored {
    std::uint32_t type = 0;
    std::string bytes; // as stored, terminators included
    friend bool operator==(const Stored&, const Stored&) = default;
};
// The value's type and bytes, or nothing when the key or the value is missing.
std::optional<Stored> ReadStored(Root root, std::string_view subKey, std::string_view valueName);
// Creates the key (and those above it) and stores exactly data; false when the registry
// refused either.
bool WriteStored(Root root, std::string_view subKey, std::string_view valueName,
                 const Stored& data);
// Deletes one value; false when it is still there afterwards.
bool DeleteStored(Root root, std::string_view subKey, std::string_view valueName);
bool KeyExists(Root root, std::string_view subKey);
// An existing key without values and subkeys.
bool KeyIsEmpty(Root root, std::string_view subKey);
// The names of the key's values, or of its subkeys; empty for a missing key.
std::vector<std::string> ValueNames(Root root, std::string_view subKey);
std::vector<std::string> SubKeyNames(Root root, std::string_view subKey);

// ---- Registry scripts (reg_script.cpp)

// The program's file stream number the open script is written to (FileStreams).
inline constexpr int kScriptStream = 1;

// Creates GetTempDir() + "Zepanu.reg" anew as stream kScriptStream and writes "REGEDIT4"
// and an empty line. The calling step then writes its lines to that stream.
void BeginRegScript();
// Ends the script with an empty line and closes it, runs "regedit /s " + its path and waits
// until the editor has ended, then deletes the script from within the temporary folder and
// makes the folder the program was started from (forms::App::Path) the current folder.
// Run-time error 53 when the editor cannot be started.
void ImportRegScript();

} // namespace WinRegistry

namespace forms {
class OnError;
}

namespace WinRegistry {

// Writes each line to the open script as a statement of its own under run.
void PrintRegScriptLines(forms::OnError& run, std::initializer_list<std::string_view> lines);
// The whole script: BeginRegScript, the lines, ImportRegScript, each a statement under run.
void RunRegScript(forms::OnError& run, std::initializer_list<std::string_view> lines);

} // namespace WinRegistry
