// The Windows test tools, run as the end-to-end tests run them: ui_driver.exe works a
// window of this test (on a thread of its own, with named controls and a message box)
// from outside, and target_program.exe records its starts. Every wait is bounded.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../portable/temp_dir.h"
#include "win/gbk_text.h"

namespace {

std::vector<std::wstring> Split(const std::wstring& s, wchar_t sep) {
  std::vector<std::wstring> parts;
  size_t from = 0;
  for (size_t at; (at = s.find(sep, from)) != std::wstring::npos; from = at + 1)
    parts.push_back(s.substr(from, at - from));
  parts.push_back(s.substr(from));
  return parts;
}

std::wstring BesideThisTest(const wchar_t* file) {
  wchar_t self[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  std::wstring dir = self;
  return dir.substr(0, dir.find_last_of(L'\\') + 1) + file;
}

std::wstring Quoted(const std::wstring& arg) {
  return L"\"" + arg + L"\"";
}

// A process this test started; ended at the latest when the test is.
class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process() {
    if (process_) {
      if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 10000);
      }
      CloseHandle(process_);
    }
  }

  // `commandLine` starts with the quoted program path.
  bool Start(const std::wstring& exe, std::wstring commandLine, const std::wstring& cwd = std::wstring(),
             HANDLE out = nullptr, HANDLE err = nullptr) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (out) {
      si.dwFlags = STARTF_USESTDHANDLES;
      si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
      si.hStdOutput = out;
      si.hStdError = err;
    }
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, out ? TRUE : FALSE, 0, nullptr,
                        cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)) {
      return false;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
  }
  // Exit code, or -1 when it is still running after `ms`.
  int Wait(DWORD ms) {
    if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
  }
  bool Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
  bool Terminate() {
    return TerminateProcess(process_, 7) && WaitForSingleObject(process_, 10000) == WAIT_OBJECT_0;
  }
  DWORD pid() const { return pid_; }

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// Everything one pipe carries until its writer closes it, read on a thread.
class PipeReader {
 public:
  PipeReader() {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    CreatePipe(&read_, &write_, &sa, 0);
    SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
  }
  ~PipeReader() {
    CloseWriter();
    if (thread_.joinable()) thread_.join();
    if (read_) CloseHandle(read_);
  }
  HANDLE writer() const { return write_; }
  // Once the child has its copy, so that the pipe ends with the child.
  void StartReading() {
    CloseWriter();
    thread_ = std::thread([this] {
      char buf[4096];
      DWORD got = 0;
      while (ReadFile(read_, buf, sizeof buf, &got, nullptr) && got > 0) bytes_.append(buf, got);
    });
  }
  std::string Finish() {
    if (thread_.joinable()) thread_.join();
    return bytes_;
  }

 private:
  void CloseWriter() {
    if (write_) CloseHandle(write_);
    write_ = nullptr;
  }
  HANDLE read_ = nullptr;
  HANDLE write_ = nullptr;
  std::thread thread_;
  std::string bytes_;
};

struct DriverRun {
  int exitCode = -1;
  std::wstring out, err;
};

// Runs ui_driver.exe to its end (killed if it outlives its own time-out by far).
DriverRun RunDriver(const std::vector<std::wstring>& args) {
  const std::wstring exe = BesideThisTest(L"ui_driver.exe");
  std::wstring commandLine = Quoted(exe);
  for (const auto& a : args) commandLine += L" " + Quoted(a);
  PipeReader out, err;
  Process p;
  DriverRun run;
  if (!p.Start(exe, commandLine, std::wstring(), out.writer(), err.writer())) {
    ADD_FAILURE() << "cannot start " << utf8::FromWide(exe) << ": error " << GetLastError();
    return run;
  }
  out.StartReading();
  err.StartReading();
  run.exitCode = p.Wait(60000);
  if (run.exitCode == -1) p.Terminate();
  run.out = utf8::ToWide(out.Finish());
  run.err = utf8::ToWide(err.Finish());
  return run;
}

