// The whole registration on an arbitrary library, and optionally an arbitrary
// configuration after the marker line below, in a throwaway Wine-style
// prefix. Checked on every run: the exit status is one of the table's, the
// console holds the banner and exactly one outcome text, and the library is
// byte-identical afterwards unless the run registered the scenery, when it is
// the old bytes plus exactly one new section.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/exit_status.h"
#include "platform/profile_text.h"
#include "tests/run_in_process.h"

namespace kestrinel {
namespace {

namespace fs = std::filesystem;

// Separates the library from the configuration in an input.
constexpr char kConfigMarker[] = "\n#kestrinel-config#\n";
constexpr char kDefaultConfig[] = "[Config]\r\nTitle=Fuzz Field\r\nPath=Addon Scenery\\Fuzz\r\n";
constexpr char kBanner[] =
    "******************************************************\n"
    "*              Scenery Kestrinel v. 1.4              *\n"
    "******************************************************\n\n";
constexpr char kRule[] = "\n------------------------------------------------------\n";

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ConfigValue(const std::string& config, const char* key) {
  const ProfileText text = ParseProfileText(config);
  char value[512];
  CopyProfileString(&text, "Config", key, "", value, sizeof value);
  return value;
}

// What the run appends for |title| and |path|: a line ending first when the
// old file lacks a final one, then the section in the file's own line ending.
void CheckAppended(const std::string& before, const std::string& after, const std::string& title,
                   const std::string& path) {
  Require(after.compare(0, before.size(), before) == 0, "the old bytes are kept");
  const ProfileText old = ParseProfileText(before);
  const std::string eol = old.lineEnding == LineEnding::Lf   ? "\n"
                          : old.lineEnding == LineEnding::Cr ? "\r"
                                                             : "\r\n";
  std::string tail = after.substr(before.size());
  const bool needsEnding =
      before.size() > old.contentBegin && before.back() != '\n' && before.back() != '\r';
  if (needsEnding) {
    Require(tail.compare(0, eol.size(), eol) == 0, "a line ending comes first");
    tail.erase(0, eol.size());
  }
  const ProfileText added = ParseProfileText(tail);
  Require(added.sections.size() == 1, "exactly one new section");
  const std::string name(SpanText(added, added.sections[0].name));
  char layer[32];
  CopyProfileString(&added, name, "Layer", "", layer, sizeof layer);
  const std::string expected = "[" + name + "]" + eol + "Title=" + title + eol + "Local=" + path +
                               eol + "Layer=" + layer + eol + "Active=TRUE" + eol +
                               "Required=FALSE" + eol;
  Require(tail == expected, "the new section holds exactly its five keys");
  Require(!FindProfileSection(old, name), "the new name was free");
}

void CheckOutcome(ExitStatus status, const std::string& out, const std::string& title) {
  Require(out.compare(0, std::strlen(kBanner), kBanner) == 0, "the banner comes first");
  const std::string text = out.substr(std::strlen(kBanner));
  switch (status) {
    case ExitActivated:
      Require(text == kRule + ("\nThe scenery " + title + " was activated\n") + kRule + "\n",
              "the activated text");
      return;
    case ExitAlreadyActive:
      Require(
          text == kRule + ("\nThe scenery " + title + " is currently activated\n") + kRule + "\n",
          "the already-activated text");
      return;
    case ExitNoFreeSectionName: {
      const std::string start = "Error: the new section name Area.";
      const bool used = text.size() > start.size() &&
                        text.compare(text.size() - 31, 31, " is already used in Scenery.cfg") == 0;
      const bool tooLong = text == start + "1000 is longer than 8 characters";
      Require(text.compare(0, start.size(), start) == 0 && (used || tooLong),
              "the section name text");
      return;
    }
    // Faults no full run can reach, and a folder and a lock this run always has.
    case ExitConsistencyFault:
    case ExitSearchFault:
    case ExitSearchListEmpty:
    case ExitAppendFault:
    case ExitAppendListEmpty:
    case ExitNoCommonAppData:
    case ExitLibraryBusy:
      Require(false, "an outcome a full run cannot reach");
      return;
    default:
      Require(text == DescribeExitStatus(status).text, "the outcome's one text");
  }
}

struct Workspace {
  fs::path root;
  unsigned long runs = 0;
  Workspace() {
    char pattern[] = "/tmp/kestrinel-fuzz-XXXXXX";
    Require(mkdtemp(pattern) != nullptr, "a temporary folder");
    root = pattern;
  }
};

}  // namespace
}  // namespace kestrinel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrinel;
  static Workspace workspace;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t marker = input.find(kConfigMarker);
  const std::string before = input.substr(0, marker);
  const std::string config = marker == std::string::npos
                                 ? std::string(kDefaultConfig)
                                 : input.substr(marker + std::strlen(kConfigMarker));

  // A folder of its own for every run: nothing of one run can reach the next.
  const fs::path run = workspace.root / std::to_string(workspace.runs++);
  const fs::path folder = run / "prefix/drive_c/ProgramData/Microsoft/FSX";
  fs::create_directories(folder);
  fs::create_directories(run / "work");
  WriteBytes(folder / "Scenery.cfg", before);
  WriteBytes(run / "work/KestrinelConfig.ini", config);
  setenv("WINEPREFIX", (run / "prefix").c_str(), 1);
  const fs::path home = fs::current_path();
  fs::current_path(run / "work");

  const ExitStatus status = testing_support::RunActivationPrintingTo((run / "console").c_str());
  fs::current_path(home);

  const std::string title = ConfigValue(config, "Title");
  CheckOutcome(status, ReadBytes(run / "console"), title);
  const std::string after = ReadBytes(folder / "Scenery.cfg");
  if (status == ExitActivated) {
    CheckAppended(before, after, title, ConfigValue(config, "Path"));
  } else {
    Require(after == before, "the library is byte-identical");
  }
  std::size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(folder)) entries += entry.is_directory() ? 2 : 1;
  Require(entries == 1, "no temporary file is left");
  fs::remove_all(run);
  return 0;
}
