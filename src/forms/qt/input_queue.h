// What the user did in the windows, waiting to reach the model. Widgets only queue: the
// model's handlers run when the program processes events (DoEvents, or where it waits),
// never inside Qt's own event dispatch, so that End and errors unwind through the
// program's code alone.
#pragma once

#include "forms/control.h"
#include "forms/form.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace forms::qt {

struct UserAction {
    enum class Kind { Click, MouseUp, MouseMove, Set, Close };
    Kind kind = Kind::Click;
    Control* control = nullptr; // a form for Close
    std::string value;          // Set: text, "0"/"1", "a:", a folder's path
};

class InputQueue {
public:
    // Queues action; a mouse move right behind the same one is not queued twice.
    void Push(UserAction action);
    std::optional<UserAction> Pop();
    bool Empty() const { return actions_.empty(); }
    // How many actions were ever queued (to see whether an input event was taken).
    std::size_t Pushed() const { return pushed_; }
    // The window goes away: what was queued for it is dropped.
    void Forget(const Form& form);

private:
    std::deque<UserAction> actions_;
    std::size_t pushed_ = 0;
};

} // namespace forms::qt