std::string Show(const DriverRun& r) {
  return "exit " + std::to_string(r.exitCode) + ", out [" + utf8::FromWide(r.out) + "], err [" +
         utf8::FromWide(r.err) + "]";
}

constexpr wchar_t kCaption[] = L"工具测试 窗口";
constexpr UINT kAsk = WM_APP + 1;         // wParam: MB_ flags; the box has the form's caption
constexpr UINT kSetLater = WM_APP + 2;    // the status label changes a while later
constexpr UINT kCloseLater = WM_APP + 3;  // the form closes a while later
constexpr UINT_PTR kSetTimer = 1, kCloseTimer = 2;
constexpr int kStatusId = 101, kStartId = 102, kOffId = 103;
constexpr wchar_t kQuestion[] = L"发现新版本，现在升级吗？\n第二行";
constexpr wchar_t kLaterText[] = L"下载 big.bin 50%";

struct Command {
  int id;
  int code;
  HWND from;
};

// A window of this test on a thread of its own, as another program's window would
// be: named controls, clicks recorded, and a message box on request.
class TestForm {
 public:
  TestForm() {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    done_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    answered_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    commanded_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    thread_ = std::thread([this] { Run(); });
    WaitForSingleObject(ready_, 10000);
  }
  ~TestForm() {
    if (IsWindow(hwnd_)) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(done_, 10000) == WAIT_OBJECT_0) {
      thread_.join();
    } else {
      ADD_FAILURE() << "the test window's thread did not end";
      thread_.detach();
    }
    for (HANDLE h : {ready_, answered_, commanded_}) CloseHandle(h);
  }

  HWND hwnd() const { return hwnd_; }
  HWND status() const { return status_; }
  HWND start() const { return start_; }
  HWND note() const { return note_; }

  // The first command from a control after `ms` at most; id 0 when none came.
  Command NextCommand(DWORD ms) {
    const DWORD begin = GetTickCount();
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!commands_.empty()) {
          const Command c = commands_.front();
          commands_.erase(commands_.begin());
          return c;
        }
      }
      const DWORD spent = GetTickCount() - begin;
      if (spent >= ms) return Command{0, 0, nullptr};
      WaitForSingleObject(commanded_, ms - spent);
    }
  }
  void Ask(UINT flags) {
    ResetEvent(answered_);
    PostMessageW(hwnd_, kAsk, flags, 0);
  }
  // What MessageBoxW returned, or 0 when the box is still open after `ms`.
  int Answer(DWORD ms) { return WaitForSingleObject(answered_, ms) == WAIT_OBJECT_0 ? answer_.load() : 0; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    }
    auto* self = reinterpret_cast<TestForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
      case WM_COMMAND: {
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->commands_.push_back({LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)});
        SetEvent(self->commanded_);
        return 0;
      }
      case kAsk:
        self->answer_ = MessageBoxW(hwnd, kQuestion, kCaption, static_cast<UINT>(wp));
        SetEvent(self->answered_);
        return 0;
      case kSetLater: SetTimer(hwnd, kSetTimer, 1500, nullptr); return 0;
      case kCloseLater: SetTimer(hwnd, kCloseTimer, 1000, nullptr); return 0;
      case WM_TIMER:
        KillTimer(hwnd, wp);
        if (wp == kSetTimer) SetWindowTextW(self->status_, kLaterText);
        if (wp == kCloseTimer) DestroyWindow(hwnd);
        return 0;
      case WM_DESTROY:
        for (HWND c : self->named_) {
          GlobalDeleteAtom(static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(RemovePropW(c, L"Name"))));
        }
        PostQuitMessage(0);
        return 0;
      case WM_NCDESTROY: SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  struct Box {
    int x, y, width, height;  // in the parent's client area
  };
  HWND Control(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, Box b, int id,
               const wchar_t* name) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | style, b.x, b.y, b.width, b.height, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                             nullptr);
    if (c && name) {
      SetPropW(c, L"Name", reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GlobalAddAtomW(name))));
      named_.push_back(c);
    }
    return c;
  }

  void Run() {
    static const bool registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"UiToolsTestForm";
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
      return RegisterClassW(&wc) != 0;
    }();
    if (registered) {
      hwnd_ = CreateWindowExW(0, L"UiToolsTestForm", kCaption, WS_OVERLAPPEDWINDOW, 60, 60, 480, 220, nullptr,
                              nullptr, GetModuleHandleW(nullptr), this);
    }
    if (hwnd_) {
      // The note sits in a panel, to be found among the panel's children.
      status_ = Control(hwnd_, L"STATIC", L"就绪 ready", WS_VISIBLE | SS_NOTIFY, {10, 20, 200, 24}, kStatusId,
                        L"Lbl_Status");
      start_ = Control(hwnd_, L"BUTTON", L"开始", WS_VISIBLE | BS_PUSHBUTTON, {10, 60, 100, 30}, kStartId,
                       L"Btn_Start");
      Control(hwnd_, L"BUTTON", L"停用", WS_VISIBLE | WS_DISABLED, {120, 60, 100, 30}, kOffId, L"Btn_Off");
      Control(hwnd_, L"STATIC", L"看不见", 0, {10, 100, 100, 20}, 0, L"Lbl_Hidden");
      Control(hwnd_, L"STATIC", L"no name", WS_VISIBLE, {10, 130, 100, 20}, 0, nullptr);
      HWND panel = Control(hwnd_, L"STATIC", L"", WS_VISIBLE, {220, 10, 200, 100}, 0, nullptr);
      note_ = Control(panel, L"EDIT", L"第一行\r\n第二行\tx", WS_VISIBLE | WS_BORDER | ES_MULTILINE,
                      {5, 5, 150, 60}, 0, L"Edt_Note");
      ShowWindow(hwnd_, SW_SHOWNORMAL);
      UpdateWindow(hwnd_);
    }
    SetEvent(ready_);
    MSG msg;
    while (hwnd_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    SetEvent(done_);
  }

  HANDLE ready_, done_, answered_, commanded_;
  HWND hwnd_ = nullptr, status_ = nullptr, start_ = nullptr, note_ = nullptr;
  std::vector<HWND> named_;
  std::mutex mutex_;
  std::vector<Command> commands_;
  std::atomic<int> answer_{0};
  std::thread thread_;
};

