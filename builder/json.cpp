#include "builder/json.h"

#include <cstdio>

namespace builder {

Value& Value::add(Value v) {
  items_.emplace_back(std::string(), std::move(v));
  return items_.back().second;
}

Value& Value::set(const std::string& key, Value v) {
  items_.emplace_back(key, std::move(v));
  return items_.back().second;
}

namespace {

void JsonString(std::ostream& out, const std::string& s) {
  out << '"';
  for (unsigned char c : s) {
    switch (c) {
      case '"': out << "\\\""; break;
      case '\\': out << "\\\\"; break;
      case '\n': out << "\\n"; break;
      case '\r': out << "\\r"; break;
      case '\t': out << "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out << buf;
        } else {
          out << char(c);
        }
    }
  }
  out << '"';
}

// Text output shows control characters escaped so that one value stays on one line.
std::string Printable(const std::string& s) {
  std::string r;
  for (unsigned char c : s) {
    if (c == '\r') r += "\\r";
    else if (c == '\n') r += "\\n";
    else if (c == '\t') r += "\\t";
    else if (c < 0x20) r += "?";
    else r += char(c);
  }
  return r;
}

}  // namespace

void Value::writeJson(std::ostream& out, int indent) const {
  const std::string pad(size_t(indent + 2), ' ');
  switch (kind_) {
    case Kind::Null: out << "null"; break;
    case Kind::Bool: out << (bool_ ? "true" : "false"); break;
    case Kind::Number:
      if (unsigned_) out << uint64_t(number_);
      else out << number_;
      break;
    case Kind::Text: JsonString(out, text_); break;
    case Kind::List:
    case Kind::Object: {
      const bool list = kind_ == Kind::List;
      if (items_.empty()) {
        out << (list ? "[]" : "{}");
        break;
      }
      out << (list ? "[\n" : "{\n");
      size_t i = 0;
      for (const auto& [key, value] : items_) {
        out << pad;
        if (!list) {
          JsonString(out, key);
          out << ": ";
        }
        value.writeJson(out, indent + 2);
        out << (++i < items_.size() ? ",\n" : "\n");
      }
      out << std::string(size_t(indent), ' ') << (list ? "]" : "}");
      break;
    }
  }
  if (indent == 0) out << "\n";
}

void Value::writeText(std::ostream& out, int indent) const {
  const std::string pad(size_t(indent), ' ');
  size_t index = 0;
  for (const auto& [key, v] : items_) {
    const std::string label = kind_ == Kind::List ? "[" + std::to_string(index++) + "]" : key;
    if (v.kind_ == Kind::List || v.kind_ == Kind::Object) {
      out << pad << label << (v.items_.empty() ? ": (none)\n" : ":\n");
      v.writeText(out, indent + 2);
      continue;
    }
    out << pad << label << ": ";
    switch (v.kind_) {
      case Kind::Bool: out << (v.bool_ ? "yes" : "no"); break;
      case Kind::Number:
        if (v.unsigned_) out << uint64_t(v.number_);
        else out << v.number_;
        break;
      case Kind::Text: out << Printable(v.text_); break;
      default: out << "-";
    }
    out << "\n";
  }
}

}  // namespace builder
