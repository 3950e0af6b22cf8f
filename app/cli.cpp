// quillfen-cli: the page operations of the window program for scripts and whole sites. Its
// commands are declared in cli/commands/, one file each.

#include <signal.h>

#include <string>
#include <vector>

#include "app/cliplatform.h"
#include "cli/command.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    std::vector<char*> pointers;
    quillfen::PrepareCommandLine(argc, argv, arguments, pointers);
#ifdef SIGXFSZ
    // A file-size limit makes a write fail with its cause instead of killing the program, so that
    // the save cleans up after itself.
    ::signal(SIGXFSZ, SIG_IGN);
#endif
    const std::vector<std::string> words(argv + 1, argv + argc);
    return quillfen::cli::Main(words);
}
