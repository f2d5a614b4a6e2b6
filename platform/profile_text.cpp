#include "platform/profile_text.h"

#include <algorithm>
#include <cstring>

namespace kestrinel {
namespace {

// What the profile functions trim from lines, names and values. 0xA0 is not
// among them.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiLowerCopy(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A value wholly wrapped in matching double or single quotes loses them.
std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

const char* LineEndingText(LineEnding ending) {
  switch (ending) {
    case LineEnding::Lf:
      return "\n";
    case LineEnding::Cr:
      return "\r";
    case LineEnding::CrLf:
      break;
  }
  return "\r\n";
}

// The trimmed part of bytes [begin, end) of |s|, ending at its first NUL.
TextSpan TrimmedSpan(const std::string& s, std::size_t begin, std::size_t end) {
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  const void* nul = std::memchr(s.data() + begin, '\0', end - begin);
  if (nul != nullptr) end = static_cast<const char*>(nul) - s.data();
  return {static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end - begin)};
}

std::size_t FindLineEnd(const std::string& s, std::size_t pos) {
  const char* p = s.data() + pos;
  const char* const end = s.data() + s.size();
  while (p != end && *p != '\n' && *p != '\r') ++p;
  return static_cast<std::size_t>(p - s.data());
}

std::size_t NextLineStart(const std::string& s, std::size_t lineEnd) {
  if (lineEnd >= s.size()) return s.size();
  if (s[lineEnd] == '\r' && lineEnd + 1 < s.size() && s[lineEnd + 1] == '\n') return lineEnd + 2;
  return lineEnd + 1;
}

enum class LineKind { Other, Header, Key };

struct LineInfo {
  LineKind kind = LineKind::Other;
  TextSpan name;  // the section name of a header, the key of a key line
  TextSpan value;
};

LineInfo ClassifyLine(const std::string& s, std::size_t begin, std::size_t end) {
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  LineInfo line;
  if (begin == end) return line;
  if (s[begin] == '[') {
    for (std::size_t p = end - 1; p > begin; --p) {
      if (s[p] == ']') {
        line.kind = LineKind::Header;
        line.name = TrimmedSpan(s, begin + 1, p);
        return line;
      }
    }
    // No closing bracket: not a header, but it may still be a key line.
  }
  const void* equals = std::memchr(s.data() + begin, '=', end - begin);
  if (equals == nullptr) return line;
  const std::size_t at = static_cast<const char*>(equals) - s.data();
  line.kind = LineKind::Key;
  line.name = TrimmedSpan(s, begin, at);
  line.value = TrimmedSpan(s, at + 1, end);
  return line;
}

}  // namespace

ProfileText ParseProfileText(std::string bytes) {
  ProfileText text;
  text.bytes = std::move(bytes);
  const std::string& s = text.bytes;
  if (s.size() >= 3 && s.compare(0, 3, "\xEF\xBB\xBF") == 0) text.contentBegin = 3;

  bool endingKnown = false;
  std::size_t pos = text.contentBegin;
  while (pos < s.size()) {
    const std::size_t lineEnd = FindLineEnd(s, pos);
    const std::size_t next = NextLineStart(s, lineEnd);
    if (!endingKnown && lineEnd < s.size()) {
      endingKnown = true;
      if (s[lineEnd] == '\n') {
        text.lineEnding = LineEnding::Lf;
      } else if (next == lineEnd + 2) {
        text.lineEnding = LineEnding::CrLf;
      } else {
        text.lineEnding = LineEnding::Cr;
      }
    }
    const LineInfo line = ClassifyLine(s, pos, lineEnd);
    if (line.kind == LineKind::Header) {
      if (!text.sections.empty()) text.sections.back().end = static_cast<std::uint32_t>(pos);
      ProfileSection section;
      section.name = line.name;
      section.headerBegin = static_cast<std::uint32_t>(pos);
      section.bodyBegin = static_cast<std::uint32_t>(next);
      section.end = static_cast<std::uint32_t>(s.size());
      section.firstEntry = static_cast<std::uint32_t>(text.entries.size());
      text.firstSectionByName.try_emplace(AsciiLowerCopy(SpanText(text, line.name)),
                                          static_cast<std::uint32_t>(text.sections.size()));
      text.sections.push_back(section);
    } else if (line.kind == LineKind::Key && !text.sections.empty()) {
      text.entries.push_back({line.name, line.value});
      ++text.sections.back().entryCount;
    }
    pos = next;
  }
  return text;
}

std::string_view SpanText(const ProfileText& text, TextSpan span) {
  return std::string_view(text.bytes.data() + span.offset, span.length);
}

bool SameProfileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

const ProfileSection* FindProfileSection(const ProfileText& text, std::string_view name) {
  const auto found = text.firstSectionByName.find(AsciiLowerCopy(TrimView(name)));
  if (found == text.firstSectionByName.end()) return nullptr;
  return &text.sections[found->second];
}

