#pragma once
// A small tree of values that `inspect` fills and prints as text or as JSON.
#include <cstdint>
#include <list>
#include <ostream>
#include <string>
#include <utility>

namespace builder {

class Value {
public:
  enum class Kind { Null, Bool, Number, Text, List, Object };

  Value() = default;
  Value(bool b) : kind_(Kind::Bool), bool_(b) {}
  Value(int64_t n) : kind_(Kind::Number), number_(n) {}
  Value(int n) : Value(int64_t(n)) {}
  Value(uint32_t n) : Value(int64_t(n)) {}
  Value(uint64_t n) : kind_(Kind::Number), number_(int64_t(n)), unsigned_(true) {}
  Value(std::string s) : kind_(Kind::Text), text_(std::move(s)) {}
  Value(const char* s) : Value(std::string(s)) {}
  static Value List() { Value v; v.kind_ = Kind::List; return v; }
  static Value Object() { Value v; v.kind_ = Kind::Object; return v; }

  Value& add(Value v);                       // to a list
  Value& set(const std::string& key, Value v);  // to an object, keys in insertion order

  void writeJson(std::ostream& out, int indent = 0) const;
  void writeText(std::ostream& out, int indent = 0) const;

private:
  Kind kind_ = Kind::Null;
  bool bool_ = false;
  int64_t number_ = 0;
  bool unsigned_ = false;
  std::string text_;
  // A list, so that references returned by add() and set() stay valid as more are added.
  std::list<std::pair<std::string, Value>> items_;  // key empty in lists
};

}  // namespace builder
