// What the Windows tests share: the message recorder that stands in for the
// program's message boxes, BMP files written by the test, files in the
// temporary folder, a flag folder, a test window, the entries of a combo box, and a hidden
// window with a windowed Direct3D 8 device on it.
#pragma once
#include <windows.h>
#include <d3d8.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/messages.h"

// ---- Message boxes ---------------------------------------------------------

struct ShownMessage {
  HWND owner;
  std::string text, caption;
  uint32_t type;
};
// The messages shown since recording started, in order.
inline std::vector<ShownMessage> shownMessages;

inline int recordMessage(HWND__* owner, const char* text, const char* caption, uint32_t type) {
  shownMessages.push_back({owner, text, caption, type});
  return IDOK;
}
// Message boxes are recorded, not shown, until stopRecordingMessages.
inline void startRecordingMessages() {
  shownMessages.clear();
  messageHook = recordMessage;
}
inline void stopRecordingMessages() {
  messageHook = systemMessageBox;
}

// ---- Files -----------------------------------------------------------------

// name in the temporary folder.
inline std::string tempFilePath(const std::string& name) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  return std::string(folder) + name;
}

// Writes bytes (none makes an empty file); false when not all were written.
inline bool writeFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() ||
            WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) != FALSE;
  CloseHandle(file);
  return ok && written == bytes.size();
}

// A new folder of the temporary folder holding an empty "IMAGE" folder, made
// the current directory as the saver's is; at the end the files of "IMAGE"
// and both folders are removed and the current directory is put back.
struct FlagFolderOnDisk {
  char savedDirectory[MAX_PATH] = "";
  std::string root, image;
  bool made = false;

  explicit FlagFolderOnDisk(const std::string& name) {
    static int count = 0;
    GetCurrentDirectoryA(sizeof savedDirectory, savedDirectory);
    root = tempFilePath(name + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++count));
    image = root + "\\IMAGE";
    made = CreateDirectoryA(root.c_str(), nullptr) && CreateDirectoryA(image.c_str(), nullptr) &&
           SetCurrentDirectoryA(root.c_str());
  }
  ~FlagFolderOnDisk() {
    SetCurrentDirectoryA(savedDirectory);
    removeFiles();
    RemoveDirectoryA(image.c_str());
    RemoveDirectoryA(root.c_str());
  }
  FlagFolderOnDisk(const FlagFolderOnDisk&) = delete;
  FlagFolderOnDisk& operator=(const FlagFolderOnDisk&) = delete;
  std::string path(const char* name) const { return image + "\\" + name; }
  void removeFiles() const {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((image + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do DeleteFileA(path(found.cFileName).c_str());
    while (FindNextFileA(search, &found));
    FindClose(search);
  }
};

// A bottom-up 24- or 32-bit BMP file whose pixel (x, y), y counted from the
// bottom, is rgbAt(x, y) as 0xRRGGBB (the 32-bit top byte as given).
template <typename Colour>
std::string bmpFileBytes(int width, int height, int bitCount, Colour rgbAt) {
  const int pixelBytes = bitCount / 8;
  const int rowBytes = (width * pixelBytes + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + DWORD(rowBytes) * height;
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = WORD(bitCount);
  info.biCompression = BI_RGB;
  std::string data(reinterpret_cast<const char*>(&file), sizeof file);
  data.append(reinterpret_cast<const char*>(&info), sizeof info);
  for (int y = 0; y < height; ++y) {
    std::string row(rowBytes, '\0');
    for (int x = 0; x < width; ++x) {
      uint32_t rgb = rgbAt(x, y);
      for (int byte = 0; byte < pixelBytes; ++byte)
        row[x * pixelBytes + byte] = char(rgb >> (8 * byte));
    }
    data += row;
  }
  return data;
}

// A picture's DIB section; all zero (no bits) when it is not one.
inline DIBSECTION dibOf(HBITMAP picture) {
  DIBSECTION section = {};
  if (!picture || GetObjectA(picture, sizeof section, &section) != sizeof section) section = {};
  return section;
}

// ---- Windows and devices ---------------------------------------------------

// A top-level window of its own class whose client area, for WS_POPUP, is
// exactly width × height; null when none can be made.
inline HWND makeTestWindow(const char* className, int width, int height, DWORD style = WS_POPUP,
                           WNDPROC procedure = DefWindowProcA) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);  // fails harmlessly when already registered
  return CreateWindowA(className, className, style, 0, 0, width, height, nullptr, nullptr,
                       windowClass.hInstance, nullptr);
}

// Every entry of a combo box, in list order.
inline std::vector<std::string> comboEntries(HWND combo) {
  std::vector<std::string> entries;
  LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, i, 0);
    std::vector<char> text(length > 0 ? length + 1 : 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    entries.push_back(text.data());
  }
  return entries;
}

// A hidden window with a windowed Direct3D 8 device on it, for tests that
// need a real device. `device` stays null when none can be made; tests then
// fail with `failure` as the reason (the test display has Direct3D).
struct TestDevice {
  HWND window = nullptr;
  IDirect3D8* direct3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  std::string failure;

  TestDevice() {
    window = makeTestWindow("FlagsTestWindow", 256, 256, WS_OVERLAPPEDWINDOW);
    if (!window) {
      failure = "no test window";
      return;
    }
    direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!direct3d) {
      failure = "Direct3DCreate8 returned null";
      return;
    }
    D3DDISPLAYMODE mode;
    if (FAILED(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) {
      failure = "no adapter display mode";
      return;
    }
    D3DPRESENT_PARAMETERS params = {};
    params.BackBufferWidth = 256;
    params.BackBufferHeight = 256;
    params.BackBufferFormat = mode.Format;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = window;
    params.Windowed = TRUE;
    HRESULT result = direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                            D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
    if (FAILED(result) || !device) {
      device = nullptr;
      char text[64];
      wsprintfA(text, "CreateDevice failed: 0x%08lX", static_cast<unsigned long>(result));
      failure = text;
    }
  }
  ~TestDevice() {
    if (device) device->Release();
    if (direct3d) direct3d->Release();
    if (window) DestroyWindow(window);
  }
  TestDevice(const TestDevice&) = delete;
  TestDevice& operator=(const TestDevice&) = delete;
};
