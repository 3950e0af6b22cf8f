#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>

#include "app/cliplatform.h"

namespace quillfen {

void PrepareCommandLine(int& argc, char**& argv, std::vector<std::string>& arguments,
                        std::vector<char*>& pointers) {
    // In UTF-8, as every path and text of the program is, whatever the ANSI code page.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(std::max(n, 1)), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
        arg.pop_back();
        arguments.push_back(std::move(arg));
    }
    LocalFree(wide);
    for (std::string& arg : arguments) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    argc = static_cast<int>(arguments.size());
    argv = pointers.data();
    // Phrases and check lines end in LF as on other systems; page text may hold CR itself.
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace quillfen
