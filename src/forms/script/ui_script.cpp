#include "forms/script/ui_script.h"

#include "forms/program_end.h"
#include "platform/quoted_input.h"
#include "platform/text_lines.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace forms::script {
namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// A malformed line: what is wrong with it.
struct LineError {
    std::string message;
};

// Errors past this many are counted, not listed.
constexpr size_t kMaxErrorsListed = 20;

// A word of the script in a message: quoted, control bytes escaped, cut when long.
std::string Shown(std::string_view text) {
    return "'" + win::QuotedInput(text) + "'";
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool IsNameChar(char c, bool first) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x80 || c == '_' || std::isalpha(u))
        return true;
    return !first && std::isdigit(u);
}

char Unescape(char c) {
    switch (c) {
    case '"':
        return '"';
    case '\\':
        return '\\';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    default:
        return 0;
    }
}

Token QuotedToken(std::string_view line, size_t& at) {
    Token token{"", true};
    for (++at; at < line.size(); ++at) {
        char c = line[at];
        if (c == '"') {
            ++at;
            return token;
        }
        if (c != '\\') {
            token.text += c;
            continue;
        }
        if (++at == line.size())
            break;
        char escaped = Unescape(line[at]);
        if (!escaped)
            throw LineError{"unknown escape \\" + win::QuotedInput(line.substr(at, 1)) +
                            " in a text"};
        token.text += escaped;
    }
    throw LineError{"a text is not closed with \""};
}

std::vector<Token> Tokenize(std::string_view line) {
    std::vector<Token> tokens;
    size_t at = 0;
    for (;;) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        if (at == line.size() || line[at] == '#')
            return tokens;
        if (line[at] == '"') {
            tokens.push_back(QuotedToken(line, at));
            if (at < line.size() && !IsBlank(line[at]) && line[at] != '#')
                throw LineError{"a text must be followed by a blank"};
            continue;
        }
        size_t start = at;
        while (at < line.size() && !IsBlank(line[at])) {
            if (line[at] == '"')
                throw LineError{"a \" inside a word (put the whole text in quotes)"};
            ++at;
        }
        tokens.push_back({std::string(line.substr(start, at - start)), false});
    }
}

bool IsName(std::string_view text) {
    if (text.empty() || !IsNameChar(text[0], true))
        return false;
    for (char c : text) {
        if (!IsNameChar(c, false))
            return false;
    }
    return true;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

Target ParseTarget(const Token& token) {
    if (token.quoted)
        throw LineError{"a window or control name is written without quotes"};
    std::string_view text = token.text;
    size_t dot = text.find('.');
    if (dot == std::string_view::npos)
        throw LineError{Shown(token.text) + " is no FORM.CONTROL"};
    Target target{std::string(text.substr(0, dot)), std::string(text.substr(dot + 1)), -1};
    size_t open = target.control.find('(');
    if (open != std::string::npos) {
        std::string_view index = std::string_view(target.control).substr(open + 1);
        if (index.size() < 2 || index.back() != ')')
            throw LineError{Shown(token.text) + ": an index is written CONTROL(NUMBER)"};
        index.remove_suffix(1);
        auto [end, ec] = std::from_chars(index.data(), index.data() + index.size(), target.index);
        if (ec != std::errc() || end != index.data() + index.size() || target.index < 0 ||
            target.index > 32767)
            throw LineError{Shown(token.text) + ": the index must be a number from 0 to 32767"};
        target.control.resize(open);
    }
    if (!IsName(target.form) || !IsName(target.control))
        throw LineError{Shown(token.text) + " is no FORM.CONTROL"};
    return target;
}

void Expect(const std::vector<Token>& tokens, size_t at, size_t count, std::string_view usage) {
    if (tokens.size() - at != count)
        throw LineError{"expected: " + std::string(usage)};
}

Step ParseStep(const std::vector<Token>& tokens, size_t at, bool nested);

Step ParseAnswer(const std::vector<Token>& tokens, size_t at) {
    constexpr std::string_view kUsage = "answer ok|yes|no [\"TEXT\"]";
    if (tokens.size() - at < 2 || tokens.size() - at > 3 || tokens[at + 1].quoted)
        throw LineError{"expected: " + std::string(kUsage)};
    Step step;
    step.kind = Step::Kind::Answer;
    std::string word = Lower(tokens[at + 1].text);
    if (word == "ok")
        step.answer = Answer::Ok;
    else if (word == "yes")
        step.answer = Answer::Yes;
    else if (word == "no")
        step.answer = Answer::No;
    else
        throw LineError{"a message box is answered ok, yes or no, not " +
                        Shown(tokens[at + 1].text)};
    if (tokens.size() - at == 3) {
        if (!tokens[at + 2].quoted)
            throw LineError{"the expected message text goes in double quotes"};
        step.expected = tokens[at + 2].text;
    }
    return step;
}

Step ParseWhen(const std::vector<Token>& tokens, size_t at, bool nested) {
    if (nested)
        throw LineError{"a when step cannot wait for another when"};
    if (tokens.size() - at < 4 || !tokens[at + 2].quoted)
        throw LineError{"expected: when FORM.CONTROL \"TEXT\" STEP"};
    Step step;
    step.kind = Step::Kind::When;
    step.target = ParseTarget(tokens[at + 1]);
    step.caption = tokens[at + 2].text;
    Step then = ParseStep(tokens, at + 3, true);
    if (then.kind == Step::Kind::Answer)
        throw LineError{"a message box is answered by a step of its own, not by when"};
    step.then = std::make_shared<const Step>(std::move(then));
    return step;
}

Step ParseStep(const std::vector<Token>& tokens, size_t at, bool nested) {
    if (tokens[at].quoted)
        throw LineError{"a step starts with its name, not with a text"};
    std::string verb = Lower(tokens[at].text);
    Step step;
    if (verb == "click" || verb == "mouseup" || verb == "mousemove") {
        Expect(tokens, at, 2, verb + " FORM.CONTROL");
        step.kind = verb == "click"     ? Step::Kind::Click
                    : verb == "mouseup" ? Step::Kind::MouseUp
                                        : Step::Kind::MouseMove;
        step.target = ParseTarget(tokens[at + 1]);
    } else if (verb == "set") {
        Expect(tokens, at, 3, "set FORM.CONTROL VALUE");
        step.kind = Step::Kind::Set;
        step.target = ParseTarget(tokens[at + 1]);
        step.value = tokens[at + 2].text;
    } else if (verb == "close") {
        Expect(tokens, at, 2, "close FORM");
        if (tokens[at + 1].quoted || !IsName(tokens[at + 1].text))
            throw LineError{Shown(tokens[at + 1].text) + " is no window name"};
        step.kind = Step::Kind::Close;
        step.target.form = tokens[at + 1].text;
    } else if (verb == "answer") {
        step = ParseAnswer(tokens, at);
    } else if (verb == "when") {
        step = ParseWhen(tokens, at, nested);
    } else {
        throw LineError{"unknown step " + Shown(tokens[at].text) +
                        " (click, mouseup, mousemove, set, close, answer, when)"};
    }
    return step;
}

} // namespace

