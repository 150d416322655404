#include "platform/portable/windows/gdi_objects.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <variant>

namespace portable {
namespace {

constexpr COLORREF kWhite = 0xFFFFFF;

struct Brush {
    COLORREF colour = 0;
};

using GdiObject = std::variant<DeviceContext, Brush>;

struct GdiTable {
    std::map<std::uintptr_t, GdiObject> objects;
    std::uintptr_t next = 0x1000;
    std::vector<DrawnRectangle> drawn;
};

GdiTable& Table() {
    static GdiTable table;
    return table;
}

std::uintptr_t Add(GdiObject object) {
    GdiTable& t = Table();
    std::uintptr_t handle = t.next;
    t.next += 4;
    t.objects.emplace(handle, std::move(object));
    return handle;
}

template <typename T> T* Find(const void* handle) {
    auto& objects = Table().objects;
    auto it = objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == objects.end() ? nullptr : std::get_if<T>(&it->second);
}

template <typename T> bool Remove(const void* handle) {
    if (!Find<T>(handle))
        return false;
    Table().objects.erase(reinterpret_cast<std::uintptr_t>(handle));
    return true;
}

} // namespace

HDC NewDeviceContext(HWND window) {
    DeviceContext dc;
    dc.window = window;
    return reinterpret_cast<HDC>(Add(dc));
}

HDC NewControlContext(const FontSpec& font) {
    DeviceContext dc;
    dc.font = font;
    return reinterpret_cast<HDC>(Add(dc));
}

void SetContextFont(HDC dc, const FontSpec& font) {
    if (DeviceContext* context = LookUpContext(dc))
        context->font = font;
}

DeviceContext* LookUpContext(HDC dc) {
    return Find<DeviceContext>(dc);
}

bool FreeDeviceContext(HDC dc) {
    return Remove<DeviceContext>(dc);
}

HBRUSH NewBrush(COLORREF colour) {
    return reinterpret_cast<HBRUSH>(Add(Brush{colour}));
}

std::optional<COLORREF> BrushColour(HGDIOBJ object) {
    if (!object)
        return kWhite;
    if (Brush* brush = Find<Brush>(object))
        return brush->colour;
    return std::nullopt;
}

HGDIOBJ StockWhiteBrush() {
    static const std::uintptr_t handle = Add(Brush{kWhite});
    return reinterpret_cast<HGDIOBJ>(handle);
}

bool FreeBrush(HGDIOBJ object) {
    // Deleting a stock object succeeds and changes nothing, as on Windows.
    if (object == StockWhiteBrush())
        return true;
    return Remove<Brush>(object);
}

SIZE TextExtent(const FontSpec& font, std::string_view text) {
    double em = font.points * 96.0 / 72.0;
    double advance = em * (font.bold ? 0.6 : 0.55);
    return SIZE{static_cast<LONG>(std::lround(advance * static_cast<double>(text.size()))),
                static_cast<LONG>(std::lround(em * 1.2))};
}

const std::vector<DrawnRectangle>& DrawnRectangles() {
    return Table().drawn;
}

void ForgetDrawing() {
    Table().drawn.clear();
}

void RecordRectangle(const DrawnRectangle& rectangle) {
    Table().drawn.push_back(rectangle);
}

} // namespace portable
