#include "app/cliplatform.h"

namespace quillfen {

// The arguments are bytes already, and paths are bytes: nothing to do.
void PrepareCommandLine(int&, char**&, std::vector<std::string>&, std::vector<char*>&) {}

}  // namespace quillfen
