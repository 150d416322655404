// The transcript of a run: one line per event the user would have seen
// (show FORM [modal], unload FORM, caption FORM.CONTROL "TEXT", progress FORM PERCENT,
// msgbox STYLE "TEXT" -> ANSWER, end). Written to a file, to stderr, or kept in memory.
// Every user interface writes the same lines for the same run.
#pragma once

#include "platform/win_types.h" // windows.h renames MessageBox: seen alike everywhere

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace forms {
class Control;
class Form;
class PictureBox;
struct Drawing;
} // namespace forms

namespace forms::script {

class Transcript {
public:
    // Lines kept in memory only.
    Transcript() = default;
    // Lines written to path (created anew), or to stderr when path is empty. Throws
    // BackendFailure when the file cannot be created.
    static std::unique_ptr<Transcript> Open(const std::string& path);
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    void Write(const std::string& line);
    const std::vector<std::string>& Lines() const { return lines_; }

    // ---- The events, in the transcript's words.
    void Shown(const Form& form, bool modal);
    void Unloaded(const Form& form);
    void Captioned(const Control& control);
    // A percentage ("42%") printed into a picture box; other drawing is not written.
    void Drawn(const PictureBox& box, const Drawing& drawing);
    void MessageBox(int style, std::string_view text, int answer);
    void Ended();

private:
    std::FILE* file_ = nullptr;
    bool ownsFile_ = false;
    std::vector<std::string> lines_;
};

} // namespace forms::script
