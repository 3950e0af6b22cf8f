#include "memory/tmx.h"

#include <fcntl.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "core/document/format.h"
#include "core/markup/kinds.h"
#include "core/markup/sentences.h"
#include "core/text/ascii.h"
#include "core/text/utf8.h"
#include "exchange/translation.h"

namespace quillfen {

namespace {

// The longest segment that can be a phrase; a longer one is a faulty unit, so that a hostile file
// cannot make a text grow without end.
constexpr std::size_t kMaxSegment = 1 << 20;
constexpr std::size_t kChunk = 1 << 16;
constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
// The properties a unit's context and kind travel in.
constexpr std::string_view kPageProp = "x-quillfen-page";
constexpr std::string_view kBeforeProp = "x-quillfen-before";
constexpr std::string_view kAfterProp = "x-quillfen-after";
constexpr std::string_view kKindProp = "x-quillfen-kind";
constexpr std::string_view kOriginProp = "x-quillfen-origin";

std::string_view Text(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// The letters of the element a code's content names: "<b>", "</B>" and "<b class=x>" name b,
// "<h1>" h (as a sentence's placeholders are named), and a content that is no tag names none.
std::optional<std::string> ElementOfCode(std::string_view content) {
    std::size_t i = 0;
    if (i >= content.size() || content[i] != '<') return std::nullopt;
    ++i;
    if (i < content.size() && content[i] == '/') ++i;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (i >= content.size() || !letter(content[i])) return std::nullopt;
    std::string letters;
    for (; i < content.size(); ++i) {
        char c = content[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c >= 'a' && c <= 'z')
            letters += c;
        else if (!((c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':'))
            break;
    }
    return letters;
}

// "20240131T120000Z" as seconds since 1970; 0 for anything else.
std::int64_t TmxTime(std::string_view text) {
    if (text.size() != 16 || text[8] != 'T' || text[15] != 'Z') return 0;
    int fields[6] = {};
    const int widths[6] = {4, 2, 2, 2, 2, 2};
    const std::size_t starts[6] = {0, 4, 6, 9, 11, 13};
    for (int f = 0; f < 6; ++f)
        for (int k = 0; k < widths[f]; ++k) {
            const char c = text[starts[f] + static_cast<std::size_t>(k)];
            if (c < '0' || c > '9') return 0;
            fields[f] = fields[f] * 10 + (c - '0');
        }
    std::tm tm{};
    tm.tm_year = fields[0] - 1900;
    tm.tm_mon = fields[1] - 1;
    tm.tm_mday = fields[2];
    tm.tm_hour = fields[3];
    tm.tm_min = fields[4];
    tm.tm_sec = fields[5];
    const std::time_t t = ::timegm(&tm);
    return t < 0 ? 0 : static_cast<std::int64_t>(t);
}

std::string TmxTimeText(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &tm);
    return text;
}

// --- reading ---------------------------------------------------------------------------------

// One piece of a segment as read: text, or an inline code with its content.
struct TPiece {
    enum TKind : std::uint8_t { Literal, Begin, End, Alone } kind = Literal;
    std::string text;  // a literal's characters, or the code's content
    std::string i, x;
};

// One tuv.
struct TVariant {
    std::string language;  // as written
    std::vector<TPiece> pieces;
    std::string time;
    bool tooLong = false;
};

// A segment in the textual form: its placeholders, numbered, with the codes they came from.
struct TPlaceholderOf {
    std::string name, element, i, x;
    bool paired = false;
    std::string open, close;
};

struct TSegment {
    std::vector<TSentencePiece> pieces;  // literals and placeholders, named
    std::vector<TPlaceholderOf> placeholders;
};

class TBadUnit {
  public:
    TTmxFault fault;
    std::string detail;
};

// Pairs the codes of a segment and names the elements they stand for. A pair whose partner is
// missing is a fault; pairs that do not nest become lone codes (as a tag whose partner lies
// outside a sentence is one). A code that names no element stays text.
struct TPairing {
    std::vector<int> partner;   // per piece: the index of a Begin's End and back, -1
    std::vector<bool> element;  // per piece: a placeholder
    std::vector<std::string> letters;
};

TPairing Pair(const std::vector<TPiece>& pieces) {
    TPairing p;
    const std::size_t n = pieces.size();
    p.partner.assign(n, -1);
    p.element.assign(n, false);
    p.letters.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        if (pieces[k].kind != TPiece::End) continue;
        int begin = -1;
        for (std::size_t j = 0; j < k; ++j)
            if (pieces[j].kind == TPiece::Begin && p.partner[j] < 0 && pieces[j].i == pieces[k].i)
                begin = static_cast<int>(j);
        if (begin < 0) throw TBadUnit{TTmxFault::UnpairedCode, "ept i=\"" + pieces[k].i + "\""};
        p.partner[static_cast<std::size_t>(begin)] = static_cast<int>(k);
        p.partner[k] = begin;
    }
    for (std::size_t k = 0; k < n; ++k)
        if (pieces[k].kind == TPiece::Begin && p.partner[k] < 0)
            throw TBadUnit{TTmxFault::UnpairedCode, "bpt i=\"" + pieces[k].i + "\""};
    for (std::size_t k = 0; k < n; ++k) {
        if (pieces[k].kind == TPiece::Literal || pieces[k].kind == TPiece::End) continue;
        if (const auto letters = ElementOfCode(pieces[k].text)) {
            p.element[k] = true;
            p.letters[k] = letters->empty() ? "x" : *letters;
            if (p.partner[k] >= 0) {
                p.element[static_cast<std::size_t>(p.partner[k])] = true;
                p.letters[static_cast<std::size_t>(p.partner[k])] = p.letters[k];
            }
        }
    }
    // Pairs of placeholders must nest; a pair that crosses another is taken apart.
    std::vector<std::size_t> open;
    for (std::size_t k = 0; k < n; ++k) {
        if (!p.element[k] || p.partner[k] < 0) continue;
        if (pieces[k].kind == TPiece::Begin) {
            open.push_back(k);
            continue;
        }
        const auto begin = static_cast<std::size_t>(p.partner[k]);
        if (!open.empty() && open.back() == begin) {
            open.pop_back();
            continue;
        }
        // Crossed: both halves stand alone.
        open.erase(std::find(open.begin(), open.end(), begin));
        p.partner[k] = p.partner[begin] = -1;
    }
    return p;
}

// The codes of a placeholder's name, table of a unit.
void AppendCodes(std::string& table, const TPlaceholderOf& p) {
    AppendTableEntry(table, p.name, p.open, p.paired, p.close);
}

// The source segment: placeholders numbered from 1 in the order they open.
TSegment SourceSegment(const std::vector<TPiece>& pieces) {
    const TPairing p = Pair(pieces);
    TSegment s;
    std::map<std::size_t, std::size_t> placeholderOf;  // piece index: placeholder index
    std::string literal;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const TPiece& piece = pieces[k];
        if (!p.element[k]) {
            literal += piece.text;
            continue;
        }
        if (!literal.empty()) s.pieces.push_back({TSentencePiece::Literal, std::move(literal), {}});
        literal.clear();
        if (piece.kind == TPiece::End && p.partner[k] >= 0) {
            const TPlaceholderOf& ph =
                s.placeholders[placeholderOf[static_cast<std::size_t>(p.partner[k])]];
            s.pieces.push_back({TSentencePiece::Close, ph.name, {}});
            continue;
        }
        TPlaceholderOf ph;
        ph.element = p.letters[k];
        ph.name = ph.element + std::to_string(s.placeholders.size() + 1);
        ph.paired = p.partner[k] >= 0;
        ph.i = piece.i;
        ph.x = piece.x;
        ph.open = piece.text;
        if (ph.paired) ph.close = pieces[static_cast<std::size_t>(p.partner[k])].text;
        placeholderOf[k] = s.placeholders.size();
        s.pieces.push_back({ph.paired ? TSentencePiece::Open : TSentencePiece::Void, ph.name, {}});
        s.placeholders.push_back(std::move(ph));
    }
    if (!literal.empty()) s.pieces.push_back({TSentencePiece::Literal, std::move(literal), {}});
    return s;
}

// A target segment, its placeholders named after the source's: by x, else a pair by i, else the
// first of the same element and shape not yet taken; one the source lacks takes a new number.
TSegment TargetSegment(const std::vector<TPiece>& pieces, const TSegment& source) {
    const TPairing p = Pair(pieces);
    TSegment s;
    std::vector<bool> taken(source.placeholders.size(), false);
    std::size_t next = source.placeholders.size();
    std::map<std::size_t, std::string> nameOf;  // piece index: name
    std::string literal;
    auto take = [&](std::size_t k) -> std::string {
        const TPiece& piece = pieces[k];
        const bool paired = p.partner[k] >= 0;
        auto fits = [&](std::size_t j) {
            const TPlaceholderOf& ph = source.placeholders[j];
            return !taken[j] && ph.element == p.letters[k] && ph.paired == paired;
        };
        std::optional<std::size_t> found;
        for (std::size_t j = 0; j < taken.size() && !found && !piece.x.empty(); ++j)
            if (fits(j) && source.placeholders[j].x == piece.x) found = j;
        for (std::size_t j = 0; j < taken.size() && !found && paired && !piece.i.empty(); ++j)
            if (fits(j) && source.placeholders[j].i == piece.i) found = j;
        for (std::size_t j = 0; j < taken.size() && !found; ++j)
            if (fits(j)) found = j;
        if (found) {
            taken[*found] = true;
            return source.placeholders[*found].name;
        }
        TPlaceholderOf ph;
        ph.element = p.letters[k];
        ph.name = ph.element + std::to_string(++next);
        ph.paired = paired;
        ph.open = piece.text;
        if (paired) ph.close = pieces[static_cast<std::size_t>(p.partner[k])].text;
        s.placeholders.push_back(ph);
        return ph.name;
    };
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const TPiece& piece = pieces[k];
        if (!p.element[k]) {
            literal += piece.text;
            continue;
        }
        if (!literal.empty()) s.pieces.push_back({TSentencePiece::Literal, std::move(literal), {}});
        literal.clear();
        if (piece.kind == TPiece::End && p.partner[k] >= 0) {
            s.pieces.push_back(
                {TSentencePiece::Close, nameOf[static_cast<std::size_t>(p.partner[k])], {}});
            continue;
        }
        const std::string name = take(k);
        nameOf[k] = name;
        s.pieces.push_back(
            {p.partner[k] >= 0 ? TSentencePiece::Open : TSentencePiece::Void, name, {}});
    }
    if (!literal.empty()) s.pieces.push_back({TSentencePiece::Literal, std::move(literal), {}});
    return s;
}

