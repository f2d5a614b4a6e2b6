#include "activation/activation_config.h"

#include <cstring>

#include "platform/profile_services.h"

namespace kestrinel {

PhaseResult ReadActivationConfig(TextBuffer& titleBuffer, TextBuffer& pathBuffer) {
  if (ReadProfileString("Config", "Title", "", titleBuffer, kTextBufferSize, kConfigFileName) ==
      0) {
    return ReportOutcome(ExitConfigTitleUnreadable);
  }
  if (ReadProfileString("Config", "Path", "", pathBuffer, kTextBufferSize, kConfigFileName) == 0) {
    return ReportOutcome(ExitConfigPathUnreadable);
  }
  // Each run with such a title would append yet another section.
  if (std::strlen(titleBuffer) > kMaxConfiguredTitleLength) {
    return ReportOutcome(ExitConfigTitleTooLong);
  }
  return std::nullopt;
}

}  // namespace kestrinel
