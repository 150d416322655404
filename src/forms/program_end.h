// The two ways a run stops other than its last window closing. Neither derives from
// std::exception, so no handler written for ordinary errors can swallow them.
#pragma once

#include <string>
#include <utility>

namespace forms {

// Thrown by End: unwinds every handler and event loop up to RunProgram, where the
// program stops without running any further handler.
struct EndProgram {};

// The user interface cannot go on (a UI script that does not fit the run, no backend to
// show windows with): the run stops and the message says why.
class BackendFailure {
public:
    explicit BackendFailure(std::string message) : message_(std::move(message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

} // namespace forms