// Spacing is the segment's own: TMX makes every blank and line break in a seg significant.
std::string TextualForm(const std::vector<TSentencePiece>& pieces) {
    std::string out;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const TSentencePiece& piece = pieces[k];
        if (piece.kind == TSentencePiece::Literal) {
            AppendSentenceLiteral(out, piece.text, k + 1 < pieces.size());
            continue;
        }
        out += piece.kind == TSentencePiece::Close  ? "</" + piece.text + ">"
               : piece.kind == TSentencePiece::Void ? "<" + piece.text + "/>"
                                                    : "<" + piece.text + ">";
    }
    return out;
}

class TTmxReader {
  public:
    TTmxReader(const std::string& path, TMemory::TWriter& writer, const TTmxImportOptions& options,
               TTmxImportResult& result)
        : path_(path), writer_(writer), options_(options), result_(result) {
        if (!options.SourceLanguage.empty())
            sourceOption_ = MakeLanguagePair(options.SourceLanguage, "zxx").Source;
        if (!options.TargetLanguage.empty())
            targetOption_ = MakeLanguagePair("zxx", options.TargetLanguage).Target;
    }

    void Read();

  private:
    static TTmxReader& Of(void* context) { return *static_cast<TTmxReader*>(context); }
    static void OnStart(void* context, const xmlChar* name, const xmlChar*, const xmlChar*, int,
                        const xmlChar**, int count, int, const xmlChar** attributes) {
        Of(context).Guard([&] { Of(context).Start(Text(name), count, attributes); });
    }
    static void OnEnd(void* context, const xmlChar* name, const xmlChar*, const xmlChar*) {
        Of(context).Guard([&] { Of(context).End(Text(name)); });
    }
    static void OnCharacters(void* context, const xmlChar* text, int length) {
        Of(context).Guard([&] {
            Of(context).Characters(std::string_view(reinterpret_cast<const char*>(text),
                                                    static_cast<std::size_t>(length)));
        });
    }
    static void OnReference(void* context, const xmlChar* name) {
        Of(context).Fail(TmxError(Of(context).path_, Of(context).Line(), TTmxFault::UnknownEntity,
                                  std::string(Text(name))));
    }
    static void OnDeclaration(void* context) {
        Of(context).Fail(TmxError(Of(context).path_, Of(context).Line(), TTmxFault::Declarations));
    }
    static void OnEntityDeclaration(void* context, const xmlChar*, int, const xmlChar*,
                                    const xmlChar*, xmlChar*) {
        OnDeclaration(context);
    }
    static void OnElementDeclaration(void* context, const xmlChar*, int, xmlElementContentPtr) {
        OnDeclaration(context);
    }
    static void OnAttributeDeclaration(void* context, const xmlChar*, const xmlChar*, int, int,
                                       const xmlChar*, xmlEnumerationPtr tree) {
        xmlFreeEnumeration(tree);  // the callback owns it
        OnDeclaration(context);
    }
    static void OnNotationDeclaration(void* context, const xmlChar*, const xmlChar*,
                                      const xmlChar*) {
        OnDeclaration(context);
    }
    static void OnUnparsedEntityDeclaration(void* context, const xmlChar*, const xmlChar*,
                                            const xmlChar*, const xmlChar*) {
        OnDeclaration(context);
    }
    static void OnError(void* context, xmlErrorPtr error) {
        TTmxReader& reader = Of(context);
        if (!error || error->level < XML_ERR_ERROR || reader.message_) return;
        std::string message = error->message ? error->message : "";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        reader.message_ =
            TmxError(reader.path_, error->line > 0 ? static_cast<std::size_t>(error->line) : 0,
                     TTmxFault::NotXml, message.empty() ? "?" : message);
    }

