// What the settings store does on any registry, as one typed test suite:
// settings_store_test.cpp runs it over an in-memory registry, natively;
// settings_store_wintest.cpp over the real one under Wine. A Registry type
// starts with no settings key and offers:
//   void clear();                                  // no key, no values
//   void put(const char* name, uint32_t type, const std::string& bytes);
//   StoredValue get(const char* name);             // exact bytes as stored
//   void load(Settings&);                          // the store's load
//   void save(Settings&, uint32_t mode16, uint32_t mode32);  // the store's save
//   RegistryAccess access();                       // for loadSettingsFrom
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "config/settings_store.h"

struct StoredValue {
  bool found = false;
  uint32_t type = 0;
  std::string bytes;
};

inline Settings defaults() {
  Settings s;
  setLoadDefaults(s);
  return s;
}

// Every field set away from its default, texts near their capacity.
inline Settings everyFieldChanged() {
  Settings s = defaults();
  s.useTnL = 1;
  s.showTime = 0;
  s.showFps = 1;
  s.showCountry = 0;
  s.screenX = 1280;
  s.screenY = 1024;
  s.bpp = 32;
  s.pixelFormat = 22;
  s.windPower = -7;
  s.randomFlag = 0;
  s.useFlagLogo = 1;
  s.backgroundWidth = 1920;
  s.backgroundHeight = 1080;
  copyText(s.logoFullPath, kPathCapacity, std::string(kPathCapacity - 1, 'p').c_str());
  copyText(s.logoTitle, kNameCapacity, "My Logo.bmp");
  copyText(s.backgroundPath, kPathCapacity, "C:\\Pictures\\sea.jpg");
  copyText(s.backgroundTitle, kNameCapacity, std::string(kNameCapacity - 1, 'n').c_str());
  copyText(s.selectFlag, kNameCapacity, "Germany");
  s.desktopMode = 1;
  return s;
}

// The saved texts; every other saved value is a number.
inline bool isTextValue(const std::string& name) {
  return name == "[Select Flag]" || name == "[Logo Full Path]" || name == "[Logo Title]" ||
         name == "[Version]" || name == "[Background Path]" || name == "[Background Title]";
}

template <typename Registry>
class SettingsStoreCases : public ::testing::Test {
 protected:
  // A stored number, or 0xFFFFFFFF when the value is absent or not 4 bytes.
  uint32_t storedNumber(const char* name) {
    StoredValue v = registry.get(name);
    uint32_t n = 0xFFFFFFFF;
    if (v.found && v.bytes.size() == 4) std::memcpy(&n, v.bytes.data(), 4);
    return n;
  }
  Registry registry;
};
TYPED_TEST_SUITE_P(SettingsStoreCases);

TYPED_TEST_P(SettingsStoreCases, EmptyRegistryLeavesLoadDefaults) {
  Settings s = defaults();
  this->registry.load(s);
  Settings expected = defaults();
  EXPECT_EQ(0, std::memcmp(&expected, &s, sizeof s));
}

TYPED_TEST_P(SettingsStoreCases, SaveWritesEveryValueWithItsTypeAndTextsWithTheirTerminator) {
  Settings s = everyFieldChanged();
  s.logoTitle[0] = 0;
  this->registry.save(s, 23, 22);
  EXPECT_FALSE(this->registry.get("[Directory]").found) << "never written";
  for (uint8_t index : settingSaveOrder) {
    const char* name = settingTable[index].name;
    StoredValue v = this->registry.get(name);
    EXPECT_TRUE(v.found) << name;
    EXPECT_EQ(isTextValue(name) ? kRegSz : kRegDword, v.type) << name;
    if (!isTextValue(name)) {
      EXPECT_EQ(4u, v.bytes.size()) << name;
    }
  }
  // An empty text is the terminator alone.
  struct Case {
    const char* name;
    std::string bytes;
  } texts[] = {
      {"[Version]", std::string("1.0", 4)},
      {"[Select Flag]", std::string("Germany", 8)},
      {"[Logo Title]", std::string("", 1)},
      {"[Logo Full Path]", std::string(kPathCapacity - 1, 'p') + '\0'},
  };
  for (const Case& c : texts) EXPECT_EQ(c.bytes, this->registry.get(c.name).bytes) << c.name;
  EXPECT_EQ(1280u, this->storedNumber("[Screen X]"));
  EXPECT_EQ(uint32_t(-7), this->storedNumber("[Wind Power]"));

  // A field without a terminator (which this program never makes) loses its last byte.
  struct TextCase {
    const char* what;
    std::string field, stored;
  } fields[] = {
      {"empty", "", std::string("\0", 1)},
      {"short", "Peru", std::string("Peru\0", 5)},
      {"longest", std::string(kNameCapacity - 1, 'n'), std::string(kNameCapacity - 1, 'n') + '\0'},
      {"unterminated", std::string(kNameCapacity, 'u'), std::string(kNameCapacity - 1, 'u') + '\0'},
  };
  for (const TextCase& c : fields) {
    this->registry.clear();
    Settings t = defaults();
    std::memset(t.selectFlag, 0, kNameCapacity);
    std::memcpy(t.selectFlag, c.field.data(), c.field.size());
    this->registry.save(t, 23, 22);
    EXPECT_EQ(c.stored, this->registry.get("[Select Flag]").bytes) << c.what;
  }
}

