// A small JSON value for the tool's --json output: objects keep their insertion order, numbers
// print in the shortest text that reads back to the same double, non-finite numbers as null.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace qmxtool {

class Json {
 public:
  enum Kind { kNull, kBool, kInt, kNumber, kString, kArray, kObject };

  Json() = default;
  Json(std::nullptr_t) {}
  Json(bool b) : kind_(kBool), b_(b) {}
  Json(int v) : kind_(kInt), i_(v) {}
  Json(long v) : kind_(kInt), i_(v) {}
  Json(long long v) : kind_(kInt), i_(v) {}
  Json(unsigned v) : kind_(kInt), i_(v) {}
  Json(unsigned long v) : kind_(kInt), i_(static_cast<int64_t>(v)) {}
  Json(unsigned long long v) : kind_(kInt), i_(static_cast<int64_t>(v)) {}
  Json(double v) : kind_(kNumber), d_(v) {}
  Json(long double v) : kind_(kNumber), d_(static_cast<double>(v)) {}
  Json(const char* s) : kind_(kString), s_(s) {}
  Json(std::string s) : kind_(kString), s_(std::move(s)) {}

  static Json Array() { Json j; j.kind_ = kArray; return j; }
  static Json Object() { Json j; j.kind_ = kObject; return j; }
  template <class T>
  static Json ArrayOf(const std::vector<T>& v) {
    Json j = Array();
    for (const auto& x : v) j.Push(Json(x));
    return j;
  }

  Kind kind() const { return kind_; }
  // Appends to an array (a null value becomes an array).
  Json& Push(Json v);
  // Sets a member of an object (a null value becomes an object); replaces an existing key.
  Json& Set(const std::string& key, Json v);
  // Member of an object (added as null when missing).
  Json& operator[](const std::string& key);

  std::string Dump(int indent = 2) const;

 private:
  void DumpTo(std::string& out, int indent, int depth) const;

  Kind kind_ = kNull;
  bool b_ = false;
  int64_t i_ = 0;
  double d_ = 0;
  std::string s_;
  std::vector<Json> items_;
  std::vector<std::pair<std::string, Json>> members_;
};

// Shortest round-trip text of a double ("1e+300", "0.1", "-0"); "null" for NaN and infinities.
std::string JsonNumber(double v);
// A JSON string literal with quotes and escapes.
std::string JsonString(const std::string& s);

}  // namespace qmxtool