const ProfileEntry* FindProfileEntry(const ProfileText& text, const ProfileSection& section,
                                     std::string_view key) {
  key = TrimView(key);
  const ProfileEntry* const first = text.entries.data() + section.firstEntry;
  for (const ProfileEntry* entry = first; entry != first + section.entryCount; ++entry) {
    if (SameProfileName(SpanText(text, entry->key), key)) return entry;
  }
  return nullptr;
}

std::uint32_t CopySectionNames(const ProfileText* text, char* buffer, std::uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  if (size == 1 || text == nullptr) return 0;
  // Room for names; one byte stays for the list's final NUL.
  std::uint32_t room = size - 1;
  char* out = buffer;
  for (const ProfileSection& section : text->sections) {
    const std::string_view name = SpanText(*text, section.name);
    if (name.size() + 1 >= room) {
      // Cut (or an exact fit): as much of this name as leaves two NULs at the end.
      std::memcpy(out, name.data(), room - 1);
      out += room - 1;
      out[0] = '\0';
      out[1] = '\0';
      return size - 2;
    }
    std::memcpy(out, name.data(), name.size());
    out += name.size();
    *out++ = '\0';
    room -= static_cast<std::uint32_t>(name.size() + 1);
  }
  *out = '\0';
  return static_cast<std::uint32_t>(out - buffer);
}

std::uint32_t CopyProfileString(const ProfileText* text, std::string_view section,
                                std::string_view key, std::string_view defaultValue, char* buffer,
                                std::uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  // The default loses trailing blanks, not leading ones, then its quotes.
  while (!defaultValue.empty() && IsBlank(defaultValue.back())) defaultValue.remove_suffix(1);
  std::string_view value = StripQuotes(defaultValue);
  if (text != nullptr) {
    if (const ProfileSection* found = FindProfileSection(*text, section)) {
      if (const ProfileEntry* entry = FindProfileEntry(*text, *found, key)) {
        value = StripQuotes(SpanText(*text, entry->value));
      }
    }
  }
  const std::size_t count = std::min<std::size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), count);
  buffer[count] = '\0';
  return static_cast<std::uint32_t>(count);
}

std::uint32_t ProfileIntValue(const ProfileText* text, std::string_view section,
                              std::string_view key, std::int32_t defaultValue) {
  const std::uint32_t fallback = static_cast<std::uint32_t>(defaultValue);
  if (text == nullptr) return fallback;
  const ProfileSection* found = FindProfileSection(*text, section);
  if (found == nullptr) return fallback;
  const ProfileEntry* entry = FindProfileEntry(*text, *found, key);
  if (entry == nullptr) return fallback;
  const std::string_view value = StripQuotes(SpanText(*text, entry->value));
  if (value.empty()) return fallback;

  std::size_t i = 0;
  while (i < value.size() && IsBlank(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  // Unsigned arithmetic wraps modulo 2^32, as the Windows conversion does.
  std::uint32_t number = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    number = number * 10u + static_cast<std::uint32_t>(value[i] - '0');
  }
  return negative ? 0u - number : number;
}

std::optional<std::string> WithSectionWritten(const ProfileText* text, std::string_view section,
                                              const char* keyList) {
  const std::string_view name = TrimView(section);
  if (HasLineBreak(name)) return std::nullopt;
  const char* const eol = LineEndingText(text != nullptr ? text->lineEnding : LineEnding::CrLf);
  std::string block;
  for (const char* line = keyList; *line != '\0'; line += std::strlen(line) + 1) {
    if (HasLineBreak(line)) return std::nullopt;
    block += line;
    block += eol;
  }

  std::string header = "[";
  header += name;
  header += "]";
  header += eol;
  if (text == nullptr) return header + block;

  const std::string& s = text->bytes;
  const ProfileSection* existing = FindProfileSection(*text, name);
  if (existing == nullptr) {
    std::string out;
    out.reserve(s.size() + std::strlen(eol) + header.size() + block.size());
    out = s;
    if (s.size() > text->contentBegin && s.back() != '\n' && s.back() != '\r') out += eol;
    out += header;
    out += block;
    return out;
  }

  // Rewrite the section's body only: its key lines give way to the new lines,
  // placed where the first of them stood; every other line stays as it was.
  std::string out;
  out.reserve(s.size() + block.size() + std::strlen(eol));
  out.append(s, 0, existing->bodyBegin);
  const char lastOfHeader = s[existing->bodyBegin - 1];
  if (lastOfHeader != '\n' && lastOfHeader != '\r') out += eol;
  bool inserted = false;
  if (existing->entryCount == 0) {
    out += block;
    inserted = true;
  }
  for (std::size_t pos = existing->bodyBegin; pos < existing->end;) {
    const std::size_t lineEnd = FindLineEnd(s, pos);
    const std::size_t next = NextLineStart(s, lineEnd);
    if (ClassifyLine(s, pos, lineEnd).kind == LineKind::Key) {
      if (!inserted) out += block;
      inserted = true;
    } else {
      out.append(s, pos, next - pos);
    }
    pos = next;
  }
  out.append(s, existing->end, std::string::npos);
  return out;
}

}  // namespace kestrinel
