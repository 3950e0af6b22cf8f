#include "scan.h"

#include <algorithm>
#include <cstring>

namespace quillfen {

namespace {

char LowerAZ(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Position of name + "=\"" in tag (name in lower case), ignoring the case of A to Z only.
// Every occurrence ends at a double quote, so the quotes are visited in order and the first
// one preceded by the rest is the first occurrence.
std::size_t FindAttribute(std::string_view tag, std::string_view name) {
    const std::size_t before = name.size() + 1;  // name and '='
    std::size_t from = before;
    while (from < tag.size()) {
        const void* hit = std::memchr(tag.data() + from, '"', tag.size() - from);
        if (!hit) break;
        const std::size_t q = static_cast<const char*>(hit) - tag.data();
        if (tag[q - 1] == '=') {
            const std::size_t at = q - before;
            std::size_t k = 0;
            while (k < name.size() && LowerAZ(tag[at + k]) == name[k]) ++k;
            if (k == name.size()) return at;
        }
        from = q + 1;
    }
    return std::string_view::npos;
}

bool EndsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class TScanner {
public:
    TScanner(std::uint8_t tags, const TEntityTables& tables) : tags_(tags), tables_(tables) {}

    void Line(std::string_view line) {
        if (!inTag_ && G_ == " ") G_.clear();
        std::size_t k = 0;
        if (inComment_) {
            std::size_t close = line.find("-->");
            if (close == std::string_view::npos) {
                Emit(std::string(line));
                return;
            }
            Emit(std::string(line.substr(0, close + 3)));
            inComment_ = false;
            k = close + 3;
        }
        const std::size_t n = line.size();
        for (; k < n; ++k) {
            const char c = line[k];
            if (c == '<') {
                if (inTag_) {
                    // A tag that never closed stays markup, exactly as it stood.
                    EmitUnclosedTag();
                    inTag_ = false;
                } else if (!G_.empty()) {
                    FlushText();
                }
                G_.clear();
                if (n - k > 3 && line[k + 1] == '!' && line[k + 2] == '-') {
                    // A comment goes into the template untouched: up to its "-->" when that
                    // stands on this line (the "--" of the opener may already be part of it),
                    // else to the end of the line, continuing on the lines below.
                    std::size_t close = line.find("-->", k + 2);
                    if (close != std::string_view::npos) {
                        Emit(std::string(line.substr(k, close + 3 - k)));
                        k = close + 2;
                        continue;
                    }
                    Emit(std::string(line.substr(k)));
                    inComment_ = true;
                    return;
                }
                inTag_ = true;
            } else if (c == '>' && inTag_) {
                EndTag();
            } else {
                if (k == 0 && !G_.empty()) G_.push_back(' ');
                // Everything up to the next angle bracket is gathered in one go.
                std::size_t stop = k + 1;
                while (stop < n && line[stop] != '<' && line[stop] != '>') ++stop;
                G_.append(line.data() + k, stop - k);
                k = stop - 1;
            }
        }
    }

    void Finish() {
        if (inTag_) {
            EmitUnclosedTag();
            inTag_ = false;
        } else if (!G_.empty()) {
            FlushText();
        }
        G_.clear();
    }

    TScanResult result;

private:
    void Emit(std::string entry) { result.Template.push_back(std::move(entry)); }

    void EmitUnclosedTag() {
        std::string entry(1, '<');
        entry += G_;
        Emit(std::move(entry));
    }

    void FlushText() {
        if (!(tags_ & kTagPlainText)) {
            Emit(G_);
            return;
        }
        TTextItem item(static_cast<std::uint32_t>(result.Phrases.size()), G_);
        if (G_ == "&nbsp;") Emit("&nbsp;");
        if (item.Clean(tables_)) {
            result.Markers.push_back({result.Template.size(), 0});
            Emit(PhraseMarker(result.Phrases.size()));
            result.Rows.push_back(item.Text);
            result.Phrases.push_back(std::move(item));
        }
    }

    void EndTag() {
        inTag_ = false;
        // A tag ending in "--" closes a comment that the character rules could not see; it is
        // kept as it stands and never searched for phrases.
        if (!EndsWith(G_, "--")) {
            TAttributeHit hit = ScanAttribute(G_, tags_);
            if (!hit.value.empty()) {
                const std::size_t n = result.Phrases.size();
                TTextItem item(static_cast<std::uint32_t>(n), hit.value);
                item.Clean(tables_);
                item.IsImage = hit.kind == TKind::Image;
                item.IsContent = hit.kind == TKind::Content;
                result.Rows.push_back(hit.value);
                result.Phrases.push_back(std::move(item));
                G_.replace(hit.place, hit.value.size(), PhraseMarker(n));
                result.Markers.push_back({result.Template.size(), hit.place + 1});
            }
        }
        std::string entry;
        entry.reserve(G_.size() + 2);
        entry.push_back('<');
        entry += G_;
        entry.push_back('>');
        Emit(std::move(entry));
        G_.clear();
    }

    std::uint8_t tags_;
    const TEntityTables& tables_;
    std::string G_;
    bool inTag_ = false;
    bool inComment_ = false;
};

}  // namespace

std::string PhraseMarker(std::size_t n) {
    char digits[24];
    std::size_t d = sizeof digits;
    do {
        digits[--d] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n);
    std::string marker;
    marker.reserve(sizeof digits - d + 4);
    marker.append("%_").append(digits + d, sizeof digits - d).append("_%");
    return marker;
}

std::size_t MarkerLength(std::size_t n) {
    std::size_t digits = 1;
    for (; n >= 10; n /= 10) ++digits;
    return digits + 4;
}

TAttributeHit ScanAttribute(std::string_view tag, std::uint8_t tags) {
    TAttributeHit hit;
    std::size_t start = std::string_view::npos;
    if (tags & kTagImageAlt) {
        std::size_t p = FindAttribute(tag, "alt");
        if (p != std::string_view::npos) {
            start = p + 5;
            hit.kind = TKind::Image;
        }
    }
    if (start == std::string_view::npos && (tags & kTagContent)) {
        std::size_t p = FindAttribute(tag, "content");
        if (p != std::string_view::npos) {
            start = p + 9;
            hit.kind = TKind::Content;
        }
    }
    if (start == std::string_view::npos) return TAttributeHit{};
    // The value runs to the closing quote, or else to the tag's last character, which it never
    // includes.
    std::string_view part;
    if (tag.size() >= 1 && start < tag.size() - 1) part = tag.substr(start, tag.size() - 1 - start);
    std::size_t q = part.find('"');
    if (q != std::string_view::npos) part = part.substr(0, q);
    hit.value = std::string(part);
    hit.place = start;
    if (hit.value.empty()) hit.kind = TKind::Text;
    return hit;
}

TScanResult ExtractPhrases(const TLines& lines, std::uint8_t tags, const TEntityTables& tables,
                           const TProgress& progress, std::size_t startPosition,
                           std::size_t progressMaximum) {
    return ExtractPhrases(TLineViews(lines.begin(), lines.end()), tags, tables, progress,
                          startPosition, progressMaximum);
}

TScanResult ExtractPhrases(const TLineViews& lines, std::uint8_t tags, const TEntityTables& tables,
                           const TProgress& progress, std::size_t startPosition,
                           std::size_t progressMaximum) {
    TScanner scanner(tags, tables);
    // Every tag and most runs start at a '<': counting them sizes the results once.
    std::size_t opens = 0;
    for (std::string_view line : lines) opens += std::count(line.begin(), line.end(), '<');
    auto& r = scanner.result;
    r.Template.reserve(2 * opens + lines.size() + 1);
    r.Phrases.reserve(opens + 1);
    r.Rows.reserve(opens + 1);
    r.Markers.reserve(opens + 1);
    const std::size_t step = lines.size() / 256 + 1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (progress && i % step == 0) progress(startPosition + i + 1, progressMaximum);
        scanner.Line(lines[i]);
    }
    scanner.Finish();
    if (progress) progress(std::min(startPosition + lines.size(), progressMaximum), progressMaximum);
    return std::move(scanner.result);
}

std::uint64_t CountWords(std::string_view s) {
    auto blankish = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!s.empty() && blankish(s.front())) s.remove_prefix(1);
    while (!s.empty() && blankish(s.back())) s.remove_suffix(1);
    if (s.empty()) return 0;
    std::uint64_t count = 0;
    // Positions are 1-based; starting at 0 means a separator in the first position never counts.
    std::size_t last = 0;
    const std::size_t len = s.size();
    for (std::size_t i = 1; i <= len; ++i) {
        const char c = s[i - 1];
        if ((c == ' ' || c == ',' || c == '.') && last != i - 1 && i != len) {
            ++count;
            last = i;
        }
    }
    return count + 1;
}

std::uint64_t TotalWords(const std::vector<TTextItem>& phrases) {
    std::uint64_t total = 0;
    for (const auto& p : phrases) total += CountWords(p.Text);
    return total;
}

}  // namespace quillfen
