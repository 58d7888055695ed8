// ui_driver: works another program's windows from outside, as a person would, for the
// end-to-end tests. Windows are found by their caption, controls by the name each
// carries as its "Name" window property. Texts on the command line and on stdout are
// UTF-8; every wait is bounded by --timeout.
//
//   ui_driver wait       --caption TEXT
//   ui_driver answer     --caption TEXT --button yes|no|ok|cancel
//   ui_driver dump       --caption TEXT
//   ui_driver text       --caption TEXT --name NAME
//   ui_driver wait-text  --caption TEXT --name NAME --contains S
//   ui_driver click      --caption TEXT --name NAME
//   ui_driver rect       --caption TEXT --name NAME
//   ui_driver wait-gone  --caption TEXT
//
// Exit 0 on success, 1 on a time-out (or a control that never appears or cannot be
// clicked), 2 for bad arguments.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "win/control_name.h"
#include "win/gbk_text.h"

namespace {

constexpr DWORD kDefaultTimeoutMs = 20000;
constexpr DWORD kPollMs = 50;
// The longest a single question to another window may take: a busy or hung window
// costs at most this, never the whole run.
constexpr UINT kMessageTimeoutMs = 2000;
// The control a message box shows its text in, on Windows and under Wine alike.
constexpr int kMessageBoxTextId = 0xFFFF;

const char kUsage[] =
    "Usage: ui_driver COMMAND --caption TEXT [options] [--timeout MS]\n"
    "  wait       --caption TEXT\n"
    "             wait for a visible top-level window with this caption;\n"
    "             prints \"window <hwnd> <pid>\"\n"
    "  answer     --caption TEXT --button yes|no|ok|cancel\n"
    "             wait for a message box with this caption and that button, print\n"
    "             \"box <caption> | <text>\", press the button, wait until it closes\n"
    "  dump       --caption TEXT\n"
    "             print one line per named control:\n"
    "             name TAB class TAB visible TAB left,top,width,height TAB text\n"
    "             (rectangle in the window's client area)\n"
    "  text       --caption TEXT --name NAME    print the control's text\n"
    "  wait-text  --caption TEXT --name NAME --contains S\n"
    "             wait until the control's text contains S; print the text\n"
    "  click      --caption TEXT --name NAME\n"
    "             wait until the control is visible and enabled, then click it (a button\n"
    "             reports BN_CLICKED to its parent; any other control gets a mouse press\n"
    "             and release at its centre)\n"
    "  rect       --caption TEXT --name NAME\n"
    "             print where the control draws on the screen, its client area:\n"
    "             left,top,width,height (screen coordinates)\n"
    "  wait-gone  --caption TEXT\n"
    "             wait until no visible top-level window has this caption\n"
    "Every wait ends after --timeout MS (default 20000). Texts are UTF-8. In the lines of\n"
    "dump and answer, a backslash, tab, CR and LF in a text are written as \\\\, \\t, \\r, \\n.\n"
    "Exit 0 on success, 1 on a time-out or a missing control, 2 for bad arguments.\n";

// One record per line, whatever the text holds.
std::wstring Escaped(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\t': out += L"\\t"; break;
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      default: out += c;
    }
  }
  return out;
}

void Say(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Complain(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

class Deadline {
 public:
  explicit Deadline(DWORD ms) : start_(GetTickCount()), ms_(ms) {}
  bool Passed() const { return GetTickCount() - start_ >= ms_; }
  DWORD Left() const {
    const DWORD spent = GetTickCount() - start_;
    return spent >= ms_ ? 0 : ms_ - spent;
  }

 private:
  DWORD start_;
  DWORD ms_;
};

std::wstring ClassOf(HWND h) {
  wchar_t cls[256] = {};
  const int n = GetClassNameW(h, cls, 256);
  return std::wstring(cls, n > 0 ? static_cast<size_t>(n) : 0);
}

// A window of another process: its caption is read from the system's copy, without a
// message, so a hung window never holds up the search.
std::wstring CaptionOf(HWND h) {
  wchar_t caption[1024] = {};
  const int n = GetWindowTextW(h, caption, 1024);
  return std::wstring(caption, n > 0 ? static_cast<size_t>(n) : 0);
}

// A control's text as the control itself reports it (labels and edits answer
// WM_GETTEXT), with a time limit. Empty optional when the control did not answer.
std::optional<std::wstring> TextOf(HWND h) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &len))
    return std::nullopt;
  // The text may grow between the two questions; room for some more, then cut.
  std::wstring text(len + 256, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kMessageTimeoutMs, &got)) {
    return std::nullopt;
  }
  text.resize(got < text.size() ? got : text.size() - 1);
  return text;
}

