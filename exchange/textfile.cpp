#include "exchange/textfile.h"

#include <algorithm>

#include "core/format.h"
#include "core/phrasetext.h"
#include "core/utf8.h"
#include "exchange/export.h"

namespace quillfen {

namespace {

std::vector<std::string> Files(std::string_view documentPath, std::string_view folderText) {
    TExportPaths paths = ExportPaths(documentPath, folderText);
    return {std::move(paths.Template), std::move(paths.Text)};
}

std::unique_ptr<TPhraseReader> Read(std::string_view bytes) {
    return std::make_unique<TTextFileReader>(bytes);
}

void Export(const TDocument& document, const std::string& documentPath,
            const std::string& folderText, const TExportOptions&) {
    ExportDocument(document, documentPath, folderText);
}

}  // namespace

const TExchangeFormat kTextFileFormat = {
    "text",  "NAME.txt, one line for each phrase, and the template NAME.templ", Files, Export, Read,
    nullptr,
};

TTextFileReader::TTextFileReader(std::string_view bytes)
    : text_(bytes.substr(0, bytes.find('\0'))) {
    // Editors put a byte-order mark in front of UTF-8 files; it belongs to no phrase.
    marked_ = text_.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    if (marked_) text_.remove_prefix(kUtf8Bom.size());
}

bool TTextFileReader::IsUtf8() const {
    if (!utf8_) utf8_ = marked_ || (!IsAscii(text_) && IsValidUtf8(text_));
    return *utf8_;
}

void TTextFileReader::Start(const TEncodingInfo& page) {
    encoding_ = page.kind != TPageEncoding::Utf8 && IsUtf8()
                    ? TEncodingInfo{TPageEncoding::Utf8, {}}
                    : page;
    lines_ = TLineReader(text_);
    k_ = 0;
}

bool TTextFileReader::Next(std::string& text) {
    std::string_view line;
    if (!lines_.Next(line)) return false;
    text = TextOfTextFile(PhraseOfLine(line, k_++), encoding_);
    return true;
}

}  // namespace quillfen