TYPED_TEST_P(SettingsStoreCases, RoundTripKeepsEveryFieldAndTheOutsideDirectory) {
  this->registry.put("[Directory]", kRegSz, "C:\\Program Files\\Flags");
  Settings saved = everyFieldChanged();
  copyText(saved.directory, kPathCapacity, "D:\\elsewhere");  // never written
  this->registry.save(saved, 23, 22);                         // bpp 32 → 22, as pixelFormat holds
  Settings loaded = defaults();
  this->registry.load(loaded);
  copyText(saved.directory, kPathCapacity, "C:\\Program Files\\Flags");
  EXPECT_EQ(0, std::memcmp(&saved, &loaded, sizeof saved));
  EXPECT_STREQ("Germany", loaded.selectFlag);
  EXPECT_EQ(-7, loaded.windPower);
}

TYPED_TEST_P(SettingsStoreCases, PixelFormatIsSavedFromTheAdapterFormatByBpp) {
  // Without a format for that depth (the adapter lists none, and the Desktop
  // entry keeps the depth) the held format stays, and never 0: an exclusive
  // mode can be chosen again later.
  struct Case {
    uint32_t bpp, mode16, mode32, held, stored;
  } cases[] = {
      {16, 23, 22, 77, 23}, {16, 24, 22, 77, 24}, {16, 0, 22, 77, 77}, {32, 23, 22, 77, 22},
      {32, 23, 0, 77, 77},  {24, 23, 22, 77, 22}, {16, 0, 0, 0, 24},   {32, 0, 0, 0, 24},
  };
  for (const Case& c : cases) {
    this->registry.clear();
    Settings s = defaults();
    s.bpp = c.bpp;
    s.pixelFormat = c.held;
    this->registry.save(s, c.mode16, c.mode32);
    EXPECT_EQ(c.stored, this->storedNumber("[Pixel Format]")) << "bpp " << c.bpp << " held " << c.held;
    EXPECT_EQ(c.held, s.pixelFormat);
  }
}

TYPED_TEST_P(SettingsStoreCases, ShorterTextReplacesLongerAndAbsentValuesKeepFields) {
  Settings s = everyFieldChanged();
  copyText(s.selectFlag, kNameCapacity, "United Kingdom of Great Britain");
  this->registry.put("[Select Flag]", kRegSz, "Peru");
  this->registry.put("[Screen Y]", kRegDword, std::string("\x00\x03\x00\x00", 4));
  Settings expected = s;
  copyText(expected.selectFlag, kNameCapacity, "Peru");
  expected.screenY = 768;
  this->registry.load(s);
  EXPECT_STREQ("Peru", s.selectFlag);
  EXPECT_EQ(0, std::memcmp(&expected, &s, sizeof expected));
}

// A text as long as its field or longer keeps the old value and never writes
// past the field; shorter ones are taken whole, with or without a terminator.
TYPED_TEST_P(SettingsStoreCases, OverLongTextsKeepTheFieldAndNeverOverrun) {
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
    for (size_t length : {size_t(f.capacity) - 1, size_t(f.capacity), size_t(f.capacity) + 1,
                          size_t(1024), size_t(4096), size_t(10000)}) {
      this->registry.clear();
      this->registry.put(f.name, kRegSz, std::string(length, 'x'));
      Guarded g;
      g.s = defaults();
      std::memset(g.canary, 0x5A, sizeof g.canary);
      copyText(reinterpret_cast<char*>(&g.s) + f.offset, f.capacity, "old value");
      Settings before = g.s;
      loadSettingsFrom(this->registry.access(), g.s);
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
    this->registry.clear();
    this->registry.put(f.name, kRegSz, std::string(f.capacity - 1, 'z') + '\0');
    Settings s = defaults();
    loadSettingsFrom(this->registry.access(), s);
    EXPECT_EQ(std::string(f.capacity - 1, 'z'), reinterpret_cast<const char*>(&s) + f.offset)
        << f.name;
  }
}

