// wintool: looks at and drives the windows of other processes for the
// end-to-end tests. One result per line, key=value, strings in double quotes
// with '"' and '\' escaped (control characters as \n, \r, \t, \xHH), numbers
// decimal. Exit code 0 on success, 1 when a window is not found or a wait
// times out, 2 on bad usage.
//
//   list                                   every top-level window
//   wait [--class C] [--title T] [--pid N] [--timeout MS] [--hidden-too]
//                                          waits for a visible top-level window (or any,
//                                          with --hidden-too), prints its list line
//   wait-gone HWND [--timeout MS]          waits until the window no longer exists
//   children HWND                          every descendant control
//   text HWND | settext HWND TEXT
//   send HWND MSG WPARAM LPARAM            prints result=
//   post HWND MSG WPARAM LPARAM
//   combo HWND                             count=, selected=, item=<i> text="..."
//   click HWND | trackbar HWND
//   host W H [TITLE]                       a borderless top-level window, client W x H
//   cursor                                 flags=, shown=, handle=
//   keystate VK                            down=0|1: the key or button as the system's input
//                                          has it (the server's state, set as input is queued)
//   painted HWND [--timeout MS]            invalidates the window, waits until its thread has
//                                          painted it: painted=1 (exit 1 on timeout). A thread
//                                          gets WM_PAINT only once no sent, posted or input
//                                          message waits for it, so everything queued before
//                                          has then been handled.
//   pid-of HWND
//   monitors                               every monitor: rect=L,T,R,B primary=0|1, then count=N
//   display-reset                          applies the stored display settings, through the
//                                          first display that takes them: result=N (0 taken).
//                                          Wine then lists the monitors as the X server has them
//                                          at this program's start, and sends WM_DISPLAYCHANGE
//   move HWND X Y W H                      SetWindowPos to that place and size, Z order kept
//   xwindow HWND                           whole=, client=: Wine's X window ids (0 when none)
//   hold HWND                              watching=PID: the window's process is held by this
//                                          wintool (kept between the verbs of serve)
//   held-code PID [--timeout MS]           code= once the held process has ended; it is then
//                                          let go. Exit 1 when not held, or still running
//   run COMMAND_LINE                       starts exactly that command line (no quoting added),
//                                          waits for it, prints code=; 1 when it cannot start
//   reg-list KEY                           every value: name="..." type=N kind=REG_.. size=N
//                                          data=HEX, then values=N; absent=1 (exit 1) without the
//                                          key
//   reg-set KEY NAME TYPE DATA             REG_SZ / REG_EXPAND_SZ: the text with its terminator;
//                                          REG_DWORD: a number; REG_BINARY: hex bytes
//   reg-set-bytes KEY NAME TYPE HEX ...    exactly these bytes (even none) under any TYPE; more
//                                          NAME TYPE HEX triples write more values in one run
//   reg-delete KEY [NAME]                  the key with everything below it, or one value;
//                                          deleted=1, or absent=1 (exit 1)
//   resource FILE TYPE ID                  one resource of a program file, read as data (the
//                                          program does not run): size=N data=HEX, or absent=1
//                                          (exit 1); TYPE and ID are numbers or names
//   serve                                  runs the verbs read from standard input, one per
//                                          line: each argument as "=" and its UTF-8 in hex,
//                                          blank-separated; each verb's output is followed by
//                                          wintool-done code=N. Ends at the end of input.
//                                          (Starting a Wine program costs the tests more than
//                                          most verbs take.)
//
// Numbers are decimal or 0x hex, optionally negative. Texts are exchanged as
// UTF-16 with the other process and printed as UTF-8.
//
// KEY is ROOT\path, ROOT one of HKCU, HKLM, HKCR, HKU (or their long names);
// NAME "" is the key's default value; TYPE a REG_ name or a number. Value
// data are the bytes the registry holds: texts in UTF-16, with a terminator
// only where one was stored (reading through the A functions converts them
// and adds a missing terminator where there is room, which would hide it).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kOk = 0;
constexpr int kNotFound = 1;
constexpr int kUsage = 2;
constexpr DWORD kDefaultWaitMs = 20000;
constexpr DWORD kPollMs = 100;
constexpr UINT kSendTimeoutMs = 10000;
constexpr wchar_t kHostClass[] = L"wintool host";

std::string toUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