    std::size_t Line() const {
        const int line = parser_ ? xmlSAX2GetLineNumber(parser_) : 0;
        return line > 0 ? static_cast<std::size_t>(line) : 0;
    }
    // Keeps the first failure and stops the parser: no exception may pass through libxml2.
    void Fail(std::exception_ptr failure) {
        if (!failure_) failure_ = failure;
        if (parser_) xmlStopParser(parser_);
    }
    void Fail(const TError& error) { Fail(std::make_exception_ptr(error)); }
    template <class F>
    void Guard(F f) {
        if (failure_) return;
        try {
            f();
        } catch (...) {
            Fail(std::current_exception());
        }
    }

    void Start(std::string_view name, int count, const xmlChar** attributes);
    void End(std::string_view name);
    void Characters(std::string_view text);
    void FinishUnit();
    void Build(const TVariant& source, const TVariant& target, const std::string& sourceTag,
               const std::string& targetTag);

    std::optional<std::string_view> Attribute(int count, const xmlChar** attributes,
                                              std::string_view name, bool xml = false) const {
        for (int k = 0; k < count; ++k) {
            const xmlChar** a = attributes + 5 * k;
            const bool inXml = Text(a[2]) == kXmlNamespace;
            if (Text(a[0]) == name && (xml ? inXml : a[1] == nullptr))
                return std::string_view(reinterpret_cast<const char*>(a[3]),
                                        static_cast<std::size_t>(a[4] - a[3]));
        }
        return std::nullopt;
    }

