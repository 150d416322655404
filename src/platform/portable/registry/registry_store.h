// The machine's registry, kept in its store (machine.db):
//
//   reg_keys(id, parent, name, upper)           one row per key; the roots have no parent
//   reg_values(key, name, upper, type, data)    one row per value, data as stored
//
// Names are kept as written (UTF-8 of their Windows-1252 form) and found by their
// Windows-1252 upper case, so "KontextmenüEx" and "KONTEXTMENÜEX" are one key. Deleting a
// key deletes its subtree. Key ids are never reused, so a stale id names nothing rather
// than another key.
//
// The store does not open transactions: callers wrap each change (one API call, one
// import) in one. Lookups are cached; the caches hold committed data only and are dropped
// whenever the store connection's version changes (any commit, see Database::Version) or
// this connection deletes a key, so two processes sharing a machine always see each
// other's committed changes.
#pragma once

#include "platform/win_types.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace portable {

class Database;
class Machine;

using KeyId = std::int64_t;

inline constexpr KeyId kLocalMachineKey = 1;
inline constexpr KeyId kCurrentUserKey = 2;

// The longest key name component Windows 95 accepts.
inline constexpr size_t kMaxKeyNameLength = 255;

struct StoredValue {
    DWORD type = REG_NONE;
    std::string data; // the bytes as stored
};

struct NamedValue {
    std::string name; // Windows-1252
    DWORD type = REG_NONE;
    std::string data;
};

// The whole registry as stored, read in one statement (so from one commit): every key with
// its parent (0 for the roots) and every value. Names and data as in StoredValue/NamedValue.
struct RegistryDump {
    struct Key {
        KeyId id = 0;
        KeyId parent = 0;
        std::string name; // Windows-1252
    };
    struct Value {
        KeyId key = 0;
        std::string name; // Windows-1252
        DWORD type = REG_NONE;
        std::string data;
    };
    std::vector<Key> keys;
    std::vector<Value> values;
};

// A sub-key path split into its components (Windows-1252). Empty components are refused,
// except that one trailing '\' is ignored. Returns false for an invalid path.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& out);
// The registry functions take a sub-key ending in two '\' as Windows does ("Sub\\\\" in C
// names Sub): this drops the first, SplitKeyPath and FindKey ignore the second.
std::string_view WithoutTrailingSeparator(std::string_view path);

class RegistryStore {
public:
    // Creates the registry tables and root keys when missing (part of a machine's schema).
    static void CreateSchema(Database& db);
    // The registry of a machine (Machine::Registry).
    static std::shared_ptr<RegistryStore> Of(Machine& machine);

    // Made by the machine, which owns it; creates the tables of a machine made before the
    // registry existed.
    explicit RegistryStore(Machine& machine);
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    Machine& machine() { return machine_; }
    Database& db();

    // Drops the caches when anyone has committed since the last call. Every entry point
    // calls it first; a write transaction calls it again once it holds the lock.
    void Validate();
    // The rows were changed behind the store's back (an undo): the caches go.
    void ChangedBehind() { DropCaches(); }
    bool InTransaction();

    // The key at path below start, if every component exists.
    std::optional<KeyId> FindKey(KeyId start, std::string_view path);
    // Creates the missing keys of path below start (inside the caller's transaction) and
    // returns the key; created tells whether any key was new.
    KeyId CreateKey(KeyId start, std::string_view path, bool& created);
    // One level of CreateKey: the child name (one component) of parent, created if missing.
    KeyId CreateChild(KeyId parent, std::string_view name, bool& created);
    bool KeyExists(KeyId key);
    // HKEY_LOCAL_MACHINE\SOFTWARE\Classes, the key HKEY_CLASSES_ROOT shows; created when
    // missing (inside a transaction of its own when none is open).
    KeyId ClassesRoot();
    // Deletes key with its subtree; reports how many keys and values went.
    void DeleteKey(KeyId key, std::int64_t& keys, std::int64_t& values);

    std::optional<StoredValue> GetValue(KeyId key, std::string_view name);
    void SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data);
    bool DeleteValue(KeyId key, std::string_view name);

    // Subkey names and values of a key, in the order of their upper-case names.
    std::vector<std::string> SubkeyNames(KeyId key);
    std::vector<NamedValue> Values(KeyId key);
    std::optional<KeyId> FindChild(KeyId parent, std::string_view name);
    // The key's own name as stored (Windows-1252).
    std::string KeyName(KeyId key);
    // Every key and value, in no particular order; changes nothing.
    RegistryDump Dump();

    // A counter that changes whenever the registry may have changed (this connection or
    // another); enumeration snapshots are tied to it.
    std::uint64_t Stamp();

private:
    void DropCaches();
    void TrimCaches();

    Machine& machine_;
    std::uint64_t version_ = 0; // of the store when the caches were last valid
    std::uint64_t localChanges_ = 0;
    // Entries of an older generation are stale: dropping the caches is one increment, not a
    // pass over their buckets (which happens after every commit).
    std::uint64_t generation_ = 0;
    // A key or value by where it starts and its upper-case path or name.
    struct CacheKey {
        KeyId at;
        std::string upper;
        bool operator==(const CacheKey&) const = default;
    };
    struct CacheKeyHash {
        size_t operator()(const CacheKey& k) const {
            return std::hash<std::string>{}(k.upper) ^
                   (static_cast<size_t>(k.at) * 0x9E3779B97F4A7C15ull);
        }
    };
    template <typename T> struct Cached {
        T item;
        std::uint64_t generation;
    };
    std::unordered_map<CacheKey, Cached<KeyId>, CacheKeyHash> keys_;         // start, UPPER\PATH
    std::unordered_map<CacheKey, Cached<StoredValue>, CacheKeyHash> values_; // key, UPPER NAME
};

// The Windows-1252 upper case of a name as the store keeps it for lookups (UTF-8).
std::string UpperKeyName(std::string_view ansi);

} // namespace portable