// A quoted string that a script can take apart again.
std::string quoted(const std::wstring& text) {
  std::string raw = toUtf8(text), out = "\"";
  for (unsigned char c : raw) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

unsigned long long handleNumber(HWND window) {
  return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window));
}

// Decimal or 0x hex, with an optional minus sign; false on anything else.
bool parseNumber(const wchar_t* text, long long* value) {
  if (!text || !*text) return false;
  bool negative = false;
  if (*text == L'-') {
    negative = true;
    ++text;
  }
  unsigned long long result = 0;
  int base = 10;
  if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    base = 16;
    text += 2;
  }
  if (!*text) return false;
  for (; *text; ++text) {
    unsigned digit;
    if (*text >= L'0' && *text <= L'9')
      digit = *text - L'0';
    else if (base == 16 && *text >= L'a' && *text <= L'f')
      digit = *text - L'a' + 10;
    else if (base == 16 && *text >= L'A' && *text <= L'F')
      digit = *text - L'A' + 10;
    else
      return false;
    result = result * base + digit;
  }
  *value = negative ? -static_cast<long long>(result) : static_cast<long long>(result);
  return true;
}

bool parseWindow(const wchar_t* text, HWND* window) {
  long long value;
  if (!parseNumber(text, &value)) return false;
  *window = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
  return true;
}

std::wstring className(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

// WM_GETTEXT is marshalled across processes; GetWindowText is not for controls.
bool windowText(HWND window, std::wstring* text) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length))
    return false;
  std::vector<wchar_t> buffer(length + 2, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                           reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &copied))
    return false;
  *text = std::wstring(buffer.data());
  return true;
}

// Top-level titles are held by the window manager side; no message needed.
std::wstring topLevelTitle(HWND window) {
  wchar_t title[1024] = L"";
  InternalGetWindowText(window, title, 1024);
  return title;
}

std::string rectText(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  char text[96];
  snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", static_cast<long>(r.left),
           static_cast<long>(r.top), static_cast<long>(r.right), static_cast<long>(r.bottom));
  return text;
}

void printTopLevel(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HWND parent = GetAncestor(window, GA_PARENT);
  if (parent == GetDesktopWindow()) parent = nullptr;
  printf(
      "hwnd=%llu pid=%lu class=%s title=%s rect=%s owner=%llu parent=%llu visible=%d style=0x%lx "
      "exstyle=0x%lx\n",
      handleNumber(window), static_cast<unsigned long>(pid), quoted(className(window)).c_str(),
      quoted(topLevelTitle(window)).c_str(), rectText(window).c_str(),
      handleNumber(GetWindow(window, GW_OWNER)), handleNumber(parent),
      IsWindowVisible(window) ? 1 : 0,
      static_cast<unsigned long>(GetWindowLongPtrW(window, GWL_STYLE)),
      static_cast<unsigned long>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
}

BOOL CALLBACK collectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> topLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

int commandList() {
  for (HWND window : topLevelWindows()) printTopLevel(window);
  return kOk;
}

struct WindowQuery {
  const wchar_t* className = nullptr;
  const wchar_t* title = nullptr;
  long long pid = -1;
  bool hiddenToo = false;
};

// A window is made before it is shown, and a dialog's controls may still be
// coming when it exists: a wait is for a window a user could see.
bool matches(HWND window, const WindowQuery& query) {
  if (!query.hiddenToo && !IsWindowVisible(window)) return false;
  if (query.className && className(window) != query.className) return false;
  if (query.title && topLevelTitle(window) != query.title) return false;
  if (query.pid >= 0) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (static_cast<long long>(pid) != query.pid) return false;
  }
  return true;
}

int commandWait(int argc, wchar_t** argv) {
  WindowQuery query;
  long long timeout = kDefaultWaitMs;
  for (int i = 0; i < argc; i += 2) {
    if (!wcscmp(argv[i], L"--hidden-too")) {
      query.hiddenToo = true;
      --i;
      continue;
    }
    if (i + 1 >= argc) return kUsage;
    if (!wcscmp(argv[i], L"--class"))
      query.className = argv[i + 1];
    else if (!wcscmp(argv[i], L"--title"))
      query.title = argv[i + 1];
    else if (!wcscmp(argv[i], L"--pid") && parseNumber(argv[i + 1], &query.pid))
      continue;
    else if (!wcscmp(argv[i], L"--timeout") && parseNumber(argv[i + 1], &timeout))
      continue;
    else
      return kUsage;
  }
  if (!query.className && !query.title && query.pid < 0) return kUsage;
  DWORD start = GetTickCount();
  for (;;) {
    for (HWND window : topLevelWindows()) {
      if (matches(window, query)) {
        printTopLevel(window);
        return kOk;
      }
    }
    if (static_cast<long long>(GetTickCount() - start) >= timeout) return kNotFound;
    Sleep(kPollMs);
  }
}

