#pragma once
// Language catalogues: the texts of the engine's wizard and messages in one language, as TOML.
// Two are built in (English and Deutsch); a project may name its own catalogue files.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "builder/project.h"

namespace builder {

struct Catalogue {
  std::string name;                 // shown in the language dialog, e.g. "English"
  std::map<int, std::string> texts;  // id -> UTF-8 text
};

// The highest text id the engine uses.
constexpr int kHighestTextId = 114;

// Parses a catalogue; problems are reported against sourceName.
bool ParseCatalogue(std::string_view toml, const std::string& sourceName, Catalogue& out, Diagnostics& diagnostics);

// The built-in catalogues, parsed on first use.
const std::vector<Catalogue>& BuiltInCatalogues();
const Catalogue* FindBuiltInCatalogue(std::string_view name);

}  // namespace builder
