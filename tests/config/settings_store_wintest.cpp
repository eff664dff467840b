// The settings store on the real registry of the test prefix: the cases of
// settings_store_cases.h, loaded and saved through loadSettings and
// saveSettings as the program calls them. Every test starts and ends without
// the settings key, and puts app back as it found it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/app_state.h"
#include "config/settings_store_cases.h"

namespace {

void deleteSettingsKey() {
  RegDeleteKeyA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH);
}

struct SystemRegistry {
  std::unique_ptr<AppState> savedApp = std::make_unique<AppState>(app);

  SystemRegistry() { deleteSettingsKey(); }
  ~SystemRegistry() {
    deleteSettingsKey();
    app = *savedApp;
  }
  void clear() { deleteSettingsKey(); }
  void put(const char* name, uint32_t type, const std::string& bytes) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   DWORD(bytes.size()));
    RegCloseKey(key);
  }
  StoredValue get(const char* name) {
    StoredValue value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return value;
    char buffer[16384];
    DWORD size = sizeof buffer, type = 0;
    LONG result =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return value;
    value = {true, uint32_t(type), std::string(buffer, size)};
    return value;
  }
  void load(Settings& s) {
    app.settings = s;
    loadSettings();
    s = app.settings;
  }
  void save(Settings& s, uint32_t mode16, uint32_t mode32) {
    app.settings = s;
    app.render.mode16Format = mode16;
    app.render.mode32Format = mode32;
    saveSettings();
    s = app.settings;
  }
  RegistryAccess access() { return systemRegistry(); }
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(WindowsRegistry, SettingsStoreCases, SystemRegistry);

TEST(SettingsRegistry, FirstLoadCreatesTheKeyWithoutValues) {
  SystemRegistry registry;
  Settings s = defaults();
  registry.load(s);
  Settings expected = defaults();
  EXPECT_EQ(0, std::memcmp(&expected, &s, sizeof expected));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, KEY_READ, &key));
  DWORD valueCount = 99;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  EXPECT_EQ(0u, valueCount);
}
