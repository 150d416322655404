// advapi32 registry functions on the portable machine, over its registry store. Each
// change is one transaction and one journal line; reads take no lock of their own.
// Reproduced from Windows 95: access masks are not enforced, RegDeleteKeyA takes the whole
// subtree, HKEY_CLASSES_ROOT shows HKEY_LOCAL_MACHINE\SOFTWARE\Classes, RegCreateKeyExA
// ignores one leading backslash, a NULL key (RegOpenKeyExA, RegCloseKey) or a NULL sub-key
// (RegDeleteKeyA) is ERROR_BADKEY, closing a handle twice is harmless, a REG_SZ without
// data is ERROR_INVALID_PARAMETER and one with data is stored as the string data points at,
// and RegEnumValueA gives what fits of a name too long. Left out: classes, security,
// volatile keys, last-write times, HKEY_USERS and the dynamic roots.
#include "platform/advapi32.h"

#include "platform/codepage.h"
#include "platform/portable/api_guard.h"
#include "platform/portable/machine.h"
#include "platform/portable/registry/regedit_format.h"
#include "platform/portable/registry/registry_store.h"
#include "platform/portable/store/sqlite_db.h"

#include <cstring>
#include <exception>
#include <mutex>
#include <unordered_map>

namespace win {
namespace {

using portable::KeyId;
using portable::RegistryStore;

struct OpenKey {
    std::weak_ptr<RegistryStore> store;
    KeyId id = 0;
    std::string path; // full name for the journal, e.g. HKEY_CLASSES_ROOT\zipFile
    // Enumeration snapshots, refreshed whenever the registry may have changed.
    std::uint64_t stamp = 0;
    bool haveSubkeys = false;
    bool haveValues = false;
    std::vector<std::string> subkeys;
    std::vector<portable::NamedValue> values;
};

constexpr std::uintptr_t kFirstHandle = 0x1000; // far below the predefined keys; multiples of 4

struct Handles {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, OpenKey> open;
    std::uintptr_t next = kFirstHandle;
};

Handles& TheHandles() {
    static Handles handles;
    return handles;
}

// A key as one call sees it: the registry it lives in, its id and its full name.
struct Resolved {
    std::shared_ptr<RegistryStore> store;
    KeyId id = 0;
    std::string path;
    OpenKey* open = nullptr; // for opened handles
};

std::shared_ptr<RegistryStore> CurrentRegistry() {
    return RegistryStore::Of(portable::CurrentMachine());
}

LONG ResolvePredefined(HKEY key, Resolved& out) {
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT) {
        out.store = CurrentRegistry();
        out.store->Validate();
        if (key == HKEY_LOCAL_MACHINE) {
            out.id = portable::kLocalMachineKey;
            out.path = "HKEY_LOCAL_MACHINE";
        } else if (key == HKEY_CURRENT_USER) {
            out.id = portable::kCurrentUserKey;
            out.path = "HKEY_CURRENT_USER";
        } else {
            out.id = out.store->ClassesRoot();
            out.path = "HKEY_CLASSES_ROOT";
        }
        return ERROR_SUCCESS;
    }
    return ERROR_INVALID_HANDLE;
}

// Must be called with the handle table locked.
LONG Resolve(HKEY key, Resolved& out) {
    if (!key)
        return ERROR_INVALID_HANDLE;
    if (ResolvePredefined(key, out) == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    auto it = TheHandles().open.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == TheHandles().open.end())
        return ERROR_INVALID_HANDLE;
    out.store = it->second.store.lock();
    if (!out.store || out.store != CurrentRegistry())
        return ERROR_INVALID_HANDLE; // a handle of a machine no longer in use
    out.store->Validate();
    out.id = it->second.id;
    out.path = it->second.path;
    out.open = &it->second;
    return ERROR_SUCCESS;
}

// Whether number is a handle this process handed out (and may have closed since).
bool IssuedBefore(std::uintptr_t number) {
    return number >= kFirstHandle && number < TheHandles().next && number % 4 == 0;
}

HKEY AddKey(const Resolved& at, KeyId id, std::string path) {
    Handles& h = TheHandles();
    std::uintptr_t number = h.next;
    h.next += 4;
    OpenKey& key = h.open[number];
    key.store = at.store;
    key.id = id;
    key.path = std::move(path);
    return reinterpret_cast<HKEY>(number);
}

std::string Join(const std::string& path, std::string_view subKey) {
    while (!subKey.empty() && subKey.back() == '\\')
        subKey.remove_suffix(1);
    if (subKey.empty())
        return path;
    return path + "\\" + std::string(subKey);
}

void Journal(RegistryStore& store, const std::string& ansiEntry) {
    store.machine().Journal(FromAnsi(ansiEntry));
}

// Runs one change as a transaction of its own (or as part of an open one); failures of the
// store (or of the machine behind it) become the registry's I/O error instead of escaping
// into the program.
template <typename Change> LONG Write(RegistryStore& store, Change change) {
    return portable::Guarded<LONG>(ERROR_REGISTRY_IO_FAILED, [&]() -> LONG {
        portable::Transaction txn(store.db());
        store.Validate(); // another process may have committed before we got the lock
        LONG rc = change();
        if (rc != ERROR_SUCCESS)
            return rc;
        txn.Commit();
        return rc;
    });
}

template <typename Read> LONG ReadGuarded(Read read) {
    return portable::Guarded<LONG>(ERROR_REGISTRY_IO_FAILED, read);
}

LONG CopyOut(std::string_view text, LPSTR buffer, LPDWORD size) {
    if (!buffer || !size)
        return ERROR_INVALID_PARAMETER;
    if (*size <= text.size()) {
        *size = static_cast<DWORD>(text.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    *size = static_cast<DWORD>(text.size());
    return ERROR_SUCCESS;
}

// Copies a value's data into a buffer of capacity bytes (the caller's size, read before
// any output was written: type and size may be one variable).
LONG CopyData(const std::string& data, LPBYTE buffer, DWORD capacity, LPDWORD size) {
    if (!size)
        return buffer ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD needed = static_cast<DWORD>(data.size());
    if (buffer && capacity < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (buffer && needed)
        std::memcpy(buffer, data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

// RegEnumValueA's outputs, with the sizes the caller gave (read before anything is written:
// two of the pointers may name one variable).
struct EnumBuffers {
    LPSTR name;
    LPDWORD nameSize;
    DWORD nameCapacity;
    LPDWORD type;
    LPBYTE data;
    LPDWORD dataSize;
    DWORD dataCapacity;
};

// Type and data size are always reported. Data too large for its buffer leaves name and
// length alone; a name too long gets what fits of it and that length, as Windows 95 does
// (the NT family leaves the length as it was).
LONG EnumValueOut(const portable::NamedValue& value, const EnumBuffers& out) {
    auto needed = static_cast<DWORD>(value.data.size());
    if (out.type)
        *out.type = value.type;
    if (out.dataSize)
        *out.dataSize = needed;
    if ((out.data && out.dataCapacity < needed) || out.nameCapacity == 0)
        return ERROR_MORE_DATA;
    bool fits = out.nameCapacity > value.name.size();
    DWORD length = fits ? static_cast<DWORD>(value.name.size()) : out.nameCapacity - 1;
    std::memcpy(out.name, value.name.data(), length);
    out.name[length] = '\0';
    *out.nameSize = length;
    if (!fits)
        return ERROR_MORE_DATA;
    if (out.data && needed)
        std::memcpy(out.data, value.data.data(), needed);
    return ERROR_SUCCESS;
}

void Refresh(RegistryStore& store, OpenKey& key) {
    std::uint64_t stamp = store.Stamp();
    if (stamp == key.stamp)
        return;
    key.stamp = stamp;
    key.haveSubkeys = key.haveValues = false;
}

// Runs use on the key a call names, with the handle table locked; a key that does not
// resolve is the call's answer.
template <typename Use> LONG WithKey(HKEY key, Use use) {
    std::lock_guard guard(TheHandles().lock);
    Resolved at;
    if (LONG rc = ReadGuarded([&] { return Resolve(key, at); }); rc != ERROR_SUCCESS)
        return rc;
    return use(at);
}

// Hands the index-th entry of a key's enumeration snapshot (sub-key names or values) to
// use. The snapshot is taken on first use after the registry changed; a predefined root has
// no open handle of its own, so a scratch snapshot serves that one call.
template <typename Item, typename Load, typename Use>
LONG EnumEntry(HKEY key, DWORD index, bool OpenKey::*have, std::vector<Item> OpenKey::*items,
               Load load, Use use) {
    return WithKey(key, [&](Resolved& at) {
        return ReadGuarded([&]() -> LONG {
            OpenKey scratch;
            OpenKey& open = at.open ? *at.open : scratch;
            Refresh(*at.store, open);
            if (!(open.*have)) {
                // A deletion changes the registry, so a snapshot is never of a deleted key.
                if (at.open && !at.store->KeyExists(at.id))
                    return ERROR_KEY_DELETED;
                open.*items = load(*at.store, at.id);
                open.*have = true;
            }
            if (index >= (open.*items).size())
                return ERROR_NO_MORE_ITEMS;
            return use((open.*items)[index]);
        });
    });
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (!key)
        return ERROR_BADKEY; // Windows 95; later versions answer ERROR_INVALID_HANDLE
    return WithKey(key, [&](Resolved& at) {
        return ReadGuarded([&]() -> LONG {
            std::string_view sub = subKey ? subKey : "";
            auto id = at.store->FindKey(at.id, sub);
            bool gone = at.open && (!id || *id == at.id) && !at.store->KeyExists(at.id);
            if (gone)
                return ERROR_KEY_DELETED;
            if (!id)
                return ERROR_FILE_NOT_FOUND;
            *result = AddKey(at, *id, Join(at.path, sub));
            return ERROR_SUCCESS;
        });
    });
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, void*, PHKEY result,
                     LPDWORD disposition) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    return WithKey(key, [&](Resolved& at) -> LONG {
        std::string_view sub = subKey ? subKey : "";
        if (sub.starts_with('\\'))
            sub.remove_prefix(1); // Windows 95 ignores one (and only one) leading backslash
        sub = portable::WithoutTrailingSeparator(sub); // as RegOpenKeyExA does
        std::vector<std::string_view> parts;
        if (!portable::SplitKeyPath(sub, parts))
            return ERROR_BADKEY;
        std::string path = Join(at.path, sub);
        // Existing keys need no transaction; only a creation takes the write lock.
        KeyId id = 0;
        bool created = false;
        LONG rc = ReadGuarded([&]() -> LONG {
            if (auto found = at.store->FindKey(at.id, sub))
                id = *found;
            return ERROR_SUCCESS;
        });
        if (rc == ERROR_SUCCESS && id == 0) {
            rc = Write(*at.store, [&]() -> LONG {
                if (!at.store->KeyExists(at.id))
                    return ERROR_KEY_DELETED;
                id = at.store->CreateKey(at.id, sub, created);
                if (created)
                    Journal(*at.store, "reg create [" + path + "]");
                return ERROR_SUCCESS;
            });
        }
        if (rc != ERROR_SUCCESS)
            return rc;
        if (disposition)
            *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        *result = AddKey(at, id, std::move(path));
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY key) {
    if (!key)
        return ERROR_BADKEY; // Windows 95
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT)
        return ERROR_SUCCESS;
    Handles& h = TheHandles();
    std::lock_guard guard(h.lock);
    auto number = reinterpret_cast<std::uintptr_t>(key);
    if (h.open.erase(number))
        return ERROR_SUCCESS;
    // Windows 95 does not mind a handle closed twice; numbers are never given out again.
    return IssuedBefore(number) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (reserved || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    DWORD capacity = dataSize ? *dataSize : 0;
    return WithKey(key, [&](Resolved& at) {
        return ReadGuarded([&]() -> LONG {
            auto value = at.store->GetValue(at.id, valueName ? valueName : "");
            if (!value)
                return at.open && !at.store->KeyExists(at.id) ? ERROR_KEY_DELETED
                                                              : ERROR_FILE_NOT_FOUND;
            if (type)
                *type = value->type;
            return CopyData(value->data, data, capacity, dataSize);
        });
    });
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    // Windows 95 wants data for a string, even an empty one.
    if (reserved || (!data && (dataSize || type == REG_SZ)))
        return ERROR_INVALID_PARAMETER;
    std::string_view name = valueName ? valueName : "";
    std::string_view bytes(reinterpret_cast<const char*>(data), data ? dataSize : 0);
    if (type == REG_SZ) // Windows 95 stores the string and its NUL, whatever the size says
        bytes = std::string_view(bytes.data(), std::strlen(bytes.data()) + 1);
    return WithKey(key, [&](Resolved& at) {
        return Write(*at.store, [&]() -> LONG {
            if (!at.store->KeyExists(at.id))
                return ERROR_KEY_DELETED;
            at.store->SetValue(at.id, name, type, bytes);
            Journal(*at.store,
                    "reg set [" + at.path + "] " + portable::JournalValue(name, type, bytes));
            return ERROR_SUCCESS;
        });
    });
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    if (!subKey)
        return ERROR_BADKEY; // Windows 95; later versions answer ERROR_INVALID_PARAMETER
    return WithKey(key, [&](Resolved& at) -> LONG {
        std::vector<std::string_view> parts;
        if (!portable::SplitKeyPath(subKey, parts))
            return ERROR_BADKEY;
        if (parts.empty() && !at.open)
            return ERROR_ACCESS_DENIED; // a root itself
        std::string path = Join(at.path, subKey);
        return Write(*at.store, [&]() -> LONG {
            auto id = at.store->FindKey(at.id, subKey);
            if (!id)
                return at.open && !at.store->KeyExists(at.id) ? ERROR_KEY_DELETED
                                                              : ERROR_FILE_NOT_FOUND;
            if (*id == portable::kLocalMachineKey || *id == portable::kCurrentUserKey)
                return ERROR_ACCESS_DENIED;
            std::int64_t keys = 0;
            std::int64_t values = 0;
            at.store->DeleteKey(*id, keys, values);
            Journal(*at.store, "reg delete [" + path + "] (" + std::to_string(keys) + " keys, " +
                                   std::to_string(values) + " values)");
            return ERROR_SUCCESS;
        });
    });
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
    std::string_view name = valueName ? valueName : "";
    return WithKey(key, [&](Resolved& at) {
        return Write(*at.store, [&]() -> LONG {
            if (!at.store->KeyExists(at.id))
                return ERROR_KEY_DELETED;
            if (!at.store->DeleteValue(at.id, name))
                return ERROR_FILE_NOT_FOUND;
            Journal(*at.store, "reg delete value [" + at.path + "] " + portable::QuotedName(name));
            return ERROR_SUCCESS;
        });
    });
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPSTR keyClass, LPDWORD classSize, PFILETIME lastWriteTime) {
    if (reserved)
        return ERROR_INVALID_PARAMETER;
    auto load = [](RegistryStore& store, KeyId id) { return store.SubkeyNames(id); };
    return EnumEntry(key, index, &OpenKey::haveSubkeys, &OpenKey::subkeys, load,
                     [&](const std::string& subkey) -> LONG {
                         if (LONG rc = CopyOut(subkey, name, nameSize); rc != ERROR_SUCCESS)
                             return rc;
                         if (keyClass && classSize && *classSize)
                             keyClass[0] = '\0';
                         if (classSize)
                             *classSize = 0;
                         if (lastWriteTime)
                             *lastWriteTime = FILETIME{0, 0};
                         return ERROR_SUCCESS;
                     });
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (reserved || (data && !dataSize) || !valueName || !valueNameSize)
        return ERROR_INVALID_PARAMETER;
    EnumBuffers out{.name = valueName,
                    .nameSize = valueNameSize,
                    .nameCapacity = *valueNameSize,
                    .type = type,
                    .data = data,
                    .dataSize = dataSize,
                    .dataCapacity = dataSize ? *dataSize : 0};
    auto load = [](RegistryStore& store, KeyId id) { return store.Values(id); };
    return EnumEntry(key, index, &OpenKey::haveValues, &OpenKey::values, load,
                     [&](const portable::NamedValue& value) { return EnumValueOut(value, out); });
}

} // namespace win
