// The settings store on the current user's registry.
#include <windows.h>
#include <d3d8.h>

#include <cstddef>

#include "config/settings_store.h"
#include "host/app_state.h"

static_assert(kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ && kRegBinary == REG_BINARY &&
                  kRegDword == REG_DWORD,
              "registry type codes");

// The device is created straight from the settings' storage.
#define SAME_FIELD(field)                                                          \
  static_assert(offsetof(PresentParams, field) == offsetof(D3DPRESENT_PARAMETERS, field) && \
                    sizeof(PresentParams::field) == sizeof(D3DPRESENT_PARAMETERS::field), \
                "PresentParams." #field)
static_assert(sizeof(PresentParams) == sizeof(D3DPRESENT_PARAMETERS), "PresentParams size");
SAME_FIELD(BackBufferWidth);
SAME_FIELD(BackBufferHeight);
SAME_FIELD(BackBufferFormat);
SAME_FIELD(BackBufferCount);
SAME_FIELD(MultiSampleType);
SAME_FIELD(SwapEffect);
SAME_FIELD(hDeviceWindow);
SAME_FIELD(Windowed);
SAME_FIELD(EnableAutoDepthStencil);
SAME_FIELD(AutoDepthStencilFormat);
SAME_FIELD(Flags);
SAME_FIELD(FullScreen_RefreshRateInHz);
SAME_FIELD(FullScreen_PresentationInterval);
#undef SAME_FIELD
static_assert(offsetof(Settings, screenX) == offsetof(Settings, presentParams.BackBufferWidth) &&
                  offsetof(Settings, screenY) ==
                      offsetof(Settings, presentParams.BackBufferHeight) &&
                  offsetof(Settings, pixelFormat) ==
                      offsetof(Settings, presentParams.BackBufferFormat),
              "the requested mode is the back buffer's storage");

static void* openSettingsKey(void*, bool forWriting) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  char keyClass[] = "szREGSZ";
  if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, keyClass, REG_OPTION_NON_VOLATILE,
                      forWriting ? KEY_WRITE : KEY_READ, nullptr, &key,
                      &disposition) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

static RegistryRead readRegistryValue(void* key, const char* name, uint32_t* type,
                                      uint8_t* buffer, uint32_t* size) {
  DWORD valueType = 0;
  DWORD valueSize = *size;
  LONG result = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &valueType, buffer,
                                 &valueSize);
  if (result == ERROR_MORE_DATA) return RegistryReadTooLong;
  if (result != ERROR_SUCCESS) return RegistryReadFailed;
  *type = valueType;
  *size = valueSize;
  return RegistryReadOk;
}

static void writeRegistryValue(void* key, const char* name, uint32_t type, const uint8_t* data,
                               uint32_t size) {
  RegSetValueExA(static_cast<HKEY>(key), name, 0, type, data, size);
}

static void closeSettingsKey(void* key) { RegCloseKey(static_cast<HKEY>(key)); }

const RegistryAccess& systemRegistry() {
  static const RegistryAccess registry = {nullptr, openSettingsKey, readRegistryValue,
                                          writeRegistryValue, closeSettingsKey};
  return registry;
}

void loadSettings() { loadSettingsFrom(systemRegistry(), app.settings); }

void saveSettings() {
  saveSettingsTo(systemRegistry(), app.settings, app.render.mode16Format,
                 app.render.mode32Format);
}
