// A control array: controls of one kind sharing a name, told apart by their index
// ("AnimText(3)"). Built with the designed count; an index outside it is run-time error 9.
#pragma once

#include "forms/run_time_error.h"

#include <memory>
#include <string>
#include <vector>

namespace forms {

class Form;

template <typename T> class ControlArray {
public:
    ControlArray(Form& form, const std::string& name, int count) {
        for (int i = 0; i < count; ++i)
            controls_.push_back(std::make_unique<T>(form, name, i));
    }

    T& operator()(int index) const {
        if (index < 0 || index >= Count())
            Raise(kSubscriptOutOfRange);
        return *controls_[static_cast<size_t>(index)];
    }
    int Count() const { return static_cast<int>(controls_.size()); }

private:
    std::vector<std::unique_ptr<T>> controls_;
};

} // namespace forms
