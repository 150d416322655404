// WinRegistry: registry access by root and sub-key. Every call opens what it needs with the
// access mask 0x3F and closes it before returning. A missing key or value is no failure (it
// reads as empty, its deletion does nothing); any other failure of the platform is noted
// (RunFailures) and the call goes on as the contract says.
#include "system/WinRegistry.h"

#include "forms/run_time_error.h"
#include "platform/advapi32.h"
#include "platform/codepage.h"
#include "system/run_failures.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <variant>

namespace WinRegistry {
namespace {

constexpr int kMaxSplitPosition = 32767; // positions and the count are 16-bit
constexpr int kQueryAttempts = 4;
constexpr DWORD kNameBuffer = 16384; // longer than any key or value name the registry allows

HKEY RootKey(Root root) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(root));
}

std::string RootName(Root root) {
    switch (root) {
    case HKCR:
        return "HKEY_CLASSES_ROOT";
    case HKCU:
        return "HKEY_CURRENT_USER";
    case HKLM:
        return "HKEY_LOCAL_MACHINE";
    default:
        return "root " + std::to_string(root);
    }
}

bool Missing(LONG rc) {
    return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND;
}

// Notes a failed call unless it only found nothing to work on (where allowed). True when
// the call succeeded.
bool Checked(LONG rc, std::string_view action, Root root, std::string_view subKey,
             const std::string* valueName = nullptr, bool missingIsFine = false) {
    if (rc == ERROR_SUCCESS || (missingIsFine && Missing(rc)))
        return rc == ERROR_SUCCESS;
    std::string what =
        std::string(action) + " [" + RootName(root) + "\\" + std::string(subKey) + "]";
    if (valueName)
        what += " \"" + *valueName + "\"";
    RunFailures::Note(what + ": the registry answered error " + std::to_string(rc));
    return false;
}

// An opened key, closed when the call ends (also when it is null, as the platform allows).
// A refusal is noted; a missing key too unless missingIsFine.
class OpenedKey {
public:
    OpenedKey(Root root, std::string_view subKey, std::string_view action,
              bool missingIsFine = true) {
        LONG rc = win::RegOpenKeyExA(RootKey(root), win::ToAnsi(subKey).c_str(), 0, kAccess, &key_);
        Checked(rc, action, root, subKey, nullptr, missingIsFine);
    }
    ~OpenedKey() { win::RegCloseKey(key_); }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The value's bytes, at most `size` of them as the first query reported. A value that
// grew in between is read again at its new size rather than cut.
std::string QueryData(HKEY key, const std::string& name, DWORD size) {
    std::string buffer;
    for (int attempt = 0; attempt < kQueryAttempts; ++attempt) {
        buffer.assign(size, ' ');
        DWORD got = size;
        LONG rc = win::RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                        reinterpret_cast<LPBYTE>(buffer.data()), &got);
        if (rc != ERROR_MORE_DATA) {
            buffer.resize(std::min(got, size));
            return buffer;
        }
        size = got;
    }
    return buffer;
}

std::vector<std::string> SplitAnsi(std::string_view data) {
    auto position = [](std::string_view rest) {
        size_t p = rest.find('\0');
        if (p == std::string_view::npos)
            return 0;
        if (p + 1 > static_cast<size_t>(kMaxSplitPosition))
            forms::Raise(forms::kOverflow);
        return static_cast<int>(p + 1);
    };
    std::vector<std::string> list(1);
    int count = 0;
    std::string_view rest = data;
    int p = position(rest);
    while (p > 0) {
        list.resize(static_cast<size_t>(count) + 1);
        list[static_cast<size_t>(count)] = win::FromAnsi(rest.substr(0, p - 1));
        rest.remove_prefix(static_cast<size_t>(p));
        if (count == kMaxSplitPosition)
            forms::Raise(forms::kOverflow);
        ++count;
        p = position(rest);
        if (!rest.empty() && rest.front() == '\0')
            break;
    }
    return list;
}

