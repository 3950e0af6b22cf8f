#include "errors.h"

namespace quillfen {

namespace {

std::string Compose(std::string_view head, std::string_view middle, std::string_view tail) {
    std::string s;
    s.reserve(head.size() + middle.size() + tail.size());
    s.append(head).append(middle).append(tail);
    return s;
}

}  // namespace

TError CannotOpenError(const std::string& path) {
    return TError(Compose("Datei ", path, " kann nicht ge\xC3\xB6" "ffnet werden"));
}

TError CannotCreateError(const std::string& path) {
    return TError(Compose("Datei ", path, " kann nicht erstellt werden"));
}

TError ListIndexError(unsigned long long index) {
    return TError(Compose("Der Index der Liste \xC3\xBC" "berschreitet das Maximum (",
                          std::to_string(index), ")"));
}

}  // namespace quillfen
