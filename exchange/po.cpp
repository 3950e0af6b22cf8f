#include "exchange/po.h"

#include <chrono>
#include <cstdio>

#include "core/encoding.h"
#include "core/errors.h"
#include "core/kinds.h"
#include "core/savefile.h"
#include "core/utf8.h"
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

void Export(const TDocument& document, const std::string& documentPath,
            const std::string& folderText, const TExportOptions& options) {
    const std::string bytes =
        PoBytes(document, ExportFileName(documentPath), options, RevisionDate());
    WriteFileAtomically(Files(documentPath, folderText).front(), bytes);
}

// ---- reading ----

// The fields of an entry as they are read; strings unescaped.
struct TEntry {
    std::size_t line = 0;  // of its first line
    std::string context, id, message;
    bool hasContext = false, hasId = false, hasMessage = false;
    bool fuzzy = false;
    bool started = false;
};

class TPoReader {
  public:
    TPoReader(std::string_view bytes, const std::string& path) : bytes_(bytes), path_(path) {}

    TTranslationFile Read() {
        if (bytes_.substr(0, kUtf8Bom.size()) == kUtf8Bom) at_ = kUtf8Bom.size();
        std::string_view line;
        while (NextLine(line)) ReadLine(line);
        Finish();
        return std::move(file_);
    }

  private:
    [[noreturn]] void Fail(TPoFault fault, std::string_view detail = {}) const {
        throw PoFileError(path_, lineNumber_, fault, detail);
    }

    bool NextLine(std::string_view& line) {
        if (at_ >= bytes_.size()) return false;
        std::size_t end = bytes_.find('\n', at_);
        if (end == std::string_view::npos) end = bytes_.size();
        line = bytes_.substr(at_, end - at_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        at_ = end + 1;
        ++lineNumber_;
        return true;
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
            return;
        }
        if (trimmed[0] == '"') {
            if (!current_) Fail(TPoFault::UnexpectedText, Shown(trimmed));
            AppendString(trimmed, *current_);
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
            Take(rest, entry_.context);
        } else if (keyword == "msgid") {
            StartLine();
            if (entry_.hasId) Fail(TPoFault::MisplacedKeyword, keyword);
            entry_.hasId = true;
            Take(rest, entry_.id);
        } else if (keyword == "msgid_plural") {
            if (!entry_.hasId || entry_.hasMessage) Fail(TPoFault::MisplacedKeyword, keyword);
            Take(rest, ignored_);
        } else if (keyword == "msgstr" || keyword.starts_with("msgstr[")) {
            if (!entry_.hasId) Fail(TPoFault::MisplacedKeyword, keyword);
            // Of a plural's forms the first stands for the message; our files have none.
            const bool first = keyword == "msgstr" || keyword == "msgstr[0]";
            if (first && entry_.hasMessage) Fail(TPoFault::MisplacedKeyword, keyword);
            if (first) entry_.hasMessage = true;
            Take(rest, first ? entry_.message : ignored_);
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

    void Take(std::string_view rest, std::string& into) {
        into.clear();
        current_ = &into;
        rest = Trimmed(rest);
        if (rest.empty() || rest[0] != '"') Fail(TPoFault::UnexpectedText, Shown(rest));
        AppendString(rest, into);
    }

    // Appends the string that s, trimmed, is: '"', its escaped contents, '"'.
    void AppendString(std::string_view s, std::string& into) const {
        std::size_t i = 1;
        const std::size_t start = into.size();
        while (true) {
            // By hand: find_first_of asks memchr for each byte.
            std::size_t stop = i;
            while (stop < s.size() && s[stop] != '"' && s[stop] != '\\') ++stop;
            if (stop == s.size()) Fail(TPoFault::UnterminatedString);
            into.append(s.substr(i, stop - i));
            if (s[stop] == '"') {
                if (stop + 1 != s.size()) Fail(TPoFault::UnexpectedText, Shown(s.substr(stop + 1)));
                break;
            }
            i = Unescape(s, stop, into);
        }
        if (!IsValidUtf8(std::string_view(into).substr(start))) Fail(TPoFault::InvalidUtf8);
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
            auto hex = [](char h) -> int {
                if (h >= '0' && h <= '9') return h - '0';
                if (h >= 'a' && h <= 'f') return h - 'a' + 10;
                if (h >= 'A' && h <= 'F') return h - 'A' + 10;
                return -1;
            };
            while (i < s.size() && i < at + 4 && hex(s[i]) >= 0)
                value = value * 16 + static_cast<unsigned>(hex(s[i++]));
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
        if (!entry_.hasContext && entry_.id.empty())
            ReadHeader(entry_.message);
        else
            AddUnit();
        entry_ = {};
    }

    void AddUnit() {
        TTranslationUnit unit;
        const std::string_view context = entry_.context;
        unit.Id = std::string(context.substr(0, context.find(' ')));
        unit.Source = std::move(entry_.id);
        if (!entry_.message.empty() && !entry_.fuzzy) unit.Target = std::move(entry_.message);
        unit.Line = entry_.line;
        file_.Units.push_back(std::move(unit));
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
            if (NameIs(name, "x-quillfen-source")) {
                file_.Stamp = ParseSourceStamp(value);
            } else if (NameIs(name, "content-type")) {
                const std::size_t at = value.find("charset=");
                if (at == std::string_view::npos) continue;
                std::string_view charset = value.substr(at + 8);
                charset = Trimmed(charset.substr(0, charset.find(';')));
                // CHARSET is what a template holds before anyone chose; ASCII is UTF-8.
                if (!NameIs(charset, "utf-8") && !NameIs(charset, "utf8") &&
                    !NameIs(charset, "charset") && !NameIs(charset, "ascii") &&
                    !NameIs(charset, "us-ascii")) {
                    lineNumber_ = entry_.line;
                    Fail(TPoFault::UnsupportedCharset, charset);
                }
            }
        }
    }

    std::string_view bytes_;
    const std::string& path_;
    std::size_t at_ = 0;
    std::size_t lineNumber_ = 0;
    TEntry entry_;
    std::string* current_ = nullptr;  // the string a continuation line appends to
    std::string ignored_;
    TTranslationFile file_;
};

TTranslationFile ReadTranslation(std::string_view bytes, const std::string& path) {
    return ReadPoFile(bytes, path);
}

}  // namespace

