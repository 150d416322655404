#include "platform/portable/windows/window_table.h"

#include "platform/portable/machine.h"
#include "platform/portable/store/sqlite_db.h"

#include <algorithm>
#include <cstdint>

namespace portable {
namespace {

// Handles of other programs' windows count up from kOtherBase; the program's own carry
// kOwnTag, so the two kinds never collide and neither meets HWND_BROADCAST.
constexpr std::uintptr_t kOtherBase = 0x00010000;
constexpr std::uintptr_t kOwnTag = 0x40000000;
constexpr std::uintptr_t kStep = 4;
constexpr RECT kOtherRect{100, 100, 500, 400};

struct OwnWindow {
    WindowRecord record;
    WindowProcedure procedure;
};

struct OwnWindows {
    std::vector<OwnWindow> frontToBack;
    std::uintptr_t next = 1;
};

OwnWindows& Own() {
    static OwnWindows windows;
    return windows;
}

std::uintptr_t Number(HWND window) {
    return reinterpret_cast<std::uintptr_t>(window);
}

HWND Handle(std::uintptr_t number) {
    return reinterpret_cast<HWND>(number);
}

OwnWindow* FindOwn(HWND window) {
    auto& list = Own().frontToBack;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const OwnWindow& w) { return w.record.handle == window; });
    return it == list.end() ? nullptr : &*it;
}

std::optional<std::int64_t> OtherId(HWND window) {
    std::uintptr_t n = Number(window);
    if (n < kOtherBase || n >= kOwnTag || (n - kOtherBase) % kStep != 0)
        return std::nullopt;
    return static_cast<std::int64_t>((n - kOtherBase) / kStep);
}

HWND OtherHandle(std::int64_t id) {
    return Handle(kOtherBase + static_cast<std::uintptr_t>(id) * kStep);
}

void EnsureTable(Machine& machine) {
    machine.store().Exec("CREATE TABLE IF NOT EXISTS windows(id INTEGER PRIMARY KEY, "
                         "title TEXT NOT NULL, visible INTEGER NOT NULL)");
}

std::optional<WindowRecord> ReadOther(Machine& machine, std::int64_t id) {
    EnsureTable(machine);
    auto& stmt = machine.store().Prepare("SELECT title, visible FROM windows WHERE id = ?1");
    stmt.Bind(1, id);
    if (!stmt.Step())
        return std::nullopt;
    WindowRecord r;
    r.handle = OtherHandle(id);
    r.title = stmt.Text(0);
    r.visible = stmt.Int(1) != 0;
    r.rect = kOtherRect;
    stmt.Reset();
    return r;
}

// Moves the window to the front of its layer (topmost windows stay above the others).
void BringToFront(HWND window) {
    auto& list = Own().frontToBack;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const OwnWindow& w) { return w.record.handle == window; });
    if (it == list.end())
        return;
    OwnWindow moved = std::move(*it);
    list.erase(it);
    auto at = list.begin();
    if (!moved.record.topmost) {
        at = std::find_if(list.begin(), list.end(),
                          [](const OwnWindow& w) { return !w.record.topmost; });
    }
    list.insert(at, std::move(moved));
}

} // namespace

HWND CreateProgramWindow(std::string_view title, WindowProcedure procedure) {
    OwnWindows& own = Own();
    OwnWindow window;
    window.record.handle = Handle(kOwnTag + own.next++ * kStep);
    window.record.title = std::string(title);
    window.record.visible = false;
    window.record.ownWindow = true;
    window.procedure = std::move(procedure);
    own.frontToBack.push_back(std::move(window));
    HWND handle = own.frontToBack.back().record.handle;
    BringToFront(handle);
    return handle;
}

void DestroyProgramWindow(HWND window) {
    auto& list = Own().frontToBack;
    std::erase_if(list, [&](const OwnWindow& w) { return w.record.handle == window; });
}

void SetProgramWindowTitle(HWND window, std::string_view title) {
    if (OwnWindow* w = FindOwn(window))
        w->record.title = std::string(title);
}

void SetProgramWindowVisible(HWND window, bool visible) {
    OwnWindow* w = FindOwn(window);
    if (!w)
        return;
    w->record.visible = visible;
    if (visible)
        BringToFront(window);
}

void SetProgramWindowRect(HWND window, const RECT& rect) {
    if (OwnWindow* w = FindOwn(window))
        w->record.rect = rect;
}

void OrderProgramWindow(HWND window, HWND insertAfter) {
    OwnWindow* w = FindOwn(window);
    if (!w)
        return;
    if (insertAfter == HWND_TOPMOST)
        w->record.topmost = true;
    else if (insertAfter == HWND_NOTOPMOST)
        w->record.topmost = false;
    // HWND_TOP (and any other window) only brings it forward within its layer.
    BringToFront(window);
}

std::optional<LRESULT> CallProgramWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    OwnWindow* w = FindOwn(window);
    if (!w)
        return std::nullopt;
    if (!w->procedure)
        return 0;
    // The procedure may destroy the window; call a copy.
    WindowProcedure procedure = w->procedure;
    return procedure(message, wParam, lParam);
}

HWND OpenOtherWindow(Machine& machine, std::string_view title, bool visible) {
    EnsureTable(machine);
    machine.store()
        .Prepare("INSERT INTO windows(title, visible) VALUES(?1, ?2)")
        .Bind(1, title)
        .Bind(2, static_cast<std::int64_t>(visible ? 1 : 0))
        .Run();
    std::int64_t id = machine.store().LastInsertId();
    machine.Journal("window open \"" + std::string(title) + "\"" + (visible ? "" : " (hidden)"));
    return OtherHandle(id);
}

std::vector<WindowRecord> OtherWindows(Machine& machine) {
    EnsureTable(machine);
    std::vector<WindowRecord> out;
    auto& stmt = machine.store().Prepare("SELECT id, title, visible FROM windows ORDER BY id");
    while (stmt.Step()) {
        WindowRecord r;
        r.handle = OtherHandle(stmt.Int(0));
        r.title = stmt.Text(1);
        r.visible = stmt.Int(2) != 0;
        r.rect = kOtherRect;
        out.push_back(std::move(r));
    }
    return out;
}

bool CloseOtherWindow(Machine& machine, HWND window) {
    auto id = OtherId(window);
    if (!id)
        return false;
    auto record = ReadOther(machine, *id);
    if (!record)
        return false;
    machine.store().Prepare("DELETE FROM windows WHERE id = ?1").Bind(1, *id).Run();
    machine.Journal("window closed \"" + record->title + "\"");
    return true;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> out;
    for (const auto& w : Own().frontToBack)
        out.push_back(w.record.handle);
    for (const auto& w : OtherWindows(CurrentMachine()))
        out.push_back(w.handle);
    return out;
}

std::optional<WindowRecord> LookUpWindow(HWND window) {
    if (OwnWindow* w = FindOwn(window))
        return w->record;
    auto id = OtherId(window);
    if (!id)
        return std::nullopt;
    return ReadOther(CurrentMachine(), *id);
}

} // namespace portable