Value ReadString(HKEY key, const std::string& name, DWORD size) {
    if (size == 0)
        forms::Raise(forms::kInvalidProcedureCall); // nothing to cut the terminator from
    std::string text = QueryData(key, name, size);
    // The terminator is cut; a string stored without one keeps its last character.
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    return Value(win::FromAnsi(text));
}

Value ReadBinary(HKEY key, const std::string& name, DWORD size) {
    if (size == 0)
        forms::Raise(forms::kSubscriptOutOfRange); // no index 0 to size - 1
    std::string bytes = QueryData(key, name, size);
    return Value(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

// The first four bytes in stored order (big-endian data is not swapped); a shorter value is
// padded with zeros, a longer one is read whole and not copied past the integer.
Value ReadDword(HKEY key, const std::string& name, DWORD size) {
    std::string bytes = QueryData(key, name, size);
    bytes.resize(4, '\0');
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = (number << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
    return Value::Long(static_cast<std::int32_t>(number));
}

std::string DwordBytes(std::int32_t number) {
    auto u = static_cast<std::uint32_t>(number);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>((u >> (8 * i)) & 0xFF);
    return bytes;
}

// The registry type and bytes for a value by its type name (compared exactly); false
// when the type name has no registry type.
bool Encode(const Value& value, DWORD& type, std::string& data) {
    return std::visit(
        [&](const auto& held) -> bool {
            using T = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<T, std::string>) {
                type = REG_SZ;
                data = win::ToAnsi(held);
                data += '\0';
                return true;
            } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
                type = REG_MULTI_SZ;
                data.clear();
                for (const auto& element : held) {
                    data += win::ToAnsi(element);
                    data += '\0';
                }
                data += '\0';
                return true;
            } else if constexpr (std::is_same_v<T, std::int32_t> ||
                                 std::is_same_v<T, std::int16_t> || std::is_same_v<T, float>) {
                type = REG_DWORD;
                data = DwordBytes(value.ToLong());
                return true;
            } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
                type = REG_BINARY;
                data.assign(held.begin(), held.end());
                return true;
            } else if constexpr (std::is_same_v<T, std::vector<std::int32_t>> ||
                                 std::is_same_v<T, std::vector<std::int16_t>> ||
                                 std::is_same_v<T, std::uint8_t>) {
                forms::Raise(forms::kTypeMismatch); // classified, but no conversion takes them
            } else {
                return false; // Empty, Double, Boolean: the registry has no type for them
            }
        },
        value.data());
}

bool MakeKey(Root root, std::string_view subKey) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG rc = win::RegCreateKeyExA(RootKey(root), win::ToAnsi(subKey).c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, kAccess, nullptr, &key, &disposition);
    win::RegCloseKey(key);
    return Checked(rc, "cannot create", root, subKey);
}

} // namespace

Value ReadValue(Root root, std::string_view subKey, std::string_view valueName) {
    OpenedKey key(root, subKey, "cannot read");
    if (!key.get())
        return Value();
    std::string name = win::ToAnsi(valueName);
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = win::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size);
    std::string shown(valueName);
    if (!Checked(rc, "cannot read", root, subKey, &shown, true))
        return Value();
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return ReadString(key.get(), name, size);
    case REG_MULTI_SZ:
        return Value(SplitAnsi(QueryData(key.get(), name, size)));
    case REG_BINARY:
        return ReadBinary(key.get(), name, size);
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        return ReadDword(key.get(), name, size);
    default:
        return Value();
    }
}

Value ReadUserValue(std::string_view subKey, std::string_view valueName) {
    return ReadValue(HKCU, subKey, valueName);
}

Value ReadMachineValue(std::string_view subKey, std::string_view valueName) {
    return ReadValue(HKLM, subKey, valueName);
}

void WriteValue(Root root, std::string_view subKey, std::string_view valueName,
                const Value& value) {
    if (!MakeKey(root, subKey))
        return;
    DWORD type = REG_NONE;
    std::string data;
    if (!Encode(value, type, data))
        return; // a type the registry has no type for: the key stays, nothing is written
    std::string shown(valueName);
    OpenedKey key(root, subKey, "cannot write", false);
    if (!key.get())
        return;
    std::string name = win::ToAnsi(valueName);
    LONG rc = win::RegSetValueExA(key.get(), name.c_str(), 0, type,
                                  reinterpret_cast<const BYTE*>(data.data()),
                                  static_cast<DWORD>(data.size()));
    Checked(rc, "cannot write", root, subKey, &shown);
}

