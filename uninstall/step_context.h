#pragma once
// What the uninstaller's removal steps need of the run: its option word, its questions, its
// language texts and its failure summary. The uninstall procedure provides it; tests provide
// their own.
#include "lib/strings.h"

namespace uninstall {

class StepContext {
public:
  virtual ~StepContext() = default;
  virtual bool Quiet() const = 0;               // no question is asked; each is answered Yes
  virtual bool ProductFlag(int bit) const = 0;  // the stored ProductFlags, bits 0..63
  virtual vk::Streng Text(int id) const = 0;    // a language text carried by Uninstall.DAT
  // A Yes/No question with the question icon; true for Yes.
  virtual bool AskYesNo(const vk::Streng& text, const vk::Streng& caption) = 0;
  virtual void AddFailure(const vk::Streng& line) = 0;  // appended to FailureSummary
  // After a step that may have raised another program's window.
  virtual void BringProgressToFront() = 0;
};

}  // namespace uninstall