// "HWND [--timeout MS]"; false on anything else.
bool parseWindowAndTimeout(int argc, wchar_t** argv, HWND* window, long long* timeout) {
  *timeout = kDefaultWaitMs;
  if (argc < 1 || !parseWindow(argv[0], window)) return false;
  if (argc == 1) return true;
  return argc == 3 && !wcscmp(argv[1], L"--timeout") && parseNumber(argv[2], timeout);
}

int commandWaitGone(int argc, wchar_t** argv) {
  HWND window;
  long long timeout;
  if (!parseWindowAndTimeout(argc, argv, &window, &timeout)) return kUsage;
  DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (static_cast<long long>(GetTickCount() - start) >= timeout) return kNotFound;
    Sleep(kPollMs);
  }
  printf("gone=1\n");
  return kOk;
}

BOOL CALLBACK collectChild(HWND window, LPARAM list) {
  return collectWindow(window, list);
}

int commandChildren(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    std::wstring name = className(child), text;
    windowText(child, &text);
    long long check = -1;
    if (!_wcsicmp(name.c_str(), L"Button")) {
      DWORD_PTR state = 0;
      if (SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state))
        check = static_cast<long long>(state);
    }
    printf(
        "hwnd=%llu id=%ld class=%s text=%s check=%lld enabled=%d visible=%d rect=%s style=0x%lx\n",
        handleNumber(child), static_cast<long>(GetDlgCtrlID(child)), quoted(name).c_str(),
        quoted(text).c_str(), check, IsWindowEnabled(child) ? 1 : 0, IsWindowVisible(child) ? 1 : 0,
        rectText(child).c_str(), static_cast<unsigned long>(GetWindowLongPtrW(child, GWL_STYLE)));
  }
  return kOk;
}

int commandText(HWND window) {
  std::wstring text;
  if (!windowText(window, &text)) return kNotFound;
  printf("text=%s\n", quoted(text).c_str());
  return kOk;
}

int commandSetText(HWND window, const wchar_t* text) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &result))
    return kNotFound;
  printf("result=%lld\n", static_cast<long long>(static_cast<LRESULT>(result)));
  return kOk;
}

int commandMessage(HWND window, wchar_t** argv, bool post) {
  long long message, wParam, lParam;
  if (!parseNumber(argv[0], &message) || !parseNumber(argv[1], &wParam) ||
      !parseNumber(argv[2], &lParam))
    return kUsage;
  if (post) {
    if (!PostMessageW(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                      static_cast<LPARAM>(lParam)))
      return kNotFound;
    printf("posted=1\n");
    return kOk;
  }
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                           static_cast<LPARAM>(lParam), SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
    return kNotFound;
  printf("result=%lld\n", static_cast<long long>(static_cast<LRESULT>(result)));
  return kOk;
}

// The W forms: Wine's A form of CB_GETLBTEXT hands back UTF-16 across processes.
int commandCombo(HWND combo) {
  LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  printf("count=%lld\nselected=%lld\n", static_cast<long long>(count),
         static_cast<long long>(selected));
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
    std::vector<wchar_t> buffer(length > 0 ? length + 2 : 2, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer.data()));
    printf("item=%lld text=%s\n", static_cast<long long>(i), quoted(buffer.data()).c_str());
  }
  return kOk;
}

