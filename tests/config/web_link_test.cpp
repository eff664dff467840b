#include "config/web_link.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The registry's bytes in a buffer of the real capacity, as RegQueryValueExA
// leaves them: `terminated` says whether the stored value carried its zero.
struct Command {
  std::vector<char> buffer;
  uint32_t byteCount;
};

Command registryValue(const std::string& text, bool terminated,
                      uint32_t capacity = kBrowserCommandCapacity) {
  Command c{std::vector<char>(capacity, '#'), 0};
  uint32_t n = uint32_t(text.size() < capacity ? text.size() : capacity);
  std::memcpy(c.buffer.data(), text.data(), n);
  c.byteCount = n;
  if (terminated && n < capacity) c.buffer[n] = 0, c.byteCount = n + 1;
  return c;
}

const char* cut(Command& c) {
  return cutBrowserCommand(c.buffer.data(), uint32_t(c.buffer.size()), c.byteCount);
}

TEST(WebLink, CommandIsCutToTheExecutableOrGivesNothingToStart) {
  struct Case {
    const char* command;
    const char* executable;  // null: nothing to start
  } cases[] = {
      // quoted path, switches and a placeholder: only the executable remains
      {"\"C:\\Program Files\\Browser\\browser.exe\" -nohome -url \"%1\"",
       "C:\\Program Files\\Browser\\browser.exe"},
      // no leading quote: used from its first character
      {"C:\\Browser\\browser.exe %1", "C:\\Browser\\browser.exe"},
      {"C:\\Browser\\browser.exe", "C:\\Browser\\browser.exe"},
      // ".exe" inside folder names: the last one ends the name
      {"\"C:\\my.exe.files\\old.exe\\browser.exe\" \"%1\"",
       "C:\\my.exe.files\\old.exe\\browser.exe"},
      {"C:\\a.exe\\b.exe -x", "C:\\a.exe\\b.exe"},
      // only one leading quote is skipped
      {"\"\"C:\\b.exe\"", "\"C:\\b.exe"},
      // the search is exact and lower case: a switch's ".exe" still wins over ".EXE"
      {"C:\\B.EXE -load x.exe", "C:\\B.EXE -load x.exe"},
      {"C:\\Browser\\browser.EXE %1", nullptr},  // upper case alone is not found
      {"", nullptr},                             // empty default value
      {"\"", nullptr},                           // only the quote
      {"C:\\Browser\\browser %1", nullptr},      // no ".exe" at all
      {"\"C:\\Browser\\browser.ex", nullptr},    // ends inside the ending
      {".ex", nullptr},
  };
  for (const Case& c : cases) {
    for (bool terminated : {true, false}) {
      Command value = registryValue(c.command, terminated);
      EXPECT_STREQ(cut(value), c.executable) << c.command << " terminated=" << terminated;
    }
  }
  Command none{std::vector<char>(kBrowserCommandCapacity, 'x'), 0};  // read gave no bytes
  EXPECT_EQ(cut(none), nullptr);
  EXPECT_EQ(cutBrowserCommand(nullptr, kBrowserCommandCapacity, 0), nullptr);
}

TEST(WebLink, UnterminatedValueIsEndedAtItsByteCount) {
  // Bytes after the value (left from earlier use of the buffer) hold an
  // ".exe" of their own that must not be found.
  Command value = registryValue("C:\\browser %1", false);
  const char stale[] = " old.exe";
  std::memcpy(value.buffer.data() + value.byteCount, stale, sizeof stale - 1);
  EXPECT_EQ(cut(value), nullptr);
}

TEST(WebLink, OverlongCommandIsCutInsideTheBuffer) {
  // A byte count beyond the buffer (a value larger than the buffer) is held
  // to the capacity: the last byte becomes the terminator, nothing past it is read.
  std::string executable = "C:\\Browser\\browser.exe";
  std::string command = "\"" + executable + "\" " + std::string(3000, 'a');
  Command value = registryValue(command, false);
  ASSERT_EQ(value.buffer.size(), kBrowserCommandCapacity);
  const char* found = cutBrowserCommand(value.buffer.data(), kBrowserCommandCapacity, 4000);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found, executable);

  // The ".exe" lies beyond the buffer: nothing to start.
  std::string late = std::string(2000, 'p') + "\\browser.exe";
  Command lateValue = registryValue(late, false);
  EXPECT_EQ(cutBrowserCommand(lateValue.buffer.data(), kBrowserCommandCapacity, 2000), nullptr);

  // The ".exe" straddles the last byte: it is cut off, so not found.
  std::string edge = std::string(kBrowserCommandCapacity - 3, 'p') + ".exe";
  Command edgeValue = registryValue(edge, false);
  EXPECT_EQ(
      cutBrowserCommand(edgeValue.buffer.data(), kBrowserCommandCapacity, kBrowserCommandCapacity),
      nullptr);
  // Ending exactly before the terminator byte: found.
  std::string fits = std::string(kBrowserCommandCapacity - 5, 'p') + ".exe";
  Command fitsValue = registryValue(fits, false);
  const char* fitted =
      cutBrowserCommand(fitsValue.buffer.data(), kBrowserCommandCapacity, kBrowserCommandCapacity);
  ASSERT_NE(fitted, nullptr);
  EXPECT_EQ(std::strlen(fitted), kBrowserCommandCapacity - 1);
}

}  // namespace
