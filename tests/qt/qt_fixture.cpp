#include "qt_fixture.h"

#include "forms/program_end.h"
#include "forms/runtime.h"
#include "forms/script/ui_script.h"
#include "platform/portable/clock.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

#include <cstdlib>
#include <filesystem>

namespace testing_support {

DropWindowsOnExit::~DropWindowsOnExit() {
    forms::Runtime::Get().Reset();
}

QtUiTest::QtUiTest(const char* platform) {
    setenv("QT_QPA_PLATFORM", platform, 1);
    portable::UseClock(portable::ClockKind::Virtual);
    Start();
}

QtUiTest::~QtUiTest() {
    forms::Runtime& runtime = forms::Runtime::Get();
    runtime.Reset();
    runtime.SetBackend(nullptr);
    runtime.SetUnhandledErrorHandler({});
    backend_.reset();
    portable::UseClock(std::nullopt);
}

forms::qt::QtBackend& QtUiTest::Start(std::string_view script, std::string record) {
    forms::qt::QtBackend::Options options;
    if (!script.empty()) {
        auto parsed = forms::script::ParseUiScript(script, "test.ui");
        for (const auto& error : parsed.errors)
            ADD_FAILURE() << error;
        options.script = std::move(parsed.script);
    }
    options.recordTo = std::move(record);
    forms::Runtime::Get().SetBackend(nullptr);
    backend_.reset();
    backend_ = std::make_unique<forms::qt::QtBackend>(std::move(options));
    forms::Runtime::Get().SetBackend(backend_.get());
    return *backend_;
}

std::vector<std::string> QtUiTest::Transcript() const {
    return backend_->transcript().Lines();
}

QWidget& QtUiTest::Widget(const forms::Control& control) {
    QWidget* widget = backend_->WidgetOf(control);
    EXPECT_NE(widget, nullptr) << control.PathName();
    if (!widget)
        throw std::runtime_error("no widget for " + control.PathName());
    return *widget;
}

void QtUiTest::Settle() {
    for (int i = 0; i < 3; ++i)
        forms::qt::QtBackend::ProcessEvents();
}

QImage QtUiTest::Shot(const forms::Form& form, const std::string& name) {
    Settle();
    QImage image = Widget(form).grab().toImage();
    std::filesystem::path dir = ZEPSETUP_SCREENSHOTS;
    std::filesystem::create_directories(dir);
    std::string file = (dir / (name + ".png")).string();
    EXPECT_TRUE(image.save(QString::fromStdString(file), "PNG")) << file;
    return image;
}

std::string QtUiTest::RunProgram(const std::function<void()>& startUp) {
    try {
        forms::RunProgram(startUp);
    } catch (const forms::BackendFailure& failure) {
        forms::Runtime::Get().Reset();
        return failure.message();
    }
    return {};
}

} // namespace testing_support
