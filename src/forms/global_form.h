// The program-wide reference to a window type: Global<T> holds at most one loaded T.
// `Name->...` loads the window on first use (running Form_Load) and returns it; after
// the window is unloaded the next use creates a fresh one with its designed values.
#pragma once

#include "forms/form.h"

#include <memory>

namespace forms {

class FormSlot {
public:
    FormSlot() = default;
    FormSlot(const FormSlot&) = delete;
    FormSlot& operator=(const FormSlot&) = delete;
    virtual ~FormSlot() = default;

    // The loaded window, or null.
    Form* Current() const { return form_.get(); }
    bool Loaded() const { return form_ != nullptr; }

protected:
    // The loaded window, loading a fresh one when there is none.
    Form& Ensure();
    virtual std::unique_ptr<Form> Make() const = 0;

private:
    friend class Runtime;
    std::unique_ptr<Form> form_;
};

template <typename T> class Global : public FormSlot {
public:
    T* operator->() { return &static_cast<T&>(Ensure()); }
    T& operator*() { return static_cast<T&>(Ensure()); }

protected:
    std::unique_ptr<Form> Make() const override { return std::make_unique<T>(); }
};

} // namespace forms
