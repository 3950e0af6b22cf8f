#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/document.h"
#include "core/files/buffer.h"
#include "core/textitem.h"

namespace quillfen {

// The separator put between the output folder and the file names, and searched for when the
// base name is taken from a path.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The file name of path without its folder and without its last extension: "news.old.html"
// gives "news.old", "readme" stays "readme".
std::string ExportBaseName(std::string_view path);
// The file name of path without its folder: "news.old.html".
std::string_view ExportFileName(std::string_view path);
// An exported file's path: the folder as typed, the separator, the base name and extension.
std::string ExportPath(std::string_view documentPath, std::string_view folderText,
                       std::string_view extension);

struct TExportPaths {
    std::string Template;  // folder + separator + base name + ".templ"
    std::string Text;      // folder + separator + base name + ".txt"
};

// The folder text is taken as typed: a trailing separator gives a doubled one, and an empty
// folder puts both files at the root.
TExportPaths ExportPaths(std::string_view documentPath, std::string_view folderText);

// The text file: one line for each phrase, in the format of core/document/format.h, each text in
// the page's encoding as TextFileText writes it (decoded; "&#N;" for a character the encoding
// lacks).
std::string TextFileBytes(const std::vector<TTextItem>& phrases,
                          const TEncodingInfo& encoding = {});

// The same for the document's phrases as they stand.
std::string DocumentTextFileBytes(const TDocument& document);

// The first marker text (FindMarkerText) that the template of document holds besides the
// markers of its phrases, or nullopt. Recombination would take such a text for a marker. A
// phrase's own text may hold any: it goes into the text file, not into the template.
std::optional<std::string> StrayMarkerText(const TDocument& document,
                                           std::string_view templateBytes);

// Writes the template file and then the text file. Raises "Datei %s kann nicht erstellt werden"
// for the first file that cannot be written; when that is the template, the text file is left
// alone too.
void ExportFiles(std::string_view templateBytes, const std::vector<TTextItem>& phrases,
                 const TExportPaths& paths, const TEncodingInfo& encoding = {});
// Writes the document's two files, the text file in the page's encoding. Refuses a page whose
// own bytes hold a marker text, naming the page and the text, before writing anything.
void ExportDocument(const TDocument& document, const std::string& documentPath,
                    const std::string& folderText);

}  // namespace quillfen
