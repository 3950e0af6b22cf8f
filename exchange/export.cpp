#include "exchange/export.h"

#include <charconv>

#include "core/savefile.h"

namespace quillfen {

namespace {

bool IsNameBoundary(char c) {
#ifdef _WIN32
    return c == '\\' || c == ':';
#else
    return c == kPathSeparator;
#endif
}

void AppendDecimal(std::string& out, std::size_t n) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, n);
    out.append(digits, result.ptr);
}

// Recombination finds a phrase by its line number, so a phrase must never take more than one
// line. The scan cannot produce a line break, but a text set from elsewhere could; each break
// (CR LF counting as one) is written as a blank instead. A zero byte would end the file for the
// reader and lose every later phrase, so it becomes a blank as well.
void AppendOneLine(std::string& out, std::string_view text) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) > '\r' || (c != '\r' && c != '\n' && c != '\0')) continue;
        out.append(text, from, i - from);
        out += ' ';
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        from = i + 1;
    }
    out.append(text, from, text.size() - from);
}

}  // namespace

std::string ExportBaseName(std::string_view path) {
    std::size_t start = path.size();
    while (start > 0 && !IsNameBoundary(path[start - 1])) --start;
    std::string_view name = path.substr(start);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

TExportPaths ExportPaths(std::string_view documentPath, std::string_view folderText) {
    std::string stem(folderText);
    stem += kPathSeparator;
    stem += ExportBaseName(documentPath);
    return {stem + ".templ", stem + ".txt"};
}

std::string TextFileBytes(const std::vector<TTextItem>& phrases) {
    std::size_t size = 0;
    for (const TTextItem& item : phrases) size += item.Text.size() + 16;
    std::string out;
    out.reserve(size);
    for (std::size_t n = 0; n < phrases.size(); ++n) {
        out += '<';
        AppendDecimal(out, n + 1);
        out += '>';
        AppendOneLine(out, phrases[n].Text);
        out += "</>\r\n";
    }
    return out;
}

void ExportFiles(std::string_view templateBytes, const std::vector<TTextItem>& phrases,
                 const TExportPaths& paths) {
    WriteFileAtomically(paths.Template, templateBytes);
    WriteFileAtomically(paths.Text, TextFileBytes(phrases));
}

void ExportDocument(const TDocument& document, const std::string& documentPath,
                    const std::string& folderText) {
    ExportFiles(document.TemplateBytes(), document.Phrases(),
                ExportPaths(documentPath, folderText));
}

}  // namespace quillfen