std::wstring NameOf(HWND h) {
  return winapp::ControlName(h);
}

struct TopSearch {
  const std::wstring* caption;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<TopSearch*>(lp);
  if (IsWindowVisible(h) && CaptionOf(h) == *s->caption) s->found.push_back(h);
  return TRUE;
}

// Visible top-level windows with exactly this caption, topmost first. A program's
// window and its message boxes often share a caption.
std::vector<HWND> WindowsCaptioned(const std::wstring& caption) {
  TopSearch s{&caption, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&s));
  return s.found;
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

HWND NamedIn(HWND top, const std::wstring& name) {
  for (HWND h : Descendants(top)) {
    if (NameOf(h) == name) return h;
  }
  return nullptr;
}

// The named control in any visible window with this caption.
HWND FindNamed(const std::wstring& caption, const std::wstring& name) {
  for (HWND top : WindowsCaptioned(caption)) {
    if (HWND c = NamedIn(top, name)) return c;
  }
  return nullptr;
}

bool IsMessageBox(HWND h) {
  return ClassOf(h) == L"#32770";
}

// The text a message box asks its question with.
std::wstring MessageBoxText(HWND box) {
  if (HWND h = GetDlgItem(box, kMessageBoxTextId)) {
    if (auto t = TextOf(h)) return *t;
  }
  // Otherwise the last static control with text that is not the icon.
  std::wstring text;
  for (HWND h : Descendants(box)) {
    if (_wcsicmp(ClassOf(h).c_str(), L"Static") != 0) continue;
    if ((GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
    if (auto t = TextOf(h); t && !t->empty()) text = *t;
  }
  return text;
}

// A person can click only what is shown and enabled, in a window that is too (a
// window with a modal box open is disabled).
bool Clickable(HWND control) {
  for (HWND h = control; h; h = GetAncestor(h, GA_PARENT)) {
    if (h == GetDesktopWindow()) break;
    if (!IsWindowVisible(h) || !IsWindowEnabled(h)) return false;
  }
  return true;
}

void Click(HWND control) {
  if (_wcsicmp(ClassOf(control).c_str(), L"Button") == 0) {
    // What a button tells its parent when clicked. Unlike BM_CLICK, it needs neither
    // focus nor an active window, which a window driven from outside may not have.
    const int id = GetDlgCtrlID(control);
    PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
    return;
  }
  // Any other control gets the mouse pressed and released at its centre.
  RECT r{};
  GetClientRect(control, &r);
  const LPARAM at = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(control, WM_LBUTTONUP, 0, at);
}

struct Options {
  std::wstring command;
  std::map<std::wstring, std::wstring> values;
  DWORD timeoutMs = kDefaultTimeoutMs;

  bool Has(const wchar_t* key) const { return values.count(key) != 0; }
  const std::wstring& Get(const wchar_t* key) const { return values.at(key); }
};

// Empty optional (after a complaint) when the arguments are not usable.
std::optional<Options> ParseArguments(int argc, wchar_t** argv) {
  Options o;
  o.command = argv[1];
  static const wchar_t* const kKnown[] = {L"--caption", L"--name", L"--button", L"--contains", L"--timeout"};
  for (int i = 2; i < argc; i += 2) {
    const std::wstring key = argv[i];
    bool known = false;
    for (const wchar_t* k : kKnown) known = known || key == k;
    if (!known) {
      Complain("ui_driver: unknown option " + utf8::FromWide(key));
      return std::nullopt;
    }
    if (i + 1 >= argc) {
      Complain("ui_driver: " + utf8::FromWide(key) + " needs a value");
      return std::nullopt;
    }
    o.values[key] = argv[i + 1];
  }
  if (o.Has(L"--timeout")) {
    const std::wstring& t = o.Get(L"--timeout");
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long ms = std::wcstoul(t.c_str(), &end, 10);
    if (t.empty() || t[0] == L'-' || *end != L'\0' || errno != 0 || ms > 0x7FFFFFFFul) {
      Complain("ui_driver: --timeout takes milliseconds, not " + utf8::FromWide(t));
      return std::nullopt;
    }
    o.timeoutMs = static_cast<DWORD>(ms);
  }
  struct Need {
    const wchar_t* command;
    std::vector<const wchar_t*> options;
  };
  static const Need kNeeds[] = {
      {L"wait", {L"--caption"}},
      {L"answer", {L"--caption", L"--button"}},
      {L"dump", {L"--caption"}},
      {L"text", {L"--caption", L"--name"}},
      {L"wait-text", {L"--caption", L"--name", L"--contains"}},
      {L"click", {L"--caption", L"--name"}},
      {L"rect", {L"--caption", L"--name"}},
      {L"wait-gone", {L"--caption"}},
  };
  for (const Need& n : kNeeds) {
    if (o.command != n.command) continue;
    for (const wchar_t* key : n.options) {
      if (!o.Has(key)) {
        Complain("ui_driver: " + utf8::FromWide(o.command) + " needs " + utf8::FromWide(key));
        return std::nullopt;
      }
    }
    return o;
  }
  Complain("ui_driver: unknown command " + utf8::FromWide(o.command));
  return std::nullopt;
}

int Wait(const Options& o) {
  const Deadline deadline(o.timeoutMs);
  for (;;) {
    const auto found = WindowsCaptioned(o.Get(L"--caption"));
    if (!found.empty()) {
      DWORD pid = 0;
      GetWindowThreadProcessId(found.front(), &pid);
      char line[64];
      std::snprintf(line, sizeof line, "window 0x%llx %lu",
                    static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(found.front())),
                    static_cast<unsigned long>(pid));
      Say(line);
      return 0;
    }
    if (deadline.Passed()) return 1;
    Sleep(kPollMs);
  }
}

int WaitGone(const Options& o) {
  const Deadline deadline(o.timeoutMs);
  while (!WindowsCaptioned(o.Get(L"--caption")).empty()) {
    if (deadline.Passed()) return 1;
    Sleep(kPollMs);
  }
  return 0;
}

int Answer(const Options& o) {
  static const std::map<std::wstring, int> kButtons = {
      {L"yes", IDYES}, {L"no", IDNO}, {L"ok", IDOK}, {L"cancel", IDCANCEL}};
  const auto button = kButtons.find(o.Get(L"--button"));
  if (button == kButtons.end()) {
    Complain("ui_driver: --button is yes, no, ok or cancel");
    return 2;
  }
  const std::wstring& caption = o.Get(L"--caption");
  const Deadline deadline(o.timeoutMs);
  HWND box = nullptr;
  bool sawBoxWithoutButton = false;
  while (!box) {
    for (HWND h : WindowsCaptioned(caption)) {
      if (!IsMessageBox(h)) continue;
      if (GetDlgItem(h, button->second) == nullptr) {
        sawBoxWithoutButton = true;
        continue;
      }
      box = h;
      break;
    }
    if (box) break;
    if (deadline.Passed()) {
      if (sawBoxWithoutButton)
        Complain("ui_driver: the message box has no " + utf8::FromWide(button->first) + " button");
      return 1;
    }
    Sleep(kPollMs);
  }
  Say("box " + utf8::FromWide(Escaped(caption)) + " | " + utf8::FromWide(Escaped(MessageBoxText(box))));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button->second, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button->second)));
  // The answer is given once the box has closed; a box that ignores it is a failure.
  const Deadline closing(deadline.Left() > kMessageTimeoutMs ? deadline.Left() : kMessageTimeoutMs);
  while (IsWindow(box) && IsWindowVisible(box)) {
    if (closing.Passed()) {
      Complain("ui_driver: the message box did not close");
      return 1;
    }
    Sleep(kPollMs);
  }
  return 0;
}