int commandTrackbar(HWND trackbar) {
  DWORD_PTR position = 0;
  if (!SendMessageTimeoutW(trackbar, TBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &position))
    return kNotFound;
  printf("pos=%lld\n", static_cast<long long>(static_cast<LRESULT>(position)));
  return kOk;
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A borderless pop-up, so its window rectangle is its client area: the saver's
// preview sizes itself from the host's window rectangle.
int commandHost(long long width, long long height, const wchar_t* title) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = hostWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  windowClass.lpszClassName = kHostClass;
  if (!RegisterClassExW(&windowClass)) return kNotFound;
  const DWORD style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
  RECT frame{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  HWND window =
      CreateWindowExW(0, kHostClass, title, style, 40, 40, frame.right - frame.left,
                      frame.bottom - frame.top, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (!window) return kNotFound;
  printf("hwnd=%llu\n", handleNumber(window));
  fflush(stdout);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return kOk;
}

int commandCursor() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  if (!GetCursorInfo(&info)) return kNotFound;
  int shown = (info.flags & CURSOR_SHOWING) && info.hCursor ? 1 : 0;
  printf("flags=%lu shown=%d handle=%llu\n", static_cast<unsigned long>(info.flags), shown,
         static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(info.hCursor)));
  return kOk;
}

int commandKeyState(const wchar_t* key) {
  long long code;
  if (!parseNumber(key, &code) || code < 1 || code > 254) return kUsage;
  printf("down=%d\n", (GetAsyncKeyState(static_cast<int>(code)) & 0x8000) ? 1 : 0);
  return kOk;
}

int commandPainted(int argc, wchar_t** argv) {
  HWND window;
  long long timeout;
  if (!parseWindowAndTimeout(argc, argv, &window, &timeout)) return kUsage;
  if (!RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE)) return kNotFound;
  DWORD start = GetTickCount();
  while (GetUpdateRect(window, nullptr, FALSE)) {
    if (static_cast<long long>(GetTickCount() - start) >= timeout) return kNotFound;
    Sleep(1);
  }
  if (!IsWindow(window)) return kNotFound;  // no update region either
  printf("painted=1\n");
  return kOk;
}

// Wine's X11 driver keeps the X windows of a window in its properties; a
// child rendered offscreen is captured through its client window.
int commandXWindow(HWND window) {
  printf("whole=%llu client=%llu\n",
         static_cast<unsigned long long>(
             reinterpret_cast<uintptr_t>(GetPropA(window, "__wine_x11_whole_window"))),
         static_cast<unsigned long long>(
             reinterpret_cast<uintptr_t>(GetPropA(window, "__wine_x11_client_window"))));
  return kOk;
}

int commandPidOf(HWND window) {
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(window, &pid)) return kNotFound;
  printf("pid=%lu\n", static_cast<unsigned long>(pid));
  return kOk;
}

// Processes held by "hold", by id: a served wintool holds them while the
// tests go on, where waiting on each would need a Wine program of its own.
std::map<DWORD, HANDLE>& heldProcesses() {
  static std::map<DWORD, HANDLE> held;
  return held;
}

int commandHold(HWND window) {
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(window, &pid)) return kNotFound;
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return kNotFound;
  HANDLE& slot = heldProcesses()[pid];
  if (slot) CloseHandle(slot);
  slot = process;
  printf("watching=%lu\n", static_cast<unsigned long>(pid));
  return kOk;
}

int commandHeldCode(int argc, wchar_t** argv) {
  long long pid, timeout = kDefaultWaitMs;
  if (argc < 1 || !parseNumber(argv[0], &pid)) return kUsage;
  if (argc != 1 && !(argc == 3 && !wcscmp(argv[1], L"--timeout") && parseNumber(argv[2], &timeout)))
    return kUsage;
  auto held = heldProcesses().find(static_cast<DWORD>(pid));
  if (held == heldProcesses().end()) return kNotFound;
  DWORD code = 0;
  if (WaitForSingleObject(held->second, static_cast<DWORD>(timeout)) != WAIT_OBJECT_0) {
    printf("running=1\n");
    return kNotFound;
  }
  bool read = GetExitCodeProcess(held->second, &code);
  CloseHandle(held->second);
  heldProcesses().erase(held);
  if (!read) return kNotFound;
  printf("code=%lu\n", static_cast<unsigned long>(code));
  return kOk;
}

// ---- Processes and the registry ----------------------------------------------

// Wine quotes every argument of its own command line that holds a blank;
// installers want switches such as "/D=C:\Some Folder" as they are.
int commandRun(const wchar_t* commandLine) {
  std::vector<wchar_t> line(commandLine, commandLine + wcslen(commandLine) + 1);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    printf("error=%lu\n", static_cast<unsigned long>(GetLastError()));
    return kNotFound;
  }
  CloseHandle(process.hThread);
  DWORD code = 0;
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  printf("code=%lu\n", static_cast<unsigned long>(code));
  return kOk;
}

