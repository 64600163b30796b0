#pragma once
// The product's command scripts: written as "SETUPBAT.BAT" behind the installer's variables, run by
// the system's command interpreter, waited for, their output optionally captured into the log.
#include "lib/strings.h"

namespace setup {

// %comspec%, else the system's interpreter in the 32-bit system folder.
vk::Streng CommandInterpreterPath();

// Runs a script (code page 1252). Hidden: no console window (always so in silent mode). A title
// announces the batch in the log and has its output logged. True for an empty script; otherwise
// whether the interpreter started. What the script itself does is not examined.
bool RunBatch(const vk::String& script, bool hidden, const vk::Streng& title = {});

}  // namespace setup
