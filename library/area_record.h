// One library section as loaded, and the two lists the run builds from them.
#ifndef KESTRINEL_LIBRARY_AREA_RECORD_H_
#define KESTRINEL_LIBRARY_AREA_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrinel {

// The run's two work buffers for a title and a folder: 511 characters and the
// terminator. Longer values are cut to fit as they are read.
inline constexpr std::size_t kTextBufferSize = 512;
using TextBuffer = char[kTextBufferSize];

// A section name of at most 128 characters, a title and a folder of at most
// 255; longer texts are stored cut. The texts are held in strings of their own
// length rather than fields of the full width: a heavy user's library of
// 100,000 areas would otherwise take 64 MB in records alone.
struct AreaRecord {
  std::string sectionName;
  std::string title;
  std::string localPath;  // empty for the header section
};

inline constexpr std::size_t kMaxSectionNameLength = 128;
inline constexpr std::size_t kMaxStoredTextLength = 255;

// Records in file order, the header section first. Index them with at(): the
// lists are bounds-checked.
using AreaList = std::vector<AreaRecord>;

// The layer of every section after the header section.
using LayerList = std::vector<std::int32_t>;

inline void SetSectionName(AreaRecord& record, std::string_view name) {
  record.sectionName.assign(name.substr(0, kMaxSectionNameLength));
}
inline void SetTitle(AreaRecord& record, std::string_view title) {
  record.title.assign(title.substr(0, kMaxStoredTextLength));
}
inline void SetLocalPath(AreaRecord& record, std::string_view localPath) {
  record.localPath.assign(localPath.substr(0, kMaxStoredTextLength));
}

}  // namespace kestrinel

#endif  // KESTRINEL_LIBRARY_AREA_RECORD_H_
