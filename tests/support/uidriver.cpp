// Test-only UI driver: finds a visible top-level window of any process, prints what a user would
// see in it, and presses its buttons.
//
//   uidriver wait-window [--timeout MS] [--class C] [--title T]
//   uidriver press [--timeout MS] [--class C] [--title T] --button TEXT
//   uidriver close [--timeout MS] [--class C] [--title T]
//   uidriver list
//
// A window matches when its class equals C (ignoring case) and its caption contains T; either may
// be left out. wait-window prints, one item a line, UTF-8, fields separated by tabs:
//   caption<TAB>text
//   class<TAB>name
//   control<TAB>class<TAB>id<TAB>text          (every child window, in Z order)
// with "\" "\r" "\n" "\t" written as \\ \r \n \t. Exit code 0 when done, 1 when no window
// matched within the time (default 10000 ms), 2 for a bad command line.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Options {
  std::wstring command, cls, title, button;
  DWORD timeout = 10000;
};

std::wstring WindowText(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 2000, &copied))
    return {};
  text.resize(copied < text.size() ? copied : text.size() - 1);
  return text;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string Escaped(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out;
}

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

bool Matches(HWND hwnd, const Options& o) {
  if (!IsWindowVisible(hwnd)) return false;
  if (!o.cls.empty() && _wcsicmp(ClassOf(hwnd).c_str(), o.cls.c_str()) != 0) return false;
  if (!o.title.empty() && WindowText(hwnd).find(o.title) == std::wstring::npos) return false;
  return true;
}

struct Search {
  const Options* options;
  HWND found;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  if (!Matches(hwnd, *s->options)) return TRUE;
  s->found = hwnd;
  return FALSE;
}

HWND WaitFor(const Options& o) {
  DWORD start = GetTickCount();
  for (;;) {
    Search s{&o, nullptr};
    EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    if (GetTickCount() - start >= o.timeout) return nullptr;
    Sleep(50);
  }
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> Children(HWND hwnd) {
  std::vector<HWND> children;
  EnumChildWindows(hwnd, &CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

void Describe(HWND hwnd) {
  Print("caption\t" + Escaped(WindowText(hwnd)));
  Print("class\t" + Escaped(ClassOf(hwnd)));
  for (HWND child : Children(hwnd)) {
    Print("control\t" + Escaped(ClassOf(child)) + "\t" +
          std::to_string(static_cast<unsigned>(GetDlgCtrlID(child)) & 0xFFFF) + "\t" +
          Escaped(WindowText(child)));
  }
}

// Button captions compare without their accelerator marks and without regard to case.
std::wstring Plain(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text)
    if (c != L'&') out += c;
  return out;
}

int Press(HWND window, const Options& o) {
  for (HWND child : Children(window)) {
    if (_wcsicmp(ClassOf(child).c_str(), L"Button") != 0) continue;
    if (_wcsicmp(Plain(WindowText(child)).c_str(), Plain(o.button).c_str()) != 0) continue;
    HWND parent = GetParent(child);
    int id = GetDlgCtrlID(child);
    // Posted, so that the driver does not wait for what the press sets off.
    PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(child));
    return 0;
  }
  std::fprintf(stderr, "uidriver: no button \"%s\"\n", Utf8(o.button).c_str());
  return 1;
}

BOOL CALLBACK ListTopLevel(HWND hwnd, LPARAM) {
  if (IsWindowVisible(hwnd)) Print("window\t" + Escaped(ClassOf(hwnd)) + "\t" + Escaped(WindowText(hwnd)));
  return TRUE;
}

int Usage() {
  std::fprintf(stderr,
               "usage: uidriver wait-window|press|close [--timeout MS] [--class C] [--title T] "
               "[--button TEXT]\n       uidriver list\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  Options o;
  o.command = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::wstring a = argv[i];
    if (i + 1 >= argc) return Usage();
    std::wstring value = argv[++i];
    if (a == L"--timeout") o.timeout = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10));
    else if (a == L"--class") o.cls = value;
    else if (a == L"--title") o.title = value;
    else if (a == L"--button") o.button = value;
    else return Usage();
  }
  if (o.command == L"list") {
    EnumWindows(&ListTopLevel, 0);
    return 0;
  }
  if (o.command != L"wait-window" && o.command != L"press" && o.command != L"close") return Usage();
  if (o.command == L"press" && o.button.empty()) return Usage();
  HWND window = WaitFor(o);
  if (!window) {
    std::fprintf(stderr, "uidriver: no matching window\n");
    return 1;
  }
  if (o.command == L"wait-window") {
    Describe(window);
    return 0;
  }
  if (o.command == L"press") return Press(window, o);
  PostMessageW(window, WM_CLOSE, 0, 0);
  return 0;
}
