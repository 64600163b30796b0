#pragma once
// Array: a growable array whose indexing is checked. A bad index is a fatal error
// "Vector<%s>[%d]\r\nmax_index = %d" naming the element type.
#include <string_view>
#include <vector>

#include "lib/fatal.h"

namespace vk {

template <class T>
constexpr std::string_view TypeName() {
  // "... TypeName() [with T = int; std::string_view = ...]" on GCC.
  constexpr std::string_view f = __PRETTY_FUNCTION__;
  constexpr size_t start = f.find("T = ") + 4;
  constexpr size_t end = f.find_first_of(";]", start);
  return f.substr(start, end - start);
}

template <class T>
class Array {
public:
  Array() = default;
  Array(std::initializer_list<T> items) : items_(items) {}

  T& operator[](long long index) { return items_[checked(index)]; }
  const T& operator[](long long index) const { return items_[checked(index)]; }

  void add(T item) { items_.push_back(std::move(item)); }
  void removeAt(long long index) { items_.erase(items_.begin() + checked(index)); }
  void clear() { items_.clear(); }
  long long count() const { return static_cast<long long>(items_.size()); }
  bool empty() const { return items_.empty(); }

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

private:
  size_t checked(long long index) const {
    if (index < 0 || index >= count())
      FatalError("Vector<%s>[%d]\r\nmax_index = %d", TypeName<T>(), index, count() - 1);
    return static_cast<size_t>(index);
  }

  std::vector<T> items_;
};

}  // namespace vk
