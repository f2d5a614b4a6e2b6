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

// The first CR or LF at or after |pos|, or the end. memchr() over a window
// beats a loop over the bytes; the window keeps a file whose lines all end
// with the other character (CR only, say) from being scanned to its end for
// every line.
std::size_t FindLineEnd(const std::string& s, std::size_t pos) {
  constexpr std::size_t kWindow = 256;
  const char* const end = s.data() + s.size();
  for (const char* p = s.data() + pos; p < end;) {
    const std::size_t window = std::min<std::size_t>(kWindow, static_cast<std::size_t>(end - p));
    const void* lineFeed = std::memchr(p, '\n', window);
    const std::size_t limit = lineFeed != nullptr
                                  ? static_cast<std::size_t>(static_cast<const char*>(lineFeed) - p)
                                  : window;
    if (const void* carriageReturn = std::memchr(p, '\r', limit)) {
      return static_cast<std::size_t>(static_cast<const char*>(carriageReturn) - s.data());
    }
    if (lineFeed != nullptr) {
      return static_cast<std::size_t>(static_cast<const char*>(lineFeed) - s.data());
    }
    p += window;
  }
  return s.size();
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

// FNV-1a over the name's bytes with ASCII letters in lower case, so that
// names equal but for case share a slot.
std::uint32_t NameHash(std::string_view name) {
  std::uint32_t hash = 2166136261u;
  for (const char c : name) {
    hash ^= static_cast<unsigned char>(AsciiLower(c));
    hash *= 16777619u;
  }
  return hash;
}

// Fills the index with the first section of each name.
void IndexSectionNames(ProfileText& text) {
  std::size_t slots = 8;
  while (slots < 2 * text.sections.size()) slots *= 2;
  text.nameIndex.assign(slots, 0);
  text.firstOfName.assign(text.sections.size(), false);
  const std::size_t mask = slots - 1;
  for (std::uint32_t i = 0; i < text.sections.size(); ++i) {
    const std::string_view name = SpanText(text, text.sections[i].name);
    for (std::size_t slot = NameHash(name) & mask;; slot = (slot + 1) & mask) {
      const std::uint32_t held = text.nameIndex[slot];
      if (held == 0) {
        text.nameIndex[slot] = i + 1;
        text.firstOfName[i] = true;
        break;
      }
      if (SameProfileName(SpanText(text, text.sections[held - 1].name), name)) break;
    }
  }
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
    // Only headers are kept; key lines are read again when a key is asked for.
    if (s[pos] == '[' || IsBlank(s[pos])) {
      const LineInfo line = ClassifyLine(s, pos, lineEnd);
      if (line.kind == LineKind::Header) {
        if (!text.sections.empty()) text.sections.back().end = static_cast<std::uint32_t>(pos);
        ProfileSection section;
        section.name = line.name;
        section.headerBegin = static_cast<std::uint32_t>(pos);
        section.bodyBegin = static_cast<std::uint32_t>(next);
        section.end = static_cast<std::uint32_t>(s.size());
        text.sections.push_back(section);
      }
    }
    pos = next;
  }
  IndexSectionNames(text);
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
  if (text.nameIndex.empty()) return nullptr;
  name = TrimView(name);
  for (const std::uint32_t near : {text.lastFound, text.lastFound + 1}) {
    if (near < text.sections.size() && text.firstOfName[near] &&
        SameProfileName(SpanText(text, text.sections[near].name), name)) {
      text.lastFound = near;
      return &text.sections[near];
    }
  }
  const std::size_t mask = text.nameIndex.size() - 1;
  for (std::size_t slot = NameHash(name) & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t held = text.nameIndex[slot];
    if (held == 0) return nullptr;
    const ProfileSection& section = text.sections[held - 1];
    if (SameProfileName(SpanText(text, section.name), name)) {
      text.lastFound = held - 1;
      return &section;
    }
  }
}