class UiDriver : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(IsWindow(form.hwnd())); }
  TestForm form;
};

TEST_F(UiDriver, WaitFindsTheWindowAndItsProcess) {
  const DriverRun r = RunDriver({L"wait", L"--caption", kCaption});
  ASSERT_EQ(r.exitCode, 0) << Show(r);
  wchar_t want[64];
  swprintf(want, 64, L"window 0x%llx %lu\n",
           static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(form.hwnd())),
           static_cast<unsigned long>(GetCurrentProcessId()));
  EXPECT_EQ(r.out, want);
}

TEST_F(UiDriver, DumpListsNamedControlsWithClassVisibilityPlaceAndText) {
  const DriverRun r = RunDriver({L"dump", L"--caption", kCaption});
  ASSERT_EQ(r.exitCode, 0) << Show(r);
  // Exactly these lines, LF-ended, in some order; the unnamed label and the panel
  // are left out, the note inside the panel is found and placed in the form.
  std::vector<std::wstring> lines = Split(r.out, L'\n');
  ASSERT_EQ(lines.back(), L"") << Show(r);
  lines.pop_back();
  const std::vector<std::wstring> want = {
      L"Lbl_Status\tStatic\t1\t10,20,200,24\t就绪 ready",
      L"Btn_Start\tButton\t1\t10,60,100,30\t开始",
      L"Btn_Off\tButton\t1\t120,60,100,30\t停用",
      L"Lbl_Hidden\tStatic\t0\t10,100,100,20\t看不见",
      L"Edt_Note\tEdit\t1\t225,15,150,60\t第一行\\r\\n第二行\\tx",
  };
  EXPECT_EQ(lines.size(), want.size()) << Show(r);
  for (const auto& w : want) {
    bool found = false;
    for (const auto& l : lines) found = found || _wcsicmp(l.c_str(), w.c_str()) == 0;
    EXPECT_TRUE(found) << utf8::FromWide(w) << " in " << Show(r);
  }
}

