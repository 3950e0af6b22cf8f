#pragma once

// Bytes read part by part, for files that need not fit in memory: a translation file may be many
// times larger than the page it belongs to, and is read as it is merged.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quillfen {

class TByteInput {
  public:
    virtual ~TByteInput() = default;
    // Reads up to size bytes into buffer; 0 at the end. Raises TError on a read error.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// Bytes already in memory, which must outlive the input.
class TMemoryInput final : public TByteInput {
  public:
    explicit TMemoryInput(std::string_view bytes) : bytes_(bytes) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, bytes_.size());
        if (n != 0) std::memcpy(buffer, bytes_.data(), n);
        bytes_.remove_prefix(n);
        return n;
    }

  private:
    std::string_view bytes_;
};

// A regular file, of any size. Refuses at once what ReadFileBytes refuses but a large file: a
// FIFO, a device, a socket, a folder (NotRegularFileError), and a file it cannot open
// (CannotOpenError, with the system's cause, as for a read error).
class TFileReader final : public TByteInput {
  public:
    explicit TFileReader(const std::string& path);
    ~TFileReader() override;
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;
    std::size_t Read(char* buffer, std::size_t size) override;

  private:
    std::string path_;
    std::intptr_t handle_ = -1;
};

}  // namespace quillfen