namespace {

// Calls |visit| with each key line of |section| until it returns true.
template <typename Visit>
void VisitEntries(const ProfileText& text, const ProfileSection& section, Visit&& visit) {
  const std::string& s = text.bytes;
  for (std::size_t pos = section.bodyBegin; pos < section.end;) {
    const std::size_t lineEnd = FindLineEnd(s, pos);
    const LineInfo line = ClassifyLine(s, pos, lineEnd);
    if (line.kind == LineKind::Key && visit(ProfileEntry{line.name, line.value})) return;
    pos = NextLineStart(s, lineEnd);
  }
}

}  // namespace

std::optional<ProfileEntry> FindProfileEntry(const ProfileText& text, const ProfileSection& section,
                                             std::string_view key) {
  key = TrimView(key);
  std::optional<ProfileEntry> found;
  VisitEntries(text, section, [&](const ProfileEntry& entry) {
    if (!SameProfileName(SpanText(text, entry.key), key)) return false;
    found = entry;
    return true;
  });
  return found;
}

std::vector<ProfileEntry> SectionEntries(const ProfileText& text, const ProfileSection& section) {
  std::vector<ProfileEntry> entries;
  VisitEntries(text, section, [&](const ProfileEntry& entry) {
    entries.push_back(entry);
    return false;
  });
  return entries;
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
      if (const std::optional<ProfileEntry> entry = FindProfileEntry(*text, *found, key)) {
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
  const std::optional<ProfileEntry> entry = FindProfileEntry(*text, *found, key);
  if (!entry) return fallback;
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

std::optional<ProfileEdit> EditProfileSection(const ProfileText* text, std::string_view section,
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

  ProfileEdit edit;
  const auto keep = [&](std::size_t from, std::size_t to) {
    if (to > from) edit.pieces.push_back({false, from, to - from});
  };
  const auto add = [&](const std::string& added) {
    edit.pieces.push_back({true, edit.added.size(), added.size()});
    edit.added += added;
  };
  const ProfileSection* existing = text != nullptr ? FindProfileSection(*text, name) : nullptr;
  if (existing == nullptr) {
    if (text != nullptr) {
      const std::string& s = text->bytes;
      keep(0, s.size());
      if (s.size() > text->contentBegin && s.back() != '\n' && s.back() != '\r') add(eol);
    }
    add(header + block);
    return edit;
  }

  // Rewrite the section's body only: its key lines give way to the new lines,
  // placed where the first of them stood; every other line stays as it was.
  const std::string& s = text->bytes;
  keep(0, existing->bodyBegin);
  const char lastOfHeader = s[existing->bodyBegin - 1];
  if (lastOfHeader != '\n' && lastOfHeader != '\r') add(eol);
  bool inserted = false;
  std::size_t keptFrom = existing->bodyBegin;
  for (std::size_t pos = existing->bodyBegin; pos < existing->end;) {
    const std::size_t lineEnd = FindLineEnd(s, pos);
    const std::size_t next = NextLineStart(s, lineEnd);
    if (ClassifyLine(s, pos, lineEnd).kind == LineKind::Key) {
      keep(keptFrom, pos);
      if (!inserted) add(block);
      inserted = true;
      keptFrom = next;
    }
    pos = next;
  }
  if (!inserted) {
    // No key line: the new lines come right after the header.
    add(block);
  }
  keep(keptFrom, s.size());
  return edit;
}

std::vector<std::string_view> EditPieces(const ProfileText* text, const ProfileEdit& edit) {
  std::vector<std::string_view> views;
  for (const ProfileEdit::Piece& piece : edit.pieces) {
    const std::string& from = piece.added ? edit.added : text->bytes;
    views.emplace_back(from.data() + piece.offset, piece.length);
  }
  return views;
}

std::optional<std::string> WithSectionWritten(const ProfileText* text, std::string_view section,
                                              const char* keyList) {
  const std::optional<ProfileEdit> edit = EditProfileSection(text, section, keyList);
  if (!edit) return std::nullopt;
  std::string bytes;
  for (const std::string_view piece : EditPieces(text, *edit)) bytes += piece;
  return bytes;
}

}  // namespace kestrinel
