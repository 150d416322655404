// UI scripts: the input of a headless run, one step per line.
//
//   click FORM.CONTROL          mouseup FORM.CONTROL          mousemove FORM.CONTROL
//   set FORM.CONTROL VALUE      (text box text, check box 0/1, drive "a:", folder path)
//   close FORM                  (the user closes the window with its close box)
//   answer ok|yes|no ["TEXT"]   (the next message box; its text must be TEXT if given)
//   when FORM.CONTROL "TEXT" STEP
//                               (STEP becomes user input the moment the control's caption
//                                becomes TEXT, and arrives where events are processed)
//
// A control of an array is FORM.CONTROL(INDEX). Texts are in double quotes with \" \\ \n
// \r \t; a VALUE without blanks may go without quotes. '#' outside quotes starts a
// comment. Keywords are case-insensitive, names are not.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forms::script {

struct Target {
    std::string form;
    std::string control; // empty for a window itself
    int index = -1;
    std::string Text() const; // "FORM.CONTROL(INDEX)"
};

enum class Answer { Ok, Yes, No };

struct Step {
    enum class Kind { Click, MouseUp, MouseMove, Set, Close, Answer, When };
    Kind kind = Kind::Click;
    int line = 0;
    std::string source; // the step as written, for messages
    Target target;
    std::string value;                   // set
    Answer answer = Answer::Ok;          // answer
    std::optional<std::string> expected; // answer
    std::string caption;                 // when
    std::shared_ptr<const Step> then;    // when
};

struct UiScript {
    std::string name; // file name, for messages
    std::vector<Step> steps;
};

struct ParsedUiScript {
    UiScript script;
    // "NAME:LINE: what is wrong" for the first 20 malformed lines (words of the line quoted
    // with control bytes escaped, cut when long), then "NAME: N more lines with errors".
    std::vector<std::string> errors;
};

ParsedUiScript ParseUiScript(std::string_view text, std::string name);
// The script in the file at path, whole; throws BackendFailure naming the file (and each
// malformed line) when it cannot be read or has errors.
UiScript ReadUiScript(const std::string& path);

// text in double quotes with the script's escapes.
std::string Quote(std::string_view text);

} // namespace forms::script