std::string Target::Text() const {
    std::string text = form;
    if (!control.empty())
        text += "." + control;
    if (index >= 0)
        text += "(" + std::to_string(index) + ")";
    return text;
}

namespace {

// A UI script is a short list of steps; anything larger is no script.
constexpr std::uintmax_t kMaxUiScriptBytes = 1 << 20;

std::string TooLarge() {
    return "it is larger than " + std::to_string(kMaxUiScriptBytes / 1024) + " KiB";
}

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
    throw BackendFailure("cannot read the UI script " + path + (why.empty() ? "" : ": " + why));
}

// Adds a block read to text; a file that grew past the limit while it was read is refused.
void Append(std::string& text, const char* data, size_t size, const std::string& path) {
    text.append(data, size);
    if (text.size() > kMaxUiScriptBytes)
        Refuse(path, TooLarge());
}

// The script's text, refused by name before anything is read when it is not a regular file
// (a folder, a FIFO, a device such as /dev/zero) or is larger than the limit.
#ifdef _WIN32
std::string ReadScriptText(const std::string& path) {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::directory)
        Refuse(path, "it is a folder, not a file");
    if (!ec && status.type() != std::filesystem::file_type::regular)
        Refuse(path, "it is not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Refuse(path, "");
    std::string text;
    char buffer[1 << 14];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        Append(text, buffer, static_cast<size_t>(in.gcount()), path);
    if (in.bad())
        Refuse(path, "");
    return text;
}
#else
std::string ReadScriptText(const std::string& path) {
    // Opened without blocking (a FIFO without a writer would wait), then looked at, so what
    // is read is what was checked.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        Refuse(path, std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        Refuse(path, std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        Refuse(path, "it is a folder, not a file");
    if (!S_ISREG(st.st_mode))
        Refuse(path, "it is not a regular file");
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxUiScriptBytes)
        Refuse(path, TooLarge());
    std::string text;
    char buffer[1 << 14];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Refuse(path, std::strerror(errno));
        if (n == 0)
            return text;
        Append(text, buffer, static_cast<size_t>(n), path);
    }
}
#endif

} // namespace

UiScript ReadUiScript(const std::string& path) {
    std::string text = ReadScriptText(path);
    ParsedUiScript parsed = ParseUiScript(text, path);
    if (!parsed.errors.empty()) {
        std::string message = "the UI script has errors:";
        for (const auto& error : parsed.errors)
            message += "\n  " + error;
        throw BackendFailure(message);
    }
    return std::move(parsed.script);
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

ParsedUiScript ParseUiScript(std::string_view text, std::string name) {
    ParsedUiScript parsed;
    parsed.script.name = name;
    int number = 0;
    size_t errorLines = 0;
    while (!text.empty() || number == 0) {
        ++number;
        size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
        try {
            std::vector<Token> tokens = Tokenize(line);
            if (tokens.empty())
                continue;
            Step step = ParseStep(tokens, 0, false);
            step.line = number;
            step.source = std::string(win::TrimBlanks(line));
            if (step.then) {
                auto then = std::make_shared<Step>(*step.then);
                then->line = number;
                then->source = step.source;
                step.then = then;
            }
            parsed.script.steps.push_back(std::move(step));
        } catch (const LineError& error) {
            if (++errorLines <= kMaxErrorsListed)
                parsed.errors.push_back(name + ":" + std::to_string(number) + ": " + error.message);
        }
    }
    if (errorLines > kMaxErrorsListed)
        parsed.errors.push_back(name + ": " + std::to_string(errorLines - kMaxErrorsListed) +
                                " more lines with errors");
    return parsed;
}

} // namespace forms::script
