// ui_driver: drives another program's windows from outside, as a person would, for
// the end-to-end tests. Controls are found by the name each carries as its "Name"
// window property. Texts on the command line and on stdout are UTF-8.
//
//   ui_driver wait       --caption TEXT
//   ui_driver answer     --caption TEXT --button yes|no|ok|cancel
//   ui_driver dump       --caption TEXT
//   ui_driver text       --caption TEXT --name NAME
//   ui_driver wait-text  --caption TEXT --name NAME --contains S
//   ui_driver click      --caption TEXT --name NAME
//   ui_driver wait-gone  --caption TEXT
// Every command takes --timeout MS (default 20000). Exit 0 on success, 1 on a
// time-out or a missing control, 2 for bad arguments.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

void Say(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::wstring ClassOf(HWND h) {
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  return cls;
}

// Text through a message with a time limit: a busy window cannot hang the driver.
std::wstring TextOf(HWND h) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len)) return std::wstring();
  std::wstring text(len + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 2000, &got);
  text.resize(got);
  return text;
}

std::wstring NameOf(HWND h) {
  const auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(h, L"Name")));
  if (atom == 0) return std::wstring();
  wchar_t name[256] = {};
  const UINT n = GlobalGetAtomNameW(atom, name, 256);
  return std::wstring(name, n);
}

struct Find {
  std::wstring caption;
  bool messageBox = false;
  HWND found = nullptr;
};

BOOL CALLBACK FindTop(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<Find*>(lp);
  if (!IsWindowVisible(h)) return TRUE;
  // A message box may carry the same caption as the window it belongs to.
  if (f->messageBox != (ClassOf(h) == L"#32770")) return TRUE;
  if (TextOf(h) != f->caption) return TRUE;
  f->found = h;
  return FALSE;
}

HWND FindWindowByCaption(const std::wstring& caption, bool messageBox) {
  Find f{caption, messageBox, nullptr};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

HWND WaitForWindow(const std::wstring& caption, bool messageBox, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND h = FindWindowByCaption(caption, messageBox)) return h;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(50);
  }
}

BOOL CALLBACK CollectChild(HWND h, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

std::vector<HWND> Descendants(HWND top) {
  std::vector<HWND> all;
  EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND Named(HWND top, const std::wstring& name) {
  for (HWND h : Descendants(top)) {
    if (NameOf(h) == name) return h;
  }
  return nullptr;
}

const char kUsage[] =
    "Usage: ui_driver COMMAND --caption TEXT [--name NAME] [--button B] [--contains S] [--timeout MS]\n"
    "  wait        wait for a visible window with this caption\n"
    "  answer      wait for a message box with this caption, print its text, press --button yes|no|ok|cancel\n"
    "  dump        print every named control: name, class, visible, rect, text\n"
    "  text        print the text of control --name\n"
    "  wait-text   wait until control --name's text contains --contains\n"
    "  click       click control --name\n"
    "  wait-gone   wait until no visible window has this caption\n";

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::wstring command = argv[1];
  if (command == L"--help" || command == L"-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::map<std::wstring, std::wstring> opt;
  for (int i = 2; i + 1 < argc; i += 2) opt[argv[i]] = argv[i + 1];
  LocalFree(argv);
  const DWORD timeout = opt.count(L"--timeout") ? static_cast<DWORD>(_wtoi(opt[L"--timeout"].c_str())) : 20000;
  const std::wstring caption = opt[L"--caption"];
  if (caption.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  if (command == L"wait-gone") {
    const DWORD start = GetTickCount();
    while (FindWindowByCaption(caption, false)) {
      if (GetTickCount() - start >= timeout) return 1;
      Sleep(50);
    }
    return 0;
  }

  if (command == L"answer") {
    static const std::map<std::wstring, int> buttons = {
        {L"yes", IDYES}, {L"no", IDNO}, {L"ok", IDOK}, {L"cancel", IDCANCEL}};
    const auto b = buttons.find(opt[L"--button"]);
    if (b == buttons.end()) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    HWND box = WaitForWindow(caption, true, timeout);
    if (!box) return 1;
    std::wstring text;
    for (HWND h : Descendants(box)) {
      if (ClassOf(h) == L"Static" && !TextOf(h).empty()) text = TextOf(h);
    }
    Say("box " + Utf8(caption) + " | " + Utf8(text));
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(b->second), 0);
    return 0;
  }

  HWND top = WaitForWindow(caption, false, timeout);
  if (!top) return 1;
  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);

  if (command == L"wait") {
    char line[64];
    std::snprintf(line, sizeof line, "window %p %lu", static_cast<void*>(top), static_cast<unsigned long>(pid));
    Say(line);
    return 0;
  }
  if (command == L"dump") {
    POINT origin{0, 0};
    ClientToScreen(top, &origin);
    for (HWND h : Descendants(top)) {
      const std::wstring name = NameOf(h);
      if (name.empty()) continue;
      RECT r{};
      GetWindowRect(h, &r);
      char rect[96];
      std::snprintf(rect, sizeof rect, "%ld,%ld,%ld,%ld", r.left - origin.x, r.top - origin.y, r.right - r.left,
                    r.bottom - r.top);
      Say(Utf8(name) + "\t" + Utf8(ClassOf(h)) + "\t" + (IsWindowVisible(h) ? "1" : "0") + "\t" + rect + "\t" +
          Utf8(TextOf(h)));
    }
    return 0;
  }

  const std::wstring name = opt[L"--name"];
  if (name.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (command == L"text") {
    HWND c = Named(top, name);
    if (!c) return 1;
    Say(Utf8(TextOf(c)));
    return 0;
  }
  if (command == L"wait-text") {
    const std::wstring want = opt[L"--contains"];
    const DWORD start = GetTickCount();
    for (;;) {
      HWND c = Named(top, name);
      if (c) {
        const std::wstring text = TextOf(c);
        if (text.find(want) != std::wstring::npos) {
          Say(Utf8(text));
          return 0;
        }
      }
      if (GetTickCount() - start >= timeout) return 1;
      Sleep(20);
    }
  }
  if (command == L"click") {
    HWND c = Named(top, name);
    if (!c) return 1;
    // The click as the button reports it to its parent; no focus or activation needed.
    PostMessageW(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), BN_CLICKED), reinterpret_cast<LPARAM>(c));
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
