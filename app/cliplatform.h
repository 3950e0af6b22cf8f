#pragma once

// What quillfen-cli does in its own way on each platform (cliplatform_posix.cpp,
// cliplatform_win.cpp).

#include <string>
#include <vector>

namespace quillfen {

// Makes argc and argv the program's arguments in UTF-8 (kept in arguments and pointers) and
// readies the standard output for page bytes.
void PrepareCommandLine(int& argc, char**& argv, std::vector<std::string>& arguments,
                        std::vector<char*>& pointers);

}  // namespace quillfen
