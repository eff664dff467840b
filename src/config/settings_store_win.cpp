// The settings store on the current user's registry.
#include <windows.h>

#include "config/settings_store.h"
#include "app/app_state.h"

static_assert(kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ && kRegBinary == REG_BINARY &&
                  kRegDword == REG_DWORD,
              "registry type codes");

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

static RegistryRead readRegistryValue(void* key, const char* name, uint32_t* type, uint8_t* buffer,
                                      uint32_t* size) {
  DWORD valueType = 0;
  DWORD valueSize = *size;
  LONG result =
      RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &valueType, buffer, &valueSize);
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

static void closeSettingsKey(void* key) {
  RegCloseKey(static_cast<HKEY>(key));
}

const RegistryAccess& systemRegistry() {
  static const RegistryAccess registry = {nullptr, openSettingsKey, readRegistryValue,
                                          writeRegistryValue, closeSettingsKey};
  return registry;
}

void loadSettings() {
  loadSettingsFrom(systemRegistry(), app.settings);
}

void saveSettings() {
  saveSettingsTo(systemRegistry(), app.settings, app.render.mode16Format, app.render.mode32Format);
}
