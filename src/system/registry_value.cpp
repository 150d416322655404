// WinRegistry: the tagged value and its conversions.
#include "system/WinRegistry.h"

#include "forms/run_time_error.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace WinRegistry {
namespace {

template <typename... F> struct Overload : F... { using F::operator()...; };
template <typename... F> Overload(F...) -> Overload<F...>;

// Rounds half to even, as the conversion to a 32-bit integer does; run-time error 6
// outside the range.
std::int32_t RoundToLong(double number) {
    if (!(number > -2147483648.5 && number < 2147483647.5))
        forms::Raise(forms::kOverflow);
    double rounded = std::nearbyint(number); // the default mode rounds halves to even
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        forms::Raise(forms::kOverflow);
    return static_cast<std::int32_t>(rounded);
}

// As the classic runtime prints numbers: 7 significant digits for a Single and 15 for a
// Double, exponents as 1E+20 and 1E-05.
std::string FloatText(double number, int digits) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*G", digits, number);
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Whole-number text as the classic runtime takes it: blanks around it and a sign allowed.
std::int32_t TextToLong(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    std::int32_t n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec == std::errc::result_out_of_range)
        forms::Raise(forms::kOverflow);
    if (ec != std::errc() || end != text.data() + text.size())
        forms::Raise(forms::kTypeMismatch);
    return n;
}

} // namespace

Value::Value(std::string text) : data_(std::move(text)) {}
Value::Value(const char* text) : data_(std::string(text ? text : "")) {}
Value::Value(std::vector<std::string> list) : data_(std::move(list)) {}
Value::Value(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}
Value Value::Long(std::int32_t number) {
    return Value(Data(number));
}
Value Value::Integer(std::int16_t number) {
    return Value(Data(number));
}
Value Value::Single(float number) {
    return Value(Data(number));
}
Value Value::Double(double number) {
    return Value(Data(number));
}
Value Value::Boolean(bool flag) {
    return Value(Data(flag));
}
Value Value::Byte(std::uint8_t number) {
    return Value(Data(number));
}
Value Value::Longs(std::vector<std::int32_t> numbers) {
    return Value(Data(std::move(numbers)));
}
Value Value::Integers(std::vector<std::int16_t> numbers) {
    return Value(Data(std::move(numbers)));
}

std::string_view Value::TypeName() const {
    static constexpr std::string_view kNames[] = {
        "Empty",  "String", "String()", "Byte()", "Long",   "Integer",
        "Single", "Double", "Boolean",  "Byte",   "Long()", "Integer()",
    };
    static_assert(std::size(kNames) == std::variant_size_v<Data>);
    return kNames[data_.index()];
}

bool Value::IsEmpty() const {
    return std::holds_alternative<std::monostate>(data_);
}

std::string Value::ToString() const {
    return std::visit(Overload{
                          [](std::monostate) { return std::string(); },
                          [](const std::string& s) { return s; },
                          [](bool b) { return std::string(b ? "True" : "False"); },
                          [](float f) { return FloatText(f, 7); },
                          [](double d) { return FloatText(d, 15); },
                          [](std::int32_t n) { return std::to_string(n); },
                          [](std::int16_t n) { return std::to_string(n); },
                          [](std::uint8_t n) { return std::to_string(n); },
                          [](const auto&) -> std::string { forms::Raise(forms::kTypeMismatch); },
                      },
                      data_);
}

std::int32_t Value::ToLong() const {
    return std::visit(Overload{
                          [](std::monostate) { return std::int32_t{0}; },
                          [](std::int32_t n) { return n; },
                          [](std::int16_t n) { return std::int32_t{n}; },
                          [](std::uint8_t n) { return std::int32_t{n}; },
                          [](bool b) { return b ? std::int32_t{-1} : std::int32_t{0}; },
                          [](float f) { return RoundToLong(f); },
                          [](double d) { return RoundToLong(d); },
                          [](const std::string& s) { return TextToLong(s); },
                          [](const auto&) -> std::int32_t { forms::Raise(forms::kTypeMismatch); },
                      },
                      data_);
}

const std::vector<std::string>& Value::List() const {
    if (auto* list = std::get_if<std::vector<std::string>>(&data_))
        return *list;
    forms::Raise(forms::kTypeMismatch);
}

const std::vector<std::uint8_t>& Value::Bytes() const {
    if (auto* bytes = std::get_if<std::vector<std::uint8_t>>(&data_))
        return *bytes;
    forms::Raise(forms::kTypeMismatch);
}

} // namespace WinRegistry
