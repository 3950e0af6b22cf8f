#include "exchange/po.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>

#include "core/errors.h"
#include "core/files/savefile.h"
#include "core/markup/kinds.h"
#include "core/text/ascii.h"
#include "core/text/encoding.h"
#include "core/text/utf8.h"
#include "exchange/export.h"

#ifndef QUILLFEN_VERSION
#define QUILLFEN_VERSION ""
#endif

namespace quillfen {

namespace {

constexpr std::string_view kStampField = "X-Quillfen-Source";

// A text as PO strings hold it: every byte that is no UTF-8 (one the page's encoding could not
// read) as U+FFFD, since the file is UTF-8 throughout.
void AppendPoText(std::string& out, std::string_view text) {
    if (IsValidUtf8(text)) {
        AppendPoEscaped(out, text);
        return;
    }
    SplitUtf8(
        text, [&](std::string_view run) { AppendPoEscaped(out, run); },
        [&](unsigned char) { AppendUtf8(out, 0xFFFD); });
}

// A comment's text, which PO takes as it stands: only the bytes that are no UTF-8 change.
void AppendCommentText(std::string& out, std::string_view text) {
    SplitUtf8(
        text, [&](std::string_view run) { out.append(run); },
        [&](unsigned char) { AppendUtf8(out, 0xFFFD); });
}

void AppendString(std::string& out, std::string_view keyword, std::string_view text) {
    out.append(keyword).append(" \"");
    AppendPoText(out, text);
    out.append("\"\n");
}

std::string RevisionDate() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{floor<minutes>(now - day)};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d+0000", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()));
    return text;
}

std::vector<std::string> Files(std::string_view documentPath, std::string_view folderText) {
    return {ExportPath(documentPath, folderText, ".po")};
}

// The PO file of a document, made entry by entry as the file is written: a page of many short
// phrases gives a file several times its size, which is never held whole.
class TPoWriter final : public TPieces::TProducer {
  public:
    TPoWriter(const TDocument& document, std::string_view pageName, const TExportOptions& options,
              std::string_view generated)
        : document_(document), pageName_(pageName), options_(options), generated_(generated) {
        AppendCommentText(reference_, pageName);
    }

    void Restart() override {
        next_ = 0;
        headed_ = false;
    }

    bool Next(std::string_view& part) override {
        constexpr std::size_t kBatch = std::size_t{1} << 16;
        out_.clear();
        if (!headed_) AppendHeader();
        headed_ = true;
        while (next_ < document_.PhraseCount() && out_.size() < kBatch) AppendEntry(next_++);
        part = out_;
        return !out_.empty();
    }

  private:
    void AppendHeader();
    void AppendEntry(std::size_t i);

