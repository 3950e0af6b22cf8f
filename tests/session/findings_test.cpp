#include "session/findings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "session/pagesession.h"
#include "tests/support/files.h"

namespace quillfen {
namespace {

using testing::TTempDir;
using testing::WriteBytes;

const char kPage[] =
    "<html lang=\"en\"><body><p>Version 2.0 is out.</p><p>Read the manual.</p>"
    "<p>Hello world.</p><p>Goodbye.</p></body></html>";

// A page open in a session that checks it.
struct TOpenPage {
    TTempDir dir;
    TPageSession session;
    explicit TOpenPage(const TDismissals* dismissals = nullptr, bool checking = true) {
        WriteBytes(dir / "page.html", kPage);
        session.Open(dir / "page.html", TTags::Default, TUnits::Runs);
        if (checking) session.EnableChecks(dismissals);
    }
};

// A changed phrase is marked by its worst finding, one that was not changed by none; the filter
// "with findings" holds the marked ones, and the next finding goes round the page. A step taken
// back takes its findings along, and a dismissed finding leaves its row.
TEST(SessionFindings, MarksFilterAndNextFollowEveryStep) {
    TDismissalSet dismissals;
    TOpenPage page(&dismissals);
    TPageSession& s = page.session;
    s.Confirm(0, "Version 2.1 ist da.");  // numbers: an error
    s.Confirm(1, "Lies das Handbuch");    // end punctuation: a warning
    s.Confirm(2, "Hallo Welt.");          // clean
    const std::optional<TSeverity> expected[] = {TSeverity::Error, TSeverity::Warning, std::nullopt,
                                                 std::nullopt};
    s.SetFilter(TPhraseFilter::WithFindings);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.WorstFinding(i), expected[i]);
        EXPECT_EQ(s.InFilter(i), expected[i].has_value());
    }
    EXPECT_EQ(s.Findings(0).front().Check, TCheck::Numbers);
    EXPECT_EQ(s.NextFinding(0, true), 1u);
    EXPECT_EQ(s.NextFinding(1, true), 0u);
    EXPECT_EQ(s.NextFinding(3, true), 0u);
    EXPECT_EQ(s.NextFinding(0, false), 1u);
    EXPECT_EQ(s.NextToTranslate(0), 1u);

    s.Undo();
    EXPECT_EQ(s.WorstFinding(2), std::nullopt);
    EXPECT_TRUE(s.InFilter(1));
    s.Undo();
    EXPECT_FALSE(s.InFilter(1));
    EXPECT_EQ(s.NextFinding(0, true), 0u);

    dismissals.Dismiss(s.Findings(0).front());
    s.Recheck();
    EXPECT_FALSE(s.InFilter(0));
    EXPECT_EQ(s.NextFinding(0, true), std::nullopt);
    // Another translation of the phrase is checked anew: its dismissal does not hold for it.
    s.Confirm(0, "Version 2.2 ist da.");
    EXPECT_EQ(s.WorstFinding(0), TSeverity::Error);
}

// The window passes the target language it knows: a French blank before "?" is a finding for an
// English translation and none for a French one, a missing one the reverse; an unknown language
// accepts both. A change of language checks the phrases already translated anew.
TEST(SessionFindings, ConventionsFollowTheTargetLanguage) {
    TTempDir dir;
    WriteBytes(dir / "p.html", "<html lang=\"en\"><p>Continue?</p><p>Really?</p></html>");
    TPageSession s;
    s.Open(dir / "p.html", TTags::Default, TUnits::Runs);
    s.EnableChecks(nullptr);
    s.Replace({{0, "Continuer\xC2\xA0?"}, {1, "Vraiment?"}});
    const struct {
        const char* language;
        bool blankFound, noBlankFound;
    } cases[] = {
        {"", false, false},  {"en", true, false},    {"fr", false, true},
        {"de", true, false}, {"fr-FR", false, true}, {"", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        s.SetTargetLanguage(c.language);
        for (const auto& [phrase, found] : {std::pair{0u, c.blankFound}, {1u, c.noBlankFound}}) {
            EXPECT_EQ(s.WorstFinding(phrase),
                      found ? std::optional(TSeverity::Warning) : std::nullopt)
                << phrase;
            if (found) {
                EXPECT_EQ(s.Findings(phrase).front().Check, TCheck::EndPunctuation);
            }
        }
        // Confirming asks about errors only; a convention is a warning.
        EXPECT_TRUE(s.ErrorsToAsk(1, "Vraiment?").empty());
    }
}

// Two phrases of one source translated two ways are each other's finding over the page.
TEST(SessionFindings, TheSameSourceTranslatedOtherwiseIsFound) {
    TTempDir dir;
    WriteBytes(dir / "p.html", "<p>Save</p><p>Save</p><p>Save</p>");
    TPageSession s;
    s.Open(dir / "p.html", TTags::Default, TUnits::Runs);
    s.EnableChecks(nullptr);
    s.Replace({{0, "Speichern"}, {1, "Speichern"}, {2, "Sichern"}});
    EXPECT_EQ(s.WorstFinding(0), std::nullopt);
    ASSERT_EQ(s.Findings(2).size(), 1u);
    EXPECT_EQ(s.Findings(2)[0].Check, TCheck::InconsistentSource);
}

// Confirming a text with an error asks once: the same text confirmed again is kept; another
// text, or the same after another, is asked about anew. Texts without errors, the phrase's own
// original text and a text the editing service refuses are never asked about.
TEST(SessionFindings, AnErrorIsAskedAboutOnce) {
    TOpenPage page;
    TPageSession& s = page.session;
    const struct {
        std::size_t phrase;
        const char* text;
        bool asks;
    } steps[] = {
        {0, "Version 2.1 ist da.", true},
        {0, "Version 2.1 ist da.", false},
        {0, "Version 2.1 ist da.", true},
        {0, "Version 3 ist da.", true},
        {0, "Version 2.1 ist da.", true},
        {1, "Lies das Handbuch.", false},
        {0, "Version 2.0 ist da.", false},
        {0, "Version 2.0 is out.", false},
        {1, "Lies das Handbuch", false},
        {3, "Auf Wiedersehen 2.", true},
        {3, "Auf Wiedersehen 2.", false},
        // The editing service refuses a line break: confirming tells that, not the checks.
        {0, "Version 2.1\nist da.", false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.text) + " as " + std::to_string(step.phrase));
        const std::vector<TFinding> errors = s.ErrorsToAsk(step.phrase, step.text);
        EXPECT_EQ(!errors.empty(), step.asks);
        for (const TFinding& f : errors) {
            EXPECT_EQ(f.Severity, TSeverity::Error);
            EXPECT_EQ(f.Phrase, step.phrase);
        }
    }
}

// quillfen-cli's commands do not ask for checks and pay nothing for them.
TEST(SessionFindings, NoFindingsUnlessChecksAreEnabled) {
    TOpenPage page(nullptr, false);
    page.session.Confirm(0, "Version 2.1 ist da.");
    page.session.SetFilter(TPhraseFilter::WithFindings);
    EXPECT_EQ(page.session.WorstFinding(0), std::nullopt);
    EXPECT_FALSE(page.session.InFilter(0));
}

}  // namespace
}  // namespace quillfen