int Dump(const Options& o) {
  const Deadline deadline(o.timeoutMs);
  std::vector<HWND> tops;
  while ((tops = WindowsCaptioned(o.Get(L"--caption"))).empty()) {
    if (deadline.Passed()) return 1;
    Sleep(kPollMs);
  }
  // Of several windows with the caption, the one with named controls.
  HWND top = tops.front();
  for (HWND h : tops) {
    bool named = false;
    for (HWND c : Descendants(h)) named = named || !NameOf(c).empty();
    if (named) {
      top = h;
      break;
    }
  }
  POINT origin{0, 0};
  ClientToScreen(top, &origin);
  for (HWND h : Descendants(top)) {
    const std::wstring name = NameOf(h);
    if (name.empty()) continue;
    RECT r{};
    GetWindowRect(h, &r);
    char rect[96];
    std::snprintf(rect, sizeof rect, "%ld,%ld,%ld,%ld", static_cast<long>(r.left - origin.x),
                  static_cast<long>(r.top - origin.y), static_cast<long>(r.right - r.left),
                  static_cast<long>(r.bottom - r.top));
    Say(utf8::FromWide(Escaped(name)) + "\t" + utf8::FromWide(ClassOf(h)) + "\t" +
        (IsWindowVisible(h) ? "1" : "0") + "\t" + rect + "\t" +
        utf8::FromWide(Escaped(TextOf(h).value_or(std::wstring()))));
  }
  return 0;
}