    const std::string& path_;
    TMemory::TWriter& writer_;
    const TTmxImportOptions& options_;
    TTmxImportResult& result_;
    std::string sourceOption_, targetOption_;
    xmlParserCtxtPtr parser_ = nullptr;
    std::exception_ptr failure_;
    std::optional<TError> message_;

    std::size_t depth_ = 0;
    std::string headerSource_;
    // The unit being read.
    std::size_t unitDepth_ = 0, unitLine_ = 0;
    std::string unitSource_, unitTime_;
    std::vector<TVariant> variants_;
    std::string* prop_ = nullptr;
    std::string propType_, propText_;
    std::map<std::string, std::string> props_;
    std::size_t variantDepth_ = 0, segDepth_ = 0;
    // Inside a code: its depth; everything in it (sub and nested codes too) is its content.
    std::size_t codeDepth_ = 0;
    std::optional<TBadUnit> bad_;
};

void TTmxReader::Start(std::string_view name, int count, const xmlChar** attributes) {
    ++depth_;
    if (depth_ == 1) {
        if (name != "tmx") Fail(TmxError(path_, Line(), TTmxFault::NotTmx, std::string(name)));
        return;
    }
    if (codeDepth_ != 0) return;
    if (segDepth_ != 0) {
        TVariant& v = variants_.back();
        TPiece piece;
        if (name == "bpt") {
            piece.kind = TPiece::Begin;
        } else if (name == "ept") {
            piece.kind = TPiece::End;
        } else if (name == "ph" || name == "it" || name == "ut") {
            piece.kind = TPiece::Alone;
        } else {
            return;  // hi, and anything else, is read through
        }
        piece.i = Attribute(count, attributes, "i").value_or("");
        piece.x = Attribute(count, attributes, "x").value_or("");
        v.pieces.push_back(std::move(piece));
        codeDepth_ = depth_;
        return;
    }
    if (unitDepth_ != 0) {
        if (variantDepth_ == 0 && depth_ == unitDepth_ + 1 && name == "prop") {
            propType_ = Attribute(count, attributes, "type").value_or("");
            propText_.clear();
            prop_ = &propText_;
        } else if (variantDepth_ == 0 && depth_ == unitDepth_ + 1 && name == "tuv") {
            variantDepth_ = depth_;
            TVariant v;
            auto language = Attribute(count, attributes, "lang", true);
            if (!language) language = Attribute(count, attributes, "lang");
            v.language = language.value_or("");
            v.time = Attribute(count, attributes, "changedate")
                         .value_or(Attribute(count, attributes, "creationdate").value_or(""));
            variants_.push_back(std::move(v));
        } else if (variantDepth_ != 0 && depth_ == variantDepth_ + 1 && name == "seg") {
            segDepth_ = depth_;
            variants_.back().pieces.clear();
        }
        return;
    }
    if (name == "header" && depth_ == 2) {
        headerSource_ = Attribute(count, attributes, "srclang").value_or("");
    } else if (name == "tu") {
        unitDepth_ = depth_;
        unitLine_ = Line();
        unitSource_ = Attribute(count, attributes, "srclang").value_or("");
        unitTime_ = Attribute(count, attributes, "changedate")
                        .value_or(Attribute(count, attributes, "creationdate").value_or(""));
        variants_.clear();
        props_.clear();
        bad_.reset();
    }
}

