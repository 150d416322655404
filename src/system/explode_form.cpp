// Setup_API: ExplodeForm.
#include "system/Setup_API.h"

#include "forms/conversions.h"
#include "forms/form.h"
#include "forms/on_error.h"
#include "platform/gdi32.h"
#include "platform/user32.h"

namespace Setup_API {

void ExplodeForm(forms::Form& window, std::int16_t steps) {
    forms::OnError run(forms::ResumeNext);
    RECT rect{};
    std::int16_t left = 0, top = 0, width = 0, height = 0;
    HDC screen = nullptr;
    HBRUSH brush = nullptr;
    run([&] { win::GetWindowRect(window.hWnd(), &rect); });
    run([&] { left = forms::CInt(rect.left); });
    run([&] { top = forms::CInt(rect.top); });
    run([&] { width = forms::CInt(rect.right - rect.left); });
    run([&] { height = forms::CInt(rect.bottom - rect.top); });
    run([&] { screen = win::GetDC(nullptr); });
    run([&] { brush = win::CreateSolidBrush(window.BackColor()); });
    run([&] { win::SelectObject(screen, brush); });
    for (std::int16_t i = 1; i <= steps && i > 0; ++i) {
        // An overflow skips this rectangle only.
        run([&] {
            float share = static_cast<float>(i) / static_cast<float>(steps);
            std::int16_t w = forms::CInt(share * static_cast<float>(width));
            std::int16_t h = forms::CInt(share * static_cast<float>(height));
            std::int16_t x = forms::CInt(left + static_cast<float>(width - w) / 2);
            std::int16_t y = forms::CInt(top + static_cast<float>(height - h) / 2);
            win::Rectangle(screen, x, y, x + w, y + h);
        });
    }
    run([&] { win::ReleaseDC(nullptr, screen); });
    run([&] { win::DeleteObject(brush); });
}

} // namespace Setup_API
