#include "exchange/combine.h"

#include <charconv>
#include <vector>

#include "core/buffer.h"
#include "core/errors.h"
#include "core/savefile.h"
#include "exchange/lineviews.h"

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

}  // namespace

std::string CombineBytes(std::string_view templateBytes, std::string_view textBytes) {
    const std::vector<std::string_view> templ = SplitLineViews(templateBytes);
    const std::vector<std::string_view> text = SplitLineViews(textBytes);

    std::string out;
    out.reserve(templateBytes.size() + textBytes.size() + 2 * templ.size());
    std::size_t k = 0;
    TMarker marker(k);
    for (const std::string_view line : templ) {
        const std::size_t at = line.find(marker.View());
        if (at == std::string_view::npos) {
            out.append(line);
            out += "\r\n";
            continue;
        }
        if (k >= text.size()) throw ListIndexError(k);
        const std::string_view source = text[k];
        const std::size_t tag = DecimalLength(k + 1) + 2;
        std::string_view phrase;
        if (source.size() > tag + 3) phrase = source.substr(tag, source.size() - tag - 3);
        out.append(line.substr(0, at));
        out.append(phrase);
        out.append(line.substr(at + marker.View().size()));
        out += "\r\n";
        marker.Set(++k);
    }
    return out;
}

void Combine(const std::string& textPath, const std::string& templatePath,
             const std::string& destinationPath) {
    const std::string templ = ReadFileBytes(templatePath);
    const std::string text = ReadFileBytes(textPath);
    WriteFileAtomically(destinationPath, CombineBytes(templ, text));
}

}  // namespace quillfen
