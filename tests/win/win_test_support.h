#pragma once
// Helpers the Windows unit tests share: file readers, the test tools' paths, scratch folders under
// the temporary folder, and a guard with readers for the session's pending file operations.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/strings.h"
#include "lib/win32/handle.h"

namespace wintest {

using vk::Streng;

inline bool Exists(const Streng& path) { return GetFileAttributesW(vk::W(path)) != INVALID_FILE_ATTRIBUTES; }

// A whole file, also while another handle holds it open for writing; "<missing>" when it cannot
// be opened.
inline std::string ReadAll(const Streng& path) {
  vk::FileHandle h(CreateFileW(vk::W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
  if (!h) return "<missing>";
  std::string content;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(h.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
  return content;
}

// A program of the test tools, which stand beside the test programs' folder.
inline Streng SupportProgram(const Streng& name) {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  Streng path = vk::FromW(self, n < MAX_PATH ? n : 0);
  path.resize(path.find_last_of(u'\\') + 1);
  return path + u"..\\..\\support\\" + name;
}

// Deletes a folder with everything in it, read-only files included.
inline void RemoveTree(const Streng& dir) {
  WIN32_FIND_DATAW found;
  vk::FindHandle search(FindFirstFileW(vk::W(dir + u"\\*"), &found));
  if (search) {
    do {
      const Streng name = vk::FromW(found.cFileName);
      if (name == u"." || name == u"..") continue;
      const Streng path = dir + u"\\" + name;
      SetFileAttributesW(vk::W(path), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileW(vk::W(path));
    } while (FindNextFileW(search.get(), &found));
  }
  search.reset();
  RemoveDirectoryW(vk::W(dir));
}

// A folder of the given name (and the process id) in the temporary folder, removed with its content at the end. A
// folder left by an earlier run is used as it is, but created() tells it apart.
class TempFolder {
public:
  explicit TempFolder(const Streng& name) {
    wchar_t temp[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) {
      error_ = n ? DWORD(ERROR_BUFFER_OVERFLOW) : GetLastError();
      return;
    }
    // With the process id: tests of one fixture run at once in separate processes.
    path_ = vk::FromW(temp) + name + u"_" + vk::AsciiToStreng(std::to_string(GetCurrentProcessId()));
    created_ = CreateDirectoryW(vk::W(path_), nullptr) != FALSE;
    if (!created_) error_ = GetLastError();
  }
  ~TempFolder() {
    if (!path_.empty()) RemoveTree(path_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const Streng& path() const { return path_; }
  // Whether this object made the folder; error() says why not.
  bool created() const { return created_; }
  DWORD error() const { return error_; }

private:
  Streng path_;
  bool created_ = false;
  DWORD error_ = 0;
};

// Whether s ends in tail, letters compared without case.
inline bool EndsWithNoCase(const Streng& s, const Streng& tail) {
  return s.size() >= tail.size() && _wcsicmp(vk::W(s) + (s.size() - tail.size()), vk::W(tail)) == 0;
}

// Keeps the session's pending file operations as they were before the test: saved on
// construction, put back (or deleted, when there were none) on destruction.
class PendingRenames {
public:
  static constexpr const wchar_t* kKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  static constexpr const wchar_t* kValue = L"PendingFileRenameOperations";

  PendingRenames() { had_ = Read(saved_, type_); }
  ~PendingRenames() {
    vk::RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (had_)
      RegSetValueExW(key.get(), kValue, 0, type_, saved_.data(), DWORD(saved_.size()));
    else
      RegDeleteValueW(key.get(), kValue);
  }
  PendingRenames(const PendingRenames&) = delete;
  PendingRenames& operator=(const PendingRenames&) = delete;

  // The raw value; false when it does not exist.
  static bool Read(std::vector<BYTE>& bytes, DWORD& type) {
    bytes.clear();
    vk::RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key.get(), kValue, nullptr, &type, nullptr, &size);
    if (rc == ERROR_SUCCESS && size) {
      bytes.assign(size, 0);
      rc = RegQueryValueExW(key.get(), kValue, nullptr, &type, bytes.data(), &size);
      bytes.resize(size);
    }
    return rc == ERROR_SUCCESS;
  }

  // The value's strings in order, the empty targets of deletions included.
  static std::vector<Streng> Entries() {
    std::vector<BYTE> bytes;
    DWORD type = 0;
    std::vector<Streng> out;
    if (!Read(bytes, type)) return out;
    EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
    const char16_t* p = reinterpret_cast<const char16_t*>(bytes.data());
    const size_t n = bytes.size() / 2;
    size_t i = 0;
    while (i < n) {
      size_t end = i;
      while (end < n && p[end] != 0) ++end;
      out.emplace_back(p + i, end - i);
      i = end + 1;
    }
    // The list's final terminator is an empty string that is not an operation.
    if (out.size() % 2 == 1 && out.back().empty()) out.pop_back();
    return out;
  }

  // Whether a source/target pair is registered: the source entry ends in source, the next one in
  // target (or is empty for a deletion when target is null).
  static bool HasPair(const Streng& source, const Streng* target) {
    const auto e = Entries();
    for (size_t i = 0; i < e.size(); i += 2) {
      if (!EndsWithNoCase(e[i], source)) continue;
      const Streng next = i + 1 < e.size() ? e[i + 1] : Streng();
      if (target ? EndsWithNoCase(next, *target) : next.empty()) return true;
    }
    return false;
  }

  // The registered target of the first source entry that ends in source, or empty.
  static Streng TargetOf(const Streng& source) {
    const auto e = Entries();
    for (size_t i = 0; i + 1 < e.size(); i += 2)
      if (EndsWithNoCase(e[i], source)) return e[i + 1];
    return {};
  }

private:
  bool had_ = false;
  std::vector<BYTE> saved_;
  DWORD type_ = REG_MULTI_SZ;
};

}  // namespace wintest
