// The settings store on the real registry of the test prefix. Every test
// starts and ends without the settings key, and puts app back as it found it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/settings_store.h"
#include "app/app_state.h"

namespace {

void deleteSettingsKey() {
  RegDeleteKeyA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH);
}

void putValue(const char* name, DWORD type, const std::string& bytes) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &key, nullptr));
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                 DWORD(bytes.size()));
  RegCloseKey(key);
}

struct StoredValue {
  LONG result = ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  std::string bytes;
};

StoredValue getValue(const char* name) {
  StoredValue value;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return value;
  char buffer[16384];
  DWORD size = sizeof buffer;
  value.result =
      RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(buffer), &size);
  if (value.result == ERROR_SUCCESS) value.bytes.assign(buffer, size);
  RegCloseKey(key);
  return value;
}

uint32_t storedNumber(const char* name) {
  StoredValue v = getValue(name);
  uint32_t n = 0xFFFFFFFF;
  if (v.result == ERROR_SUCCESS && v.bytes.size() == 4) std::memcpy(&n, v.bytes.data(), 4);
  return n;
}

Settings defaults() {
  Settings s;
  setLoadDefaults(s);
  return s;
}

Settings everyFieldChanged() {
  Settings s = defaults();
  s.useTnL = 1;
  s.showTime = 0;
  s.showFps = 1;
  s.showCountry = 0;
  s.screenX = 1280;
  s.screenY = 1024;
  s.bpp = 32;
  s.pixelFormat = 22;
  s.windPower = 93;
  s.randomFlag = 0;
  s.useFlagLogo = 1;
  s.backgroundWidth = 640;
  s.backgroundHeight = 480;
  copyText(s.logoFullPath, kPathCapacity, std::string(kPathCapacity - 1, 'L').c_str());
  copyText(s.logoTitle, kNameCapacity, "Logo.gif");
  copyText(s.backgroundPath, kPathCapacity, "C:\\users\\me\\beach.jpg");
  copyText(s.backgroundTitle, kNameCapacity, std::string(kNameCapacity - 1, 'T').c_str());
  copyText(s.selectFlag, kNameCapacity, "Brazil");
  return s;
}

class SettingsRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    savedApp_ = new AppState(app);
    deleteSettingsKey();
  }
  void TearDown() override {
    deleteSettingsKey();
    app = *savedApp_;
    delete savedApp_;
  }
  AppState* savedApp_ = nullptr;
};

}  // namespace

TEST_F(SettingsRegistry, FirstLoadCreatesTheKeyAndKeepsLoadDefaults) {
  setLoadDefaults(app.settings);
  loadSettings();
  Settings expected = defaults();
  EXPECT_EQ(0, std::memcmp(&expected, &app.settings, sizeof expected));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, KEY_READ, &key));
  DWORD valueCount = 99;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  EXPECT_EQ(0u, valueCount);
}

TEST_F(SettingsRegistry, SaveAndLoadKeepEveryFieldAndTheOutsideDirectory) {
  putValue("[Directory]", REG_SZ, "C:\\Program Files\\Flags");
  app.settings = everyFieldChanged();
  copyText(app.settings.directory, kPathCapacity, "D:\\elsewhere");  // never written
  app.render.mode16Format = 23;
  app.render.mode32Format = 22;
  saveSettings();
  Settings saved = app.settings;
  setLoadDefaults(app.settings);
  loadSettings();
  copyText(saved.directory, kPathCapacity, "C:\\Program Files\\Flags");
  EXPECT_EQ(0, std::memcmp(&saved, &app.settings, sizeof saved));
  EXPECT_STREQ("Brazil", app.settings.selectFlag);
  EXPECT_EQ(93, app.settings.windPower);
}

TEST_F(SettingsRegistry, SaveWritesVersionNumbersAndTexts) {
  app.settings = everyFieldChanged();
  app.settings.logoTitle[0] = 0;
  saveSettings();
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, getValue("[Directory]").result);
  // Texts are stored with their terminator; an empty one is the terminator alone.
  struct Case {
    const char* name;
    std::string bytes;
  } texts[] = {
      {"[Version]", std::string("1.0", 4)},
      {"[Select Flag]", std::string("Brazil", 7)},
      {"[Logo Title]", std::string("", 1)},
      {"[Logo Full Path]", std::string(kPathCapacity - 1, 'L') + '\0'},
  };
  for (const Case& c : texts) {
    StoredValue v = getValue(c.name);
    EXPECT_EQ(DWORD(REG_SZ), v.type) << c.name;
    EXPECT_EQ(c.bytes, v.bytes) << c.name;
  }
  for (const char* name : {"[bTnL]", "[Screen X]", "[Wind Power]", "[Background Height]"}) {
    StoredValue v = getValue(name);
    EXPECT_EQ(DWORD(REG_DWORD), v.type) << name;
    EXPECT_EQ(4u, v.bytes.size()) << name;
  }
  EXPECT_EQ(1280u, storedNumber("[Screen X]"));
}

