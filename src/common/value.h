// A variant value as the jobs see a field or a setting: empty, Null, boolean,
// 32-bit integer, double, date-time or text. Dates are day serials counted from
// 30.12.1899 with the time of day as fraction, so "date value 0" is that day.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <variant>

namespace kb6 {

// A run-time error with the German description that error traps write to the
// run log. Conversions raise it; database operations never do.
class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }

  static RuntimeError InvalidUseOfNull() { return {94, "Ungültige Verwendung von Null"}; }
  static RuntimeError TypeMismatch() { return {13, "Typen unverträglich"}; }
  static RuntimeError Overflow() { return {6, "Überlauf"}; }

 private:
  int number_;
};

struct DateValue {
  double serial = 0;
  bool operator==(const DateValue&) const = default;
};
struct NullValue {
  bool operator==(const NullValue&) const = default;
};

class Value {
 public:
  enum class Kind { kEmpty, kNull, kBool, kInt, kDouble, kDate, kText };

  Value() = default;
  static Value Null() { return Value(NullValue{}); }
  static Value Date(double serial) { return Value(DateValue{serial}); }
  Value(bool b) : v_(b) {}
  Value(int32_t i) : v_(i) {}
  Value(double d) : v_(d) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(const char* s) : v_(std::string(s)) {}

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool IsEmpty() const { return kind() == Kind::kEmpty; }
  bool IsNull() const { return kind() == Kind::kNull; }
  bool AsBool() const { return std::get<bool>(v_); }
  int32_t AsInt() const { return std::get<int32_t>(v_); }
  double AsDouble() const { return std::get<double>(v_); }
  double AsDateSerial() const { return std::get<DateValue>(v_).serial; }
  const std::string& AsText() const { return std::get<std::string>(v_); }

  bool operator==(const Value&) const = default;

 private:
  explicit Value(NullValue n) : v_(n) {}
  explicit Value(DateValue d) : v_(d) {}
  using Variant =
      std::variant<std::monostate, NullValue, bool, int32_t, double, DateValue, std::string>;
  Variant v_;

  // kind() casts the variant's index: Kind lists the alternatives in their order.
  template <Kind k, typename T>
  static constexpr bool At =
      std::is_same_v<std::variant_alternative_t<static_cast<size_t>(k), Variant>, T>;
  static_assert(At<Kind::kEmpty, std::monostate> && At<Kind::kNull, NullValue> &&
                At<Kind::kBool, bool> && At<Kind::kInt, int32_t> && At<Kind::kDouble, double> &&
                At<Kind::kDate, DateValue> && At<Kind::kText, std::string> &&
                std::variant_size_v<Variant> == static_cast<size_t>(Kind::kText) + 1);
};

}  // namespace kb6
