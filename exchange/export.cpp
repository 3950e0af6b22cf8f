#include "exchange/export.h"

#include "core/document/format.h"
#include "core/errors.h"
#include "core/files/savefile.h"
#include "core/text/phrasetext.h"

namespace quillfen {

namespace {

bool IsNameBoundary(char c) {
#ifdef _WIN32
    // The system takes "/" for "\\" as well.
    return c == '\\' || c == '/' || c == ':';
#else
    return c == kPathSeparator;
#endif
}

}  // namespace

std::string_view ExportFileName(std::string_view path) {
    std::size_t start = path.size();
    while (start > 0 && !IsNameBoundary(path[start - 1])) --start;
    return path.substr(start);
}

std::string ExportBaseName(std::string_view path) {
    std::string_view name = ExportFileName(path);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

std::string ExportPath(std::string_view documentPath, std::string_view folderText,
                       std::string_view extension) {
    std::string path(folderText);
    path += kPathSeparator;
    path += ExportBaseName(documentPath);
    path += extension;
    return path;
}

TExportPaths ExportPaths(std::string_view documentPath, std::string_view folderText) {
    return {ExportPath(documentPath, folderText, ".templ"),
            ExportPath(documentPath, folderText, ".txt")};
}

std::string TextFileBytes(const std::vector<TTextItem>& phrases, const TEncodingInfo& encoding) {
    std::size_t size = 0;
    for (const TTextItem& item : phrases) size += item.Text.size() + 16;
    std::string out;
    out.reserve(size);
    for (std::size_t n = 0; n < phrases.size(); ++n)
        AppendTextLine(out, n, TextFileText(phrases[n].Text, encoding));
    return out;
}

std::string DocumentTextFileBytes(const TDocument& document) {
    const std::size_t count = document.PhraseCount();
    std::size_t size = 0;
    for (std::size_t n = 0; n < count; ++n) size += document.Text(n).size() + 16;
    std::string out;
    out.reserve(size);
    for (std::size_t n = 0; n < count; ++n)
        AppendTextLine(out, n, TextFileText(document.Text(n), document.EncodingInfo()));
    return out;
}

std::optional<std::string> StrayMarkerText(const TDocument& document,
                                           std::string_view templateBytes) {
    // Where the phrases' markers stand in the template: behind the byte-order mark, each the
    // bytes between two phrases behind the one before; a sentence's table holds the markers of
    // the phrases inside it, and only the document knows where.
    const std::vector<TPhraseSpan>& spans = document.Spans();
    std::vector<std::size_t> places;
    const bool tables = document.Units() == TUnits::Sentences;
    if (tables) document.TemplateBytes(&places);
    std::size_t k = 0, pageAt = 0, templateAt = document.Bom().size();
    std::size_t markerAt = std::string_view::npos, markerEnd = 0;
    auto nextMarker = [&] {
        if (k == spans.size()) {
            markerAt = std::string_view::npos;
            return;
        }
        markerAt = tables ? places[k] : templateAt + (spans[k].Begin - pageAt);
        markerEnd = markerAt + MarkerLength(k);
        templateAt = markerEnd;
        pageAt = spans[k].End;
        ++k;
    };
    nextMarker();
    std::size_t length = 0;
    for (std::size_t at = FindMarkerText(templateBytes, 0, length); at != std::string_view::npos;
         at = FindMarkerText(templateBytes, at + 1, length)) {
        while (markerAt != std::string_view::npos && markerEnd <= at) nextMarker();
        // A text that starts inside a marker is out of reach: the search for the next marker
        // starts behind it.
        if (markerAt == std::string_view::npos || at < markerAt)
            return std::string(templateBytes.substr(at, length));
    }
    return std::nullopt;
}

void ExportFiles(std::string_view templateBytes, const std::vector<TTextItem>& phrases,
                 const TExportPaths& paths, const TEncodingInfo& encoding) {
    WriteFileAtomically(paths.Template, templateBytes);
    WriteFileAtomically(paths.Text, TextFileBytes(phrases, encoding));
}

void ExportDocument(const TDocument& document, const std::string& documentPath,
                    const std::string& folderText) {
    const std::string templateBytes = document.TemplateBytes();
    if (auto found = StrayMarkerText(document, templateBytes))
        throw MarkerTextError(documentPath, *found);
    const TExportPaths paths = ExportPaths(documentPath, folderText);
    WriteFileAtomically(paths.Template, templateBytes);
    WriteFileAtomically(paths.Text, DocumentTextFileBytes(document));
}

}  // namespace quillfen