TEST_F(SettingsRegistry, PixelFormatFollowsBpp) {
  struct Case {
    uint32_t bpp, mode16, mode32, stored;
  } cases[] = {
      {16, 23, 22, 23}, {16, 24, 22, 24}, {16, 0, 22, 0}, {32, 23, 22, 22}, {32, 23, 0, 0}};
  for (const Case& c : cases) {
    setLoadDefaults(app.settings);
    app.settings.bpp = c.bpp;
    app.settings.pixelFormat = 99;
    app.render.mode16Format = c.mode16;
    app.render.mode32Format = c.mode32;
    saveSettings();
    EXPECT_EQ(c.stored, storedNumber("[Pixel Format]")) << "bpp " << c.bpp;
    EXPECT_EQ(99u, app.settings.pixelFormat);
  }
}

TEST_F(SettingsRegistry, ShorterTextReplacesLongerAndAbsentValuesKeepFields) {
  app.settings = everyFieldChanged();
  copyText(app.settings.selectFlag, kNameCapacity, "Central African Republic");
  putValue("[Select Flag]", REG_SZ, "Chad");
  putValue("[Screen Y]", REG_DWORD, std::string("\x00\x03\x00\x00", 4));
  Settings expected = app.settings;
  copyText(expected.selectFlag, kNameCapacity, "Chad");
  expected.screenY = 768;
  loadSettings();
  EXPECT_EQ(0, std::memcmp(&expected, &app.settings, sizeof expected));
}

// A text as long as its field or longer keeps the field's old value; nothing
// beyond the field changes.
TEST_F(SettingsRegistry, OverLongTextsNeverOverrun) {
  struct Guarded {
    Settings s;
    char canary[64];
  };
  struct Case {
    const char* name;
    size_t offset;
    uint32_t capacity;
  } fields[] = {
      {"[Directory]", offsetof(Settings, directory), kPathCapacity},
      {"[Logo Full Path]", offsetof(Settings, logoFullPath), kPathCapacity},
      {"[Logo Title]", offsetof(Settings, logoTitle), kNameCapacity},
      {"[Background Path]", offsetof(Settings, backgroundPath), kPathCapacity},
      {"[Background Title]", offsetof(Settings, backgroundTitle), kNameCapacity},
      {"[Select Flag]", offsetof(Settings, selectFlag), kNameCapacity},
  };
  for (const Case& f : fields) {
    for (size_t length : {size_t(1024), size_t(4096), size_t(10000)}) {
      deleteSettingsKey();
      putValue(f.name, REG_SZ, std::string(length, 'x'));
      Guarded g;
      setLoadDefaults(g.s);
      std::memset(g.canary, 0x5A, sizeof g.canary);
      copyText(reinterpret_cast<char*>(&g.s) + f.offset, f.capacity, "old value");
      Settings before = g.s;
      loadSettingsFrom(systemRegistry(), g.s);
      const char* field = reinterpret_cast<const char*>(&g.s) + f.offset;
      if (length < f.capacity)
        EXPECT_EQ(length, std::strlen(field)) << f.name << " " << length;
      else
        EXPECT_STREQ("old value", field) << f.name << " " << length;
      copyText(reinterpret_cast<char*>(&before) + f.offset, f.capacity, field);
      EXPECT_EQ(0, std::memcmp(&before, &g.s, sizeof before)) << f.name << " " << length;
      for (char c : g.canary) ASSERT_EQ(0x5A, c) << f.name << " " << length;
    }
    // As this program stores the longest text: with its terminator, it fills the field.
    deleteSettingsKey();
    putValue(f.name, REG_SZ, std::string(f.capacity - 1, 'y') + '\0');
    Settings s;
    setLoadDefaults(s);
    loadSettingsFrom(systemRegistry(), s);
    EXPECT_EQ(std::string(f.capacity - 1, 'y'), reinterpret_cast<const char*>(&s) + f.offset)
        << f.name;
  }
}

TEST_F(SettingsRegistry, NumbersStoredAsTextOrWiderKeepTheField) {
  struct Case {
    const char* what;
    DWORD type;
    std::string bytes;
    uint32_t expected;
  } cases[] = {
      {"text \"123\"", REG_SZ, "123", 50},
      {"text \"77\" with terminator", REG_SZ, std::string("77\0", 3), 50},
      {"8-byte binary", REG_BINARY, std::string(8, '\x02'), 50},
      {"qword", REG_QWORD, std::string("\x05\0\0\0\0\0\0\0", 8), 50},
      {"4-byte binary", REG_BINARY, std::string("\x4B\0\0\0", 4), 75},
      {"dword", REG_DWORD, std::string("\x50\0\0\0", 4), 80},
  };
  for (const Case& c : cases) {
    deleteSettingsKey();
    putValue("[Wind Power]", c.type, c.bytes);
    setLoadDefaults(app.settings);
    loadSettings();
    EXPECT_EQ(int32_t(c.expected), app.settings.windPower) << c.what;
  }
}

TEST_F(SettingsRegistry, TextsStoredAsNumbersKeepTheField) {
  putValue("[Select Flag]", REG_DWORD, std::string("ABCD", 4));
  putValue("[Logo Title]", REG_BINARY, "raw bytes");
  putValue("[Background Title]", REG_EXPAND_SZ, "Sunset.jpg");
  setLoadDefaults(app.settings);
  copyText(app.settings.selectFlag, kNameCapacity, "Japan");
  loadSettings();
  EXPECT_STREQ("Japan", app.settings.selectFlag);
  EXPECT_STREQ("", app.settings.logoTitle);
  EXPECT_STREQ("Sunset.jpg", app.settings.backgroundTitle);
}
