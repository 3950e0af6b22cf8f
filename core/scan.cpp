#include "scan.h"

#include <algorithm>
#include <cstring>

namespace quillfen {

namespace {

char LowerAZ(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether name (in lower case) stands right before the "=\"" whose quote is at q, ignoring the
// case of A to Z only.
bool NameBefore(std::string_view tag, std::size_t q, std::string_view name) {
    if (q < name.size() + 1 || tag[q - 1] != '=') return false;
    const std::size_t at = q - 1 - name.size();
    for (std::size_t k = 0; k < name.size(); ++k)
        if (LowerAZ(tag[at + k]) != name[k]) return false;
    return true;
}

struct TValueStart {
    std::size_t at = std::string_view::npos;  // the value's first character
    TKind kind = TKind::Text;
};

// The first alt="... of the tag, or failing that its first content="... . Every occurrence ends
// at a double quote, so one walk over the quotes finds both.
TValueStart FindValue(std::string_view tag, std::uint8_t tags) {
    const bool alt = tags & kTagImageAlt;
    const bool content = tags & kTagContent;
    TValueStart found;
    if (!alt && !content) return found;
    std::size_t from = 0;
    while (from < tag.size()) {
        const void* hit = std::memchr(tag.data() + from, '"', tag.size() - from);
        if (!hit) break;
        const std::size_t q = static_cast<const char*>(hit) - tag.data();
        if (alt && NameBefore(tag, q, "alt")) return {q + 1, TKind::Image};
        if (content && found.at == std::string_view::npos && NameBefore(tag, q, "content")) {
            found = {q + 1, TKind::Content};
            if (!alt) break;
        }
        from = q + 1;
    }
    return found;
}

// Position of the first '<' or '>' at or after from, or the line's size. Text runs are most of
// a page, so they are searched eight bytes at a time: '<' and '>' are the only bytes that read
// as '>' with bit 1 set.
std::size_t FindAngle(std::string_view line, std::size_t from) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const char* p = line.data();
    const std::size_t n = line.size();
    std::size_t i = from;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        const std::uint64_t x = (w | (kOnes * 2)) ^ (kOnes * '>');
        if ((x - kOnes) & ~x & (kOnes * 0x80)) break;
    }
    while (i < n && (p[i] | 2) != '>') ++i;
    return i;
}

// Writes "%_" n "_%" at the end of buffer and returns it.
std::string_view MarkerInto(char (&buffer)[32], std::size_t n) {
    std::size_t d = sizeof buffer - 2;
    buffer[d] = '_';
    buffer[d + 1] = '%';
    do {
        buffer[--d] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n);
    buffer[--d] = '_';
    buffer[--d] = '%';
    return std::string_view(buffer + d, sizeof buffer - d);
}

// Appends a marker without building a string for it.
void AddMarker(TTemplate& t, std::size_t n) {
    char buffer[32];
    t.Add(MarkerInto(buffer, n));
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
                Emit(line);
                return;
            }
            Emit(line.substr(0, close + 3));
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
                        Emit(line.substr(k, close + 3 - k));
                        k = close + 2;
                        continue;
                    }
                    Emit(line.substr(k));
                    inComment_ = true;
                    return;
                }
                inTag_ = true;
            } else if (c == '>' && inTag_) {
                EndTag();
            } else {
                if (k == 0 && !G_.empty()) G_.push_back(' ');
                // Everything up to the next angle bracket is gathered in one go.
                const std::size_t stop = FindAngle(line, k + 1);
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
    void Emit(std::string_view entry) { result.Template.push_back(entry); }

    // A tag whose text starts with "!-" was cut by a line break inside its "<!-": on one line
    // it would read as a comment opener, which here never closes, and the page written back
    // would lose every phrase after it. Its first line is kept as an entry of its own, so that
    // it reads as it did. Returns how much of G_ went into that entry.
    std::size_t OpenerCutByBreak(std::size_t textAfter) {
        if (textAfter < 3 || G_[0] != '!' || G_[1] != '-') return 0;
        result.Template.push_back("<!-");
        return 2;
    }

    void EmitUnclosedTag() {
        const std::size_t cut = OpenerCutByBreak(G_.size());
        auto& t = result.Template;
        t.Open();
        if (!cut) t.Add('<');
        t.Add(std::string_view(G_).substr(cut));
        t.Close();
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
            result.Template.Open();
            AddMarker(result.Template, result.Phrases.size());
            result.Template.Close();
            result.Phrases.push_back(std::move(item));
        }
    }

    void EndTag() {
        inTag_ = false;
        // A tag ending in "--" closes a comment that the character rules could not see; it is
        // kept as it stands and never searched for phrases.
        const bool closesComment = EndsWith(G_, "--");
        const std::size_t cut = closesComment ? 0 : OpenerCutByBreak(G_.size() + 1);
        auto& t = result.Template;
        t.Open();
        if (!cut) t.Add('<');
        std::string_view rest = std::string_view(G_).substr(cut);
        if (!closesComment) {
            const TAttributeHit hit = ScanAttribute(G_, tags_);
            if (!hit.value.empty()) {
                const std::size_t n = result.Phrases.size();
                TTextItem item(static_cast<std::uint32_t>(n), std::string(hit.value));
                item.Clean(tables_);
                item.IsImage = hit.kind == TKind::Image;
                item.IsContent = hit.kind == TKind::Content;
                if (item.Text != hit.value) result.RawRows.emplace_back(n, std::string(hit.value));
                result.Phrases.push_back(std::move(item));
                const std::size_t place = hit.place - cut;  // in rest
                result.Markers.push_back({t.size() - 1, place + (cut ? 0 : 1)});
                t.Add(rest.substr(0, place));
                AddMarker(t, n);
                rest.remove_prefix(place + hit.value.size());
            }
        }
        t.Add(rest);
        t.Add('>');
        t.Close();
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
    char buffer[32];
    return std::string(MarkerInto(buffer, n));
}