    const TDocument& document_;
    const std::string_view pageName_;
    const TExportOptions& options_;
    const std::string_view generated_;
    std::string reference_;  // the page's name in a reference
    std::size_t next_ = 0;
    bool headed_ = false;
    std::string out_;
};

void TPoWriter::AppendHeader() {
    // A lang that is no language tag names no language.
    std::string source = LanguageTag(PageLanguage(document_)).value_or("");
    if (source.empty()) source = options_.SourceLanguage;
    if (source.empty()) source = "und";
    out_.append("# Phrases of ");
    AppendCommentText(out_, pageName_);
    out_.append(" for translation\n");
    out_.append("msgid \"\"\nmsgstr \"\"\n");
    auto field = [&](std::string_view name, std::string_view value) {
        out_.append("\"").append(name).append(": ");
        AppendPoText(out_, value);
        out_.append("\\n\"\n");
    };
    field("Project-Id-Version", pageName_);
    field("PO-Revision-Date", generated_);
    field("Last-Translator", "");
    field("Language-Team", "");
    // The language the messages are translated into; the page's own is the source language.
    field("Language", PoLanguage(options_.TargetLanguage));
    field("MIME-Version", "1.0");
    field("Content-Type", "text/plain; charset=UTF-8");
    field("Content-Transfer-Encoding", "8bit");
    field("X-Generator", "Quillfen " QUILLFEN_VERSION);
    field("X-Source-Language", PoLanguage(source));
    field(kStampField, FormatSourceStamp(StampOf(document_)));
}

void TPoWriter::AppendEntry(std::size_t i) {
    const std::string number = std::to_string(i + 1);
    out_ += '\n';
    std::string_view note = document_.Note(i);
    while (!note.empty()) {
        const std::size_t nl = note.find_first_of("\r\n");
        out_.append("#. ");
        AppendCommentText(out_, note.substr(0, nl));
        out_ += '\n';
        if (nl == std::string_view::npos) break;
        note.remove_prefix(nl + 1);
    }
    out_.append("#: ").append(reference_).append(":").append(number).append("\n");
    out_.append("msgctxt \"").append(number).append(" ");
    out_ += KindInfo(document_.Kind(i)).Letter;
    out_.append("\"\n");
    AppendString(out_, "msgid", document_.Text(i));
    out_.append("msgstr \"\"\n");
}

void Export(const TDocument& document, const std::string& documentPath,
            const std::string& folderText, const TExportOptions& options) {
    const std::string date = RevisionDate();
    TPoWriter writer(document, ExportFileName(documentPath), options, date);
    WriteFileAtomically(Files(documentPath, folderText).front(), TPieces(writer));
}

// ---- reading ----

// A header is kept whole up to this; its fields are short.
constexpr std::size_t kHeaderLimit = std::size_t{1} << 16;
// A context is a number and a kind's letter.
constexpr std::size_t kContextLimit = 1024;

// The fields of an entry as they are read; strings unescaped.
struct TEntry {
    std::size_t line = 0;  // of its first line
    std::string context, id, message;
    bool hasContext = false, hasId = false, hasMessage = false;
    bool fuzzy = false;
    bool started = false;
    bool idTooLong = false, messageTooLong = false, contextTooLong = false;
    // The phrase numbers of its references ("#: page.html:2"), for an entry whose context is
    // none of ours.
    std::vector<std::string> references;
};

bool IsNumber(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

class TPoReader final : public TUnitReader {
  public:
    TPoReader(std::unique_ptr<TByteInput> input, const std::string& path, const TReadLimits& limits)
        : input_(std::move(input)), path_(path), limits_(limits) {
        // A line holds one string, each of whose bytes takes at most two (an escape).
        const std::size_t longest = std::max({limits.Source, limits.Target, kHeaderLimit});
        lineLimit_ = longest > (static_cast<std::size_t>(-1) >> 2) ? static_cast<std::size_t>(-1)
                                                                   : 2 * longest + 1024;
    }

    std::optional<TSourceStamp> Stamp() override {
        while (units_.empty() && !ended_) ReadEntry();
        return stamp_;
    }

    bool Next(TTranslationUnit& unit) override {
        while (units_.empty() && !ended_) ReadEntry();
        if (units_.empty()) return false;
        unit = std::move(units_.front());
        units_.pop_front();
        return true;
    }

  private:
    [[noreturn]] void Fail(TPoFault fault, std::string_view detail = {}) const {
        throw PoFileError(path_, lineNumber_, fault, detail);
    }

    // Reads lines until an entry ends (or the file).
    void ReadEntry() {
        std::string_view line;
        while (units_.empty()) {
            if (!NextLine(line)) {
                Finish();
                ended_ = true;
                return;
            }
            ReadLine(line);
        }
    }

    // The next line, without its line break, valid until the next call. A line longer than any
    // string the limits keep is cut (cut_), the rest of it passed over unread.
    bool NextLine(std::string_view& line) {
        cut_ = false;
        for (std::size_t searched = at_;;) {
            const std::size_t end = buffer_.find('\n', searched);
            if (end != std::string::npos || (input_ == nullptr && at_ < buffer_.size()) ||
                buffer_.size() - at_ > lineLimit_) {
                const std::size_t stop =
                    std::min(end, at_ + std::min(lineLimit_, buffer_.size() - at_));
                line = std::string_view(buffer_).substr(at_, stop - at_);
                cut_ = stop != end && stop != buffer_.size();
                // The rest of a cut line is passed over, here or as it is read.
                at_ = end == std::string::npos ? buffer_.size() : end + 1;
                skipping_ = cut_ && end == std::string::npos;
                if (!cut_ && !line.empty() && line.back() == '\r') line.remove_suffix(1);
                // The byte-order mark a tool may write is no text of the first line.
                if (lineNumber_++ == 0 && line.starts_with(kUtf8Bom))
                    line.remove_prefix(kUtf8Bom.size());
                return true;
            }
            if (input_ == nullptr) return false;
            searched = buffer_.size();
            Refill(searched);
        }
    }

    // Reads more of the file behind what is buffered, dropping what was read; searched moves
    // with the buffer. A cut line's rest is passed over.
    void Refill(std::size_t& searched) {
        buffer_.erase(0, at_);
        searched -= at_;
        at_ = 0;
        constexpr std::size_t kChunk = std::size_t{1} << 16;
        for (;;) {
            const std::size_t had = buffer_.size();
            buffer_.resize(had + kChunk);
            const std::size_t got = input_->Read(buffer_.data() + had, kChunk);
            buffer_.resize(had + got);
            if (got == 0) {
                input_.reset();
                skipping_ = false;
                return;
            }
            if (!skipping_) return;
            const std::size_t nl = buffer_.find('\n', had);
            if (nl == std::string::npos) {
                buffer_.resize(had);
                continue;
            }
            buffer_.erase(had, nl + 1 - had);
            skipping_ = false;
            return;
        }
    }

    static std::string_view Trimmed(std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
        return s;
    }

    // Ends the entry read so far when a line that starts another one comes after its message.
    void StartLine() {
        if (entry_.hasMessage) Finish();
        if (!entry_.started) {
            entry_.started = true;
            entry_.line = lineNumber_;
        }
    }

    void ReadLine(std::string_view line) {
        const std::string_view trimmed = Trimmed(line);
        if (trimmed.empty()) return;
        if (trimmed[0] == '#') {
            // Obsolete entries are kept by tools only for their memory; they are no units.
            if (trimmed.size() > 1 && trimmed[1] == '~') return;
            StartLine();
            if (trimmed.size() > 1 && trimmed[1] == ',') ReadFlags(trimmed.substr(2));
            if (trimmed.size() > 1 && trimmed[1] == ':') ReadReferences(trimmed.substr(2));
            return;
        }
        if (trimmed[0] == '"') {
            if (!current_) Fail(TPoFault::UnexpectedText, Shown(trimmed));
            AppendString(trimmed);
            return;
        }
        std::size_t end = 0;
        while (end < trimmed.size() && trimmed[end] != ' ' && trimmed[end] != '\t' &&
               trimmed[end] != '"')
            ++end;
        const std::string_view keyword = trimmed.substr(0, end);
        const std::string_view rest = trimmed.substr(end);
        if (keyword == "msgctxt") {
            StartLine();
            if (entry_.hasContext || entry_.hasId) Fail(TPoFault::MisplacedKeyword, keyword);
            entry_.hasContext = true;
            Take(rest, entry_.context, kContextLimit, entry_.contextTooLong);
        } else if (keyword == "msgid") {
            StartLine();
            if (entry_.hasId) Fail(TPoFault::MisplacedKeyword, keyword);
            entry_.hasId = true;
            Take(rest, entry_.id, limits_.Source, entry_.idTooLong);
        } else if (keyword == "msgid_plural") {
            if (!entry_.hasId || entry_.hasMessage) Fail(TPoFault::MisplacedKeyword, keyword);
            Take(rest, ignored_, 0, ignoredTooLong_);
        } else if (keyword == "msgstr" || keyword.starts_with("msgstr[")) {
            if (!entry_.hasId) Fail(TPoFault::MisplacedKeyword, keyword);
            // Of a plural's forms the first stands for the message; our files have none.
            const bool first = keyword == "msgstr" || keyword == "msgstr[0]";
            if (first && entry_.hasMessage) Fail(TPoFault::MisplacedKeyword, keyword);
            if (first) entry_.hasMessage = true;
            // The header's message is its fields; a message is kept as far as its source
            // allows.
            const std::size_t limit =
                !entry_.hasContext && entry_.id.empty() && !entry_.idTooLong
                    ? kHeaderLimit
                    : std::min(limits_.Target, MaxTargetBytes(entry_.id.size()));
            if (first)
                Take(rest, entry_.message, limit, entry_.messageTooLong);
            else
                Take(rest, ignored_, 0, ignoredTooLong_);
        } else {
            Fail(TPoFault::UnexpectedText, Shown(trimmed));
        }
    }

    static std::string Shown(std::string_view line) {
        return std::string(line.substr(0, std::min<std::size_t>(line.size(), 20)));
    }

    void ReadFlags(std::string_view flags) {
        while (!flags.empty()) {
            const std::size_t comma = flags.find(',');
            if (Trimmed(flags.substr(0, comma)) == "fuzzy") entry_.fuzzy = true;
            if (comma == std::string_view::npos) break;
            flags.remove_prefix(comma + 1);
        }
    }

    // "#: page.html:2 other.html:5": the number behind each reference's last colon, or a
    // reference that is a number alone (as xliff2po writes our XLIFF's ids).
    void ReadReferences(std::string_view references) {
        while (!references.empty()) {
            const std::size_t from = references.find_first_not_of(" \t");
            if (from == std::string_view::npos) break;
            references.remove_prefix(from);
            const std::size_t end = std::min(references.find_first_of(" \t"), references.size());
            const std::string_view reference = references.substr(0, end);
            const std::size_t colon = reference.rfind(':');
            const std::string_view number =
                colon == std::string_view::npos ? reference : reference.substr(colon + 1);
            if (IsNumber(number) && entry_.references.size() < 64)
                entry_.references.emplace_back(number);
            references.remove_prefix(end);
        }
    }

    void Take(std::string_view rest, std::string& into, std::size_t limit, bool& tooLong) {
        into.clear();
        tooLong = false;
        current_ = &into;
        limit_ = limit;
        tooLong_ = &tooLong;
        rest = Trimmed(rest);
        if (rest.empty() || rest[0] != '"') Fail(TPoFault::UnexpectedText, Shown(rest));
        AppendString(rest);
    }

    // Appends the string that s, trimmed, is: '"', its escaped contents, '"'; beyond the
    // string's limit its text is dropped and the string marked too long. A cut line has no end
    // to look for.
    void AppendString(std::string_view s) {
        std::string& into = *current_;
        std::size_t i = 1;
        const std::size_t start = into.size();
        while (true) {
            // By hand: find_first_of asks memchr for each byte.
            std::size_t stop = i;
            while (stop < s.size() && s[stop] != '"' && s[stop] != '\\') ++stop;
            if (stop == s.size() && !cut_) Fail(TPoFault::UnterminatedString);
            into.append(s.substr(i, stop - i));
            if (stop == s.size()) break;
            if (s[stop] == '"') {
                if (stop + 1 != s.size()) Fail(TPoFault::UnexpectedText, Shown(s.substr(stop + 1)));
                break;
            }
            // An escape may be cut in two.
            if (cut_ && stop + 4 >= s.size()) break;
            i = Unescape(s, stop, into);
        }
        if (cut_ || into.size() > limit_) {
            // What is dropped may end inside a character: a string too long is read no further.
            into.resize(std::min(into.size(), limit_));
            *tooLong_ = true;
            return;
        }
        if (!*tooLong_ && !IsValidUtf8(std::string_view(into).substr(start)))
            Fail(TPoFault::InvalidUtf8);
    }

    // Reads the escape at s[at] (a backslash) into into; gives where reading goes on.
    std::size_t Unescape(std::string_view s, std::size_t at, std::string& into) const {
        if (at + 1 >= s.size()) Fail(TPoFault::UnterminatedString);
        const char c = s[at + 1];
        switch (c) {
            case 'n':
                into += '\n';
                return at + 2;
            case 't':
                into += '\t';
                return at + 2;
            case 'r':
                into += '\r';
                return at + 2;
            case '"':
                into += '"';
                return at + 2;
            case '\\':
                into += '\\';
                return at + 2;
            case 'a':
                into += '\a';
                return at + 2;
            case 'b':
                into += '\b';
                return at + 2;
            case 'f':
                into += '\f';
                return at + 2;
            case 'v':
                into += '\v';
                return at + 2;
            default:
                break;
        }
        unsigned value = 0;
        std::size_t i = at + 1;
        if (c >= '0' && c <= '7') {
            while (i < s.size() && i < at + 4 && s[i] >= '0' && s[i] <= '7')
                value = value * 8 + static_cast<unsigned>(s[i++] - '0');
        } else if (c == 'x') {
            ++i;
            while (i < s.size() && i < at + 4 && HexValue(s[i]) >= 0)
                value = value * 16 + static_cast<unsigned>(HexValue(s[i++]));
            if (i == at + 2) Fail(TPoFault::BadEscape, s.substr(at, 2));
        } else {
            Fail(TPoFault::BadEscape, s.substr(at, 2));
        }
        if (value > 0xFF || value == 0) Fail(TPoFault::BadEscape, s.substr(at, i - at));
        into += static_cast<char>(value);
        return i;
    }

    void Finish() {
        current_ = nullptr;
        if (!entry_.started) return;
        if (!entry_.hasId || !entry_.hasMessage) {
            // Comments alone at the file's end belong to nothing.
            if (entry_.hasId || entry_.hasContext) {
                lineNumber_ = entry_.line;
                Fail(TPoFault::MissingMessage);
            }
            entry_ = {};
            return;
        }
        if (!entry_.hasContext && entry_.id.empty() && !entry_.idTooLong)
            ReadHeader(entry_.message);
        else
            AddUnits();
        entry_ = {};
    }

    // Our context is "N K", the phrase's number and its kind's letter. An entry whose context is
    // none of ours takes its number from its references, one unit for each: a tool's conversion
    // drops the context, or writes one of its own to keep equal texts apart ("page.html:2", or
    // the unit's id, which xliff2po may even repeat: "3" "3" reads "33").
    void AddUnits() {
        TTranslationUnit unit;
        const std::string_view context = entry_.context;
        const std::size_t blank = context.find(' ');
        std::vector<std::string> ids;
        if (blank != std::string_view::npos && IsNumber(context.substr(0, blank))) {
            ids.emplace_back(context.substr(0, blank));
            unit.Kind = context.substr(blank + 1);
        } else if (!entry_.references.empty()) {
            ids = std::move(entry_.references);
        } else {
            ids.emplace_back(context.substr(0, blank));
        }
        unit.Source = std::move(entry_.id);
        unit.SourceTooLong = entry_.idTooLong;
        if (!entry_.message.empty() && !entry_.fuzzy) {
            unit.Target = std::move(entry_.message);
            unit.TargetTooLong = entry_.messageTooLong;
        }
        unit.Line = entry_.line;
        for (std::size_t k = 0; k < ids.size(); ++k) {
            units_.push_back(k + 1 < ids.size() ? unit : std::move(unit));
            units_.back().Id = std::move(ids[k]);
        }
        stampRead_ = true;
    }

    void ReadHeader(std::string_view header) {
        while (!header.empty()) {
            const std::size_t nl = header.find('\n');
            const std::string_view field = header.substr(0, nl);
            header.remove_prefix(nl == std::string_view::npos ? header.size() : nl + 1);
            const std::size_t colon = field.find(':');
            if (colon == std::string_view::npos) continue;
            const std::string_view name = Trimmed(field.substr(0, colon));
            const std::string_view value = Trimmed(field.substr(colon + 1));
            if (EqualsNoCase(name, "x-quillfen-source")) {
                // Only a stamp ahead of the units says which page they belong to.
                if (!stampRead_) stamp_ = ParseSourceStamp(value);
            } else if (EqualsNoCase(name, "content-type")) {
                const std::size_t at = value.find("charset=");
                if (at == std::string_view::npos) continue;
                std::string_view charset = value.substr(at + 8);
                charset = Trimmed(charset.substr(0, charset.find(';')));
                // CHARSET is what a template holds before anyone chose; ASCII is UTF-8.
                if (!EqualsNoCase(charset, "utf-8") && !EqualsNoCase(charset, "utf8") &&
                    !EqualsNoCase(charset, "charset") && !EqualsNoCase(charset, "ascii") &&
                    !EqualsNoCase(charset, "us-ascii")) {
                    lineNumber_ = entry_.line;
                    Fail(TPoFault::UnsupportedCharset, charset);
                }
            }
        }
    }

    std::unique_ptr<TByteInput> input_;  // null once used up
    const std::string path_;
    const TReadLimits limits_;
    std::size_t lineLimit_ = 0;
    std::string buffer_;
    std::size_t at_ = 0;  // where the next line starts in buffer_
    bool cut_ = false, skipping_ = false;
    std::size_t lineNumber_ = 0;
    TEntry entry_;
    std::string* current_ = nullptr;  // the string a continuation line appends to
    std::size_t limit_ = 0;           // the bytes it keeps
    bool* tooLong_ = nullptr;         // and where it says it was longer
    std::string ignored_;
    bool ignoredTooLong_ = false;
    std::optional<TSourceStamp> stamp_;
    bool stampRead_ = false;  // a unit has been read: a stamp from now on says nothing
    bool ended_ = false;
    std::deque<TTranslationUnit> units_;
};

std::unique_ptr<TUnitReader> ReadUnits(std::unique_ptr<TByteInput> input, const std::string& path,
                                       const TReadLimits& limits) {
    return std::make_unique<TPoReader>(std::move(input), path, limits);
}

TTranslationFile ReadTranslation(std::string_view bytes, const std::string& path) {
    return ReadPoFile(bytes, path);
}

}  // namespace

const TExchangeFormat kPoFormat = {
    "po",      "NAME.po, gettext's PO: one entry per phrase, for translation tools",
    Files,     Export,
    nullptr,   ReadTranslation,
    ReadUnits,
};

void AppendPoEscaped(std::string& out, std::string_view text) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* escape = nullptr;
        switch (c) {
            case '\\':
                escape = "\\\\";
                break;
            case '"':
                escape = "\\\"";
                break;
            case '\n':
                escape = "\\n";
                break;
            case '\r':
                escape = "\\r";
                break;
            case '\t':
                escape = "\\t";
                break;
            default:
                continue;
        }
        out.append(text.substr(from, i - from)).append(escape);
        from = i + 1;
    }
    out.append(text.substr(from));
}

