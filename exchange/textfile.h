#pragma once

// The text file and its template as an exchange format: the text file holds one line for each
// phrase (core/document/format.h), the template the page with a marker in each phrase's place. The
// writing is exchange/export.h's, the filling of the template exchange/combine.h's.

#include <optional>
#include <string>
#include <string_view>

#include "core/files/linereader.h"
#include "exchange/formats.h"

namespace quillfen {

extern const TExchangeFormat kTextFileFormat;

// The phrases of a text file's bytes. The file is read as UTF-8 when it starts with a UTF-8
// byte-order mark, which is dropped, or when it is valid UTF-8 holding non-ASCII bytes; otherwise
// in the page's encoding. Line k must read "<k>text</>", and only lines of blanks may follow the
// last phrase; anything else raises TextFileError naming path and the line, so that a slip in a
// tag, a line added, lost or doubled never moves a phrase into another's place.
class TTextFileReader final : public TPhraseReader {
  public:
    explicit TTextFileReader(std::string_view bytes, std::string path = {});
    bool IsUtf8() const override;
    void Start(const TEncodingInfo& page) override;
    bool Next(std::string& text) override;
    void End() override;
    TError Fault(std::size_t k, const TError& fault) const override;

  private:
    std::string_view text_;
    std::string path_;
    bool marked_ = false;
    // Known once asked: most texts are never asked, and the answer costs a pass over the file.
    mutable std::optional<bool> utf8_;
    TEncodingInfo encoding_;
    TLineReader lines_{{}};
    std::size_t k_ = 0;
};

}  // namespace quillfen
