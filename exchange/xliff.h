#pragma once

// XLIFF 1.2, the file translation tools read and give back: one file element for the page, one
// trans-unit for each phrase (its number from 1 as its id), a sentence's placeholders as inline
// codes (<g> for a pair, <x/> for a tag alone) named as the textual form names them. Characters
// that XML 1.0 cannot hold (control characters, U+FFFE, U+FFFF, bytes that are no UTF-8) stand as
// <x ctype="x-quillfen-byte-HH"/>, one for each byte. A sentence's unit carries
// extype="x-sentence", so that its texts are read back in the textual form of a sentence (with
// its escapes) even when it has no placeholder. The header's note from="quillfen" carries the
// stamp of the page.
//
// Built only where libxml2 is (not in the Windows build), which reads the files back: without
// the network, without loading a DTD, refusing a file that declares entities.

#include <optional>
#include <string>
#include <string_view>

#include "exchange/formats.h"

namespace quillfen {

extern const TExchangeFormat kXliffFormat;

// The file that kXliffFormat's export writes for the page at documentPath. Refuses a language
// option that is no language tag.
std::string XliffBytes(const TDocument& document, const std::string& documentPath,
                       const TExportOptions& options);

}  // namespace quillfen
