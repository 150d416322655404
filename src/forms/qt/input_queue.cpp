#include "forms/qt/input_queue.h"

#include <algorithm>

namespace forms::qt {

void InputQueue::Push(UserAction action) {
    ++pushed_;
    bool repeatedMove = action.kind == UserAction::Kind::MouseMove && !actions_.empty() &&
                        actions_.back().kind == action.kind &&
                        actions_.back().control == action.control;
    if (!repeatedMove)
        actions_.push_back(std::move(action));
}

std::optional<UserAction> InputQueue::Pop() {
    if (actions_.empty())
        return std::nullopt;
    UserAction action = std::move(actions_.front());
    actions_.pop_front();
    return action;
}

void InputQueue::Forget(const Form& form) {
    std::erase_if(actions_, [&](const UserAction& a) { return &a.control->Parent() == &form; });
}

} // namespace forms::qt