std::string PoLanguage(std::string_view text) {
    // The tag's own rule gives the case (language lower, region upper); gettext's form is the
    // language and the region.
    const std::optional<std::string> tag = LanguageTag(text);
    if (!tag) return {};
    std::string_view rest = *tag;
    std::size_t end = rest.find('-');
    std::string out(rest.substr(0, end));
    while (end != std::string_view::npos) {
        rest.remove_prefix(end + 1);
        end = rest.find('-');
        const std::string_view part = rest.substr(0, end);
        // The region: two letters or three digits; a script has four letters and is dropped.
        const bool digits =
            part.size() == 3 && part.find_first_not_of("0123456789") == std::string_view::npos;
        if (part.size() == 2 || digits) {
            out.append("_").append(part);
            break;
        }
        if (part.size() != 4) break;
    }
    return out;
}

std::string PoBytes(const TDocument& document, std::string_view pageName,
                    const TExportOptions& options, std::string_view generated) {
    TPoWriter writer(document, pageName, options, generated);
    std::string out;
    writer.Restart();
    for (std::string_view part; writer.Next(part);) out += part;
    return out;
}

TTranslationFile ReadPoFile(std::string_view bytes, const std::string& path) {
    TPoReader reader(std::make_unique<TMemoryInput>(bytes), path, {});
    return ReadAllUnits(reader);
}

}  // namespace quillfen
