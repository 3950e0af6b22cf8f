#include "exchange/textfile.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/document/format.h"
#include "core/text/phrasetext.h"
#include "core/text/utf8.h"
#include "exchange/export.h"

namespace quillfen {

namespace {

std::vector<std::string> Files(std::string_view documentPath, std::string_view folderText) {
    TExportPaths paths = ExportPaths(documentPath, folderText);
    return {std::move(paths.Template), std::move(paths.Text)};
}

std::unique_ptr<TPhraseReader> Read(std::string_view bytes, const std::string& path) {
    return std::make_unique<TTextFileReader>(bytes, path);
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

TTextFileReader::TTextFileReader(std::string_view bytes, std::string path)
    : text_(bytes), path_(std::move(path)) {
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
    const std::size_t n = ++k_;
    // The export writes a zero character as a blank, and a page holding one cannot be read.
    if (std::memchr(line.data(), '\0', line.size()))
        throw TextFileError(path_, n, TTextFileFault::ZeroByte);
    std::string_view phrase;
    switch (ReadTextLine(line, n - 1, phrase)) {
        case TTextLine::Malformed:
            throw TextFileError(path_, n, TTextFileFault::Form);
        case TTextLine::OtherNumber:
            throw TextFileError(path_, n, TTextFileFault::Number, phrase);
        case TTextLine::Phrase:
            break;
    }
    text = TextOfTextFile(phrase, encoding_);
    return true;
}

void TTextFileReader::End() {
    // Editors may leave empty lines at the end, or blanks on them.
    std::size_t n = k_;
    for (std::string_view line; lines_.Next(line);) {
        ++n;
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            throw TextFileError(path_, n, TTextFileFault::NoMarker, PhraseMarker(k_));
    }
}

TError TTextFileReader::Fault(std::size_t k, const TError& fault) const {
    // Line k+1 holds phrase k: every line before it was read as a phrase.
    return TextFileError(path_, k + 1, fault);
}

}  // namespace quillfen
