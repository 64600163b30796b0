#include "builder/toml_reader.h"

namespace builder {

int LineOf(const toml::node& node) { return int(node.source().begin.line); }

TableReader::TableReader(const toml::table& table, std::string path, const std::string& file,
                         Diagnostics& diagnostics)
    : table_(table), path_(std::move(path)), file_(file), diagnostics_(diagnostics) {}

std::string TableReader::keyPath(std::string_view key) const {
  return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

const toml::node* TableReader::get(std::string_view key) {
  used_.insert(std::string(key));
  return table_.get(key);
}

void TableReader::error(std::string_view key, const std::string& message) {
  const toml::node* n = table_.get(key);
  diagnostics_.errors.push_back({file_, n ? LineOf(*n) : int(table_.source().begin.line), keyPath(key), message});
}

void TableReader::errorAt(const toml::node& node, std::string_view key, const std::string& message) {
  diagnostics_.errors.push_back({file_, LineOf(node), keyPath(key), message});
}

std::optional<std::string> TableReader::string(std::string_view key) {
  const toml::node* n = get(key);
  if (!n) return std::nullopt;
  if (auto v = n->value<std::string>()) return *v;
  error(key, "expected a text in quotes");
  return std::nullopt;
}

std::optional<bool> TableReader::boolean(std::string_view key) {
  const toml::node* n = get(key);
  if (!n) return std::nullopt;
  if (auto v = n->value<bool>()) return *v;
  error(key, "expected true or false");
  return std::nullopt;
}

std::optional<int64_t> TableReader::integer(std::string_view key, int64_t min, int64_t max) {
  const toml::node* n = get(key);
  if (!n) return std::nullopt;
  if (!n->is_integer()) {
    error(key, "expected a whole number");
    return std::nullopt;
  }
  const int64_t v = *n->value<int64_t>();
  if (v < min || v > max) {
    error(key, "must be between " + std::to_string(min) + " and " + std::to_string(max) + ", not " +
                   std::to_string(v));
    return std::nullopt;
  }
  return v;
}

std::optional<double> TableReader::number(std::string_view key) {
  const toml::node* n = get(key);
  if (!n) return std::nullopt;
  if (auto v = n->value<double>()) return *v;
  error(key, "expected a number");
  return std::nullopt;
}

std::optional<uint32_t> TableReader::color(std::string_view key) {
  const toml::node* n = get(key);
  if (!n) return std::nullopt;
  uint32_t rgb = 0;
  if (n->is_integer() && *n->value<int64_t>() >= 0 && *n->value<int64_t>() <= 0xFFFFFF) {
    rgb = uint32_t(*n->value<int64_t>());
  } else if (auto s = n->value<std::string>();
             s && s->size() == 7 && (*s)[0] == '#' &&
             s->find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos) {
    rgb = uint32_t(std::stoul(s->substr(1), nullptr, 16));
  } else {
    error(key, "expected a colour \"#RRGGBB\" or a number 0xRRGGBB");
    return std::nullopt;
  }
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

std::optional<int64_t> TableReader::choice(std::string_view key, Choices names) {
  const toml::node* n = get(key);
  if (!n) return std::nullopt;
  std::string expected;
  if (auto s = n->value<std::string>()) {
    for (const auto& [name, value] : names)
      if (*s == name) return value;
  }
  for (const auto& [name, value] : names) expected += (expected.empty() ? "\"" : ", \"") + std::string(name) + "\"";
  error(key, "expected one of " + expected);
  return std::nullopt;
}

const toml::table* TableReader::table(std::string_view key) {
  const toml::node* n = get(key);
  if (!n) return nullptr;
  if (const toml::table* t = n->as_table()) return t;
  error(key, "expected a table");
  return nullptr;
}

const toml::array* TableReader::array(std::string_view key) {
  const toml::node* n = get(key);
  if (!n) return nullptr;
  if (const toml::array* a = n->as_array()) return a;
  error(key, "expected a list [ ... ]");
  return nullptr;
}

void TableReader::finish(std::initializer_list<std::string_view> alsoKnown) {
  for (std::string_view k : alsoKnown) used_.insert(std::string(k));
  for (const auto& [k, node] : table_) {
    if (!used_.count(k.str())) diagnostics_.errors.push_back({file_, LineOf(node), keyPath(k.str()), "unknown key"});
  }
}

}  // namespace builder