struct RootKey {
  const wchar_t* shortName;
  const wchar_t* longName;
  HKEY key;
};

const RootKey kRootKeys[] = {
    {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKU", L"HKEY_USERS", HKEY_USERS},
};

struct TypeName {
  DWORD type;
  const wchar_t* name;
};

const TypeName kTypeNames[] = {
    {REG_NONE, L"REG_NONE"},           {REG_SZ, L"REG_SZ"},
    {REG_EXPAND_SZ, L"REG_EXPAND_SZ"}, {REG_BINARY, L"REG_BINARY"},
    {REG_DWORD, L"REG_DWORD"},         {REG_DWORD_BIG_ENDIAN, L"REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, L"REG_LINK"},           {REG_MULTI_SZ, L"REG_MULTI_SZ"},
    {REG_QWORD, L"REG_QWORD"},
};

// "HKCU\Control Panel\Desktop" as its root and the path below it.
bool parseKey(const wchar_t* text, HKEY* root, std::wstring* path) {
  std::wstring key = text;
  size_t slash = key.find(L'\\');
  std::wstring rootName = key.substr(0, slash);
  *path = slash == std::wstring::npos ? std::wstring() : key.substr(slash + 1);
  for (const RootKey& candidate : kRootKeys) {
    if (!_wcsicmp(rootName.c_str(), candidate.shortName) ||
        !_wcsicmp(rootName.c_str(), candidate.longName)) {
      *root = candidate.key;
      return true;
    }
  }
  return false;
}

bool parseType(const wchar_t* text, DWORD* type) {
  for (const TypeName& candidate : kTypeNames) {
    if (!_wcsicmp(text, candidate.name)) {
      *type = candidate.type;
      return true;
    }
  }
  long long number;
  if (!parseNumber(text, &number) || number < 0 || number > 0xFFFFFFFFLL) return false;
  *type = static_cast<DWORD>(number);
  return true;
}

std::wstring typeName(DWORD type) {
  for (const TypeName& candidate : kTypeNames)
    if (candidate.type == type) return candidate.name;
  return L"";
}

// Pairs of hex digits, nothing else; "" is no bytes.
bool parseHex(const wchar_t* text, std::string* bytes) {
  size_t length = wcslen(text);
  if (length % 2) return false;
  bytes->clear();
  for (size_t i = 0; i < length; i += 2) {
    wchar_t pair[5] = {L'0', L'x', text[i], text[i + 1], L'\0'};
    long long value;
    if (!iswxdigit(text[i]) || !iswxdigit(text[i + 1]) || !parseNumber(pair, &value)) return false;
    *bytes += static_cast<char>(value);
  }
  return true;
}

std::string hexText(const BYTE* data, DWORD size) {
  std::string out;
  char pair[4];
  for (DWORD i = 0; i < size; ++i) {
    snprintf(pair, sizeof pair, "%02X", data[i]);
    out += pair;
  }
  return out;
}

// Prints the outcome of a registry call and gives the exit code: absent=1 for
// a missing key or value where that is an answer, error=N, or the success line.
int registryOutcome(LONG result, bool absentIsAnswer, const std::string& success) {
  if (absentIsAnswer && result == ERROR_FILE_NOT_FOUND) {
    printf("absent=1\n");
    return kNotFound;
  }
  if (result != ERROR_SUCCESS) {
    printf("error=%ld\n", static_cast<long>(result));
    return kNotFound;
  }
  printf("%s\n", success.c_str());
  return kOk;
}

int commandRegList(HKEY root, const std::wstring& path) {
  HKEY key;
  LONG result = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
  if (result != ERROR_SUCCESS) return registryOutcome(result, true, "");
  std::vector<wchar_t> name(32768);
  std::vector<BYTE> data;
  DWORD index = 0;
  for (;;) {
    // The size first, then a buffer of exactly that size, so that no function
    // can add a terminator that is not stored.
    DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = 0, type = 0;
    result = RegEnumValueW(key, index, name.data(), &nameSize, nullptr, &type, nullptr, &dataSize);
    if (result != ERROR_SUCCESS) break;
    data.assign(dataSize + 1, 0);
    nameSize = static_cast<DWORD>(name.size());
    result =
        RegEnumValueW(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (result == ERROR_MORE_DATA) continue;  // changed in between
    if (result != ERROR_SUCCESS) break;
    printf("name=%s type=%lu kind=%s size=%lu data=%s\n", quoted(name.data()).c_str(),
           static_cast<unsigned long>(type), toUtf8(typeName(type)).c_str(),
           static_cast<unsigned long>(dataSize), hexText(data.data(), dataSize).c_str());
    ++index;
  }
  RegCloseKey(key);
  return registryOutcome(result == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : result, false,
                         "values=" + std::to_string(index));
}

int writeValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
               const BYTE* data, DWORD size) {
  HKEY key;
  LONG result =
      RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (result == ERROR_SUCCESS) {
    // Followed by non-zero bytes: a text whose terminator follows it in
    // memory but is not counted gets it counted in (as Windows does).
    std::vector<BYTE> exact(data, data + size);
    exact.insert(exact.end(), {0xFF, 0xFF});
    result = RegSetValueExW(key, name, 0, type, exact.data(), size);
    RegCloseKey(key);
  }
  return registryOutcome(result, false, "size=" + std::to_string(size));
}

int writeValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
               const std::string& bytes) {
  return writeValue(root, path, name, type, reinterpret_cast<const BYTE*>(bytes.data()),
                    static_cast<DWORD>(bytes.size()));
}

// Texts go in as UTF-16 with their terminator, as a program stores a text.
int commandRegSet(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
                  const wchar_t* data) {
  if (type == REG_SZ || type == REG_EXPAND_SZ)
    return writeValue(root, path, name, type, reinterpret_cast<const BYTE*>(data),
                      static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
  std::string bytes;
  long long number;
  if (type == REG_DWORD) {
    if (!parseNumber(data, &number) || number < -0x80000000LL || number > 0xFFFFFFFFLL)
      return kUsage;
    uint32_t value = static_cast<uint32_t>(number);
    bytes.assign(reinterpret_cast<const char*>(&value), sizeof value);
  } else if (type != REG_BINARY || !parseHex(data, &bytes)) {
    return kUsage;
  }
  return writeValue(root, path, name, type, bytes);
}

// NAME TYPE HEX triples, every one checked before the first is written.
int commandRegSetBytes(HKEY root, const std::wstring& path, int argc, wchar_t** argv) {
  if (argc < 3 || argc % 3 != 0) return kUsage;
  std::vector<DWORD> types(argc / 3);
  std::vector<std::string> values(argc / 3);
  for (int i = 0; i < argc / 3; ++i)
    if (!parseType(argv[3 * i + 1], &types[i]) || !parseHex(argv[3 * i + 2], &values[i]))
      return kUsage;
  for (int i = 0; i < argc / 3; ++i) {
    int code = writeValue(root, path, argv[3 * i], types[i], values[i]);
    if (code != kOk) return code;
  }
  return kOk;
}

int commandRegDelete(HKEY root, const std::wstring& path, const wchar_t* name) {
  LONG result;
  if (name) {
    HKEY key;
    result = RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &key);
    if (result == ERROR_SUCCESS) {
      result = RegDeleteValueW(key, name);
      RegCloseKey(key);
    }
  } else {
    result = RegDeleteTreeW(root, path.c_str());
  }
  return registryOutcome(result, true, "deleted=1");
}

int runRegistryCommand(const std::wstring& name, int argc, wchar_t** argv) {
  HKEY root;
  std::wstring path;
  if (argc < 1 || !parseKey(argv[0], &root, &path)) return kUsage;
  DWORD type;
  if (name == L"reg-list") return argc == 1 ? commandRegList(root, path) : kUsage;
  if (name == L"reg-delete")
    return argc == 1 || argc == 2 ? commandRegDelete(root, path, argc == 2 ? argv[1] : nullptr)
                                  : kUsage;
  if (name == L"reg-set") {
    if (argc != 4 || !parseType(argv[2], &type)) return kUsage;
    return commandRegSet(root, path, argv[1], type, argv[3]);
  }
  return commandRegSetBytes(root, path, argc - 1, argv + 1);
}

// A resource type or id: a number 1 … 65535, else a name.
LPCWSTR resourceName(const wchar_t* text) {
  long long number;
  if (parseNumber(text, &number) && number >= 1 && number <= 0xFFFF)
    return MAKEINTRESOURCEW(static_cast<WORD>(number));
  return text;
}

int commandResource(const wchar_t* file, const wchar_t* type, const wchar_t* id) {
  HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) {
    printf("error=%lu\n", static_cast<unsigned long>(GetLastError()));
    return kNotFound;
  }
  HRSRC found = FindResourceW(module, resourceName(id), resourceName(type));
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  int code = kNotFound;
  if (data) {
    DWORD size = SizeofResource(module, found);
    printf("size=%lu data=%s\n", static_cast<unsigned long>(size), hexText(data, size).c_str());
    code = kOk;
  } else {
    printf("absent=1\n");
  }
  FreeLibrary(module);
  return code;
}