void TTmxReader::Characters(std::string_view text) {
    if (failure_) return;
    if (segDepth_ != 0) {
        TVariant& v = variants_.back();
        if (v.tooLong) return;
        std::vector<TPiece>& pieces = v.pieces;
        if (codeDepth_ == 0 && (pieces.empty() || pieces.back().kind != TPiece::Literal))
            pieces.emplace_back();
        // Inside a code its content grows; a literal that follows a code starts anew.
        std::string& into = pieces.back().text;
        if (into.size() + text.size() > kMaxSegment) {
            v.tooLong = true;
            into.clear();
            return;
        }
        into += text;
    } else if (prop_) {
        if (prop_->size() + text.size() <= kMaxSegment) *prop_ += text;
    }
}

void TTmxReader::End(std::string_view name) {
    const std::size_t depth = depth_--;
    if (codeDepth_ != 0) {
        if (depth == codeDepth_) codeDepth_ = 0;
        return;
    }
    if (depth == segDepth_) {
        segDepth_ = 0;
    } else if (depth == variantDepth_) {
        variantDepth_ = 0;
    } else if (prop_ && depth == unitDepth_ + 1 && name == "prop") {
        props_[propType_] = std::move(propText_);
        prop_ = nullptr;
    } else if (depth == unitDepth_) {
        FinishUnit();
        unitDepth_ = 0;
    }
}

