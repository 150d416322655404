#include "forms/msgbox.h"

#include "forms/app_object.h"
#include "forms/runtime.h"

namespace forms {

int MsgBox(std::string_view prompt, int style) {
    Runtime::BeforeWaiting();
    return Runtime::Get().backend().MessageBox(prompt, style, App::Title());
}

} // namespace forms
