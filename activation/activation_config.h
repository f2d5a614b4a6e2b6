// What is to be registered: the scenery's title and folder, read from the
// tool's own configuration file in the current directory.
#ifndef KESTRINEL_ACTIVATION_ACTIVATION_CONFIG_H_
#define KESTRINEL_ACTIVATION_ACTIVATION_CONFIG_H_

#include "app/exit_status.h"
#include "library/area_record.h"

namespace kestrinel {

// The configuration file, in the current directory at the time of the run.
inline constexpr char kConfigFileName[] = ".\\KestrinelConfig.ini";

// Stored titles keep this many characters; a longer configured title could
// never be found in the library again.
inline constexpr std::size_t kMaxConfiguredTitleLength = 255;

// Reads Title and Path of section Config into the two work buffers (together
// the ActivationConfig), each cut to 511 characters. Ends the run with
// ExitConfigTitleUnreadable or ExitConfigPathUnreadable when a value is missing
// or empty, and with ExitConfigTitleTooLong for a title of more than 255
// characters.
PhaseResult ReadActivationConfig(TextBuffer& titleBuffer, TextBuffer& pathBuffer);

}  // namespace kestrinel

#endif  // KESTRINEL_ACTIVATION_ACTIVATION_CONFIG_H_
