// An in-memory profile (.ini) file read the way the Windows profile functions
// read it, and the byte-preserving edit that writes one section into it.
//
// Reading rules: each line is trimmed of spaces, tabs, vertical tabs, form
// feeds, CR and Ctrl-Z. A trimmed line starting with '[' and holding a later
// ']' is a section header whose name runs to the last ']' on the line. Any
// other line with an '=' is a key line: the key is the text before the first
// '=', the value the rest, both trimmed. ';' and '#' mean nothing special.
// Names and values end at an embedded NUL. Keys before the first header belong
// to no section. CRLF, LF and a lone CR all end a line, and a UTF-8 byte-order
// mark at the start is skipped.
//
// Lookups compare names without regard to ASCII letter case, after trimming
// the name asked for. Of duplicate sections only the first is searched; of
// duplicate keys in a section the first wins.
//
// Parsing accepts any bytes and never fails; the parse is O(size of file) and
// keeps, besides the bytes, 16 bytes for each section and an index. A key is
// found by reading its section's lines.
#ifndef KESTRINEL_PLATFORM_PROFILE_TEXT_H_
#define KESTRINEL_PLATFORM_PROFILE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrinel {

// A run of bytes inside ProfileText::bytes.
struct TextSpan {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

enum class LineEnding { CrLf, Lf, Cr };

struct ProfileSection {
  TextSpan name;
  std::uint32_t headerBegin = 0;  // first byte of the header line
  std::uint32_t bodyBegin = 0;    // first byte after the header line's ending
  std::uint32_t end = 0;          // first byte of the next header line, or the end
};

struct ProfileEntry {
  TextSpan key;
  TextSpan value;  // trimmed; quotes around it are still there
};

struct ProfileText {
  std::string bytes;
  std::uint32_t contentBegin = 0;            // 3 after a UTF-8 byte-order mark
  LineEnding lineEnding = LineEnding::CrLf;  // of the first line; CRLF when none ends
  std::vector<ProfileSection> sections;      // every header, in file order
  // The first section of each name, by a hash of its name without case: an
  // open-addressing table of section indices plus one, 0 for an empty slot.
  std::vector<std::uint32_t> nameIndex;
  // Whether each section is the first of its name, the one reads search.
  std::vector<bool> firstOfName;
  // Where the last lookup found its section. Readers mostly go through a
  // library in file order, so the next section asked for is this one or the
  // one after it, which saves the index's scattered memory accesses. (A
  // parse is used from one thread only.)
  mutable std::uint32_t lastFound = 0;
};

// The largest file the engine takes: offsets are 32-bit.
inline constexpr std::size_t kMaxProfileTextSize = 0xFFFFFFF0u;

// Parses |bytes|, which must not exceed kMaxProfileTextSize.
ProfileText ParseProfileText(std::string bytes);

std::string_view SpanText(const ProfileText& text, TextSpan span);

// Whether two section or key names are the same name: equal but for the case
// of ASCII letters.
bool SameProfileName(std::string_view a, std::string_view b);

// The first section named |name| (trimmed, any letter case), or null.
const ProfileSection* FindProfileSection(const ProfileText& text, std::string_view name);

// The first key line of |section| named |key| (trimmed, any letter case).
std::optional<ProfileEntry> FindProfileEntry(const ProfileText& text, const ProfileSection& section,
                                             std::string_view key);

// Every key line of |section|, in file order.
std::vector<ProfileEntry> SectionEntries(const ProfileText& text, const ProfileSection& section);

// The reads below take |text| null for a file that does not exist, and give
// exactly the results and buffer contents of the Windows functions.

// GetPrivateProfileSectionNames.
std::uint32_t CopySectionNames(const ProfileText* text, char* buffer, std::uint32_t size);

// GetPrivateProfileString for one key.
std::uint32_t CopyProfileString(const ProfileText* text, std::string_view section,
                                std::string_view key, std::string_view defaultValue, char* buffer,
                                std::uint32_t size);

// GetPrivateProfileInt.
std::uint32_t ProfileIntValue(const ProfileText* text, std::string_view section,
                              std::string_view key, std::int32_t defaultValue);

// WritePrivateProfileSection, as the file's new contents: runs of its old
// bytes and new text, in order, so that a large file is written without a
// second copy of it. |section| comes to hold the lines of |keyList|
// (NUL-terminated strings ended by an empty one). An existing section keeps
// its place, header and non-key lines; its key lines give way to the new
// ones. A new section is appended at the end, after a line ending when the
// file lacks a final one. New lines take the file's own line ending. Every
// byte outside the section is kept. |text| null creates a new file.
struct ProfileEdit {
  struct Piece {
    bool added;  // from |added|, else from the old bytes
    std::size_t offset;
    std::size_t length;
  };
  std::string added;
  std::vector<Piece> pieces;
};

// Returns nothing when a name or line holds a line break, which would write
// lines the caller did not ask for.
std::optional<ProfileEdit> EditProfileSection(const ProfileText* text, std::string_view section,
                                              const char* keyList);

// The edit's pieces as views of |text|'s bytes and the edit's own text.
std::vector<std::string_view> EditPieces(const ProfileText* text, const ProfileEdit& edit);

// The whole new contents of the file, in one string.
std::optional<std::string> WithSectionWritten(const ProfileText* text, std::string_view section,
                                              const char* keyList);

}  // namespace kestrinel

#endif  // KESTRINEL_PLATFORM_PROFILE_TEXT_H_
