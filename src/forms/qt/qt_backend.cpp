#include "forms/qt/qt_backend.h"

#include "forms/controls.h"
#include "forms/dir_list_box.h"
#include "forms/drive_list_box.h"
#include "forms/input.h"
#include "forms/picture_box.h"
#include "forms/program_end.h"
#include "forms/qt/accessibility.h"
#include "forms/qt/fonts.h"
#include "forms/qt/form_window.h"
#include "forms/qt/host_screen.h"
#include "forms/qt/list_views.h"
#include "forms/qt/message_box.h"
#include "forms/qt/qt_application.h"
#include "forms/qt/recorder.h"
#include "forms/qt/synthetic_input.h"
#include "forms/qt/views.h"
#include "forms/runtime.h"
#include "platform/codepage.h"
#include "platform/kernel32.h"
#include "platform/program_windows.h"

#include <QAccessible>
#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <cctype>

namespace forms::qt {
namespace {

using script::Step;
using Delivery = script::UiScriptPlayer::Delivery;

// Folder paths compared as Windows compares them.
std::string Folded(std::string_view path) {
    std::string upper = win::AnsiUpper(win::ToAnsi(path));
    while (upper.size() > 3 && upper.back() == '\\')
        upper.pop_back();
    return upper;
}

bool IsAncestorOrSame(const std::string& folder, const std::string& of) {
    if (folder == of)
        return true;
    std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
    return of.starts_with(prefix);
}

} // namespace

QtBackend::QtBackend(Options options) : transcript_(std::move(options.transcript)) {
    EnsureApplication();
    InstallAccessibility();
    // The program sees the screen its windows open on, for this run only.
    QScreen* screen = DisplayScreen();
    if (screen) {
        win::ShowWindowsOn(
            HostScreenOf(screen->geometry(), screen->availableGeometry(), screen->depth()));
        showsOnDisplay_ = true;
    }
    scale_ = Scale::OfScreen(screen);
    QApplication::setFont(DialogFont(scale_));
    if (!transcript_)
        transcript_ = std::make_shared<script::Transcript>();
    if (options.script)
        player_ = std::make_unique<script::UiScriptPlayer>(
            std::move(*options.script),
            [this](const Step& step, Control& control) { return PerformStep(step, control); });
    if (!options.recordTo.empty())
        recorder_ = std::make_unique<Recorder>(options.recordTo);
    rectanglesSeen_ = win::DrawnRectangles().size();
}

QtBackend::~QtBackend() {
    for (auto& [form, window] : forms_)
        delete window;
    if (showsOnDisplay_)
        win::ForgetHostScreen();
}

void QtBackend::ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QWidget* QtBackend::WidgetOf(const Control& control) const {
    auto it = views_.find(&control);
    return it == views_.end() ? nullptr : &it->second->widget();
}

// ---- Mirroring the model.

void QtBackend::FormLoaded(Form& form) {
    windows_.Loaded(form);
    CreateViews(form);
}

void QtBackend::CreateViews(Form& form) {
    auto* window = new FormWindow(form, input_, scale_);
    forms_[&form] = window;
    views_[&form] = window;
    std::vector<View*> made;
    for (Control* control : form.Controls()) {
        if (View* view = MakeView(*control, input_, scale_, window)) {
            views_[control] = view;
            made.push_back(view);
        }
    }
    for (View* view : made) {
        Control* container = view->control().Container();
        if (auto it = views_.find(container); container && it != views_.end())
            view->widget().setParent(&it->second->widget());
    }
    // The Tab key visits the controls in the order the window made them.
    QWidget* previous = nullptr;
    for (View* view : made) {
        if (!view->TabStop())
            continue;
        if (previous)
            QWidget::setTabOrder(previous, &view->widget());
        previous = &view->widget();
    }
    window->MirrorAll();
    for (View* view : made)
        view->MirrorAll();
    NameForAccessibility(form);
}

// Names derive from other controls' captions (a text box is named by the label before
// it), so a window's names are all brought up to date on each change of a caption.
void QtBackend::NameForAccessibility(const Form& form) {
    for (const Control* control : form.Controls()) {
        QWidget* widget = WidgetOf(*control);
        if (!widget)
            continue;
        QString name = QString::fromStdString(AccessibleName(*control));
        QString description = QString::fromStdString(AccessibleDescription(*control));
        if (widget->accessibleName() != name)
            widget->setAccessibleName(name);
        if (widget->accessibleDescription() != description)
            widget->setAccessibleDescription(description);
    }
}

void QtBackend::DestroyViews(Form& form) {
    auto it = forms_.find(&form);
    if (it == forms_.end())
        return;
    std::erase_if(views_, [&](const auto& entry) { return &entry.first->Parent() == &form; });
    delete it->second;
    forms_.erase(it);
}

void QtBackend::FormShown(Form& form, bool modal) {
    transcript_->Shown(form, modal);
    windows_.SetVisible(form, true);
    auto it = forms_.find(&form);
    if (it == forms_.end())
        return;
    // Rectangles the window's load drew onto the screen (ExplodeForm) open the window.
    const auto& drawn = win::DrawnRectangles();
    rectanglesSeen_ = std::min(rectanglesSeen_, drawn.size());
    std::vector<QRect> explosion;
    COLORREF fill = 0;
    QPoint origin(scale_.X(form.Left()), scale_.Y(form.Top()));
    for (size_t i = rectanglesSeen_; i < drawn.size(); ++i) {
        if (drawn[i].window)
            continue;
        const RECT& r = drawn[i].rect;
        explosion.push_back(
            QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)).translated(-origin));
        fill = drawn[i].fill;
    }
    rectanglesSeen_ = drawn.size();
    it->second->ShowWindow(modal, explosion, Colour(fill));
}

