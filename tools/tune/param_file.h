// Parameter files: checking and loading one the way the engine's PARAMS does,
// and writing the tuned store as a complete file in the "dumpparams" format.
//
// The engine stops reading a parameter text at the first line that is not a
// record, silently. A file that the tuner accepts is therefore all records,
// optionally followed by comment lines ("#" first); a record after a comment,
// an unknown name, an index out of range or a value wider than its entry is
// refused with the line named, since the engine would drop or mangle it.
#pragma once

#include <string>

namespace kelmstrad::tune {

// Puts the built-in values in force and applies the shipped parameter text.
void load_shipped_params();

// Puts the built-in values in force and applies the file; false with a
// message (the store then undefined) when the file cannot be read or the
// engine would not load all of it.
bool load_param_file(const std::string& path, std::string* error);

// The current store as a parameter text: the "dumpparams" lines, then the
// records that "dumpparams" leaves out (king shelter, mobility, pawn
// extras), then each line of `comment` prefixed with "# ".
std::string param_text(const std::string& comment);

// Writes the text to a temporary name beside `path` and renames it, so the
// file is either the old one or the whole new one; false with a message.
bool write_file_atomically(const std::string& path, const std::string& text, std::string* error);

}  // namespace kelmstrad::tune
