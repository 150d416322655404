// Records the user's actions as a UI script (forms/script/ui_script.h) that the headless
// interface replays to the same result: a response file made by hand, played silently
// later. Input taken while the program waits becomes a plain step; input that arrived
// inside DoEvents, while a handler was busy (the copy window's close box during the copy),
// becomes `when CONTROL "CAPTION" STEP` on the last caption shown before it, so that the
// replay delivers it at the same point of the work. Successive edits of a text box without
// a Change handler are kept as the last one; repeated mouse moves as one.
#pragma once

#include "forms/qt/input_queue.h"

#include <string>
#include <string_view>
#include <vector>

namespace forms::qt {

class Recorder {
public:
    // Creates (or empties) the file at once, so that a path that cannot be written fails
    // before the run; throws BackendFailure.
    explicit Recorder(std::string path);

    // A caption changed (the anchor for input arriving inside DoEvents).
    void Captioned(const Control& control);
    // An action about to be delivered; busy: inside DoEvents.
    void Action(const UserAction& action, bool busy);
    void Answer(int code, std::string_view text);
    // Writes the script; throws BackendFailure when it cannot be written whole.
    void Finish();

    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::string Step(const UserAction& action) const;
    void Add(std::string line);

    std::string path_;
    std::vector<std::string> lines_;
    // The last line's verb and target when a next step of the same may replace it.
    std::string collapsible_;
    std::string anchor_;         // `when` and its control and caption, empty when none
    bool anchorIsFresh_ = false; // the caption changed after the last recorded line
    bool finished_ = false;
};

} // namespace forms::qt
