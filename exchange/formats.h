#pragma once

// The exchange formats a page's phrases go out in and come back from. A format is a pair of
// files of its own (its writer and its reader) and one line in formats.cpp that registers it;
// the export, recombination, quillfen-cli and the wizard reach every format through this list.

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/document.h"
#include "core/errors.h"
#include "core/files/filereader.h"
#include "core/text/encoding.h"
#include "exchange/translation.h"

namespace quillfen {

// The phrases an exchange file holds, in the order of their numbers.
class TPhraseReader {
  public:
    virtual ~TPhraseReader() = default;
    // Whether the file's texts are UTF-8 whatever the page's encoding. A template that declares
    // no encoding then takes UTF-8 too.
    virtual bool IsUtf8() const = 0;
    // Starts over at the first phrase; texts not in UTF-8 are read as in page.
    virtual void Start(const TEncodingInfo& page) = 0;
    // The next phrase's text, in UTF-8 as the page shows it; false once there is none. Raises
    // TError naming the file and the place where the next phrase is not written as it must be.
    virtual bool Next(std::string& text) = 0;
    // Raises TError naming the file and the place of what the file holds behind the phrases read
    // so far, if anything: a phrase that no marker of the template takes.
    virtual void End() = 0;
    // The fault of phrase k's text (counted from 0), naming the file and where the phrase stands.
    virtual TError Fault(std::size_t k, const TError& fault) const = 0;
};

struct TExchangeFormat {
    std::string_view Name;     // the name the command line and the wizard know it by
    std::string_view Summary;  // one line for the command line's help
    // The files an export of documentPath into folderText (taken as typed) writes, in the order
    // it writes them.
    std::vector<std::string> (*Files)(std::string_view documentPath, std::string_view folderText);
    // Writes the document's phrases as they stand. Refuses a page the format cannot carry
    // before it writes anything.
    void (*Export)(const TDocument& document, const std::string& documentPath,
                   const std::string& folderText, const TExportOptions& options);
    // The phrases that a file of the format holds, read from its bytes, which it keeps a view of,
    // for recombination with a template (path names the file in errors); nullptr for a format
    // that is merged into the page.
    std::unique_ptr<TPhraseReader> (*Read)(std::string_view bytes, const std::string& path);
    // The units of a translated file, for a merge into the page; nullptr for a format that is
    // recombined. Raises TError naming path and the line for a file it cannot read.
    TTranslationFile (*ReadTranslation)(std::string_view bytes, const std::string& path);
    // The same one unit at a time from input, which the reader keeps, keeping of the texts what
    // limits allow: a file many times its page's size is read as it is merged. nullptr for a
    // format that has no such reader (a merge then reads its file whole).
    std::unique_ptr<TUnitReader> (*ReadUnits)(std::unique_ptr<TByteInput> input,
                                              const std::string& path,
                                              const TReadLimits& limits) = nullptr;
};

// Every registered format; the first is the default.
std::span<const TExchangeFormat* const> ExchangeFormats();
const TExchangeFormat& DefaultExchangeFormat();
// The format of that name, or nullptr.
const TExchangeFormat* FindExchangeFormat(std::string_view name);
// The extensions of the files an export in format writes, in the order it writes them (".txt",
// ".templ").
std::vector<std::string> FileExtensions(const TExchangeFormat& format);
// The extension of the files a format merges: that of the last file its export writes (".xlf",
// ".po"); empty for a format that is not merged.
std::string TranslationExtension(const TExchangeFormat& format);
// The format that merges files named like path, by their extension, or nullptr.
const TExchangeFormat* FindTranslationFormat(std::string_view path);

}  // namespace quillfen
