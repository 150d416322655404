#include "forms/qt/recorder.h"

#include "forms/controls.h"
#include "forms/msgbox.h"
#include "forms/program_end.h"
#include "forms/script/ui_script.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace forms::qt {
namespace {

using script::Quote;

std::string Verb(UserAction::Kind kind) {
    switch (kind) {
    case UserAction::Kind::Click:
        return "click";
    case UserAction::Kind::MouseUp:
        return "mouseup";
    case UserAction::Kind::MouseMove:
        return "mousemove";
    case UserAction::Kind::Set:
        return "set";
    case UserAction::Kind::Close:
        return "close";
    }
    return "click";
}

std::string AnswerWord(int code) {
    return code == vbYes ? "yes" : code == vbNo ? "no" : "ok";
}

// Successive steps on this control can be kept as the last one.
bool Collapsible(const UserAction& action) {
    if (action.kind == UserAction::Kind::MouseMove)
        return true;
    return action.kind == UserAction::Kind::Set && action.control->Kind() == ControlKind::TextBox &&
           !action.control->OnChange;
}

std::FILE* Create(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        throw BackendFailure("cannot create the recording " + path + ": " + std::strerror(errno));
    return file;
}

} // namespace

Recorder::Recorder(std::string path) : path_(std::move(path)) {
    std::fclose(Create(path_));
}

void Recorder::Captioned(const Control& control) {
    anchor_ = "when " + control.PathName() + " " + Quote(control.Caption()) + " ";
    anchorIsFresh_ = true;
}

std::string Recorder::Step(const UserAction& action) const {
    std::string target = action.kind == UserAction::Kind::Close ? action.control->Parent().Name()
                                                                : action.control->PathName();
    std::string step = Verb(action.kind) + " " + target;
    if (action.kind == UserAction::Kind::Set)
        step += " " + Quote(action.value);
    return step;
}

void Recorder::Add(std::string line) {
    lines_.push_back(std::move(line));
    collapsible_.clear();
    anchorIsFresh_ = false;
}

void Recorder::Action(const UserAction& action, bool busy) {
    bool anchored = busy && anchorIsFresh_;
    std::string line = (anchored ? anchor_ : std::string()) + Step(action);
    std::string key = Verb(action.kind) + " " + action.control->PathName();
    bool collapsible = Collapsible(action) && !anchored;
    if (collapsible && collapsible_ == key) {
        lines_.back() = std::move(line);
        return;
    }
    Add(std::move(line));
    if (collapsible)
        collapsible_ = key;
}

void Recorder::Answer(int code, std::string_view text) {
    Add("answer " + AnswerWord(code) + " " + Quote(text));
}

void Recorder::Finish() {
    if (finished_)
        return;
    finished_ = true;
    std::FILE* file = Create(path_);
    std::string text = "# Recorded by zepsetup; replay with ZEPSETUP_UI=headless "
                       "ZEPSETUP_UI_SCRIPT=FILE.\n";
    for (const auto& line : lines_)
        text += line + "\n";
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    bool closed = std::fclose(file) == 0;
    if (!written || !closed)
        throw BackendFailure("cannot write the recording " + path_ + ": " + std::strerror(errno));
}

} // namespace forms::qt