void CreateKey(Root root, std::string_view subKey) {
    MakeKey(root, subKey);
}

void DeleteKey(Root root, std::string_view subKey) {
    LONG rc = win::RegDeleteKeyA(RootKey(root), win::ToAnsi(subKey).c_str());
    Checked(rc, "cannot delete", root, subKey, nullptr, true);
}

void DeleteValue(Root root, std::string_view subKey, std::string_view valueName) {
    OpenedKey key(root, subKey, "cannot delete");
    if (!key.get())
        return;
    LONG rc = win::RegDeleteValueA(key.get(), win::ToAnsi(valueName).c_str());
    std::string shown(valueName);
    Checked(rc, "cannot delete", root, subKey, &shown, true);
}

std::vector<std::string> SplitMultiString(std::string_view data) {
    return SplitAnsi(win::ToAnsi(data));
}

std::optional<Stored> ReadStored(Root root, std::string_view subKey, std::string_view valueName) {
    OpenedKey key(root, subKey, "cannot read");
    if (!key.get())
        return std::nullopt;
    std::string name = win::ToAnsi(valueName);
    DWORD type = 0;
    DWORD size = 0;
    if (win::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return Stored{type, size == 0 ? std::string() : QueryData(key.get(), name, size)};
}

bool WriteStored(Root root, std::string_view subKey, std::string_view valueName,
                 const Stored& data) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (win::RegCreateKeyExA(RootKey(root), win::ToAnsi(subKey).c_str(), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, kAccess, nullptr, &key,
                             &disposition) != ERROR_SUCCESS)
        return false;
    LONG rc = win::RegSetValueExA(key, win::ToAnsi(valueName).c_str(), 0, data.type,
                                  reinterpret_cast<const BYTE*>(data.bytes.data()),
                                  static_cast<DWORD>(data.bytes.size()));
    win::RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool DeleteStored(Root root, std::string_view subKey, std::string_view valueName) {
    DeleteValue(root, subKey, valueName);
    return !ReadStored(root, subKey, valueName);
}

bool KeyExists(Root root, std::string_view subKey) {
    return OpenedKey(root, subKey, "cannot read").get() != nullptr;
}

bool KeyIsEmpty(Root root, std::string_view subKey) {
    OpenedKey key(root, subKey, "cannot read");
    if (!key.get())
        return false;
    char name[kNameBuffer];
    DWORD size = sizeof name;
    if (win::RegEnumKeyExA(key.get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_NO_MORE_ITEMS)
        return false;
    size = sizeof name;
    return win::RegEnumValueA(key.get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_NO_MORE_ITEMS;
}

namespace {

// The names an enumeration (RegEnumValueA or RegEnumKeyExA) gives, index by index.
template <typename Enumerate>
std::vector<std::string> Names(Root root, std::string_view subKey, Enumerate enumerate) {
    OpenedKey key(root, subKey, "cannot read");
    std::vector<std::string> names;
    if (!key.get())
        return names;
    char name[kNameBuffer];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        LONG rc = enumerate(key.get(), i, name, &size);
        if (rc == ERROR_MORE_DATA)
            continue; // a name no call can address
        if (rc != ERROR_SUCCESS)
            return names;
        names.push_back(win::FromAnsi(std::string_view(name, size)));
    }
}

} // namespace

std::vector<std::string> ValueNames(Root root, std::string_view subKey) {
    return Names(root, subKey, [](HKEY key, DWORD i, char* name, DWORD* size) {
        return win::RegEnumValueA(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
    });
}

std::vector<std::string> SubKeyNames(Root root, std::string_view subKey) {
    return Names(root, subKey, [](HKEY key, DWORD i, char* name, DWORD* size) {
        return win::RegEnumKeyExA(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
    });
}

} // namespace WinRegistry
