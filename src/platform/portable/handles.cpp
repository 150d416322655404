#include "platform/portable/handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace portable {
namespace {

struct Table {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, std::unique_ptr<KernelObject>> open;
    std::uintptr_t next = 0x100; // handles are multiples of 4, as on Windows
};

Table& TheTable() {
    static Table table;
    return table;
}

} // namespace

HANDLE AddHandle(std::unique_ptr<KernelObject> object) {
    Table& t = TheTable();
    std::lock_guard guard(t.lock);
    std::uintptr_t id = t.next;
    t.next += 4;
    t.open.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id);
}

KernelObject* LookUpHandle(HANDLE handle) {
    Table& t = TheTable();
    std::lock_guard guard(t.lock);
    auto it = t.open.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == t.open.end() ? nullptr : it->second.get();
}

bool RemoveHandle(HANDLE handle) {
    std::unique_ptr<KernelObject> doomed;
    Table& t = TheTable();
    std::lock_guard guard(t.lock);
    auto it = t.open.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == t.open.end())
        return false;
    doomed = std::move(it->second);
    t.open.erase(it);
    return true;
}

} // namespace portable
