#include "exchange/xliff.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <array>
#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>

#include "core/errors.h"
#include "core/kinds.h"
#include "core/savefile.h"
#include "core/sentences.h"
#include "core/tokenizer.h"
#include "core/utf8.h"
#include "exchange/export.h"

namespace quillfen {

namespace {

constexpr std::string_view kNamespace = "urn:oasis:names:tc:xliff:document:1.2";
constexpr std::string_view kTool = "quillfen";
constexpr std::string_view kSentenceType = "x-sentence";
constexpr std::string_view kByteType = "x-quillfen-byte-";

// --- writing -------------------------------------------------------------------------------

std::string XliffPath(std::string_view documentPath, std::string_view folderText) {
    std::string path(folderText);
    path += kPathSeparator;
    path += ExportBaseName(documentPath);
    path += ".xlf";
    return path;
}

std::vector<std::string> Files(std::string_view documentPath, std::string_view folderText) {
    return {XliffPath(documentPath, folderText)};
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

// The element name of the tag at page[at], lower case; empty when it is not a name a ctype can
// carry.
std::string ElementName(std::string_view page, std::size_t at) {
    std::string name;
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

// The language of the page's root element: the lang (else the xml:lang) of its html start tag.
class TRootLanguage final : public TTokenSink {
  public:
    struct TFound {};
    void Text(std::size_t, std::size_t, TTextMode) override {}
    void Tag(const TTagToken& tag) override {
        if (tag.end || !tag.html || !NameIs(tag.name, "html")) return;
        ForEachAttribute(tag, [&](const TAttribute& a) {
            const bool plain = NameIs(a.name, "lang");
            if (plain || NameIs(a.name, "xml:lang")) {
                Language = a.value;
                if (plain) return false;
            }
            return true;
        });
        // The first html start tag gives the root its attributes; the rest need not be read.
        throw TFound{};
    }
    std::string_view Language;
};

std::string_view PageLanguage(std::string_view page) {
    TRootLanguage sink;
    try {
        Tokenize(page, sink);
    } catch (const TRootLanguage::TFound&) {
    }
    return sink.Language;
}

std::string SourceLanguage(const TDocument& document, const TExportOptions& options) {
    if (auto tag = LanguageTag(PageLanguage(document.Page()))) return *tag;
    if (options.SourceLanguage.empty()) return "und";
    if (auto tag = LanguageTag(options.SourceLanguage)) return *tag;
    throw LanguageTagError(options.SourceLanguage);
}

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
    AppendPlain(out, std::filesystem::path(documentPath).filename().string(), true);
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

void Export(const TDocument& document, const std::string& documentPath,
            const std::string& folderText, const TExportOptions& options) {
    const std::string bytes = XliffBytes(document, documentPath, options);
    WriteFileAtomically(XliffPath(documentPath, folderText), bytes);
}

// --- reading -------------------------------------------------------------------------------

struct TParse {
    std::string path;
    long entityLine = 0;  // where an entity was declared, if any
    bool entity = false;
    std::string message;  // the parser's first error
    long line = 0;
};

void OnEntityDeclaration(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*,
                         xmlChar*) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    auto* parse = static_cast<TParse*>(parser->_private);
    if (!parse->entity) {
        parse->entity = true;
        parse->entityLine = xmlSAX2GetLineNumber(context);
    }
    // Nothing declared is kept, so nothing can be expanded or fetched.
    xmlStopParser(parser);
}

void OnError(void* context, xmlErrorPtr error) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    auto* parse = static_cast<TParse*>(parser->_private);
    if (!error || error->level < XML_ERR_ERROR || !parse->message.empty()) return;
    std::string message = error->message ? error->message : "";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    parse->message = message.empty() ? "?" : message;
    parse->line = error->line;
}

struct TParserFree {
    void operator()(xmlParserCtxtPtr p) const { xmlFreeParserCtxt(p); }
};
struct TDocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};

std::size_t LineOf(const xmlNode* node) {
    const long line = xmlGetLineNo(node);
    return line > 0 ? static_cast<std::size_t>(line) : 0;
}

bool Named(const xmlNode* node, std::string_view name) {
    return node->type == XML_ELEMENT_NODE && node->name &&
           name == reinterpret_cast<const char*>(node->name);
}

std::optional<std::string> Attribute(const xmlNode* node, const char* name) {
    xmlChar* value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value) return std::nullopt;
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

std::string Content(const xmlNode* node) {
    xmlChar* value = xmlNodeGetContent(node);
    if (!value) return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The byte an inline code of ours stands for, or -1.
int ByteCode(const std::optional<std::string>& ctype) {
    if (!ctype || ctype->size() != kByteType.size() + 2 || !ctype->starts_with(kByteType))
        return -1;
    const int high = HexDigit((*ctype)[kByteType.size()]);
    const int low = HexDigit((*ctype)[kByteType.size() + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// A source's or target's content in the textual form: a sentence's literal stretches escaped,
// g as "<id>...</id>", x as "<id/>", our byte codes as their bytes, mrk as its content.
class TTextReader {
  public:
    TTextReader(const TParse& parse, const std::string& unit, bool sentence)
        : parse_(parse), unit_(unit), sentence_(sentence) {}

    std::string Read(const xmlNode* element) {
        out_.clear();
        literal_.clear();
        Walk(element);
        Flush(false);
        return std::move(out_);
    }

  private:
    void Flush(bool placeholderFollows) {
        if (sentence_)
            AppendSentenceLiteral(out_, literal_, placeholderFollows);
        else
            out_ += literal_;
        literal_.clear();
    }

    void Placeholder(const xmlNode* node, std::string_view before, std::string_view after) {
        Flush(true);
        out_ += before;
        out_ += Attribute(node, "id").value_or("");
        out_ += after;
    }

    void Walk(const xmlNode* element) {
        for (const xmlNode* node = element->children; node; node = node->next) {
            switch (node->type) {
                case XML_TEXT_NODE:
                case XML_CDATA_SECTION_NODE:
                    if (node->content) literal_ += reinterpret_cast<const char*>(node->content);
                    break;
                case XML_ENTITY_REF_NODE:
                    throw XliffError(parse_.path, LineOf(node), TXliffFault::UnknownEntity,
                                     reinterpret_cast<const char*>(node->name));
                case XML_ELEMENT_NODE:
                    if (Named(node, "g")) {
                        Placeholder(node, "<", ">");
                        Walk(node);
                        Placeholder(node, "</", ">");
                    } else if (Named(node, "x")) {
                        if (const int b = ByteCode(Attribute(node, "ctype")); b >= 0)
                            literal_ += static_cast<char>(b);
                        else
                            Placeholder(node, "<", "/>");
                    } else if (Named(node, "mrk")) {
                        Walk(node);
                    } else {
                        throw XliffError(parse_.path, LineOf(node), TXliffFault::UnknownInline,
                                         unit_ + ": " + reinterpret_cast<const char*>(node->name));
                    }
                    break;
                default:  // comments, processing instructions
                    break;
            }
        }
    }

    const TParse& parse_;
    const std::string& unit_;
    bool sentence_;
    std::string out_, literal_;
};

bool HasInlineCodes(const xmlNode* element) {
    for (const xmlNode* node = element->children; node; node = node->next)
        if (Named(node, "g") || (Named(node, "x") && ByteCode(Attribute(node, "ctype")) < 0) ||
            (Named(node, "mrk") && HasInlineCodes(node)))
            return true;
    return false;
}

const xmlNode* Child(const xmlNode* parent, std::string_view name) {
    for (const xmlNode* node = parent->children; node; node = node->next)
        if (Named(node, name)) return node;
    return nullptr;
}

TTranslationUnit ReadUnit(const TParse& parse, const xmlNode* unit) {
    TTranslationUnit read;
    read.Line = LineOf(unit);
    const std::optional<std::string> id = Attribute(unit, "id");
    if (!id) throw XliffError(parse.path, read.Line, TXliffFault::UnitWithoutId);
    read.Id = *id;
    const xmlNode* source = Child(unit, "source");
    if (!source) throw XliffError(parse.path, read.Line, TXliffFault::UnitWithoutSource, read.Id);
    const bool sentence =
        Attribute(unit, "extype") == std::string(kSentenceType) || HasInlineCodes(source);
    TTextReader reader(parse, read.Id, sentence);
    read.Source = reader.Read(source);
    if (const xmlNode* target = Child(unit, "target")) {
        const std::optional<std::string> state = Attribute(target, "state");
        if (state != "new" && state != "needs-translation") {
            std::string text = reader.Read(target);
            if (!text.empty()) read.Target = std::move(text);
        }
    }
    return read;
}

// Collects the units of file, group and body elements, in document order, and the stamp of the
// first header note of ours.
void ReadUnits(const TParse& parse, const xmlNode* parent, TTranslationFile& file) {
    for (const xmlNode* node = parent->children; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) continue;
        if (Named(node, "trans-unit")) {
            file.Units.push_back(ReadUnit(parse, node));
        } else if (Named(node, "note")) {
            if (!file.Stamp && parent->name &&
                std::strcmp(reinterpret_cast<const char*>(parent->name), "header") == 0 &&
                Attribute(node, "from") == std::string(kTool))
                file.Stamp = ParseSourceStamp(Content(node));
        } else if (Named(node, "file") || Named(node, "header") || Named(node, "body") ||
                   Named(node, "group")) {
            ReadUnits(parse, node, file);
        }
    }
}

TTranslationFile ReadTranslation(std::string_view bytes, const std::string& path) {
    TParse parse;
    parse.path = path;
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        throw XliffError(path, 0, TXliffFault::NotXml, "larger than 2 GiB");
    std::unique_ptr<xmlParserCtxt, TParserFree> parser(xmlNewParserCtxt());
    if (!parser || !parser->sax) throw std::bad_alloc();
    parser->_private = &parse;
    parser->sax->entityDecl = OnEntityDeclaration;
    parser->sax->serror = OnError;
    // No network, no DTD loaded, no entity substituted; CDATA read as text; line numbers beyond
    // 65535 kept.
    const int options = XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_BIG_LINES;
    std::unique_ptr<xmlDoc, TDocFree> doc(xmlCtxtReadMemory(
        parser.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options));
    if (parse.entity)
        throw XliffError(path, static_cast<std::size_t>(std::max(parse.entityLine, 0L)),
                         TXliffFault::EntityDeclared);
    if (!doc || !parser->wellFormed)
        throw XliffError(path, static_cast<std::size_t>(std::max(parse.line, 0L)),
                         TXliffFault::NotXml, parse.message.empty() ? "?" : parse.message);
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root || !Named(root, "xliff"))
        throw XliffError(path, root ? LineOf(root) : 0, TXliffFault::NotXliff,
                         root ? reinterpret_cast<const char*>(root->name) : "");
    TTranslationFile file;
    ReadUnits(parse, root, file);
    return file;
}

}  // namespace

std::optional<std::string> LanguageTag(std::string_view text) {
    while (!text.empty() && IsHtmlSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsHtmlSpace(text.back())) text.remove_suffix(1);
    // [a-zA-Z]{1,8}(-[a-zA-Z0-9]{1,8})*, the form XML Schema's language type takes, with the
    // case BCP 47 writes: language lower, script title, region upper (until a singleton).
    std::string tag;
    std::size_t subtag = 0;
    bool singleton = false;
    while (true) {
        std::size_t n = 0;
        while (n < text.size() && text[n] != '-' && text[n] != '_') ++n;
        std::string part(text.substr(0, n));
        if (part.empty() || part.size() > 8) return std::nullopt;
        for (char& c : part) {
            const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            if (!letter && !(subtag > 0 && c >= '0' && c <= '9')) return std::nullopt;
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        if (subtag > 0 && !singleton) {
            if (part.size() == 2) {
                for (char& c : part)
                    if (c >= 'a') c = static_cast<char>(c - 'a' + 'A');
            } else if (part.size() == 4 && part[0] >= 'a') {
                part[0] = static_cast<char>(part[0] - 'a' + 'A');
            }
        }
        if (subtag > 0 && part.size() == 1) singleton = true;
        if (subtag > 0) tag += '-';
        tag += part;
        ++subtag;
        if (n == text.size()) return tag;
        text.remove_prefix(n + 1);
    }
}

const TExchangeFormat kXliffFormat = {
    "xliff", "NAME.xlf, XLIFF 1.2 for translation tools, merged back into the page",
    Files,   Export,
    nullptr, ReadTranslation,
};

}  // namespace quillfen
