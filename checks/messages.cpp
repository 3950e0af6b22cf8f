#include "checks/messages.h"

#include "core/text/utf8.h"

namespace quillfen::checks {

namespace {

// A phrase's text in a finding: quoted, cut after 60 characters, a byte that is no UTF-8 as
// U+FFFD, line breaks and tabs as blanks.
std::string Cut(std::string_view text) {
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (chars == 60) {
            out += "\xE2\x80\xA6";  // …
            break;
        }
        char32_t c = 0;
        const std::size_t len = Utf8CharAt(text, i, c);
        if (len == 0 || c < 0x20) {
            AppendUtf8(out, len == 0 ? char32_t(0xFFFD) : char32_t(' '));
            i += len ? len : 1;
        } else {
            out.append(text.substr(i, len));
            i += len;
        }
        ++chars;
    }
    return out;
}

// "„text“" and "“text”"
std::string German(std::string_view text) { return "\xE2\x80\x9E" + Cut(text) + "\xE2\x80\x9C"; }
std::string English(std::string_view text) { return "\xE2\x80\x9C" + Cut(text) + "\xE2\x80\x9D"; }

std::string Place(const TPlace& where, std::string_view phrase) {
    std::string out;
    if (!where.Page.empty()) out.append(Cut(where.Page)).append(", ");
    return out.append(phrase).append(" ").append(std::to_string(where.Phrase));
}

}  // namespace

TText PlaceholderMissing(std::string_view p) {
    return {"Platzhalter " + Cut(p) + " fehlt", "Placeholder " + Cut(p) + " is missing"};
}

TText PlaceholderExtra(std::string_view p) {
    return {"Platzhalter " + Cut(p) + " geh\xC3\xB6rt nicht zum Ausgangstext",
            "Placeholder " + Cut(p) + " is not in the source"};
}

TText PlaceholderDoubled(std::string_view p) {
    return {"Platzhalter " + Cut(p) + " steht mehr als einmal im Text",
            "Placeholder " + Cut(p) + " stands more than once"};
}

TText PlaceholderUnpaired(std::string_view p) {
    return {"Platzhalter " + Cut(p) +
                " steht vor seinem Gegenst\xC3\xBC"
                "ck",
            "Placeholder " + Cut(p) + " stands before its partner"};
}

TText PlaceholderMisnested(std::string_view p) {
    return {"Platzhalter " + Cut(p) + " ist nicht richtig verschachtelt",
            "Placeholder " + Cut(p) + " is not nested properly"};
}

TText PlaceholderAsText(std::string_view p, char literal) {
    const std::string c(1, literal);
    return {"Ein " + c + " steht als Text, wo der Ausgangstext den Platzhalter " + Cut(p) +
                " hat; die Seite zeigt es so, wie es dasteht",
            "A literal " + c + " stands where the source has placeholder " + Cut(p) +
                "; the page shows it as typed"};
}

TText MarkupExtra(std::string_view w) {
    return {Cut(w) + " steht nicht im Ausgangstext; die Seite zeigt es als Text",
            Cut(w) + " is not in the source; the page shows it as text"};
}

TText MarkupMissing(std::string_view w) {
    return {Cut(w) + " aus dem Ausgangstext fehlt", Cut(w) + " of the source is missing"};
}

TText MarkupMisnested(std::string_view w) {
    return {Cut(w) + " ist nicht richtig verschachtelt", Cut(w) + " is not nested properly"};
}

TText NumberMissing(std::string_view n) {
    return {"Zahl " + Cut(n) + " fehlt", "Number " + Cut(n) + " is missing"};
}

TText NumberExtra(std::string_view n) {
    return {"Zahl " + Cut(n) + " steht nicht im Ausgangstext",
            "Number " + Cut(n) + " is not in the source"};
}

TText AddressMissing(std::string_view a) {
    return {"Adresse " + Cut(a) + " fehlt", "Address " + Cut(a) + " is missing"};
}

TText AddressExtra(std::string_view a) {
    return {"Adresse " + Cut(a) + " steht nicht im Ausgangstext",
            "Address " + Cut(a) + " is not in the source"};
}

TText EmptyTranslation() {
    return {
        "Die \xC3\x9C"
        "bersetzung ist leer",
        "The translation is empty"};
}

