#include "exchange/xliff.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <span>
#include <unordered_map>

#include "core/errors.h"
#include "core/kinds.h"
#include "core/savefile.h"
#include "core/sentences.h"
#include "core/utf8.h"
#include "exchange/export.h"

namespace quillfen {

namespace {

constexpr std::string_view kNamespace = "urn:oasis:names:tc:xliff:document:1.2";
constexpr std::string_view kTool = "quillfen";
constexpr std::string_view kSentenceType = "x-sentence";
constexpr std::string_view kByteType = "x-quillfen-byte-";

// --- writing -------------------------------------------------------------------------------

std::vector<std::string> Files(std::string_view documentPath, std::string_view folderText) {
    return {ExportPath(documentPath, folderText, ".xlf")};
}

// How a byte goes into XML: as it is, as a reference (markup characters, and in attribute
// values the whitespace that normalisation would turn into blanks), as no character XML can
// hold, or as the first byte of a UTF-8 sequence, which is looked at whole.
enum TByteClass : std::uint8_t { kPlain, kMarkup, kWhite, kForbidden, kHigh };

constexpr std::array<TByteClass, 256> MakeByteClasses() {
    std::array<TByteClass, 256> classes{};
    for (int b = 0; b < 256; ++b) classes[b] = b >= 0x80 ? kHigh : b < 0x20 ? kForbidden : kPlain;
    classes['\t'] = classes['\n'] = classes['\r'] = kWhite;
    classes['&'] = classes['<'] = classes['>'] = classes['"'] = kMarkup;
    return classes;
}
constexpr std::array<TByteClass, 256> kByteClasses = MakeByteClasses();

// Appends text as XML character data, or as an attribute value when attribute. A character XML
// cannot hold goes to forbidden byte by byte.
template <class Forbidden>
void AppendXml(std::string& out, std::string_view text, bool attribute, Forbidden forbidden) {
    std::size_t from = 0, i = 0;
    auto flush = [&] { out.append(text.data() + from, i - from); };
    while (i < text.size()) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        const TByteClass c = kByteClasses[b];
        if (c == kPlain) {
            ++i;
            continue;
        }
        if (c == kHigh) {
            char32_t ch = 0;
            const std::size_t len = Utf8CharAt(text, i, ch);
            if (len != 0 && ch != 0xFFFE && ch != 0xFFFF) {
                i += len;
                continue;
            }
            flush();
            const std::size_t n = len == 0 ? 1 : len;
            for (std::size_t k = 0; k < n; ++k) forbidden(static_cast<unsigned char>(text[i + k]));
            from = i += n;
            continue;
        }
        flush();
        if (c == kForbidden) {
            forbidden(b);
        } else if (b == '&') {
            out += "&amp;";
        } else if (b == '<') {
            out += "&lt;";
        } else if (b == '>') {
            out += "&gt;";
        } else if (b == '"') {
            out += attribute ? "&quot;" : "\"";
        } else if (b == '\r' || attribute) {
            // A parser reads a CR in text as LF, and whitespace in a value as a blank.
            out += "&#";
            out += std::to_string(b);
            out += ';';
        } else {
            out += static_cast<char>(b);
        }
        from = ++i;
    }
    flush();
}

// An attribute value or a note, which hold no inline codes: what XML cannot hold shows as
// U+FFFD.
void AppendPlain(std::string& out, std::string_view text, bool attribute) {
    AppendXml(out, text, attribute, [&](unsigned char) { out += "\xEF\xBF\xBD"; });
}

void AppendHex(std::string& out, unsigned char b) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
}

// Text of a source: what XML cannot hold as an inline code of its bytes, numbered in the unit.
class TSourceWriter {
  public:
    explicit TSourceWriter(std::string& out) : out_(out) {}
    void Text(std::string_view text) {
        AppendXml(out_, text, false, [this](unsigned char b) {
            out_ += "<x id=\"byte-";
            out_ += std::to_string(++bytes_);
            out_ += "\" ctype=\"";
            out_ += kByteType;
            AppendHex(out_, b);
            out_ += "\"/>";
        });
    }

