// The cost of a registration on libraries of 100 to 100,000 area sections.
//
//   kestrinel_benchmark [--quick] [--exe PATH]
//
// For each size it generates a library in a throwaway Wine-style prefix and
// measures, in a fresh process of its own (so that its peak memory is the
// run's alone):
//   whole run   RunActivation registering a new scenery: load, check, search
//               and write (the library is restored before every run)
//   found run   RunActivation finding the title in the last section: no write
//   parse       the profile engine's parse of the library's bytes alone
// Every run starts with a file the process has not read yet, as a real run
// does. With --exe it also times the whole kestrinel process on libraries of
// 1 and 1,000 sections. --quick does fewer sizes and repetitions, for CI.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/profile_text.h"
#include "tests/run_in_process.h"

namespace kestrinel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kNewTitle[] = "Benchmark Field";

// A library of |areas| area sections in file order, layers 1 to N. Section
// numbers have three digits, so beyond 999 every section but the last is
// named with six, and the last one's successor is still free.
std::string GenerateLibrary(int areas, const char* lastTitle) {
  std::string library =
      "[General]\r\nTitle=World Scenery Library\r\nDescription=Base scenery data\r\n"
      "Clean_on_Exit=TRUE\r\n";
  library.reserve(static_cast<std::size_t>(areas) * 130 + 256);
  char section[256];
  for (int i = 1; i <= areas; ++i) {
    char name[16];
    if (areas <= 999 || i == areas) {
      std::snprintf(name, sizeof name, "Area.%03d", areas <= 999 ? i : 500);
    } else {
      std::snprintf(name, sizeof name, "Area.%06d", i);
    }
    const std::string title = i == areas ? lastTitle : "Region " + std::to_string(i);
    std::snprintf(section, sizeof section,
                  "\r\n[%s]\r\nTitle=%s\r\nLocal=Scenery\\Region%d\r\nLayer=%d\r\nActive=TRUE\r\n"
                  "Required=FALSE\r\n",
                  name, title.c_str(), i, i);
    library += section;
  }
  return library;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  // A new file each time, renamed into place, as the tool's own write does.
  const fs::path temp = path.string() + ".new";
  std::ofstream(temp, std::ios::binary).write(bytes.data(), bytes.size());
  fs::rename(temp, path);
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Runs the whole registration with its console going nowhere.
ExitStatus QuietRun() { return testing_support::RunActivationPrintingTo("/dev/null"); }

struct Layout {
  fs::path root;
  fs::path library() const { return root / "prefix/drive_c/ProgramData/Microsoft/FSX/Scenery.cfg"; }
  fs::path work() const { return root / "work"; }
};

Layout MakeLayout(const fs::path& root) {
  Layout layout{root};
  fs::create_directories(layout.library().parent_path());
  fs::create_directories(layout.work());
  std::ofstream(layout.work() / "KestrinelConfig.ini", std::ios::binary)
      << "[Config]\r\nTitle=" << kNewTitle << "\r\nPath=Addon Scenery\\Benchmark Field\r\n";
  return layout;
}

// In a process of its own: times the three measurements on one size and
// prints them as one line of numbers.
int Measure(int areas, int repetitions, const fs::path& root) {
  const Layout layout = MakeLayout(root);
  setenv("WINEPREFIX", (root / "prefix").c_str(), 1);
  fs::current_path(layout.work());
  const std::string registering = GenerateLibrary(areas, "Addon Scenery");
  const std::string registered = GenerateLibrary(areas, kNewTitle);

  std::vector<double> whole, found, parse;
  for (int i = 0; i < repetitions; ++i) {
    WriteBytes(layout.library(), registering);
    auto start = Clock::now();
    if (QuietRun() != ExitActivated) return 2;
    whole.push_back(std::chrono::duration<double>(Clock::now() - start).count());

    WriteBytes(layout.library(), registered);
    start = Clock::now();
    if (QuietRun() != ExitAlreadyActive) return 3;
    found.push_back(std::chrono::duration<double>(Clock::now() - start).count());

    std::string bytes = registering;
    start = Clock::now();
    const ProfileText text = ParseProfileText(std::move(bytes));
    parse.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (text.sections.size() != static_cast<std::size_t>(areas) + 1) return 4;
  }
  std::printf("%.9f %.9f %.9f\n", Median(whole), Median(found), Median(parse));
  return 0;
}

struct Measured {
  double whole = 0, found = 0, parse = 0;
  long peakKiB = 0;
};

// Runs this program again as "--measure" and collects its line and peak memory.
bool MeasureInChild(const char* self, int areas, int repetitions, const fs::path& root,
                    Measured& measured) {
  fs::create_directories(root);
  const fs::path output = root / "measured.txt";
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    close(out);
    const std::string sizeText = std::to_string(areas);
    const std::string repetitionText = std::to_string(repetitions);
    execl(self, self, "--measure", sizeText.c_str(), repetitionText.c_str(), root.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage = {};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "measuring %d areas failed (status %d)\n", areas, status);
    return false;
  }
  std::sscanf(ReadBytes(output).c_str(), "%lf %lf %lf", &measured.whole, &measured.found,
              &measured.parse);
  measured.peakKiB = usage.ru_maxrss;
  return true;
}