void TTmxReader::FinishUnit() {
    try {
        for (const TVariant& v : variants_)
            if (v.tooLong) throw TBadUnit{TTmxFault::TooLong, {}};
        // Each variant's language as a tag; the unit's source.
        std::vector<std::string> tags;
        for (const TVariant& v : variants_) {
            // "und" is no language a translation can be stored under.
            const std::optional<std::string> tag = LanguageTag(v.language);
            if (!tag || *tag == "und") throw TBadUnit{TTmxFault::BadLanguage, v.language};
            tags.push_back(*tag);
        }
        std::string source = sourceOption_;
        if (source.empty()) {
            const std::string& named = unitSource_.empty() ? headerSource_ : unitSource_;
            if (!named.empty() && !SameNoCase(named, "*all*")) {
                const std::optional<std::string> tag = LanguageTag(named);
                if (!tag) throw TBadUnit{TTmxFault::BadLanguage, named};
                source = *tag;
            }
        }
        auto listed = [&] {
            std::string all;
            for (const std::string& t : tags) all += (all.empty() ? "" : ", ") + t;
            return all.empty() ? std::string("none") : all;
        };
        bool any = false;
        for (std::size_t s = 0; s < variants_.size(); ++s) {
            if (!source.empty() && tags[s] != source) continue;
            for (std::size_t t = 0; t < variants_.size(); ++t) {
                if (tags[t] == tags[s]) continue;
                if (!targetOption_.empty() && tags[t] != targetOption_) continue;
                any = true;
            }
        }
        if (!any) throw TBadUnit{TTmxFault::MissingLanguage, listed()};
        for (std::size_t s = 0; s < variants_.size(); ++s) {
            if (!source.empty() && tags[s] != source) continue;
            for (std::size_t t = 0; t < variants_.size(); ++t) {
                if (tags[t] == tags[s]) continue;
                if (!targetOption_.empty() && tags[t] != targetOption_) continue;
                Build(variants_[s], variants_[t], tags[s], tags[t]);
            }
        }
    } catch (const TBadUnit& bad) {
        TError error = TmxError(path_, unitLine_, bad.fault, bad.detail);
        if (!options_.SkipBad) return Fail(error);
        result_.Skipped.push_back(std::move(error));
    }
}

void TTmxReader::Build(const TVariant& source, const TVariant& target, const std::string& sourceTag,
                       const std::string& targetTag) {
    const TSegment from = SourceSegment(source.pieces);
    const TSegment to = TargetSegment(target.pieces, from);
    TUnit unit;
    unit.Source = TextualForm(from.pieces);
    unit.Target = TextualForm(to.pieces);
    auto blank = [](const std::string& text) {
        return text.find_first_not_of(" \t\r\n") == std::string::npos;
    };
    if (blank(unit.Source) || blank(unit.Target)) {
        ++result_.Empty;
        return;
    }
    if (!from.placeholders.empty() || !to.placeholders.empty()) {
        unit.Codes = kTableOpen;
        for (const TPlaceholderOf& p : from.placeholders) AppendCodes(unit.Codes, p);
        for (const TPlaceholderOf& p : to.placeholders) AppendCodes(unit.Codes, p);
        unit.Codes += kTableClose;
    }
    unit.Languages = {sourceTag, targetTag};
    unit.Origin = TOrigin::Import;
    unit.Time = TmxTime(unitTime_);
    if (unit.Time == 0) unit.Time = TmxTime(target.time);
    auto prop = [&](std::string_view type) {
        const auto it = props_.find(std::string(type));
        return it == props_.end() ? std::string() : it->second;
    };
    unit.Context = {prop(kPageProp), prop(kBeforeProp), prop(kAfterProp)};
    const std::string kind = prop(kKindProp);
    for (const TKindInfo& info : Kinds())
        if (kind.size() == 1 && kind[0] == info.Letter) unit.Kind = info.Kind;
    if (writer_.Add(unit))
        ++result_.Added;
    else
        ++result_.Updated;
}

struct TParserFree {
    void operator()(xmlParserCtxtPtr p) const {
        if (p->myDoc) xmlFreeDoc(p->myDoc);
        p->myDoc = nullptr;
        xmlFreeParserCtxt(p);
    }
};

struct TFileClose {
    void operator()(const int* fd) const {
        ::close(*fd);
        delete fd;
    }
};

