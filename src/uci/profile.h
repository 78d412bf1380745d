// Profiles: a file of switch settings chosen on the command line
// ("kelmstrad --profile FILE"), so that a GUI which can only run a command
// line can start the engine in a tested configuration.
//
// The file holds one "NAME=VALUE" line per switch; blank lines and lines
// starting with '#' are ignored, and " #" after a value starts a comment.
// NAME must be one of the engine's environment switches and may appear once.
// A line "setoption name OPTION value VALUE", the command a GUI would send,
// sets a UCI option at start-up, before the first command is read; OPTION
// must be one the engine knows, its value of the option's kind (check:
// true or false; spin: a whole number), and it may appear once.
// The settings go into the environment before start-up, so every switch reads
// them exactly as if the user had exported them; a profile value wins over a
// variable already exported.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kelmstrad {

using ProfileSettings = std::vector<std::pair<std::string, std::string>>;

// Reads the settings of a profile text; false with a one-line reason in `why`
// (naming the line) at the first line that is neither a known "NAME=VALUE"
// nor a valid option line. The option lines go to `options` (in file order)
// when it is given.
bool parse_profile(const std::string& text, ProfileSettings* settings, std::string* why,
                   ProfileSettings* options = nullptr);

// Reads the profile file and, only if all of it is valid, puts every setting
// into the environment; false with a one-line reason in `why` otherwise.
// Its option lines are kept for apply_profile_options.
bool apply_profile(const char* path, std::string* why);

// Sets the options the applied profile named, in file order (after start-up).
void apply_profile_options();

}  // namespace kelmstrad