BOOL CALLBACK printMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM count) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(monitor, &info)) return TRUE;
  const RECT& r = info.rcMonitor;
  printf("rect=%ld,%ld,%ld,%ld primary=%d\n", static_cast<long>(r.left), static_cast<long>(r.top),
         static_cast<long>(r.right), static_cast<long>(r.bottom),
         (info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0);
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int commandMonitors() {
  int count = 0;
  EnumDisplayMonitors(nullptr, nullptr, printMonitor, reinterpret_cast<LPARAM>(&count));
  printf("count=%d\n", count);
  return kOk;
}

int commandDisplayReset() {
  // The primary's stored mode is refused once its size has changed; another
  // display's then applies, leaving the primary as it is.
  LONG result = ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr);
  for (int i = 2; i <= 16 && result != DISP_CHANGE_SUCCESSFUL; ++i)
    result = ChangeDisplaySettingsExW((L"\\\\.\\DISPLAY" + std::to_wstring(i)).c_str(), nullptr, nullptr, 0,
                                      nullptr);
  printf("result=%ld\n", static_cast<long>(result));
  return result == DISP_CHANGE_SUCCESSFUL ? kOk : kNotFound;
}

int commandMove(HWND window, wchar_t** place) {
  long long v[4];
  for (int i = 0; i < 4; ++i)
    if (!parseNumber(place[i], &v[i])) return kUsage;
  if (!SetWindowPos(window, nullptr, static_cast<int>(v[0]), static_cast<int>(v[1]),
                    static_cast<int>(v[2]), static_cast<int>(v[3]), SWP_NOZORDER | SWP_NOACTIVATE))
    return kNotFound;
  printf("moved=1\n");
  return kOk;
}

