#include "exchange/combine.h"

#include <charconv>

#include "core/buffer.h"
#include "core/errors.h"
#include "core/savefile.h"
#include "exchange/linereader.h"

namespace quillfen {

namespace {

std::size_t DecimalLength(std::size_t n) {
    std::size_t length = 1;
    while (n >= 10) {
        n /= 10;
        ++length;
    }
    return length;
}

// Marker "%_" k "_%" built in place, so that looking for the next one allocates nothing.
class TMarker {
  public:
    explicit TMarker(std::size_t k) { Set(k); }
    void Set(std::size_t k) {
        text_[0] = '%';
        text_[1] = '_';
        char* end = std::to_chars(text_ + 2, text_ + sizeof text_ - 2, k).ptr;
        end[0] = '_';
        end[1] = '%';
        length_ = static_cast<std::size_t>(end + 2 - text_);
    }
    std::string_view View() const { return {text_, length_}; }

  private:
    char text_[32];
    std::size_t length_ = 0;
};

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// True when every line break in the lines is a CR LF pair, so that they can be copied as they
// stand. Written without an early exit so that the compiler can run it over many bytes at once.
bool OnlyCrLf(std::string_view lines) {
    if (lines.empty()) return true;
    bool bad = lines.front() == '\n' || lines.back() == '\r';
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        bad |= (lines[i] == '\r') != (lines[i + 1] == '\n');
    return !bad;
}

// Appends whole lines of the template that hold no marker to fill, each followed by CR LF.
void AppendUnchanged(std::string& out, std::string_view lines) {
    if (OnlyCrLf(lines)) {
        out.append(lines);
        if (!lines.empty() && lines.back() != '\n') out += "\r\n";
        return;
    }
    TLineReader reader(lines);
    std::string_view line;
    while (reader.Next(line)) {
        out.append(line);
        out += "\r\n";
    }
}

}  // namespace

std::string CombineBytes(std::string_view templateBytes, std::string_view textBytes) {
    std::string_view templ = templateBytes.substr(0, templateBytes.find('\0'));
    // Text line k is wanted only for marker k, and markers are taken in order, so the text is
    // read along with the template instead of being split up front.
    TLineReader text(textBytes);

    std::string out;
    out.reserve(templ.size() + textBytes.size() + templ.size() / 8 + 2);
    std::size_t k = 0;
    TMarker marker(k);
    // Searching the rest of the template at once finds the same occurrence as searching it line
    // by line, since a marker holds no line break; the lines before it are copied in one piece.
    std::size_t pos = 0;
    while (pos < templ.size()) {
        const std::size_t at = templ.find(marker.View(), pos);
        if (at == std::string_view::npos) break;
        std::size_t lineStart = at;
        while (lineStart > pos && !IsBreak(templ[lineStart - 1])) --lineStart;
        std::size_t lineEnd = at + marker.View().size();
        while (lineEnd < templ.size() && !IsBreak(templ[lineEnd])) ++lineEnd;

        std::string_view source;
        if (!text.Next(source)) throw ListIndexError(k);
        const std::size_t tag = DecimalLength(k + 1) + 2;
        std::string_view phrase;
        if (source.size() > tag + 3) phrase = source.substr(tag, source.size() - tag - 3);

        AppendUnchanged(out, templ.substr(pos, lineStart - pos));
        out.append(templ.substr(lineStart, at - lineStart));
        out.append(phrase);
        out.append(templ.substr(at + marker.View().size(), lineEnd - at - marker.View().size()));
        out += "\r\n";

        // The rest of this line is not searched again, not even for the next marker.
        pos = lineEnd;
        if (pos + 1 < templ.size() && templ[pos] == '\r' && templ[pos + 1] == '\n')
            pos += 2;
        else if (pos < templ.size())
            ++pos;
        marker.Set(++k);
    }
    if (pos < templ.size()) AppendUnchanged(out, templ.substr(pos));
    return out;
}

void Combine(const std::string& textPath, const std::string& templatePath,
             const std::string& destinationPath) {
    const std::string templ = ReadFileBytes(templatePath);
    const std::string text = ReadFileBytes(textPath);
    WriteFileAtomically(destinationPath, CombineBytes(templ, text));
}

}  // namespace quillfen
