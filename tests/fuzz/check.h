#pragma once

// What every fuzz target checks of a loaded page. A broken invariant aborts, so that libFuzzer
// keeps the input as a crash and the replay of the corpus fails on it.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "document.h"
#include "textitem.h"

namespace quillfen::fuzz {

[[noreturn]] inline void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "INVARIANT BROKEN: %s %s\n", what, detail.c_str());
    std::abort();
}

#define QF_CHECK(cond, ...)                                                   \
    do {                                                                      \
        if (!(cond)) ::quillfen::fuzz::Fail(#cond, ::std::string{__VA_ARGS__}); \
    } while (0)

inline bool Contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

// Each marker N stands at its recorded place, the places follow the phrases in increasing
// entries, one per entry at most, and no entry holds a line break. Unless the page itself
// contained "%_" (and so may show marker texts of its own), no other "%_" is in the template.
inline void CheckTemplate(const TDocument& doc, std::string_view input) {
    const TScanResult& scan = doc.Scan();
    QF_CHECK(scan.Markers.size() == scan.Phrases.size());
    const TTemplate& templ = scan.Template;
    QF_CHECK(templ.empty() || templ.Bytes().size() == templ.Start(templ.size() - 1) + templ.back().size() + 2);
    for (std::size_t k = 0; k < scan.Markers.size(); ++k) {
        const TMarkerPlace place = scan.Markers[k];
        QF_CHECK(place.entry < templ.size(), "marker " + std::to_string(k));
        if (k > 0) QF_CHECK(place.entry > scan.Markers[k - 1].entry, "marker " + std::to_string(k));
        const std::string_view entry = templ[place.entry];
        QF_CHECK(place.offset <= entry.size() &&
                     entry.compare(place.offset, MarkerLength(k), PhraseMarker(k)) == 0,
                 "marker " + std::to_string(k) + " in '" + std::string(entry) + "'");
        QF_CHECK(scan.Phrases[k].Number == k);
        QF_CHECK(!scan.Phrases[k].Text.empty() || scan.Phrases[k].Kind() != TKind::Text);
    }
    const bool pageHasMarkerText = Contains(input, "%_");
    std::size_t k = 0;
    for (std::size_t e = 0; e < templ.size(); ++e) {
        const std::string_view entry = templ[e];
        QF_CHECK(entry.find_first_of("\r\n") == std::string::npos, "entry " + std::to_string(e));
        QF_CHECK(entry.find('\0') == std::string::npos, "entry " + std::to_string(e));
        const bool marked = k < scan.Markers.size() && scan.Markers[k].entry == e;
        if (!pageHasMarkerText) {
            // The marker's own bytes blanked out: the page's bytes beside it may still form a
            // "%_" with its last character, which is no marker.
            std::string rest(entry);
            if (marked) rest.replace(scan.Markers[k].offset, MarkerLength(k), 1, '\x01');
            QF_CHECK(rest.find("%_") == std::string::npos, "entry '" + rest + "'");
        }
        if (marked) ++k;
    }
}

// The page as it must be written: every template entry with its marker spliced out for the
// phrase as EncodePhrase gives it, each entry followed by CR LF; a byte-order mark in front.
inline std::string Reconstruct(const TDocument& doc) {
    const TScanResult& scan = doc.Scan();
    std::string out = doc.Bom();
    std::size_t k = 0;
    for (std::size_t e = 0; e < scan.Template.size(); ++e) {
        std::string entry(scan.Template[e]);
        if (k < scan.Markers.size() && scan.Markers[k].entry == e) {
            entry.replace(scan.Markers[k].offset, MarkerLength(k),
                          EncodePhrase(scan.Phrases[k], doc.TablesForSaving()));
            ++k;
        }
        out += entry;
        out += "\r\n";
    }
    return out;
}

// The page's bytes that the designed changes never touch: no byte of code 32 or less (line
// breaks, indentation and blank runs are rewritten by design) and no "&nbsp;" (runs made only of
// blanks and non-breaking spaces are dropped by design).
inline std::string Skeleton(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (static_cast<unsigned char>(c) > 32 || c == '\0') {
            out.push_back(c);
            // Removing as we go also takes out the "&nbsp;" that only the removal forms.
            if (out.size() >= 6 && out.compare(out.size() - 6, 6, "&nbsp;") == 0)
                out.resize(out.size() - 6);
        }
    }
    return out;
}

// Nothing of the page outside its text phrases is lost or added: its skeleton must read as the
// template's, where alternative and content texts stand as they stood in the page (their row
// string) and each text phrase stands for whatever text the page had there.
inline void CheckNothingLost(const TDocument& doc, std::string_view input) {
    const TScanResult& scan = doc.Scan();
    constexpr char kGap = '\0';  // never in a loaded page
    std::string templ = doc.Bom();
    std::size_t k = 0;
    for (std::size_t e = 0; e < scan.Template.size(); ++e) {
        std::string entry(scan.Template[e]);
        if (k < scan.Markers.size() && scan.Markers[k].entry == e) {
            const bool text = scan.Phrases[k].Kind() == TKind::Text;
            entry.replace(scan.Markers[k].offset, MarkerLength(k),
                          text ? std::string(1, kGap) : std::string(scan.Row(k)));
            ++k;
        }
        templ += entry;
        templ += '\n';
    }
    const std::string want = Skeleton(templ);
    const std::string have = Skeleton(input);
    // want = P0 gap P1 gap ... Pm; have must be P0 x1 P1 x2 ... Pm for some texts x.
    std::size_t from = 0, pos = 0;
    std::size_t gap = want.find(kGap);
    if (gap == std::string::npos) {
        QF_CHECK(want == have, "markup differs");
        return;
    }
    QF_CHECK(have.compare(0, gap, want, 0, gap) == 0, "start differs");
    pos = gap;
    from = gap + 1;
    for (gap = want.find(kGap, from); gap != std::string::npos; gap = want.find(kGap, from)) {
        const std::string_view piece(want.data() + from, gap - from);
        const std::size_t at = std::string_view(have).find(piece, pos);
        QF_CHECK(at != std::string::npos, "markup lost: '" + std::string(piece) + "'");
        pos = at + piece.size();
        from = gap + 1;
    }
    const std::size_t tail = want.size() - from;
    QF_CHECK(have.size() >= pos + tail &&
                 have.compare(have.size() - tail, tail, want, from, tail) == 0,
             "end differs");
}

}  // namespace quillfen::fuzz
