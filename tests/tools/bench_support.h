// What the frame-rate programs (frame_bench, minimal_d3d8) share, so that
// the saver and its yardstick are timed and windowed the same way.
#pragma once
#include <windows.h>

#include <cstdio>

// Seconds on the performance counter.
inline double nowSeconds() {
  static LARGE_INTEGER frequency = {};
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds since this process was created, by the system's clock.
inline double msSinceProcessStart() {
  FILETIME created, ended, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER a, b;
  a.LowPart = created.dwLowDateTime;
  a.HighPart = created.dwHighDateTime;
  b.LowPart = now.dwLowDateTime;
  b.HighPart = now.dwHighDateTime;
  return static_cast<double>(b.QuadPart - a.QuadPart) / 10000.0;
}

inline LRESULT CALLBACK quitOnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The saver's window: a visible top-most black pop-up over the whole screen.
inline HWND makeFullScreenWindow(const char* className, HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = quitOnDestroy;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, className, className, WS_POPUP | WS_VISIBLE, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                nullptr, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  return window;
}

// Prints "first_present_ms=" once, at the process's first frame.
inline void noteFirstPresent() {
  static bool shown = false;
  if (shown) return;
  shown = true;
  std::printf("first_present_ms=%.0f\n", msSinceProcessStart());
  std::fflush(stdout);
}

// Calls frame(n) for n = 0, 1, ... with the window's messages handled between
// frames, until `seconds` have passed since the first frame or the window is
// gone. Prints "first_present_ms=" after the first frame and "frames=
// seconds= fps=" at the end; the first frame opens the timed span, so it is
// not counted in it. Returns the timed frames.
template <typename Frame>
unsigned long runTimedFrames(double seconds, Frame frame) {
  unsigned long frames = 0;
  double start = 0.0;
  MSG message;
  for (bool running = true; running;) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) running = false;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    frame(frames);
    if (frames++ == 0) {
      noteFirstPresent();
      start = nowSeconds();
    }
    if (nowSeconds() - start >= seconds) break;
  }
  double elapsed = nowSeconds() - start;
  unsigned long timed = frames - 1;
  std::printf("frames=%lu seconds=%.3f fps=%.1f\n", timed, elapsed, timed / elapsed);
  std::fflush(stdout);
  return timed;
}