TEST_F(UiDriver, TextPrintsTheNamedControlsText) {
  struct Case {
    const wchar_t* name;
    const wchar_t* out;
  } cases[] = {
      {L"Lbl_Status", L"就绪 ready\n"},
      {L"Btn_Start", L"开始\n"},
      {L"Edt_Note", L"第一行\r\n第二行\tx\n"},  // as it is: the whole output is the text
  };
  for (const auto& c : cases) {
    const DriverRun r = RunDriver({L"text", L"--caption", kCaption, L"--name", c.name});
    EXPECT_EQ(r.exitCode, 0) << utf8::FromWide(c.name) << ": " << Show(r);
    EXPECT_EQ(r.out, c.out) << utf8::FromWide(c.name);
  }
}

TEST_F(UiDriver, ClickReachesTheFormAsTheControlsOwnNotification) {
  struct Case {
    const wchar_t* name;
    int id;
    int code;
    HWND from;
  } cases[] = {
      {L"Btn_Start", kStartId, BN_CLICKED, form.start()},
      {L"Lbl_Status", kStatusId, STN_CLICKED, form.status()},  // a label that reports clicks
  };
  for (const auto& c : cases) {
    const DriverRun r = RunDriver({L"click", L"--caption", kCaption, L"--name", c.name});
    ASSERT_EQ(r.exitCode, 0) << utf8::FromWide(c.name) << ": " << Show(r);
    const Command got = form.NextCommand(10000);
    EXPECT_EQ(got.id, c.id) << utf8::FromWide(c.name);
    EXPECT_EQ(got.code, c.code) << utf8::FromWide(c.name);
    EXPECT_EQ(got.from, c.from) << utf8::FromWide(c.name);
  }
}