void TTmxReader::Read() {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw CannotOpenError(path_, errno);
    std::unique_ptr<const int, TFileClose> file(new int(fd));
    std::string chunk(kChunk, '\0');
    auto fill = [&]() -> int {
        ssize_t n;
        do {
            n = ::read(fd, chunk.data(), chunk.size());
        } while (n < 0 && errno == EINTR);
        if (n < 0) throw CannotOpenError(path_, errno);
        return static_cast<int>(n);
    };
    int n = fill();
    if (n == 0) throw TmxError(path_, 0, TTmxFault::NotXml, "the file is empty");

    // Only these callbacks: no tree is built, no DTD read, no entity declared or substituted.
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = OnStart;
    sax.endElementNs = OnEnd;
    sax.characters = OnCharacters;
    sax.cdataBlock = OnCharacters;
    sax.reference = OnReference;
    sax.entityDecl = OnEntityDeclaration;
    sax.elementDecl = OnElementDeclaration;
    sax.attributeDecl = OnAttributeDeclaration;
    sax.notationDecl = OnNotationDeclaration;
    sax.unparsedEntityDecl = OnUnparsedEntityDeclaration;
    sax.serror = OnError;
    std::unique_ptr<xmlParserCtxt, TParserFree> parser(
        xmlCreatePushParserCtxt(&sax, this, chunk.data(), n, path_.c_str()));
    if (!parser) throw std::bad_alloc();
    parser_ = parser.get();
    xmlCtxtUseOptions(parser_, XML_PARSE_NONET);
    while (!failure_) {
        n = fill();
        const int rc = xmlParseChunk(parser_, chunk.data(), n, n == 0 ? 1 : 0);
        if (rc != 0 || n == 0) break;
    }
    if (failure_) std::rethrow_exception(failure_);
    if (message_) throw *message_;
    if (!parser_->wellFormed)
        throw TmxError(path_, Line(), TTmxFault::NotXml, "the document is not well-formed");
    if (depth_ != 0 || unitDepth_ != 0)
        throw TmxError(path_, Line(), TTmxFault::NotXml, "the file ends early");
}

// --- writing ---------------------------------------------------------------------------------

// Appends text as XML character data or an attribute value: what XML cannot hold (a control
// character, U+FFFE, U+FFFF, a byte that is no UTF-8) as U+FFFD, a CR as a reference.
void AppendXml(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b >= 0x80) {
            char32_t c = 0;
            const std::size_t len = Utf8CharAt(text, i, c);
            if (len == 0 || c == 0xFFFE || c == 0xFFFF) {
                out += "\xEF\xBF\xBD";
                i += len == 0 ? 1 : len;
            } else {
                out.append(text, i, len);
                i += len;
            }
            continue;
        }
        ++i;
        if (const std::string_view entity = MarkupEntity(static_cast<char>(b)); !entity.empty()) {
            out += entity;
            continue;
        }
        switch (b) {
            case '\r':
                out += "&#13;";
                break;
            case '\t':
            case '\n':
                out += static_cast<char>(b);
                break;
            default:
                if (b < 0x20)
                    out += "\xEF\xBF\xBD";
                else
                    out += static_cast<char>(b);
        }
    }
}

// A segment: literal text and placeholders as codes, numbered by codes (name: i and x).
void AppendSegment(std::string& out, std::string_view text,
                   const std::map<std::string, std::pair<std::string, std::string>>& tags,
                   std::map<std::string, int>& numbers) {
    for (const TSentencePiece& piece : SentencePieces(text)) {
        if (piece.kind == TSentencePiece::Literal) {
            AppendXml(out, piece.text);
            continue;
        }
        auto [number, fresh] =
            numbers.try_emplace(piece.text, static_cast<int>(numbers.size()) + 1);
        (void)fresh;
        const std::string n = std::to_string(number->second);
        const std::string_view letters =
            std::string_view(piece.text).substr(0, piece.text.find_first_of("0123456789"));
        const auto it = tags.find(piece.text);
        switch (piece.kind) {
            case TSentencePiece::Open:
                out += "<bpt i=\"" + n + "\" x=\"" + n + "\">";
                AppendXml(out, it != tags.end() && !it->second.first.empty()
                                   ? it->second.first
                                   : "<" + std::string(letters) + ">");
                out += "</bpt>";
                break;
            case TSentencePiece::Close:
                out += "<ept i=\"" + n + "\">";
                AppendXml(out, it != tags.end() && !it->second.second.empty()
                                   ? it->second.second
                                   : "</" + std::string(letters) + ">");
                out += "</ept>";
                break;
            default:
                out += "<ph x=\"" + n + "\">";
                AppendXml(out, it != tags.end() && !it->second.first.empty()
                                   ? it->second.first
                                   : "<" + std::string(letters) + "/>");
                out += "</ph>";
                break;
        }
    }
}

void AppendProp(std::string& out, std::string_view type, std::string_view value) {
    if (value.empty()) return;
    out += "<prop type=\"";
    out += type;
    out += "\">";
    AppendXml(out, value);
    out += "</prop>\n";
}

