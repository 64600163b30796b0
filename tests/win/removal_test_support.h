#pragma once
// Helpers of the removal-step tests: a run that records what a step asked and reported, and
// small registry and file readers.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "lib/strings.h"
#include "lib/win32/handle.h"
#include "tests/win/win_test_support.h"
#include "uninstall/step_context.h"

namespace wintest {

using vk::Streng;

// Answers questions from a queue (Yes once it is empty) and keeps every question and failure.
class RecordingRun final : public uninstall::StepContext {
public:
  bool quiet = false;
  uint64_t flags = 0;
  std::map<int, Streng> texts;
  std::vector<bool> answers;
  std::vector<Streng> questions;  // text and caption, "|" between them
  std::vector<Streng> failures;
  int broughtToFront = 0;

  bool Quiet() const override { return quiet; }
  bool ProductFlag(int bit) const override { return bit >= 0 && bit < 64 && (flags >> bit) & 1; }
  Streng Text(int id) const override {
    const auto it = texts.find(id);
    return it == texts.end() ? Streng() : it->second;
  }
  bool AskYesNo(const Streng& text, const Streng& caption) override {
    questions.push_back(text + u"|" + caption);
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  void AddFailure(const Streng& line) override { failures.push_back(line); }
  void BringProgressToFront() override { ++broughtToFront; }
};

inline bool KeyExists(HKEY root, const Streng& path) {
  vk::RegKey key;
  return RegOpenKeyExW(root, vk::W(path), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

inline bool ValueExists(HKEY root, const Streng& path, const Streng& name) {
  vk::RegKey key;
  if (RegOpenKeyExW(root, vk::W(path), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  return RegQueryValueExW(key.get(), vk::W(name), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// A string value, or "<missing>".
inline Streng ReadString(HKEY root, const Streng& path, const Streng& name) {
  vk::RegKey key;
  if (RegOpenKeyExW(root, vk::W(path), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return u"<missing>";
  wchar_t buffer[1024];
  DWORD size = sizeof(buffer) - sizeof(wchar_t), type = 0;
  if (RegQueryValueExW(key.get(), vk::W(name), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return u"<missing>";
  buffer[size / sizeof(wchar_t)] = 0;
  return vk::FromW(buffer);
}

// Creates the key and, when a name is given, sets a string value (the default value for "").
inline void SetString(HKEY root, const Streng& path, const Streng* name = nullptr, const Streng& data = {}) {
  vk::RegKey key;
  ASSERT_EQ(RegCreateKeyExW(root, vk::W(path), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
            ERROR_SUCCESS)
      << vk::StrengToUtf8(path);
  if (!name) return;
  ASSERT_EQ(RegSetValueExW(key.get(), vk::W(*name), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           DWORD((data.size() + 1) * sizeof(char16_t))),
            ERROR_SUCCESS);
}
inline void SetString(HKEY root, const Streng& path, const Streng& name, const Streng& data) {
  SetString(root, path, &name, data);
}

inline void SetDword(HKEY root, const Streng& path, const Streng& name, DWORD value) {
  vk::RegKey key;
  ASSERT_EQ(RegCreateKeyExW(root, vk::W(path), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key.get(), vk::W(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)),
            ERROR_SUCCESS);
}

// The value as a number, or -1 when missing.
inline long long ReadDword(HKEY root, const Streng& path, const Streng& name) {
  vk::RegKey key;
  if (RegOpenKeyExW(root, vk::W(path), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return -1;
  DWORD value = 0, size = sizeof(value);
  if (RegQueryValueExW(key.get(), vk::W(name), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS)
    return -1;
  return value;
}

inline void WriteFileText(const Streng& path, const std::string& text = "x", DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  vk::FileHandle f(CreateFileW(vk::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(f.valid()) << "cannot create " << vk::StrengToUtf8(path);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(f.get(), text.data(), DWORD(text.size()), &written, nullptr));
  f.reset();
  if (attributes != FILE_ATTRIBUTE_NORMAL) {
    ASSERT_TRUE(SetFileAttributesW(vk::W(path), attributes));
  }
}

}  // namespace wintest