int Text(const Options& o) {
  const Deadline deadline(o.timeoutMs);
  for (;;) {
    if (HWND c = FindNamed(o.Get(L"--caption"), o.Get(L"--name"))) {
      if (auto t = TextOf(c)) {
        Say(utf8::FromWide(*t));
        return 0;
      }
    }
    if (deadline.Passed()) return 1;
    Sleep(kPollMs);
  }
}

int WaitText(const Options& o) {
  const Deadline deadline(o.timeoutMs);
  std::optional<std::wstring> last;
  for (;;) {
    if (HWND c = FindNamed(o.Get(L"--caption"), o.Get(L"--name"))) {
      last = TextOf(c);
      if (last && last->find(o.Get(L"--contains")) != std::wstring::npos) {
        Say(utf8::FromWide(*last));
        return 0;
      }
    }
    if (deadline.Passed()) {
      Complain(last ? "ui_driver: the text is still: " + utf8::FromWide(*last)
                    : "ui_driver: no such control");
      return 1;
    }
    Sleep(kPollMs);
  }
}

int ClickCommand(const Options& o) {
  const Deadline deadline(o.timeoutMs);
  HWND seen = nullptr;
  for (;;) {
    seen = FindNamed(o.Get(L"--caption"), o.Get(L"--name"));
    if (seen && Clickable(seen)) {
      Click(seen);
      return 0;
    }
    if (deadline.Passed()) {
      Complain(seen ? "ui_driver: the control is hidden or disabled" : "ui_driver: no such control");
      return 1;
    }
    Sleep(kPollMs);
  }
}

// Where the control's pixels are on the screen, so that a screenshot can be read at a
// point of the control: its client area, which for a control with a border is smaller
// than its window.
int Rect(const Options& o) {
  const Deadline deadline(o.timeoutMs);
  for (;;) {
    if (HWND c = FindNamed(o.Get(L"--caption"), o.Get(L"--name"))) {
      RECT r{};
      POINT origin{0, 0};
      if (GetClientRect(c, &r) && ClientToScreen(c, &origin)) {
        char line[96];
        std::snprintf(line, sizeof line, "%ld,%ld,%ld,%ld", static_cast<long>(origin.x),
                      static_cast<long>(origin.y), static_cast<long>(r.right - r.left),
                      static_cast<long>(r.bottom - r.top));
        Say(line);
        return 0;
      }
    }
    if (deadline.Passed()) {
      Complain("ui_driver: no such control");
      return 1;
    }
    Sleep(kPollMs);
  }
}

int Run(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (std::wstring(argv[1]) == L"--help" || std::wstring(argv[1]) == L"-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const auto o = ParseArguments(argc, argv);
  if (!o) return 2;
  if (o->command == L"wait") return Wait(*o);
  if (o->command == L"wait-gone") return WaitGone(*o);
  if (o->command == L"answer") return Answer(*o);
  if (o->command == L"dump") return Dump(*o);
  if (o->command == L"text") return Text(*o);
  if (o->command == L"wait-text") return WaitText(*o);
  if (o->command == L"rect") return Rect(*o);
  return ClickCommand(*o);
}

}  // namespace

int main() {
  // Lines go out exactly as written: no CR added before LF.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return 2;
  int rc = 2;
  try {
    rc = Run(argc, argv);
  } catch (const std::exception& e) {
    Complain(std::string("ui_driver: ") + e.what());
  }
  LocalFree(argv);
  return rc;
}