std::size_t MarkerLength(std::size_t n) {
    std::size_t digits = 1;
    for (; n >= 10; n /= 10) ++digits;
    return digits + 4;
}

TAttributeHit ScanAttribute(std::string_view tag, std::uint8_t tags) {
    TAttributeHit hit;
    const TValueStart found = FindValue(tag, tags);
    const std::size_t start = found.at;
    hit.kind = found.kind;
    if (start == std::string_view::npos) return TAttributeHit{};
    // The value runs to the closing quote, or else to the tag's last character, which it never
    // includes.
    std::string_view part;
    if (tag.size() >= 1 && start < tag.size() - 1) part = tag.substr(start, tag.size() - 1 - start);
    std::size_t q = part.find('"');
    if (q != std::string_view::npos) part = part.substr(0, q);
    hit.value = part;
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
    std::size_t bytes = 0;
    for (std::string_view line : lines) {
        opens += std::count(line.begin(), line.end(), '<');
        bytes += line.size();
    }
    auto& r = scanner.result;
    const std::size_t entries = 2 * opens + lines.size() + 1;
    r.Template.reserve(entries, bytes + 2 * entries);
    r.Phrases.reserve(opens + 1);
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

std::string_view TScanResult::Row(std::size_t i) const {
    auto raw = std::lower_bound(RawRows.begin(), RawRows.end(), i,
                                [](const auto& row, std::size_t n) { return row.first < n; });
    if (raw != RawRows.end() && raw->first == i) return raw->second;
    return Phrases[i].Text;
}

void TScanResult::SetText(std::size_t i, std::string text) {
    auto raw = std::lower_bound(RawRows.begin(), RawRows.end(), i,
                                [](const auto& row, std::size_t n) { return row.first < n; });
    if (raw != RawRows.end() && raw->first == i) RawRows.erase(raw);
    Phrases[i].Text = std::move(text);
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
