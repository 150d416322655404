// The native windows under Wine: what a frame holds lies above the frame and shows, and a
// screenshot is the window as drawn (not the black of a screen Wine has not updated yet).
#include "forms/controls.h"
#include "forms/form.h"
#include "forms/program_end.h"
#include "forms/runtime.h"
#include "forms/win32/win32_backend.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A frame with a check box on it, and room beside both.
struct FramedForm : forms::Form {
    FramedForm() : Form("Framed") {
        SetBorderStyle(3);
        SetClientSize(4500, 3000);
        Box.SetCaption("Optionen");
        Box.Move(120, 120, 3000, 2400);
        Option.SetContainer(Box);
        Option.SetCaption("Eine Option");
        Option.Move(240, 480, 2400, 300);
    }
    forms::Frame Box{*this, "Box"};
    forms::CheckBox Option{*this, "Option"};
};

std::string TempFolder(const std::string& name) {
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    std::string folder = std::string(base) + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// A 24-bit bottom-up BMP as written by the screenshots.
struct Bitmap {
    int width = 0, height = 0;
    std::vector<unsigned char> bytes;
    std::uint32_t offset = 0;

    static Bitmap Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        Bitmap b;
        b.bytes.assign(std::istreambuf_iterator<char>(in), {});
        if (b.bytes.size() < 54)
            return b;
        auto at = [&](size_t i) {
            return static_cast<std::uint32_t>(b.bytes[i] | b.bytes[i + 1] << 8 |
                                              b.bytes[i + 2] << 16 | b.bytes[i + 3] << 24);
        };
        b.offset = at(10);
        b.width = static_cast<int>(at(18));
        b.height = static_cast<int>(at(22));
        return b;
    }
    COLORREF Pixel(int x, int y) const {
        size_t row = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
        size_t i = offset + row * static_cast<size_t>(height - 1 - y) + static_cast<size_t>(x) * 3;
        return RGB(bytes[i + 2], bytes[i + 1], bytes[i]);
    }
};

class NativeWindows : public testing::Test {
protected:
    void Start(std::string screenshots) {
        backend_ = std::make_unique<forms::win32::Win32Backend>(std::nullopt, nullptr,
                                                                std::move(screenshots));
        forms::Runtime::Get().SetBackend(backend_.get());
        form_ = std::make_unique<FramedForm>();
        form_->Show();
    }
    void TearDown() override {
        forms::Runtime::Get().Reset();
        form_.reset();
        forms::Runtime::Get().SetBackend(nullptr);
    }
    // The child window topmost at a point of the form's client area (pixels).
    std::string ChildTextAt(int x, int y) {
        HWND child = ChildWindowFromPointEx(form_->hWnd(), POINT{x, y}, CWP_SKIPINVISIBLE);
        char text[64] = {};
        GetWindowTextA(child, text, sizeof text);
        return text;
    }

    std::unique_ptr<forms::win32::Win32Backend> backend_;
    std::unique_ptr<FramedForm> form_;
};

TEST_F(NativeWindows, WhatAFrameHoldsLiesAboveTheFrame) {
    Start({});
    // The check box's middle: (240 + 120 + 1200, 480 + 120 + 150) twips.
    EXPECT_EQ(ChildTextAt(104, 50), "Eine Option");
    EXPECT_EQ(ChildTextAt(100, 140), "Optionen"); // the frame's inside, below the box
}

TEST_F(NativeWindows, AScreenshotIsTheWindowAsDrawnWithItsFrame) {
    std::string folder = TempFolder("zp_native_windows_shots");
    Start(folder);
    std::string path = folder + "\\01-Framed-shown.bmp";
    Bitmap shot = Bitmap::Read(path);
    RECT rect{};
    GetWindowRect(form_->hWnd(), &rect);
    ASSERT_EQ(shot.width, rect.right - rect.left);
    ASSERT_EQ(shot.height, rect.bottom - rect.top);
    POINT client{0, 0};
    ClientToScreen(form_->hWnd(), &client);
    auto at = [&](int x, int y) {
        return shot.Pixel(client.x - rect.left + x, client.y - rect.top + y);
    };
    COLORREF back = at(260, 100); // the form, right of the frame
    EXPECT_NE(back, RGB(0, 0, 0));
    EXPECT_EQ(at(100, 140), back); // the frame's inside is painted in its colour
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(NativeWindows, AScreenshotThatCannotBeWrittenFailsTheRun) {
    EXPECT_THROW(Start("Z:\\no\\such\\folder"), forms::BackendFailure);
}

} // namespace