int usage() {
  fprintf(
      stderr,
      "usage: wintool list | wait [--class C] [--title T] [--pid N] [--timeout MS] [--hidden-too] | wait-gone "
      "HWND "
      "[--timeout MS]\n"
      "       | children HWND | text HWND | settext HWND TEXT | send HWND MSG W L | post HWND MSG "
      "W L\n"
      "       | combo HWND | click HWND | trackbar HWND | host W H [TITLE] | cursor | pid-of HWND\n"
      "       | keystate VK | painted HWND [--timeout MS]\n"
      "       | xwindow HWND | hold HWND | held-code PID [--timeout MS]\n"
      "       | run COMMAND_LINE | reg-list KEY\n"
      "       | reg-set KEY NAME TYPE DATA | reg-set-bytes KEY NAME TYPE HEX ... | reg-delete KEY "
      "[NAME]\n"
      "       | resource FILE TYPE ID | monitors | display-reset | move HWND X Y W H\n");
  return kUsage;
}

// Commands of the form "name HWND ..." with a fixed count of further arguments.
int runWindowCommand(const std::wstring& name, int argc, wchar_t** argv) {
  HWND window;
  if (argc < 1 || !parseWindow(argv[0], &window)) return usage();
  int extra = argc - 1;
  if (name == L"settext") {
    if (extra != 1) return usage();
  } else if (name == L"send" || name == L"post") {
    if (extra != 3) return usage();
  } else if (name == L"move") {
    if (extra != 4) return usage();
  } else if (extra != 0) {
    return usage();
  }
  if (!IsWindow(window)) return kNotFound;
  if (name == L"children") return commandChildren(window);
  if (name == L"text") return commandText(window);
  if (name == L"settext") return commandSetText(window, argv[1]);
  if (name == L"send") return commandMessage(window, argv + 1, false);
  if (name == L"post") return commandMessage(window, argv + 1, true);
  if (name == L"combo") return commandCombo(window);
  if (name == L"trackbar") return commandTrackbar(window);
  if (name == L"pid-of") return commandPidOf(window);
  if (name == L"xwindow") return commandXWindow(window);
  if (name == L"hold") return commandHold(window);
  if (name == L"move") {
    int code = commandMove(window, argv + 1);
    return code == kUsage ? usage() : code;
  }
  if (name == L"click") {
    if (!PostMessageW(window, BM_CLICK, 0, 0)) return kNotFound;
    printf("posted=1\n");
    return kOk;
  }
  return usage();
}