  private:
    std::string& out_;
    std::size_t bytes_ = 0;
};

// The element name of the tag at page[at] (a start tag, or an end tag whose start lies outside
// the sentence), lower case; empty when it is not a name a ctype can carry.
std::string ElementName(std::string_view page, std::size_t at) {
    std::string name;
    if (at + 1 < page.size() && page[at + 1] == '/') ++at;
    for (std::size_t i = at + 1; i < page.size(); ++i) {
        char c = page[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
            c == ':') {
            name += c;
            continue;
        }
        if (IsHtmlSpace(c) || c == '/' || c == '>') break;
        return {};
    }
    return name;
}

// The ctype of a placeholder's inline code, as HTML's representation guide for XLIFF gives it:
// a pair's for g, a lone tag's for x (the two take different lists).
std::string CType(std::string_view name, bool paired) {
    static constexpr std::pair<std::string_view, std::string_view> kPairs[] = {
        {"b", "bold"}, {"i", "italic"}, {"u", "underlined"}, {"a", "link"}};
    static constexpr std::pair<std::string_view, std::string_view> kLone[] = {{"br", "lb"},
                                                                              {"img", "image"}};
    using TTable = std::span<const std::pair<std::string_view, std::string_view>>;
    for (const auto& [element, ctype] : paired ? TTable(kPairs) : TTable(kLone))
        if (name == element) return std::string(ctype);
    return name.empty() ? std::string("x-html") : "x-html-" + std::string(name);
}

void AppendSentence(std::string& out, const TDocument& document, std::size_t i) {
    const TPlaceholders& placeholders = document.Placeholders(i);
    const std::string_view page = document.Page();
    TSourceWriter writer(out);
    for (const TSentencePiece& piece : SentencePieces(document.Text(i))) {
        if (piece.kind == TSentencePiece::Literal) {
            writer.Text(piece.text);
            continue;
        }
        if (piece.kind == TSentencePiece::Close) {
            out += "</g>";
            continue;
        }
        const TPlaceholder* placeholder = nullptr;
        for (const TPlaceholder& p : placeholders)
            if (p.Name == piece.text) placeholder = &p;
        const bool paired = piece.kind == TSentencePiece::Open;
        const std::string ctype =
            CType(placeholder ? ElementName(page, placeholder->Begin) : std::string(), paired);
        out += paired ? "<g id=\"" : "<x id=\"";
        AppendPlain(out, piece.text, true);
        out += "\" ctype=\"";
        out += ctype;
        out += paired ? "\">" : "\"/>";
    }
}

// The restype of each kind: "x-" and its name, blanks as hyphens ("x-plain-text").
const std::array<std::string, kKindCount>& ResTypes() {
    static const std::array<std::string, kKindCount> types = [] {
        std::array<std::string, kKindCount> made;
        for (const TKindInfo& kind : Kinds()) {
            std::string type = std::string("x-") + kind.Name;
            for (char& c : type)
                if (c == ' ') c = '-';
            made[static_cast<std::size_t>(kind.Kind)] = std::move(type);
        }
        return made;
    }();
    return types;
}

// The page's language, else the option's, else "und"; an option that is no language tag is
// refused even where the page names its own.
std::string SourceLanguage(const TDocument& document, const TExportOptions& options) {
    std::optional<std::string> option;
    if (!options.SourceLanguage.empty()) {
        option = LanguageTag(options.SourceLanguage);
        if (!option) throw LanguageTagError(options.SourceLanguage);
    }
    if (auto tag = LanguageTag(PageLanguage(document))) return *tag;
    return option.value_or("und");
}

