#pragma once
// Reading a TOML table key by key with problems reported by file, line and key, and every key
// that nobody asked for reported as unknown.
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include <toml++/toml.h>

#include "builder/project.h"

namespace builder {

class TableReader {
public:
  // path: the key path of this table for messages ("product", "files[2]").
  TableReader(const toml::table& table, std::string path, const std::string& file, Diagnostics& diagnostics);
  ~TableReader() = default;

  const toml::node* get(std::string_view key);  // marks the key as known
  bool has(std::string_view key) const { return table_.contains(key); }

  std::optional<std::string> string(std::string_view key);
  std::optional<bool> boolean(std::string_view key);
  std::optional<int64_t> integer(std::string_view key, int64_t min, int64_t max);
  std::optional<double> number(std::string_view key);
  // "#RRGGBB" or an integer 0xRRGGBB; returned as a Windows colour value 0x00BBGGRR.
  std::optional<uint32_t> color(std::string_view key);
  // One of the given names (or, when numbers are allowed, an integer in [min, max]).
  using Choices = std::span<const std::pair<std::string_view, int64_t>>;
  std::optional<int64_t> choice(std::string_view key, Choices names);
  std::optional<int64_t> choice(std::string_view key, std::initializer_list<std::pair<std::string_view, int64_t>> names) {
    return choice(key, Choices(names.begin(), names.size()));
  }
  const toml::table* table(std::string_view key);
  const toml::array* array(std::string_view key);

  void error(std::string_view key, const std::string& message);
  void errorAt(const toml::node& node, std::string_view key, const std::string& message);
  // Reports the keys of the table that were never asked for.
  void finish(std::initializer_list<std::string_view> alsoKnown = {});

  const std::string& path() const { return path_; }
  std::string keyPath(std::string_view key) const;
  const std::string& file() const { return file_; }
  Diagnostics& diagnostics() { return diagnostics_; }

private:
  const toml::table& table_;
  std::string path_;
  const std::string& file_;
  Diagnostics& diagnostics_;
  std::set<std::string, std::less<>> used_;
};

int LineOf(const toml::node& node);

}  // namespace builder
