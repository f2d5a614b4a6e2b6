// Arbitrary bytes as a profile file: every read and a section write, with the
// limits the Windows functions promise checked on every result.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/profile_text.h"

namespace kestrinel {
namespace {

constexpr char kGuard = '\xCC';

void Require(bool condition) {
  if (!condition) std::abort();
}

// The whole name list, and each shorter buffer cut as Windows cuts it.
void CheckSectionNames(const ProfileText& text) {
  const std::uint32_t room = static_cast<std::uint32_t>(text.bytes.size() + 16);
  std::vector<char> full(room + 8, kGuard);
  const std::uint32_t length = CopySectionNames(&text, full.data(), room);
  Require(length < room - 2);
  Require(full[length] == '\0');
  // The names, in file order, as the parse holds them.
  std::string expected;
  for (const ProfileSection& section : text.sections) {
    expected += SpanText(text, section.name);
    expected += '\0';
  }
  Require(expected.size() == length);
  Require(std::memcmp(full.data(), expected.data(), expected.size()) == 0);

  for (const std::uint32_t size :
       {0u, 1u, 2u, 3u, 5u, length, length + 1, length + 2, length + 3}) {
    std::vector<char> buffer(size + 8, kGuard);
    const std::uint32_t got = CopySectionNames(&text, buffer.data(), size);
    for (std::uint32_t i = size; i < size + 8; ++i) Require(buffer[i] == kGuard);
    if (size < 2) {
      Require(got == 0);
      if (size == 1) Require(buffer[0] == '\0');
    } else if (got == size - 2 && got != length) {
      // Cut: two NULs end the buffer, and what comes before them is the list's start.
      Require(buffer[size - 2] == '\0' && buffer[size - 1] == '\0');
      Require(std::memcmp(buffer.data(), full.data(), size - 2) == 0);
    } else {
      Require(got == length);
      Require(std::memcmp(buffer.data(), full.data(), length + 1) == 0);
    }
  }
}

void CheckString(const ProfileText& text, std::string_view section, std::string_view key) {
  for (const std::uint32_t size : {1u, 4u, 512u}) {
    std::vector<char> buffer(size + 8, kGuard);
    const std::uint32_t got = CopyProfileString(&text, section, key, "", buffer.data(), size);
    Require(got <= size - 1);
    Require(buffer[got] == '\0');
    Require(std::memchr(buffer.data(), '\0', got) == nullptr);
    for (std::uint32_t i = size; i < size + 8; ++i) Require(buffer[i] == kGuard);
  }
  (void)ProfileIntValue(&text, section, key, 0);
}

// After a write the section holds exactly the lines written, and every byte
// outside it is as it was.
void CheckWrite(const ProfileText& text, const std::string& name) {
  const char keyList[] = "Title=Fuzz\0Layer=7\0";
  const ProfileSection* existing = FindProfileSection(text, name);
  const std::optional<std::string> written = WithSectionWritten(&text, name, keyList);
  if (!written) {
    Require(name.find_first_of("\r\n") != std::string::npos);
    return;
  }
  const std::string& before = text.bytes;
  if (existing == nullptr) {
    Require(written->compare(0, before.size(), before) == 0);
  } else {
    Require(written->compare(0, existing->bodyBegin, before, 0, existing->bodyBegin) == 0);
    const std::size_t tail = before.size() - existing->end;
    Require(written->size() >= tail);
    Require(written->compare(written->size() - tail, tail, before, existing->end, tail) == 0);
  }
  const ProfileText after = ParseProfileText(*written);
  const ProfileSection* section = FindProfileSection(after, name);
  Require(section != nullptr);
  const std::vector<ProfileEntry> entries = SectionEntries(after, *section);
  Require(entries.size() == 2);
  Require(SpanText(after, entries[0].key) == "Title");
  Require(SpanText(after, entries[0].value) == "Fuzz");
  Require(ProfileIntValue(&after, name, "Layer", 0) == 7);
}

}  // namespace
}  // namespace kestrinel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrinel;
  const ProfileText text = ParseProfileText(std::string(reinterpret_cast<const char*>(data), size));
  for (const ProfileSection& section : text.sections) {
    Require(section.headerBegin < section.bodyBegin);
    Require(section.bodyBegin <= section.end && section.end <= text.bytes.size());
  }
  CheckSectionNames(text);
  std::size_t checked = 0;
  for (const ProfileSection& section : text.sections) {
    if (++checked > 64) break;
    const std::string_view name = SpanText(text, section.name);
    for (const char* key : {"Title", "Local", "Layer"}) CheckString(text, name, key);
    const std::vector<ProfileEntry> entries = SectionEntries(text, section);
    for (std::size_t i = 0; i < entries.size() && i < 8; ++i) {
      CheckString(text, name, SpanText(text, entries[i].key));
    }
  }
  CheckWrite(text, "Area.123");
  if (!text.sections.empty()) CheckWrite(text, std::string(SpanText(text, text.sections[0].name)));
  return 0;
}