void Export(const TDocument& document, const std::string& documentPath,
            const std::string& folderText, const TExportOptions& options) {
    const std::string bytes = XliffBytes(document, documentPath, options);
    WriteFileAtomically(ExportPath(documentPath, folderText, ".xlf"), bytes);
}

// --- reading -------------------------------------------------------------------------------

// The file is read by libxml2's SAX2 parser, without a tree: a tree of a large page's file
// costs many times the parse in allocations.

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The byte an inline code of ours stands for, or -1.
int ByteCode(std::string_view ctype) {
    if (ctype.size() != kByteType.size() + 2 || !ctype.starts_with(kByteType)) return -1;
    const int high = HexDigit(ctype[kByteType.size()]);
    const int low = HexDigit(ctype[kByteType.size() + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

std::string_view Text(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// An attribute of a start tag as SAX2 gives them (name, prefix, URI, value, value's end), by
// its name without a prefix; nullopt if the tag has none.
std::optional<std::string_view> Attribute(int count, const xmlChar** attributes,
                                          std::string_view name) {
    for (int k = 0; k < count; ++k) {
        const xmlChar** a = attributes + 5 * k;
        if (a[1] == nullptr && Text(a[0]) == name)
            return std::string_view(reinterpret_cast<const char*>(a[3]),
                                    static_cast<std::size_t>(a[4] - a[3]));
    }
    return std::nullopt;
}

class TXliffReader {
  public:
    explicit TXliffReader(const std::string& path) : path_(path) {}

    TTranslationFile Read(std::string_view bytes);

  private:
    enum class TIn : std::uint8_t { Nothing, Source, Target };
    // A source or target as read: literal stretches and placeholders as written ("<b1>").
    struct TPiece {
        bool placeholder;
        std::string text;
    };

    static TXliffReader& Of(void* context) {
        return *static_cast<TXliffReader*>(static_cast<xmlParserCtxtPtr>(context)->_private);
    }
    static void OnStart(void* context, const xmlChar* name, const xmlChar*, const xmlChar*, int,
                        const xmlChar**, int count, int, const xmlChar** attributes) {
        Of(context).Start(Text(name), count, attributes);
    }
    static void OnEnd(void* context, const xmlChar* name, const xmlChar*, const xmlChar*) {
        Of(context).End(Text(name));
    }
    static void OnCharacters(void* context, const xmlChar* text, int length) {
        Of(context).Characters(std::string_view(reinterpret_cast<const char*>(text),
                                                static_cast<std::size_t>(length)));
    }
    static void OnReference(void* context, const xmlChar* name) {
        Of(context).Fail(TXliffFault::UnknownEntity, std::string(Text(name)));
    }
    static void OnEntityDeclaration(void* context, const xmlChar*, int, const xmlChar*,
                                    const xmlChar*, xmlChar*) {
        // Nothing declared is kept, so nothing can be expanded or fetched.
        Of(context).Fail(TXliffFault::EntityDeclared, {});
    }
    static void OnError(void* context, xmlErrorPtr error) {
        TXliffReader& reader = Of(context);
        if (!error || error->level < XML_ERR_ERROR || !reader.message_.empty()) return;
        std::string message = error->message ? error->message : "";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        reader.message_ = message.empty() ? "?" : message;
        reader.messageLine_ = error->line > 0 ? static_cast<std::size_t>(error->line) : 0;
    }

    std::size_t Line() const {
        const int line = xmlSAX2GetLineNumber(parser_);
        return line > 0 ? static_cast<std::size_t>(line) : 0;
    }

    // Keeps the first fault and stops the parser: no exception may pass through libxml2.
    void Fail(TXliffFault fault, const std::string& detail, std::size_t line = 0) {
        if (!fault_) fault_ = XliffError(path_, line ? line : Line(), fault, detail);
        xmlStopParser(parser_);
    }

    void Start(std::string_view name, int count, const xmlChar** attributes);
    void End(std::string_view name);
    void Characters(std::string_view text) {
        if (in_ != TIn::Nothing)
            Literal() += text;
        else if (inStamp_)
            stamp_ += text;
        else if (context_)
            *context_ += text;
    }
    // Whether a unit of a file that is not ours is kept; takes its id from its location.
    bool KeepForeign();

    std::string& Literal() {
        if (pieces_.empty() || pieces_.back().placeholder) pieces_.push_back({false, {}});
        return pieces_.back().text;
    }
    void Placeholder(std::string_view before, std::string_view id, std::string_view after) {
        std::string written(before);
        written += id;
        written += after;
        pieces_.push_back({true, std::move(written)});
    }
    // The pieces in the textual form: a sentence's literal stretches escaped.
    std::string Assemble(bool sentence) const;

    const std::string& path_;
    xmlParserCtxtPtr parser_ = nullptr;
    std::optional<TError> fault_;
    std::string message_;  // the parser's first error
    std::size_t messageLine_ = 0;

    TTranslationFile file_;
    std::size_t depth_ = 0;              // of the element being read, the root 1
    std::size_t header_ = 0, unit_ = 0;  // the depth of the header or trans-unit we are in
    bool inStamp_ = false;
    std::string stamp_;
    bool ours_ = false;  // the file element being read has our stamp
    std::string resType_;
    // A unit's location, as a PO's "#: page:number" becomes in XLIFF.
    bool location_ = false;
    std::string locationFile_, locationLine_;
    std::string* context_ = nullptr;
    // The first unit of each id, made when a file that is not ours brings units.
    std::optional<std::unordered_map<std::string, std::size_t>> index_;
    TTranslationUnit read_;
    bool sentence_ = false, hasSource_ = false, hasTarget_ = false, translated_ = false;
    TIn in_ = TIn::Nothing;
    std::vector<TPiece> pieces_;
    // The inline elements open in a source or target: a g's id, or nullopt for a mrk.
    std::vector<std::optional<std::string>> inline_;
};

void TXliffReader::Start(std::string_view name, int count, const xmlChar** attributes) {
    ++depth_;
    if (depth_ == 1) {
        if (name != "xliff") Fail(TXliffFault::NotXliff, std::string(name));
        return;
    }
    if (in_ != TIn::Nothing) {
        if (name == "g") {
            const std::string_view id = Attribute(count, attributes, "id").value_or("");
            Placeholder("<", id, ">");
            inline_.push_back(std::string(id));
        } else if (name == "x") {
            const int b = ByteCode(Attribute(count, attributes, "ctype").value_or(""));
            if (b >= 0)
                Literal() += static_cast<char>(b);
            else
                Placeholder("<", Attribute(count, attributes, "id").value_or(""), "/>");
            // An x has no content; its end pops this.
            inline_.push_back(std::nullopt);
        } else if (name == "mrk") {
            inline_.push_back(std::nullopt);
        } else {
            Fail(TXliffFault::UnknownInline, read_.Id + ": " + std::string(name));
        }
        return;
    }
    if (unit_ != 0) {
        if (depth_ == unit_ + 2 && location_ && name == "context") {
            const auto type = Attribute(count, attributes, "context-type");
            context_ = type == "linenumber"   ? &locationLine_
                       : type == "sourcefile" ? &locationFile_
                                              : nullptr;
            if (context_) context_->clear();
        }
        // Only the unit's own source and target count, not those of an alt-trans.
        if (depth_ != unit_ + 1) return;
        if (name == "context-group") {
            location_ = Attribute(count, attributes, "purpose") == "location";
        } else if (name == "source" && !hasSource_) {
            hasSource_ = true;
            in_ = TIn::Source;
        } else if (name == "target" && !hasTarget_) {
            hasTarget_ = true;
            const std::optional<std::string_view> state = Attribute(count, attributes, "state");
            translated_ = state != "new" && state != "needs-translation";
            in_ = TIn::Target;
        }
        pieces_.clear();
        return;
    }
    if (name == "trans-unit") {
        unit_ = depth_;
        read_ = {};
        read_.Line = Line();
        const std::optional<std::string_view> id = Attribute(count, attributes, "id");
        if (!id) return Fail(TXliffFault::UnitWithoutId, {}, read_.Line);
        read_.Id = *id;
        sentence_ = Attribute(count, attributes, "extype") == kSentenceType;
        hasSource_ = hasTarget_ = translated_ = location_ = false;
        resType_ = Attribute(count, attributes, "restype").value_or("");
        locationFile_.clear();
        locationLine_.clear();
    } else if (name == "file") {
        ours_ = false;
    } else if (name == "header") {
        header_ = depth_;
    } else if (name == "note" && header_ != 0 && depth_ == header_ + 1 &&
               Attribute(count, attributes, "from") == kTool) {
        inStamp_ = true;
        stamp_.clear();
    }
}

void TXliffReader::End(std::string_view name) {
    const std::size_t depth = depth_--;
    if (in_ != TIn::Nothing) {
        if (!inline_.empty()) {
            if (inline_.back() && name == "g") Placeholder("</", *inline_.back(), ">");
            inline_.pop_back();
            return;
        }
        if (in_ == TIn::Source) {
            // A unit not marked as a sentence is one when its source has placeholders.
            for (const TPiece& piece : pieces_) sentence_ = sentence_ || piece.placeholder;
            read_.Source = Assemble(sentence_);
        } else if (translated_) {
            std::string target = Assemble(sentence_);
            if (!target.empty()) read_.Target = std::move(target);
        }
        in_ = TIn::Nothing;
        return;
    }
    if (depth == unit_) {
        unit_ = 0;
        if (!hasSource_) return Fail(TXliffFault::UnitWithoutSource, read_.Id, read_.Line);
        if (ours_ || KeepForeign()) file_.Units.push_back(std::move(read_));
    } else if (unit_ != 0) {
        if (depth == unit_ + 2) context_ = nullptr;
        if (depth == unit_ + 1) location_ = false;
    } else if (depth == header_) {
        header_ = 0;
    } else if (inStamp_) {
        inStamp_ = false;
        ours_ = true;
        if (!file_.Stamp) file_.Stamp = ParseSourceStamp(stamp_);
    }
}

bool IsNumber(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// po2xliff -t, given our file as its template, leaves our units as they were and adds a file of
// its own with a unit for each PO entry: a new id, the entry's text (in the textual form, as the
// PO holds it) and translation, and the entry's "#: page:number" as its location. Such a unit
// gives its target to our unit of that number.
bool TXliffReader::KeepForeign() {
    if (resType_ == "x-gettext-domain-header") return false;
    if (IsNumber(locationLine_))
        read_.Id = locationLine_;
    else if (IsNumber(locationFile_))
        read_.Id = locationFile_;
    if (!index_) {
        index_.emplace();
        for (std::size_t k = 0; k < file_.Units.size(); ++k)
            index_->try_emplace(file_.Units[k].Id, k);
    }
    const auto [at, fresh] = index_->try_emplace(read_.Id, file_.Units.size());
    if (fresh) return true;
    TTranslationUnit& first = file_.Units[at->second];
    if (!read_.Target) return false;
    if (first.Target) return true;
    first.Target = std::move(read_.Target);
    return false;
}

std::string TXliffReader::Assemble(bool sentence) const {
    if (pieces_.size() == 1 && !pieces_[0].placeholder && !sentence) return pieces_[0].text;
    std::string out;
    for (std::size_t k = 0; k < pieces_.size(); ++k) {
        const TPiece& piece = pieces_[k];
        if (piece.placeholder)
            out += piece.text;
        else if (sentence)
            AppendSentenceLiteral(out, piece.text, k + 1 < pieces_.size());
        else
            out += piece.text;
    }
    return out;
}

struct TParserFree {
    void operator()(xmlParserCtxtPtr p) const {
        if (p->myDoc) xmlFreeDoc(p->myDoc);
        p->myDoc = nullptr;
        xmlFreeParserCtxt(p);
    }
};

TTranslationFile TXliffReader::Read(std::string_view bytes) {
    if (bytes.empty()) throw XliffError(path_, 0, TXliffFault::NotXml, "the file is empty");
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        throw XliffError(path_, 0, TXliffFault::NotXml, "larger than 2 GiB");
    std::unique_ptr<xmlParserCtxt, TParserFree> parser(
        xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size())));
    if (!parser || !parser->sax) throw std::bad_alloc();
    parser_ = parser.get();
    // Only these callbacks: no tree is built, no DTD read, no entity declared or substituted.
    xmlSAXHandler& sax = *parser->sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = OnStart;
    sax.endElementNs = OnEnd;
    sax.characters = OnCharacters;
    sax.cdataBlock = OnCharacters;
    sax.reference = OnReference;
    sax.entityDecl = OnEntityDeclaration;
    sax.serror = OnError;
    parser->_private = this;
    parser->userData = parser.get();
    xmlCtxtUseOptions(parser.get(), XML_PARSE_NONET);
    xmlParseDocument(parser.get());
    if (fault_) throw *fault_;
    if (!parser->wellFormed || !message_.empty())
        throw XliffError(path_, messageLine_, TXliffFault::NotXml,
                         message_.empty() ? "?" : message_);
    return std::move(file_);
}

TTranslationFile ReadTranslation(std::string_view bytes, const std::string& path) {
    return TXliffReader(path).Read(bytes);
}

}  // namespace

std::string XliffBytes(const TDocument& document, const std::string& documentPath,
                       const TExportOptions& options) {
    const std::string source = SourceLanguage(document, options);
    std::optional<std::string> target;
    if (!options.TargetLanguage.empty()) {
        target = LanguageTag(options.TargetLanguage);
        if (!target) throw LanguageTagError(options.TargetLanguage);
    }
    const auto& resTypes = ResTypes();

    std::string out;
    out.reserve(document.Page().size() / 2 + document.PhraseCount() * 96 + 512);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\" xmlns=\"";
    out += kNamespace;
    out += "\">\n<file original=\"";
    AppendPlain(out, ExportFileName(documentPath), true);
    out += "\" datatype=\"html\" source-language=\"";
    out += source;
    if (target) {
        out += "\" target-language=\"";
        out += *target;
    }
    out += "\">\n<header><note from=\"";
    out += kTool;
    out += "\">";
    out += FormatSourceStamp(StampOf(document));
    out += "</note></header>\n<body>\n";
    for (std::size_t i = 0; i < document.PhraseCount(); ++i) {
        const bool sentence = document.Spans()[i].Source == TSource::Sentence;
        out += "<trans-unit id=\"";
        out += std::to_string(i + 1);
        out += "\" restype=\"";
        out += resTypes[static_cast<std::size_t>(document.Kind(i))];
        if (sentence) {
            out += "\" extype=\"";
            out += kSentenceType;
        }
        out += "\" xml:space=\"preserve\">\n<source>";
        if (sentence)
            AppendSentence(out, document, i);
        else
            TSourceWriter(out).Text(document.Text(i));
        out += "</source>\n";
        if (const std::string_view note = document.Note(i); !note.empty()) {
            out += "<note>";
            AppendPlain(out, note, false);
            out += "</note>\n";
        }
        out += "</trans-unit>\n";
    }
    out += "</body>\n</file>\n</xliff>\n";
    return out;
}

const TExchangeFormat kXliffFormat = {
    "xliff", "NAME.xlf, XLIFF 1.2 for translation tools, merged back into the page",
    Files,   Export,
    nullptr, ReadTranslation,
};

}  // namespace quillfen
