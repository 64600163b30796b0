#include "builder/catalogue.h"

#include <toml++/toml.h>

#include "builder/toml_reader.h"

extern const char kCatalogue_en[];
extern const char kCatalogue_de[];

namespace builder {

bool ParseCatalogue(std::string_view text, const std::string& sourceName, Catalogue& out, Diagnostics& d) {
  const size_t before = d.errors.size();
  toml::table root;
  try {
    root = toml::parse(text, sourceName);
  } catch (const toml::parse_error& e) {
    d.errors.push_back({sourceName, int(e.source().begin.line), "", std::string(e.description())});
    return false;
  }
  TableReader top(root, "", sourceName, d);
  if (const toml::table* lang = top.table("language")) {
    TableReader r(*lang, "language", sourceName, d);
    if (auto name = r.string("name")) out.name = *name;
    r.finish();
  }
  if (out.name.empty()) d.errors.push_back({sourceName, 1, "language.name", "a catalogue names its language"});
  if (const toml::table* texts = top.table("texts")) {
    for (const auto& [key, node] : *texts) {
      const std::string k(key.str());
      const std::string where = "texts." + k;
      if (k.empty() || k.size() > 4 || k.find_first_not_of("0123456789") != std::string::npos) {
        d.errors.push_back({sourceName, LineOf(node), where, "text ids are numbers 0..9999"});
        continue;
      }
      // Either "text" or { text = "...", where = "...", args = "..." }.
      std::optional<std::string> value = node.value<std::string>();
      if (const toml::table* t = node.as_table()) {
        TableReader r(*t, where, sourceName, d);
        value = r.string("text");
        r.finish({"where", "args"});
      }
      if (!value) {
        d.errors.push_back({sourceName, LineOf(node), where, "expected a text"});
        continue;
      }
      out.texts[std::stoi(k)] = *value;
    }
  }
  top.finish();
  return d.errors.size() == before;
}

const std::vector<Catalogue>& BuiltInCatalogues() {
  static const std::vector<Catalogue> catalogues = [] {
    std::vector<Catalogue> list;
    for (const char* text : {kCatalogue_en, kCatalogue_de}) {
      Catalogue c;
      Diagnostics d;
      // The built-in catalogues are checked by the tests; a broken one would be a build fault.
      if (ParseCatalogue(text, "built-in catalogue", c, d)) list.push_back(std::move(c));
    }
    return list;
  }();
  return catalogues;
}

const Catalogue* FindBuiltInCatalogue(std::string_view name) {
  for (const auto& c : BuiltInCatalogues())
    if (c.name == name) return &c;
  return nullptr;
}

}  // namespace builder
