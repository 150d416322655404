#include "forms/script/transcript.h"

#include "forms/form.h"
#include "forms/msgbox.h"
#include "forms/picture_box.h"
#include "forms/program_end.h"
#include "forms/script/ui_script.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>

namespace forms::script {
namespace {

std::string AnswerName(int code) {
    switch (code) {
    case vbYes:
        return "6";
    case vbNo:
        return "7";
    default:
        return "1";
    }
}

} // namespace

std::unique_ptr<Transcript> Transcript::Open(const std::string& path) {
    auto transcript = std::make_unique<Transcript>();
    if (path.empty()) {
        transcript->file_ = stderr;
        return transcript;
    }
    transcript->file_ = std::fopen(path.c_str(), "w");
    if (!transcript->file_)
        throw BackendFailure("cannot create the transcript " + path + ": " + std::strerror(errno));
    transcript->ownsFile_ = true;
    return transcript;
}

Transcript::~Transcript() {
    if (ownsFile_)
        std::fclose(file_);
}

void Transcript::Write(const std::string& line) {
    lines_.push_back(line);
    if (!file_)
        return;
    std::fputs(line.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

void Transcript::Shown(const Form& form, bool modal) {
    Write("show " + form.Name() + (modal ? " modal" : ""));
}

void Transcript::Unloaded(const Form& form) {
    Write("unload " + form.Name());
}

void Transcript::Captioned(const Control& control) {
    Write("caption " + control.PathName() + " " + Quote(control.Caption()));
}

void Transcript::Drawn(const PictureBox& box, const Drawing& drawing) {
    if (drawing.kind != Drawing::Kind::Text)
        return;
    if (auto percent = PercentageDigits(drawing.text))
        Write("progress " + box.Parent().Name() + " " + *percent);
}

void Transcript::MessageBox(int style, std::string_view text, int answer) {
    Write("msgbox " + std::to_string(style) + " " + Quote(text) + " -> " + AnswerName(answer));
}

void Transcript::Ended() {
    Write("end");
}

} // namespace forms::script