void QtBackend::FormHidden(Form& form) {
    windows_.SetVisible(form, false);
    if (auto it = forms_.find(&form); it != forms_.end())
        it->second->HideWindow();
}

void QtBackend::FormUnloaded(Form& form) {
    transcript_->Unloaded(form);
    input_.Forget(form);
    DestroyViews(form);
    windows_.Forget(form);
}

void QtBackend::FormDropped(Form& form) {
    input_.Forget(form);
    DestroyViews(form);
    windows_.Forget(form);
}

void QtBackend::ControlChanged(Control& control, Property what) {
    if (control.Kind() == ControlKind::Form)
        windows_.Changed(control.Parent());
    if (what == Property::Caption) {
        transcript_->Captioned(control);
        if (player_)
            player_->Captioned(control);
        if (recorder_)
            recorder_->Captioned(control);
    }
    if (auto it = views_.find(&control); it != views_.end())
        it->second->Mirror(what);
    if (what == Property::Caption)
        NameForAccessibility(control.Parent());
}

void QtBackend::Drawn(PictureBox& box, const Drawing& drawing) {
    transcript_->Drawn(box, drawing);
    QWidget* widget = WidgetOf(box);
    if (!widget)
        return;
    widget->update();
    if (drawing.kind != Drawing::Kind::Text)
        return;
    if (auto percent = ShownPercentage(box)) {
        QAccessibleValueChangeEvent changed(widget, *percent); // a screen reader's news
        QAccessible::updateAccessibility(&changed);
    }
}

HDC QtBackend::DeviceContextFor(PictureBox& box) {
    return windows_.ContextFor(box);
}

// ---- Message boxes.

QWidget* QtBackend::Owner() const {
    Form* owner = Runtime::Get().ActiveModal();
    const auto& loaded = Runtime::Get().LoadedForms();
    for (auto it = loaded.rbegin(); !owner && it != loaded.rend(); ++it) {
        if ((*it)->Visible())
            owner = *it;
    }
    auto it = forms_.find(owner);
    return it == forms_.end() ? nullptr : it->second;
}

