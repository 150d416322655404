// The native windows under Wine: what a frame holds lies above the frame and shows, a
// screenshot is the window as drawn (not the black of a screen Wine has not updated yet),
// and every kind of script step reaches the program through the real controls.
#include "forms/controls.h"
#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/form.h"
#include "forms/global_form.h"
#include "forms/msgbox.h"
#include "forms/picture_box.h"
#include "forms/program_end.h"
#include "forms/runtime.h"
#include "forms/script/ui_script.h"
#include "forms/win32/win32_backend.h"

#include <gtest/gtest.h>

#include <cctype>
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

// A control of each kind, each handler writing what it was given to the log.
std::vector<std::string> g_log;

struct StepsForm : forms::Form {
    StepsForm() : Form("Steps") {
        SetClientSize(7200, 4800);
        Button.Move(120, 120, 1200, 360);
        Button.OnClick = [] { g_log.push_back("Button"); };
        Check.Move(120, 600, 1200, 300);
        Check.OnClick = [this] { g_log.push_back("Check " + std::to_string(Check.Value())); };
        Clickable.Move(120, 1020, 1200, 300);
        Clickable.OnClick = [] { g_log.push_back("Clickable"); };
        Hover.Move(120, 1440, 1200, 300);
        Hover.OnMouseUp = [](int, int, float, float) { g_log.push_back("Hover up"); };
        Hover.OnMouseMove = [](int, int, float, float) { g_log.push_back("Hover move"); };
        Text.Move(1560, 120, 1800, 360);
        Text.OnChange = [this] { g_log.push_back("Text " + Text.Text()); };
        Drive.Move(1560, 600, 1800, 360);
        Drive.OnChange = [this] { g_log.push_back("Drive " + Drive.Drive()); };
        Folder.Move(1560, 1080, 1800, 1200);
        Folder.OnChange = [] { g_log.push_back("Folder"); };
        Picture.Move(3600, 120, 1800, 900);
        Picture.OnMouseUp = [](int, int, float, float) { g_log.push_back("Picture up"); };
        Picture.OnMouseMove = [](int, int, float, float) { g_log.push_back("Picture move"); };
        Ask.Move(3600, 1200, 1200, 360);
        Ask.OnClick = [] {
            g_log.push_back("Ask " + std::to_string(forms::MsgBox("Weiter?", forms::vbYesNo)));
        };
        Work.Move(3600, 1680, 1200, 360);
        Work.OnClick = [this] {
            Status.SetCaption("fertig");
            forms::DoEvents();
            g_log.push_back("Work done");
        };
        Status.Move(3600, 2160, 1200, 300);
        Img.Move(3600, 2580, 600, 600);
        Img.OnClick = [] { g_log.push_back("Img"); };
    }
    void Form_QueryUnload(int&, forms::UnloadMode) override { g_log.push_back("close"); }

    forms::CommandButton Button{*this, "Button"};
    forms::CheckBox Check{*this, "Check"};
    forms::Label Clickable{*this, "Clickable"};
    forms::Label Hover{*this, "Hover"};
    forms::TextBox Text{*this, "Text"};
    forms::DriveListBox Drive{*this, "Drive"};
    forms::DirListBox Folder{*this, "Folder"};
    forms::PictureBox Picture{*this, "Picture"};
    forms::CommandButton Ask{*this, "Ask"};
    forms::CommandButton Work{*this, "Work"};
    forms::Label Status{*this, "Status"};
    forms::Image Img{*this, "Img"}; // no window of its own
};
forms::Global<StepsForm> Steps;

// Runs script (then "close Steps") on the native windows; the failure, empty when none.
std::string RunScript(const std::string& script) {
    g_log.clear();
    auto parsed = forms::script::ParseUiScript(script + "close Steps\n", "test.ui");
    EXPECT_EQ(parsed.errors, std::vector<std::string>{});
    forms::win32::Win32Backend backend(std::move(parsed.script), nullptr, {});
    forms::Runtime& runtime = forms::Runtime::Get();
    runtime.SetBackend(&backend);
    std::string failure;
    try {
        forms::RunProgram([] { Steps->Show(); });
    } catch (const forms::BackendFailure& e) {
        failure = e.message();
    }
    runtime.Reset();
    runtime.SetBackend(nullptr);
    return failure;
}

std::string TempPath() {
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    std::string path = base;
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

TEST(NativeSteps, EveryKindOfStepReachesTheProgramThroughItsWindow) {
    std::string temp = TempPath();
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof current, current);
    std::string drive = std::tolower(current[0]) == 'z' ? "c:" : "z:"; // not the current one
    struct Case {
        std::string script;
        std::vector<std::string> log; // before the closing step's "close"
    } cases[] = {
        {"click Steps.Button\n", {"Button"}},
        {"click Steps.Check\n", {"Check 1"}},
        {"click Steps.Clickable\n", {"Clickable"}},
        {"click Steps.Hover\n", {}}, // no Click handler: nothing to do
        {"set Steps.Text \"Hallo\"\n", {"Text Hallo"}},
        {"set Steps.Check 1\nset Steps.Check 1\n", {"Check 1"}}, // already so: nothing
        {"set Steps.Drive " + drive + "\n", {"Drive " + drive}},
        {"set Steps.Folder " + forms::script::Quote(temp) + "\n", {"Folder"}},
        {"mouseup Steps.Hover\n", {"Hover up"}},
        {"mouseup Steps.Picture\n", {"Picture up"}},
        {"mousemove Steps.Hover\n", {"Hover move"}},
        {"mousemove Steps.Picture\n", {"Picture move"}},
        {"click Steps.Ask\nanswer yes \"Weiter?\"\n", {"Ask 6"}},
        {"when Steps.Status \"fertig\" click Steps.Button\nclick Steps.Work\n",
         {"Button", "Work done"}},
        {"", {}}, // the close alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        std::string failure = RunScript(c.script);
        EXPECT_EQ(failure, "");
        std::vector<std::string> expected = c.log;
        expected.push_back("close");
        EXPECT_EQ(g_log, expected);
    }
}

TEST(NativeSteps, AStepTheProgramWouldActOnButNoWindowTakesStopsTheRun) {
    std::string failure = RunScript("click Steps.Img\n");
    EXPECT_TRUE(failure.starts_with("test.ui:1: step 'click Steps.Img' cannot run: the window "
                                    "took no input from it; the program shows"))
        << failure;
    EXPECT_EQ(g_log, std::vector<std::string>{});
}

} // namespace
