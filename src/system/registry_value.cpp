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

std::string FloatText(double number) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", number);
    return text;
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
                          [](float f) { return FloatText(f); },
                          [](double d) { return FloatText(d); },
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
                          [](const std::string& s) {
                              std::int32_t n = 0;
                              auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
                              if (ec == std::errc::result_out_of_range)
                                  forms::Raise(forms::kOverflow);
                              if (ec != std::errc() || end != s.data() + s.size())
                                  forms::Raise(forms::kTypeMismatch);
                              return n;
                          },
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