TEST_F(UiDriver, RectIsWhereTheControlDrawsOnTheScreen) {
  // The form is moved first, so that a rectangle taken from the layout alone is wrong.
  ASSERT_TRUE(SetWindowPos(form.hwnd(), nullptr, 137, 91, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
  struct Case {
    const wchar_t* name;
    HWND control;
  } cases[] = {
      {L"Lbl_Status", form.status()},
      {L"Edt_Note", form.note()},  // in a panel, with a border: its client area is inside it
  };
  for (const auto& c : cases) {
    RECT client{};
    POINT origin{0, 0};
    ASSERT_TRUE(GetClientRect(c.control, &client));
    ASSERT_TRUE(ClientToScreen(c.control, &origin));
    wchar_t want[96];
    swprintf(want, 96, L"%ld,%ld,%ld,%ld\n", static_cast<long>(origin.x), static_cast<long>(origin.y),
             static_cast<long>(client.right), static_cast<long>(client.bottom));
    const DriverRun r = RunDriver({L"rect", L"--caption", kCaption, L"--name", c.name});
    EXPECT_EQ(r.exitCode, 0) << utf8::FromWide(c.name) << ": " << Show(r);
    EXPECT_EQ(r.out, want) << utf8::FromWide(c.name);
  }
  RECT window{};
  GetWindowRect(form.note(), &window);
  EXPECT_EQ(window.right - window.left, 150) << "the note lost its border; the case shows nothing";
}

TEST_F(UiDriver, WaitTextWaitsForTheTextToChange) {
  PostMessageW(form.hwnd(), kSetLater, 0, 0);
  const DWORD begin = GetTickCount();
  const DriverRun r =
      RunDriver({L"wait-text", L"--caption", kCaption, L"--name", L"Lbl_Status", L"--contains", L"big.bin"});
  EXPECT_EQ(r.exitCode, 0) << Show(r);
  EXPECT_EQ(r.out, std::wstring(kLaterText) + L"\n");
  EXPECT_GE(GetTickCount() - begin, 1000u) << "it answered before the text changed";
}

TEST_F(UiDriver, AnswerPressesTheButtonAndReportsTheQuestion) {
  struct Case {
    const wchar_t* button;
    int result;
  } cases[] = {{L"yes", IDYES}, {L"no", IDNO}};
  for (const auto& c : cases) {
    form.Ask(MB_YESNO | MB_ICONQUESTION);
    // The box shares the form's caption; the form's controls are still found.
    const DriverRun text = RunDriver({L"text", L"--caption", kCaption, L"--name", L"Lbl_Status"});
    EXPECT_EQ(text.out, L"就绪 ready\n") << Show(text);
    const DriverRun r = RunDriver({L"answer", L"--caption", kCaption, L"--button", c.button});
    EXPECT_EQ(r.exitCode, 0) << Show(r);
    EXPECT_EQ(r.out, std::wstring(L"box ") + kCaption + L" | 发现新版本，现在升级吗？\\n第二行\n");
    EXPECT_EQ(form.Answer(10000), c.result) << utf8::FromWide(c.button);
  }
}

TEST_F(UiDriver, AnswerDoesNotPressAButtonTheBoxLacks) {
  form.Ask(MB_YESNO);
  const DriverRun r =
      RunDriver({L"answer", L"--caption", kCaption, L"--button", L"ok", L"--timeout", L"1500"});
  EXPECT_EQ(r.exitCode, 1) << Show(r);
  EXPECT_EQ(r.out, L"");
  EXPECT_NE(r.err.find(L"no ok button"), std::wstring::npos) << Show(r);
  EXPECT_EQ(form.Answer(0), 0) << "the box was closed";
  EXPECT_EQ(RunDriver({L"answer", L"--caption", kCaption, L"--button", L"no"}).exitCode, 0);
  EXPECT_EQ(form.Answer(10000), IDNO);
}

TEST_F(UiDriver, WaitGoneReturnsOnceTheWindowCloses) {
  PostMessageW(form.hwnd(), kCloseLater, 0, 0);
  const DriverRun r = RunDriver({L"wait-gone", L"--caption", kCaption});
  EXPECT_EQ(r.exitCode, 0) << Show(r);
  // DestroyWindow hides the window first; the driver may see it gone while the
  // form's thread is still tearing it down, so allow that to finish.
  for (int i = 0; i < 200 && IsWindow(form.hwnd()); ++i) Sleep(10);
  EXPECT_FALSE(IsWindow(form.hwnd()));
}

TEST_F(UiDriver, TimeOutsAndMissingControlsEndWithOne) {
  const std::wstring shortWait = L"600";
  const std::vector<std::vector<std::wstring>> cases = {
      {L"wait", L"--caption", L"没有这个窗口"},
      {L"dump", L"--caption", L"没有这个窗口"},
      {L"wait-gone", L"--caption", kCaption},
      {L"text", L"--caption", kCaption, L"--name", L"Lbl_Nowhere"},
      {L"wait-text", L"--caption", kCaption, L"--name", L"Lbl_Status", L"--contains", L"never"},
      {L"click", L"--caption", kCaption, L"--name", L"Lbl_Nowhere"},
      {L"rect", L"--caption", kCaption, L"--name", L"Lbl_Nowhere"},
      {L"click", L"--caption", kCaption, L"--name", L"Btn_Off"},     // disabled
      {L"click", L"--caption", kCaption, L"--name", L"Lbl_Hidden"},  // hidden
      {L"answer", L"--caption", kCaption, L"--button", L"yes"},      // no box
  };
  for (auto args : cases) {
    args.push_back(L"--timeout");
    args.push_back(shortWait);
    const DriverRun r = RunDriver(args);
    EXPECT_EQ(r.exitCode, 1) << utf8::FromWide(args[0]) << " "
                             << utf8::FromWide(args[4 < args.size() ? 4 : 2]) << ": " << Show(r);
  }
  EXPECT_EQ(form.NextCommand(300).id, 0) << "a click reached the form";
}

TEST(UiDriverArguments, BadArgumentsEndWithTwo) {
  const std::vector<std::vector<std::wstring>> cases = {
      {},
      {L"press", L"--caption", L"x"},
      {L"text", L"--caption", L"x"},
      {L"wait-text", L"--caption", L"x", L"--name", L"y"},
      {L"rect", L"--caption", L"x"},
      {L"answer", L"--caption", L"x", L"--button", L"maybe"},
      {L"wait", L"--caption", L"x", L"--timeout", L"soon"},
      {L"wait", L"--caption", L"x", L"--timeout", L"-5"},
      {L"wait", L"--caption", L"x", L"--colour", L"red"},
      {L"wait", L"--caption"},
  };
  for (const auto& args : cases) {
    const DriverRun r = RunDriver(args);
    EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "no arguments" : utf8::FromWide(args[0])) << ": " << Show(r);
  }
  const DriverRun help = RunDriver({L"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find(L"wait-text"), std::wstring::npos);
}

// target_program.exe, copied under another name into a folder of its own. Not under
// the updater's default target name: update.exe, run by other tests at the same time
// in the same Wine session, ends every process of that name.
class TargetProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = dir.path().wstring() + L"\\安装 目录";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    exe = folder + L"\\Standin.exe";
    ASSERT_TRUE(CopyFileW(BesideThisTest(L"target_program.exe").c_str(), exe.c_str(), TRUE));
  }
  std::vector<std::wstring> LogLines() {
    HANDLE h = CreateFileW((exe + L".log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
    CloseHandle(h);
    std::vector<std::wstring> lines = Split(utf8::ToWide(bytes), L'\n');
    lines.pop_back();  // after the last line end
    return lines;
  }
  std::vector<std::wstring> LogLinesAfter(size_t count) {
    for (int i = 0; i < 200 && LogLines().size() < count; ++i) Sleep(50);
    return LogLines();
  }
  std::wstring StartLine(const Process& p, const std::wstring& args, const std::wstring& cwd) {
    return L"start pid=" + std::to_wstring(p.pid()) + L" args=[" + args + L"] cwd=" + cwd + L"\r";
  }

  TempDir dir;
  std::wstring folder, exe;
};

TEST_F(TargetProgram, EachStartIsLoggedAndItStaysUntilTerminated) {
  const std::wstring elsewhere = dir.path().wstring();
  Process first, second, third;
  ASSERT_TRUE(first.Start(exe, Quoted(exe), folder));
  ASSERT_EQ(LogLinesAfter(1).size(), 1u);
  ASSERT_TRUE(second.Start(exe, Quoted(exe), folder));
  ASSERT_EQ(LogLinesAfter(2).size(), 2u);
  ASSERT_TRUE(third.Start(exe, Quoted(exe) + L" run run", elsewhere));
  const auto lines = LogLinesAfter(3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], StartLine(first, L"", folder));
  EXPECT_EQ(lines[1], StartLine(second, L"", folder));
  EXPECT_EQ(lines[2], StartLine(third, L"run run", elsewhere));

  for (Process* p : {&first, &second, &third}) {
    EXPECT_EQ(p->Wait(500), -1) << "it ended by itself";
    EXPECT_TRUE(p->Terminate());
  }
}

TEST_F(TargetProgram, AnExitMarkerMakesItEndAtOnceAfterLogging) {
  HANDLE marker = CreateFileW((exe + L".exit").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(marker, INVALID_HANDLE_VALUE);
  CloseHandle(marker);
  Process p;
  // The arguments as given, quotes and doubled blanks included.
  ASSERT_TRUE(p.Start(exe, L"Halvo  \"a b\"  c", folder));
  EXPECT_EQ(p.Wait(20000), 0);
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], StartLine(p, L"\"a b\"  c", folder));
}

}  // namespace