const TExchangeFormat kPoFormat = {
    "po",    "NAME.po, gettext's PO: one entry per phrase, for translation tools",
    Files,   Export,
    nullptr, ReadTranslation,
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
    // A lang that is no language tag names no language.
    std::string source = LanguageTag(PageLanguage(document)).value_or("");
    if (source.empty()) source = options.SourceLanguage;
    if (source.empty()) source = "und";
    const std::size_t count = document.PhraseCount();
    std::string out;
    std::size_t size = 1024;
    for (std::size_t i = 0; i < count; ++i) size += document.Text(i).size() + pageName.size() + 64;
    out.reserve(size);

    out.append("# Phrases of ");
    AppendCommentText(out, pageName);
    out.append(" for translation\n");
    std::string reference;
    AppendCommentText(reference, pageName);
    out.append("msgid \"\"\nmsgstr \"\"\n");
    auto field = [&](std::string_view name, std::string_view value) {
        out.append("\"").append(name).append(": ");
        AppendPoText(out, value);
        out.append("\\n\"\n");
    };
    field("Project-Id-Version", pageName);
    field("PO-Revision-Date", generated);
    field("Last-Translator", "");
    field("Language-Team", "");
    // The language the messages are translated into; the page's own is the source language.
    field("Language", PoLanguage(options.TargetLanguage));
    field("MIME-Version", "1.0");
    field("Content-Type", "text/plain; charset=UTF-8");
    field("Content-Transfer-Encoding", "8bit");
    field("X-Generator", "Quillfen " QUILLFEN_VERSION);
    field("X-Source-Language", PoLanguage(source));
    field(kStampField, FormatSourceStamp(StampOf(document)));

    for (std::size_t i = 0; i < count; ++i) {
        const std::string number = std::to_string(i + 1);
        out += '\n';
        std::string_view note = document.Note(i);
        while (!note.empty()) {
            const std::size_t nl = note.find_first_of("\r\n");
            out.append("#. ");
            AppendCommentText(out, note.substr(0, nl));
            out += '\n';
            if (nl == std::string_view::npos) break;
            note.remove_prefix(nl + 1);
        }
        out.append("#: ").append(reference).append(":").append(number).append("\n");
        out.append("msgctxt \"").append(number).append(" ");
        out += KindInfo(document.Kind(i)).Letter;
        out.append("\"\n");
        AppendString(out, "msgid", document.Text(i));
        out.append("msgstr \"\"\n");
    }
    return out;
}

TTranslationFile ReadPoFile(std::string_view bytes, const std::string& path) {
    return TPoReader(bytes, path).Read();
}

}  // namespace quillfen