// A number is taken only from four bytes of REG_DWORD or REG_BINARY.
TYPED_TEST_P(SettingsStoreCases, NumbersOfAnotherTypeOrSizeKeepTheField) {
  struct Case {
    const char* what;
    uint32_t type;
    std::string bytes;
    uint32_t screenX;  // 800 when kept
  } cases[] = {
      {"dword", kRegDword, std::string("\x40\x01\0\0", 4), 320},
      {"4-byte binary", kRegBinary, std::string("\x41\x01\0\0", 4), 321},
      {"text \"123\" (4 bytes)", kRegSz, std::string("123\0", 4), 800},
      {"text \"123\"", kRegSz, "123", 800},
      {"text \"1024\"", kRegSz, "1024", 800},
      {"text \"77\" with terminator", kRegSz, std::string("77\0", 3), 800},
      {"8-byte binary", kRegBinary, std::string(8, '\x01'), 800},
      {"qword", 11, std::string("\x01\0\0\0\0\0\0\0", 8), 800},
      {"2-byte dword", kRegDword, std::string("\x01\x02", 2), 800},
      {"big-endian dword", 5, std::string("\0\0\x01\x40", 4), 800},
      {"empty", kRegDword, "", 800},
  };
  for (const Case& c : cases) {
    // The same value as "[Screen X]" (default 800) and "[Wind Power]" (default 50).
    this->registry.clear();
    this->registry.put("[Screen X]", c.type, c.bytes);
    this->registry.put("[Wind Power]", c.type, c.bytes);
    Settings s = defaults();
    this->registry.load(s);
    EXPECT_EQ(c.screenX, s.screenX) << c.what;
    EXPECT_EQ(c.screenX == 800 ? 50 : int32_t(c.screenX), s.windPower) << c.what;
  }
}

// A text is taken up to its first terminator, of either text type, as it
// stands; a text stored as a number or binary keeps the field.
TYPED_TEST_P(SettingsStoreCases, TextsEndAtTheirTerminatorAndOtherTypesKeepTheField) {
  this->registry.put("[Logo Title]", kRegSz, std::string("abc\0def", 7));
  this->registry.put("[Background Title]", kRegExpandSz, "%HOME%");
  this->registry.put("[Select Flag]", kRegDword, "AAAA");
  this->registry.put("[Logo Full Path]", kRegBinary, "binary");
  Settings s = defaults();
  copyText(s.selectFlag, kNameCapacity, "Chile");
  this->registry.load(s);
  EXPECT_STREQ("abc", s.logoTitle);
  EXPECT_STREQ("%HOME%", s.backgroundTitle);
  EXPECT_STREQ("Chile", s.selectFlag);
  EXPECT_STREQ("", s.logoFullPath);
}

// The interval clamped to 0 … 60 and taken down to an offered one; a region out of range is All.
TYPED_TEST_P(SettingsStoreCases, OddTourValuesReadAsTheNearestOneOffered) {
  const struct {
    uint32_t stored, minutes;
    FlagRegion region;
  } cases[] = {{4, 3, RegionEurope}, {0x7FFFFFFF, 60, RegionAll}, {0xFFFFFFFF, 0, RegionAll}};
  for (const auto& c : cases) {
    for (const char* name : {"[Change Minutes]", "[Flag Region]"})
      this->registry.put(name, kRegDword, std::string(reinterpret_cast<const char*>(&c.stored), 4));
    Settings s = defaults();
    this->registry.load(s);
    EXPECT_EQ(c.minutes, changeIntervalMinutes(s)) << c.stored;
    EXPECT_EQ(c.region, chosenFlagRegion(s)) << c.stored;
  }
}

REGISTER_TYPED_TEST_SUITE_P(SettingsStoreCases, EmptyRegistryLeavesLoadDefaults,
                            SaveWritesEveryValueWithItsTypeAndTextsWithTheirTerminator,
                            RoundTripKeepsEveryFieldAndTheOutsideDirectory,
                            PixelFormatIsSavedFromTheAdapterFormatByBpp,
                            ShorterTextReplacesLongerAndAbsentValuesKeepFields,
                            OverLongTextsKeepTheFieldAndNeverOverrun,
                            NumbersOfAnotherTypeOrSizeKeepTheField,
                            TextsEndAtTheirTerminatorAndOtherTypesKeepTheField,
                            OddTourValuesReadAsTheNearestOneOffered);