int run(int argc, wchar_t** argv) {
  if (argc < 2) return usage();
  std::wstring name = argv[1];
  int rest = argc - 2;
  wchar_t** args = argv + 2;
  if (name == L"list") return rest == 0 ? commandList() : usage();
  if (name == L"cursor") return rest == 0 ? commandCursor() : usage();
  if (name == L"keystate") {
    int code = rest == 1 ? commandKeyState(args[0]) : kUsage;
    return code == kUsage ? usage() : code;
  }
  if (name == L"painted") {
    int code = commandPainted(rest, args);
    return code == kUsage ? usage() : code;
  }
  if (name == L"monitors") return rest == 0 ? commandMonitors() : usage();
  if (name == L"display-reset") return rest == 0 ? commandDisplayReset() : usage();
  if (name == L"wait" || name == L"wait-gone") {
    int code = name == L"wait" ? commandWait(rest, args) : commandWaitGone(rest, args);
    return code == kUsage ? usage() : code;
  }
  if (name == L"host") {
    long long width, height;
    if (rest < 2 || rest > 3 || !parseNumber(args[0], &width) || !parseNumber(args[1], &height) ||
        width <= 0 || height <= 0 || width > 16384 || height > 16384)
      return usage();
    return commandHost(width, height, rest == 3 ? args[2] : L"wintool host");
  }
  if (name == L"run") return rest == 1 ? commandRun(args[0]) : usage();
  if (name == L"held-code") {
    int code = commandHeldCode(rest, args);
    return code == kUsage ? usage() : code;
  }
  if (name == L"resource") return rest == 3 ? commandResource(args[0], args[1], args[2]) : usage();
  if (name == L"reg-list" || name == L"reg-set" || name == L"reg-set-bytes" ||
      name == L"reg-delete") {
    int code = runRegistryCommand(name, rest, args);
    return code == kUsage ? usage() : code;
  }
  return runWindowCommand(name, rest, args);
}

// One request line: "=HEX =HEX ..." -> wide arguments; false when malformed.
bool parseRequest(const std::string& line, std::vector<std::wstring>* args) {
  size_t at = 0;
  while (at < line.size()) {
    size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    std::string field = line.substr(at, end - at);
    at = end + 1;
    if (field.empty()) continue;
    std::string utf8;
    if (field[0] != '=' || !parseHex(std::wstring(field.begin() + 1, field.end()).c_str(), &utf8))
      return false;
    std::wstring wide(utf8.size(), L'\0');
    int length = utf8.empty() ? 0
                              : MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(),
                                                    &wide[0], (int)wide.size());
    if (!utf8.empty() && length <= 0) return false;
    wide.resize(length);
    args->push_back(wide);
  }
  return !args->empty();
}

bool readLine(std::string* line) {
  line->clear();
  char chunk[4096];
  while (fgets(chunk, sizeof chunk, stdin)) {
    line->append(chunk);
    if (!line->empty() && line->back() == '\n') break;
  }
  while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
  return !feof(stdin) || !line->empty();
}

int commandServe() {
  std::string line;
  while (readLine(&line)) {
    std::vector<std::wstring> args;
    int code = kUsage;
    if (parseRequest(line, &args) && args[0] != L"serve") {
      std::vector<wchar_t*> argv{const_cast<wchar_t*>(L"wintool")};
      for (std::wstring& arg : args) argv.push_back(&arg[0]);
      code = run(static_cast<int>(argv.size()), argv.data());
    }
    fflush(stderr);
    printf("wintool-done code=%d\n", code);
    fflush(stdout);
  }
  return kOk;
}

}  // namespace

int main() {
  // Wide arguments, so texts given to settext keep every character.
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return kUsage;
  int code = argc == 2 && !wcscmp(argv[1], L"serve") ? commandServe() : run(argc, argv);
  fflush(stdout);
  LocalFree(argv);
  return code;
}
