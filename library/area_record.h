// One library section as loaded, and the two lists the run builds from them.
#ifndef KESTRINEL_LIBRARY_AREA_RECORD_H_
#define KESTRINEL_LIBRARY_AREA_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace kestrinel {

// The run's two work buffers for a title and a folder: 511 characters and the
// terminator. Longer values are cut to fit as they are read.
inline constexpr std::size_t kTextBufferSize = 512;
using TextBuffer = char[kTextBufferSize];

// Fixed-size, zero-filled, always terminated fields: a section name of at
// most 128 characters, a title and a folder of at most 255. Longer texts are
// stored cut.
struct AreaRecord {
  char sectionName[129] = {};
  char title[256] = {};
  char localPath[256] = {};
};

// Records in file order, the header section first. Index them with at(): the
// lists are bounds-checked.
using AreaList = std::vector<AreaRecord>;

// The layer of every section after the header section.
using LayerList = std::vector<std::int32_t>;

// Clears |field| and copies in as much of |text| as fits before the terminator.
template <std::size_t N>
void SetAreaField(char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size() < N - 1 ? text.size() : N - 1);
}

inline void SetSectionName(AreaRecord& record, std::string_view name) {
  SetAreaField(record.sectionName, name);
}
inline void SetTitle(AreaRecord& record, std::string_view title) {
  SetAreaField(record.title, title);
}
inline void SetLocalPath(AreaRecord& record, std::string_view localPath) {
  SetAreaField(record.localPath, localPath);
}

}  // namespace kestrinel

#endif  // KESTRINEL_LIBRARY_AREA_RECORD_H_