// A new file beside path, renamed over it once complete and synced.
class TNewFile {
  public:
    // A symbolic link is written through: the file it names is replaced.
    explicit TNewFile(const std::string& path) : path_(Target(path)) {
        const std::filesystem::path p(path_);
        std::string name =
            (p.parent_path() / ("." + p.filename().string() + ".quillfen-XXXXXX")).string();
        fd_ = ::mkstemp(name.data());
        if (fd_ < 0) throw CannotCreateError(path, errno);
        temporary_ = name;
    }
    ~TNewFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!temporary_.empty()) ::unlink(temporary_.c_str());
    }
    static std::string Target(const std::string& path) {
        std::error_code error;
        if (!std::filesystem::is_symlink(path, error)) return path;
        const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
        return error ? path : target.string();
    }
    void Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw CannotCreateError(path_, errno);
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    void Finish() {
        // The mode a file made anew gets, or the one of the file replaced.
        struct stat old {};
        mode_t mode;
        if (::stat(path_.c_str(), &old) == 0) {
            mode = old.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) throw CannotCreateError(path_, errno);
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) throw CannotCreateError(path_, errno);
        if (::rename(temporary_.c_str(), path_.c_str()) != 0) throw CannotCreateError(path_, errno);
        temporary_.clear();
    }

  private:
    std::string path_, temporary_;
    int fd_ = -1;
};

}  // namespace

TTmxImportResult ImportTmx(TMemory& memory, const std::string& path,
                           const TTmxImportOptions& options) {
    TTmxImportResult result;
    TMemory::TWriter writer(memory);
    TTmxReader(path, writer, options, result).Read();
    writer.Commit();
    return result;
}

std::size_t ExportTmx(TMemory& memory, const std::string& path, const TTmxExportOptions& options) {
    std::optional<std::string> source, target;
    if (!options.SourceLanguage.empty()) {
        source = LanguageTag(options.SourceLanguage);
        if (!source) throw LanguageTagError(options.SourceLanguage);
    }
    if (!options.TargetLanguage.empty()) {
        target = LanguageTag(options.TargetLanguage);
        if (!target) throw LanguageTagError(options.TargetLanguage);
    }
    TNewFile file(path);
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tmx version=\"1.4\">\n<header "
        "creationtool=\"Quillfen\" creationtoolversion=\"" QUILLFEN_VERSION
        "\" segtype=\"sentence\" o-tmf=\"Quillfen\" adminlang=\"en\" srclang=\"";
    out += source.value_or("*all*");
    out += "\" datatype=\"html\"/>\n<body>\n";
    std::size_t count = 0;
    std::vector<TTableEntry> entries;
    memory.ForEachUnit(source.value_or(""), target.value_or(""), [&](const TUnit& unit) {
        std::map<std::string, std::pair<std::string, std::string>> tags;
        if (ReadTable(unit.Codes, 0, entries) != std::string_view::npos)
            for (const TTableEntry& e : entries)
                tags[std::string(e.Name)] = {std::string(e.Open), std::string(e.Close)};
        out += "<tu srclang=\"" + unit.Languages.Source + "\" creationdate=\"" +
               TmxTimeText(unit.Time) + "\">\n";
        AppendProp(out, kKindProp, std::string(1, KindInfo(unit.Kind).Letter));
        AppendProp(out, kOriginProp, OriginName(unit.Origin));
        AppendProp(out, kPageProp, unit.Context.Page);
        AppendProp(out, kBeforeProp, unit.Context.Before);
        AppendProp(out, kAfterProp, unit.Context.After);
        std::map<std::string, int> numbers;
        out += "<tuv xml:lang=\"" + unit.Languages.Source + "\"><seg>";
        AppendSegment(out, unit.Source, tags, numbers);
        out += "</seg></tuv>\n<tuv xml:lang=\"" + unit.Languages.Target + "\"><seg>";
        AppendSegment(out, unit.Target, tags, numbers);
        out += "</seg></tuv>\n</tu>\n";
        ++count;
        if (out.size() >= kChunk) {
            file.Write(out);
            out.clear();
        }
    });
    out += "</body>\n</tmx>\n";
    file.Write(out);
    file.Finish();
    return count;
}

}  // namespace quillfen