TText SpacingDiffers(std::string_view p, bool before, bool sourceHasBlank) {
    const std::string side = before ? "vor " : "nach ";
    const std::string englishSide = before ? "before " : "after ";
    if (sourceHasBlank)
        return {"Kein Leerzeichen " + side + Cut(p) + ", anders als im Ausgangstext",
                "No blank " + englishSide + Cut(p) + ", unlike the source"};
    return {"Ein Leerzeichen " + side + Cut(p) + ", anders als im Ausgangstext",
            "A blank " + englishSide + Cut(p) + ", unlike the source"};
}

TText DoubleSpace() {
    return {
        "Die \xC3\x9C"
        "bersetzung enth\xC3\xA4lt doppelte Leerzeichen",
        "The translation holds a double blank"};
}

TText EndPunctuationDiffers(std::string_view source, std::string_view target) {
    const std::string g =
        target.empty() ? std::string("Endet ohne Satzzeichen") : "Endet mit " + German(target);
    const std::string e =
        target.empty() ? std::string("Ends without punctuation") : "Ends with " + English(target);
    if (source.empty())
        return {g + ", der Ausgangstext ohne", e + " where the source ends without"};
    return {g + ", der Ausgangstext mit " + German(source),
            e + " where the source ends with " + English(source)};
}

TText BlankBeforeMarkMissing(std::string_view m) {
    return {
        "Im Franz\xC3\xB6sischen steht vor " + German(m) + " ein gesch\xC3\xBCtztes Leerzeichen",
        "French sets a no-break space before " + English(m)};
}

TText BlankBeforeMark(std::string_view m) {
    return {"Ein Leerzeichen vor " + German(m) + ", anders als im Ausgangstext",
            "A blank before " + English(m) + ", unlike the source"};
}

TText InvertedMarkMissing(std::string_view m) {
    return {"Im Spanischen beginnt der Satz mit " + German(m),
            "Spanish opens the sentence with " + English(m)};
}

TText BracketNotClosed(std::string_view b) {
    return {"Klammer " + German(b) + " wird nicht geschlossen",
            "Bracket " + English(b) + " is not closed"};
}

TText BracketNotOpened(std::string_view b) {
    return {"Klammer " + German(b) +
                " schlie\xC3\x9Ft keine ge\xC3\xB6"
                "ffnete",
            "Bracket " + English(b) + " closes none that is open"};
}

TText BracketMissing(std::string_view b) {
    return {"Klammer " + German(b) + " aus dem Ausgangstext fehlt",
            "Bracket " + English(b) + " of the source is missing"};
}

TText QuoteMissing() {
    return {"Ein Anf\xC3\xBChrungszeichen aus dem Ausgangstext fehlt",
            "A quotation mark of the source is missing"};
}

TText QuotesUnpaired() {
    return {
        "Ein Anf\xC3\xBChrungszeichen steht ohne Gegenst\xC3\xBC"
        "ck",
        "A quotation mark stands without its partner"};
}

TText RepeatedWord(std::string_view w) {
    return {"Das Wort " + German(w) + " steht zweimal hintereinander",
            "The word " + English(w) + " stands twice in a row"};
}

TText Unchanged() {
    return {
        "Die \xC3\x9C"
        "bersetzung gleicht dem Ausgangstext",
        "The translation is the same as the source"};
}

TText LengthOutside(unsigned percent, unsigned most) {
    const std::string p = std::to_string(percent), m = std::to_string(most);
    return {
        "Die \xC3\x9C"
        "bersetzung ist " +
            p + " % so lang wie der Ausgangstext (erwartet 50 bis " + m + " %)",
        "The translation is " + p + " % as long as the source (50 to " + m + " % expected)"};
}

TText TranslatedOtherwise(std::string_view translation, const TPlace& where) {
    return {"Derselbe Ausgangstext ist in " + Place(where, "Phrase") + " als " +
                German(translation) +
                " \xC3\xBC"
                "bersetzt",
            "The same source is translated as " + English(translation) + " in " +
                Place(where, "phrase")};
}

TText SameTranslationOf(std::string_view source, const TPlace& where) {
    return {
        "Dieselbe \xC3\x9C"
        "bersetzung steht in " +
            Place(where, "Phrase") + " f\xC3\xBCr " + German(source),
        "The same translation stands for " + English(source) + " in " + Place(where, "phrase")};
}

}  // namespace quillfen::checks
