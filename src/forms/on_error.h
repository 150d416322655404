// Error handling of a procedure ("On Error"). A procedure runs its statements through an
// OnError: a statement that raises a run-time error is abandoned and the procedure's
// handler decides whether the next statement runs or the procedure is left. Without a
// handler the error passes on to the caller, whose statement then fails in turn. End and
// a failing user interface are no run-time errors and always pass.
//
//     forms::OnError run(forms::ResumeNext);
//     run([&] { FirstStatement(); });
//     if (!run([&] { SecondStatement(); }))
//         return;
#pragma once

#include "forms/run_time_error.h"

#include <cstdint>
#include <functional>
#include <utility>

namespace forms {

enum class Resume { Next, ExitProcedure };
using ErrorHandler = std::function<Resume(const RunTimeError&)>;

// Makes error the one being handled (Err) while a handler runs.
class HandlingError {
public:
    explicit HandlingError(const RunTimeError& error);
    ~HandlingError();
    HandlingError(const HandlingError&) = delete;
    HandlingError& operator=(const HandlingError&) = delete;
};

// The number of the error being handled, 0 outside a handler.
std::int32_t Err();

class OnError {
public:
    explicit OnError(ErrorHandler handler = {}) : handler_(std::move(handler)) {}

    // Runs one statement; false once the procedure has been left.
    template <typename Statement> bool operator()(Statement&& statement) {
        if (left_)
            return false;
        if (!handler_) {
            std::forward<Statement>(statement)();
            return true;
        }
        try {
            std::forward<Statement>(statement)();
        } catch (const RunTimeError& error) {
            HandlingError handling(error);
            left_ = handler_(error) == Resume::ExitProcedure;
        }
        return !left_;
    }

    bool Left() const { return left_; }

private:
    ErrorHandler handler_;
    bool left_ = false;
};

// The handler of procedures that pass over every failure without a word.
inline Resume ResumeNext(const RunTimeError&) {
    return Resume::Next;
}

} // namespace forms
