#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

using TLines = std::vector<std::string>;
// Lines as views into text that the caller keeps alive.
using TLineViews = std::vector<std::string_view>;

// Progress of a long operation: position within 0 .. maximum.
using TProgress = std::function<void(std::size_t position, std::size_t maximum)>;

// Splits text into lines: CR LF, a lone CR and a lone LF each end a line; a final line break
// starts no empty line; the text ends at the first zero byte.
TLines SplitLines(std::string_view data);
TLineViews SplitLineViews(std::string_view data);

// Reads a whole regular file as bytes. Raises "Datei %s kann nicht geöffnet werden" when it
// cannot; a FIFO, device, socket or folder is refused at once, a file above 1 GiB before it is
// read, each with an error that says so (ReadFileStamped in filestamp.h also describes the file).
std::string ReadFileBytes(const std::string& path);

// Drops empty lines and strips every leading character of code 32 or less from the others;
// a line of blanks becomes empty and stays.
void TrimPass(TLines& lines, const TProgress& progress = {});
void TrimPass(TLineViews& lines, const TProgress& progress = {});

}  // namespace quillfen
