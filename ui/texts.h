#pragma once

// Small text helpers of the windows: file filters, counts and paths. Qt Core only, so that they
// are tested without widgets. A typed entry is cleaned by the editing service
// (core/document/editing.h).

#include <QString>
#include <cstdint>
#include <string>

namespace quillfen {

// A path as the document and the file layer take it: the bytes of the file system.
std::string NativePath(const QString& path);

// "HTML-Files|*.HTML;*.HTM" in the form of a Qt file dialog filter; each pattern also in lower
// case, since the patterns are meant without regard to case.
QString QtFileFilter(const QString& filter);

// A count format such as "%d words" with the number in place of the first "%d".
QString FormatCount(const QString& format, std::uint64_t n);

// A text of the string table with `value` in place of its first "%s".
QString FillIn(const QString& text, const QString& value);

// Whether text holds a letter or a digit of any script: "|", "." and "»" hold none.
bool HasLetterOrDigit(const QString& text);

}  // namespace quillfen