int QtBackend::MessageBox(std::string_view text, int style, std::string_view title) {
    std::optional<int> scripted;
    if (player_)
        scripted = player_->TakeAnswer(text, style);
    int code = ShowMessageBox(Owner(), text, style, title, scripted);
    if (scripted && code != *scripted)
        throw BackendFailure("the message box \"" + std::string(text) +
                             "\" did not take the scripted answer");
    transcript_->MessageBox(style, text, code);
    if (recorder_)
        recorder_->Answer(code, text);
    return code;
}

// ---- Input.

void QtBackend::Deliver(const UserAction& action) {
    Control& control = *action.control;
    switch (action.kind) {
    case UserAction::Kind::Click:
        UserClick(control);
        return;
    case UserAction::Kind::MouseUp:
        UserMouseUp(control);
        return;
    case UserAction::Kind::MouseMove:
        UserMouseMove(control);
        return;
    case UserAction::Kind::Set:
        if (!UserSet(control, action.value).empty()) {
            if (auto it = views_.find(&control); it != views_.end())
                it->second->MirrorAll(); // refused: the widget shows the model again
        }
        return;
    case UserAction::Kind::Close:
        UserClose(static_cast<Form&>(control));
        return;
    }
}

bool QtBackend::DeliverActions() {
    bool delivered = false;
    while (std::optional<UserAction> action = input_.Pop()) {
        if (!WhyNoInput(*action->control).empty()) {
            if (auto it = views_.find(action->control); it != views_.end())
                it->second->MirrorAll();
            continue; // as a real disabled or blocked control, it takes nothing
        }
        if (recorder_)
            recorder_->Action(*action, Runtime::Get().InsideDoEvents());
        Deliver(*action);
        delivered = true;
    }
    return delivered;
}

void QtBackend::SyncTopmost() {
    for (auto& [form, window] : forms_) {
        bool topmost = win::IsProgramWindowTopmost(form->hWnd());
        if (topmost != window->Topmost())
            window->SetTopmost(topmost);
    }
}

bool QtBackend::DeliverWaitingInput() {
    ProcessEvents();
    SyncTopmost();
    bool delivered = DeliverActions();
    if (player_ && player_->DeliverQueued())
        delivered = true;
    return delivered;
}

bool QtBackend::AnyWindowShown() const {
    for (Form* form : Runtime::Get().LoadedForms()) {
        if (form->Visible())
            return true;
    }
    return false;
}

