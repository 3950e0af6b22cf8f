#include "session/roundtrip.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "core/document/document.h"
#include "core/files/buffer.h"
#include "core/markup/sentences.h"
#include "core/text/encoding.h"
#include "exchange/combine.h"
#include "exchange/export.h"
#include "exchange/merge.h"

namespace quillfen {

namespace {

// A folder of one page's own, so that pages of one base name do not meet; removed with what it
// holds.
class TScratchFolder {
  public:
    TScratchFolder() : path_(MakeScratchFolder()) {}
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    std::string operator/(const std::string& name) const { return path_ + '/' + name; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

bool SamePhrases(const TDocument& a, const TDocument& b) {
    if (a.PhraseCount() != b.PhraseCount()) return false;
    for (std::size_t i = 0; i < a.PhraseCount(); ++i)
        if (a.Text(i) != b.Text(i) || a.Kind(i) != b.Kind(i)) return false;
    return true;
}

// Sentences written anew lose the blanks inside an element at their end, which may move where
// a sentence ends; what a reader reads stays: the sentences' texts without placeholders and
// blanks, and the other phrases.
bool SameReading(const TDocument& a, const TDocument& b) {
    auto reading = [](const TDocument& doc) {
        std::pair<std::string, std::vector<std::string>> out;
        for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
            if (doc.Spans()[i].Source != TSource::Sentence) {
                out.second.emplace_back(doc.Text(i));
                continue;
            }
            for (const char c : TextWithoutPlaceholders(doc.Text(i)))
                if (c != ' ') out.first += c;
        }
        return out;
    };
    return reading(a) == reading(b);
}

// The untouched text file recombined with its template must give the page with every phrase
// written anew, which renders as the page does, and read back to the same phrases.
bool Recombines(const TDocument& doc, const std::string& page, const TScratchFolder& folder) {
    ExportDocument(doc, page, folder.Path());
    const TExportPaths files = ExportPaths(page, folder.Path());
    const std::string combined = folder / "recombined.htm";
    Combine(files.Text, files.Template, combined);
    TDocument again;
    again.LoadFile(combined, doc.Tags(), doc.Units());
    if (again.Bytes() != doc.RenderAllPhrases()) return false;
    return doc.Units() == TUnits::Sentences ? SameReading(doc, again) : SamePhrases(doc, again);
}

// A translation tool's file of the page, merged untouched, must leave the page's bytes as they
// are; so must the file with every unit's source copied as its target, which shows that the
// sources read back as the phrases' texts.
bool MergesBack(TDocument& doc, const std::string& page, const TExchangeFormat& format,
                const TScratchFolder& folder) {
    format.Export(doc, page, folder.Path(), {});
    const std::string path = format.Files(page, folder.Path()).back();
    const std::string merged = folder / "merged.htm";
    bool written = false;
    const TWrite write = [&] { doc.Save(merged), written = true; };
    // Untouched, read as a merge reads a file: every phrase kept.
    TMergeReport report = MergeTranslationFile(doc, format, path, {}, write);
    if (written || report.LeftOut != 0 || report.Translated != 0 ||
        report.Kept != doc.PhraseCount())
        return false;
    TTranslationFile file = format.ReadTranslation(ReadFileBytes(path), path);
    if (file.Units.size() != doc.PhraseCount()) return false;
    std::size_t copies = 0;
    for (std::size_t i = 0; i < file.Units.size(); ++i) {
        TTranslationUnit& unit = file.Units[i];
        if (unit.Target) return false;
        // A byte the page's encoding could not read is no character a UTF-8 file can hold:
        // a format may give it as U+FFFD, which, copied, would be a new text.
        if (unit.Source == doc.Text(i) || IsValidUtf8(doc.Text(i))) {
            unit.Target = unit.Source;
            ++copies;
        }
    }
    report = MergeTranslation(doc, file, {}, write);
    if (written || report.LeftOut != 0 || report.Translated != copies) return false;
    doc.Save(merged);
    return ReadFileBytes(merged) == doc.Bytes();
}

}  // namespace

TRoundTrip CheckRoundTrip(const std::string& page, TTags tags, TUnits units,
                          const TExchangeFormat& format) {
    TRoundTrip result;
    TDocument doc;
    doc.LoadFile(page, tags, units);
    result.Phrases = doc.PhraseCount();
    TScratchFolder folder;
    const std::string saved = folder / "saved.htm";
    doc.Save(saved);
    result.Saves = ReadFileBytes(saved) == doc.Bytes();
    try {
        result.RoundTrips = format.ReadTranslation ? MergesBack(doc, page, format, folder)
                                                   : Recombines(doc, page, folder);
    } catch (...) {
        result.Failure = std::current_exception();
    }
    return result;
}

}  // namespace quillfen