// Median wall time of |runs| starts of the tool on a library of |areas|.
double TimeProcess(const std::string& exe, int areas, int runs, const fs::path& root) {
  const Layout layout = MakeLayout(root);
  const std::string library = GenerateLibrary(areas, kNewTitle);  // found: nothing written
  WriteBytes(layout.library(), library);
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
      const int nowhere = open("/dev/null", O_WRONLY);
      dup2(nowhere, 1);
      if (chdir(layout.work().c_str()) != 0) _exit(127);
      setenv("WINEPREFIX", (root / "prefix").c_str(), 1);
      execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != ExitAlreadyActive) {
      std::fprintf(stderr, "%s on %d areas: status %d\n", exe.c_str(), areas, status);
      return -1;
    }
  }
  return Median(times);
}

int Main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--measure") == 0) {
    return Measure(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
  }
  bool quick = false;
  std::string exe;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
    } else if (std::strcmp(argv[i], "--exe") == 0 && i + 1 < argc) {
      exe = fs::absolute(argv[++i]).string();
    } else {
      std::fprintf(stderr, "usage: %s [--quick] [--exe PATH]\n", argv[0]);
      return 64;
    }
  }
  char pattern[] = "/tmp/kestrinel-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path root = pattern;
  const std::vector<int> sizes =
      quick ? std::vector<int>{100, 1000, 10000} : std::vector<int>{100, 1000, 10000, 100000};

  std::printf("%8s  %12s %12s  %12s %12s  %12s %12s  %9s\n", "areas", "whole ms", "us/section",
              "found ms", "us/section", "parse ms", "us/section", "peak MiB");
  int failures = 0;
  for (const int areas : sizes) {
    const int repetitions = quick ? 3 : areas >= 100000 ? 5 : 21;
    Measured m;
    if (!MeasureInChild(argv[0], areas, repetitions, root / std::to_string(areas), m)) {
      ++failures;
      continue;
    }
    std::printf("%8d  %12.3f %12.3f  %12.3f %12.3f  %12.3f %12.3f  %9.1f\n", areas, m.whole * 1e3,
                m.whole * 1e6 / areas, m.found * 1e3, m.found * 1e6 / areas, m.parse * 1e3,
                m.parse * 1e6 / areas, m.peakKiB / 1024.0);
    std::fflush(stdout);
  }
  if (!exe.empty()) {
    const int runs = quick ? 5 : 51;
    const double one = TimeProcess(exe, 1, runs, root / "process-1");
    const double thousand = TimeProcess(exe, 1000, runs, root / "process-1000");
    if (one < 0 || thousand < 0) {
      ++failures;
    } else {
      std::printf("whole process: 1 area %.3f ms, 1,000 areas %.3f ms (%.2fx)\n", one * 1e3,
                  thousand * 1e3, thousand / one);
    }
  }
  fs::remove_all(root);
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace kestrinel

int main(int argc, char** argv) { return kestrinel::Main(argc, argv); }