// Lets Qt wait for the user; true when the time ran out before any input came.
bool QtBackend::WaitForEvents(std::optional<DWORD> milliseconds) {
    bool timedOut = false;
    QTimer wake;
    if (milliseconds) {
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        QObject::connect(&wake, &QTimer::timeout, [&timedOut] { timedOut = true; });
        wake.start(static_cast<int>(std::min<DWORD>(*milliseconds, 1u << 30)));
    }
    while (!timedOut && input_.Empty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return timedOut;
}

void QtBackend::WaitForInput() {
    if (player_) {
        ProcessEvents();
        if (DeliverActions())
            return;
        player_->WaitForInput();
        return;
    }
    Runtime& runtime = Runtime::Get();
    for (;;) {
        if (DeliverActions())
            return;
        std::optional<DWORD> next = runtime.NextTimerIn();
        if (next && *next == 0) {
            runtime.RunDueTimers();
            return;
        }
        if (!next && !AnyWindowShown())
            throw BackendFailure("the program waits for input, but shows no window and runs "
                                 "no timer");
        bool timedOut = WaitForEvents(next);
        if (DeliverActions())
            return;
        if (timedOut) {
            // On the machine's virtual clock the tick is only due once slept for.
            runtime.RunNextTimer();
            return;
        }
    }
}

void QtBackend::ProgramEnded() {
    transcript_->Ended();
    ProcessEvents();
    if (recorder_)
        recorder_->Finish();
    if (player_)
        player_->Ended();
}

// ---- Script steps as input events.

Delivery QtBackend::PerformStep(const Step& step, Control& control) {
    QWidget* widget = WidgetOf(control);
    if (!widget)
        return {false, control.PathName() + " has no window"};
    ProcessEvents(); // the window is on the screen before the user acts on it
    if (step.kind == Step::Kind::Set)
        return SetByInput(step, control, *widget);
    std::size_t before = input_.Pushed();
    switch (step.kind) {
    case Step::Kind::Click:
        ClickWidget(*widget);
        break;
    case Step::Kind::MouseUp:
        ReleaseOn(*widget);
        break;
    case Step::Kind::MouseMove:
        MoveOver(*widget);
        break;
    case Step::Kind::Close:
        CloseWindow(*widget);
        break;
    default:
        return {};
    }
    bool taken = input_.Pushed() != before;
    DeliverActions();
    return {taken, {}};
}

Delivery QtBackend::SetByInput(const Step& step, Control& control, QWidget& widget) {
    const std::string& value = step.value;
    if (std::string why = WhyValueRefused(control, value); !why.empty())
        return {false, why};
    std::size_t before = input_.Pushed();
    switch (control.Kind()) {
    case ControlKind::TextBox:
        if (static_cast<TextBox&>(control).Text() == value)
            return {};
        TypeText(widget, QString::fromStdString(value));
        break;
    case ControlKind::CheckBox: {
        int wanted = value == "1" ? vbChecked : vbUnchecked;
        if (static_cast<CheckBox&>(control).Value() == wanted)
            return {};
        ClickWidget(widget);
        break;
    }
    case ControlKind::DriveListBox: {
        auto& list = static_cast<DriveListBox&>(control);
        auto& view = static_cast<DriveListView&>(widget);
        char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(value[0])));
        if (view.EntryOf(std::string(1, letter) + ":") < 0)
            return {}; // not on the screen's list: no input
        if (list.Drive() == std::string(1, letter) + ":")
            return {};
        view.view()->keyboardSearch(QString()); // type-ahead starts afresh
        PressKey(widget, Qt::Key_A + (letter - 'a'), Qt::NoModifier, QString(QChar(letter)));
        break;
    }
    case ControlKind::DirListBox:
        return OpenFolder(control, widget, value);
    default:
        return {}; // refused above
    }
    bool taken = input_.Pushed() != before;
    DeliverActions();
    return {taken, {}};
}

// Opens path as a user does: double clicks down the folder list (up to a parent it shows,
// then into the folders on the way).
Delivery QtBackend::OpenFolder(Control& control, QWidget& widget, const std::string& path) {
    auto& list = static_cast<DirListBox&>(control);
    auto& view = static_cast<DirListView&>(widget);
    std::string target = Folded(path);
    bool taken = false;
    for (int hops = 0; hops < 256; ++hops) {
        std::string now = Folded(list.Path());
        if (now == target)
            return {taken, {}};
        QListWidgetItem* best = nullptr;
        std::size_t bestLength = 0;
        for (int row = 0; row < view.count(); ++row) {
            std::string entry = Folded(DirListView::PathOf(*view.item(row)));
            if (entry != now && IsAncestorOrSame(entry, target) && entry.size() >= bestLength) {
                best = view.item(row);
                bestLength = entry.size();
            }
        }
        if (!best)
            return {taken, "the folder list shows no way to " + path};
        view.scrollToItem(best);
        std::size_t before = input_.Pushed();
        DoubleClickAt(*view.viewport(), view.visualItemRect(best).center());
        if (input_.Pushed() == before)
            return {}; // this double click was lost: no input
        taken = true;
        DeliverActions();
    }
    return {taken, "the folder list does not reach " + path};
}

} // namespace forms::qt
