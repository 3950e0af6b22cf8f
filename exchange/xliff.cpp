#include "exchange/xliff.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <deque>
#include <memory>
#include <span>

#include "core/errors.h"
#include "core/files/savefile.h"
#include "core/markup/kinds.h"
#include "core/markup/sentences.h"
#include "core/text/ascii.h"
#include "core/text/encoding.h"
#include "core/text/utf8.h"
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
        const char c = LowerAZ(page[i]);
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

// text in the textual form of phrase i (its own, or a translation with its placeholders).
void AppendSentence(std::string& out, const TDocument& document, std::size_t i,
                    std::string_view text) {
    const TPlaceholders& placeholders = document.Placeholders(i);
    const std::string_view page = document.Page();
    TSourceWriter writer(out);
    for (const TSentencePiece& piece : SentencePieces(text)) {
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

// The XLIFF file of a document, made unit by unit as the file is written: a page of many short
// phrases gives a file several times its size, which is never held whole. Refuses a language
// option that is no language tag when it is made.
class TXliffWriter final : public TPieces::TProducer {
  public:
    TXliffWriter(const TDocument& document, const std::string& documentPath,
                 const TExportOptions& options, const TXliffContent& content = {})
        : document_(document),
          documentPath_(documentPath),
          source_(SourceLanguage(document, options)),
          content_(content) {
        if (!options.TargetLanguage.empty()) {
            target_ = LanguageTag(options.TargetLanguage);
            if (!target_) throw LanguageTagError(options.TargetLanguage);
        }
        for (const TKindInfo& kind : Kinds())
            resTypes_[static_cast<std::size_t>(kind.Kind)] = ResTypeOf(kind.Kind);
    }

    void Restart() override {
        next_ = 0;
        stage_ = TStage::Head;
    }

    bool Next(std::string_view& part) override {
        constexpr std::size_t kBatch = std::size_t{1} << 16;
        out_.clear();
        if (stage_ == TStage::Head) AppendHead();
        while (stage_ == TStage::Units && out_.size() < kBatch) {
            if (next_ == document_.PhraseCount()) {
                out_ += "</body>\n</file>\n</xliff>\n";
                stage_ = TStage::End;
            } else {
                AppendUnit(next_++);
            }
        }
        part = out_;
        return !out_.empty();
    }

  private:
    enum class TStage : std::uint8_t { Head, Units, End };
    void AppendHead();
    void AppendUnit(std::size_t i);
    void AppendText(std::string_view text, bool sentence, std::size_t i);

    const TDocument& document_;
    const std::string& documentPath_;
    const std::string source_;
    const TXliffContent content_;
    std::optional<std::string> target_;
    std::array<std::string, kKindCount> resTypes_;
    std::size_t next_ = 0;
    TStage stage_ = TStage::Head;
    std::string out_;
};

void TXliffWriter::AppendHead() {
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\" xmlns=\"";
    out_ += kNamespace;
    out_ += "\">\n<file original=\"";
    AppendPlain(out_, content_.Original.empty() ? ExportFileName(documentPath_) : content_.Original,
                true);
    out_ += "\" datatype=\"html\" source-language=\"";
    out_ += source_;
    if (target_) {
        out_ += "\" target-language=\"";
        out_ += *target_;
    }
    out_ += "\">\n<header><note from=\"";
    out_ += kTool;
    out_ += "\">";
    out_ += FormatSourceStamp(StampOf(document_));
    out_ += "</note></header>\n<body>\n";
    stage_ = TStage::Units;
}

void TXliffWriter::AppendUnit(std::size_t i) {
    if (content_.Include && !content_.Include(i)) return;
    const bool sentence = document_.Spans()[i].Source == TSource::Sentence;
    out_ += "<trans-unit id=\"";
    out_ += std::to_string(i + 1);
    out_ += "\" restype=\"";
    out_ += resTypes_[static_cast<std::size_t>(document_.Kind(i))];
    if (sentence) {
        out_ += "\" extype=\"";
        out_ += kSentenceType;
    }
    out_ += "\" xml:space=\"preserve\">\n<source>";
    AppendText(document_.Text(i), sentence, i);
    out_ += "</source>\n";
    std::optional<TXliffTarget> target;
    if (content_.Target) target = content_.Target(i);
    if (target) {
        out_ += "<target state=\"";
        out_ += target->State;
        out_ += "\">";
        AppendText(target->Text, sentence, i);
        out_ += "</target>\n";
        if (target->OldSource) {
            // What the draft translated is another page's text: its placeholders are shown as
            // written, not as this phrase's codes.
            out_ += "<alt-trans match-quality=\"" + std::to_string(target->Score) + "\" origin=\"" +
                    std::string(kTool) + "\">\n<source>";
            TSourceWriter(out_).Text(*target->OldSource);
            out_ += "</source>\n<target>";
            AppendText(target->Text, sentence, i);
            out_ += "</target>\n</alt-trans>\n";
        }
    }
    if (const std::string_view note = document_.Note(i); !note.empty()) {
        out_ += "<note>";
        AppendPlain(out_, note, false);
        out_ += "</note>\n";
    }
    out_ += "</trans-unit>\n";
}

void TXliffWriter::AppendText(std::string_view text, bool sentence, std::size_t i) {
    if (sentence)
        AppendSentence(out_, document_, i, text);
    else
        TSourceWriter(out_).Text(text);
}

void Export(const TDocument& document, const std::string& documentPath,
            const std::string& folderText, const TExportOptions& options) {
    TXliffWriter writer(document, documentPath, options);
    WriteFileAtomically(ExportPath(documentPath, folderText, ".xlf"), TPieces(writer));
}

// --- reading -------------------------------------------------------------------------------

// The file is read by libxml2's SAX2 parser, without a tree: a tree of a large page's file
// costs many times the parse in allocations.

// The byte an inline code of ours stands for, or -1.
int ByteCode(std::string_view ctype) {
    if (ctype.size() != kByteType.size() + 2 || !ctype.starts_with(kByteType)) return -1;
    const int high = HexValue(ctype[kByteType.size()]);
    const int low = HexValue(ctype[kByteType.size() + 1]);
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

// A header (a PO file's, as po2xliff makes a unit of it) is kept whole up to this; a stamp and a
// unit's location are short.
constexpr std::size_t kHeaderLimit = std::size_t{1} << 16;
constexpr std::size_t kNoteLimit = 1024;
constexpr std::size_t kLocationLimit = 64;
constexpr std::string_view kHeaderType = "x-gettext-domain-header";

// Appends text to into as far as it stays within limit; false when some was left out.
bool AppendWithin(std::string& into, std::string_view text, std::size_t limit) {
    if (into.size() >= limit) return text.empty();
    const std::size_t room = limit - into.size();
    into.append(text.substr(0, room));
    return text.size() <= room;
}

struct TParserFree {
    void operator()(xmlParserCtxtPtr p) const {
        if (p->myDoc) xmlFreeDoc(p->myDoc);
        p->myDoc = nullptr;
        xmlFreeParserCtxt(p);
    }
};

// The file is read a part at a time by libxml2's push parser, whose SAX2 callbacks queue each
// unit as it ends; a merge takes them from the queue, so that only a part of the file and a few
// units are in memory at once.
class TXliffReader final : public TUnitReader {
  public:
    TXliffReader(std::unique_ptr<TByteInput> input, const std::string& path,
                 const TReadLimits& limits)
        : input_(std::move(input)), path_(path), limits_(limits) {}

    std::optional<TSourceStamp> Stamp() override {
        while (units_.empty() && !ended_) Feed();
        return stamp_;
    }

    std::string Original() override {
        while (units_.empty() && !ended_) Feed();
        return original_.value_or("");
    }

    bool Next(TTranslationUnit& unit) override {
        while (units_.empty() && !ended_) Feed();
        if (units_.empty()) return false;
        unit = std::move(units_.front());
        units_.pop_front();
        return true;
    }

  private:
    enum class TIn : std::uint8_t { Nothing, Source, Target };
    // A source or target as read: literal stretches and placeholders as written ("<b1>").
    struct TPiece {
        bool placeholder;
        std::string text;
    };
    // An inline element open in a source or target: a g's id to close it with, or nothing (a
    // mrk, read through; an x; an element whose content is no text of the target).
    struct TInline {
        std::optional<std::string> id;
        bool skipped = false;
    };

    // Gives the parser the next part of the file, or tells it the file has ended.
    void Feed();

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
    static void OnDoctype(void* context, const xmlChar*, const xmlChar* publicId,
                          const xmlChar* systemId) {
        // A DTD outside the file is never read; a file that names one is refused, so that what
        // it would declare is not silently missing.
        if (publicId || systemId)
            Of(context).Fail(TXliffFault::ExternalDtd,
                             std::string(Text(systemId ? systemId : publicId)));
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
        const int line = xmlSAX2GetLineNumber(parser_.get());
        return line > 0 ? static_cast<std::size_t>(line) : 0;
    }

    // Keeps the first fault and stops the parser: no exception may pass through libxml2.
    void Fail(TXliffFault fault, const std::string& detail, std::size_t line = 0) {
        if (!fault_) fault_ = XliffError(path_, line ? line : Line(), fault, detail);
        xmlStopParser(parser_.get());
    }

    void Start(std::string_view name, int count, const xmlChar** attributes);
    void StartInline(std::string_view name, int count, const xmlChar** attributes);
    void End(std::string_view name);
    void Characters(std::string_view text);
    void EndUnit();
    // Where a unit of a file that is not ours takes its number from: its location.
    void TakeLocation();

    // Appends to the source or target being read as far as its limit allows.
    void AddText(std::string_view text, bool placeholder);
    std::size_t TextLimit() const;
    // The pieces in the textual form, taken from them: a sentence's literal stretches escaped.
    std::string Assemble(bool sentence);

    std::unique_ptr<TByteInput> input_;  // null once used up
    const std::string path_;
    const TReadLimits limits_;
    std::unique_ptr<xmlParserCtxt, TParserFree> parser_;
    xmlSAXHandler sax_{};
    std::vector<char> chunk_;
    bool ended_ = false;
    std::optional<TError> fault_;
    std::string message_;  // the parser's first error
    std::size_t messageLine_ = 0;

    std::optional<TSourceStamp> stamp_;
    std::optional<std::string> original_;  // the first file element's
    bool stampRead_ = false;  // a unit has been queued: a stamp from now on says nothing
    std::deque<TTranslationUnit> units_;

    std::size_t depth_ = 0;              // of the element being read, the root 1
    std::size_t header_ = 0, unit_ = 0;  // the depth of the header or trans-unit we are in
    bool inStamp_ = false;
    std::string note_;
    bool ours_ = false;        // the file element being read has our stamp
    bool headerUnit_ = false;  // the unit is a PO header, made a unit by po2xliff
    // A unit's location, as a PO's "#: page:number" becomes in XLIFF.
    bool location_ = false;
    std::string locationFile_, locationLine_;
    std::string* context_ = nullptr;
    TTranslationUnit read_;
    bool sentence_ = false, hasSource_ = false, hasTarget_ = false, translated_ = false;
    TIn in_ = TIn::Nothing;
    std::vector<TPiece> pieces_;
    std::size_t textBytes_ = 0;  // of the source or target being read
    bool tooLong_ = false;
    std::vector<TInline> inline_;
    std::size_t skipping_ = 0;  // inline elements open whose content is no text
};

void TXliffReader::Feed() {
    constexpr std::size_t kChunk = std::size_t{1} << 16;
    chunk_.resize(kChunk);
    const std::size_t got = input_ ? input_->Read(chunk_.data(), kChunk) : 0;
    if (!parser_) {
        if (got == 0) throw XliffError(path_, 0, TXliffFault::NotXml, "the file is empty");
        // Only these callbacks: no tree is built, no DTD read, no entity declared or
        // substituted.
        sax_.initialized = XML_SAX2_MAGIC;
        sax_.startElementNs = OnStart;
        sax_.endElementNs = OnEnd;
        sax_.characters = OnCharacters;
        sax_.cdataBlock = OnCharacters;
        sax_.reference = OnReference;
        sax_.entityDecl = OnEntityDeclaration;
        sax_.internalSubset = OnDoctype;
        sax_.serror = OnError;
        // The first bytes tell the parser the file's encoding.
        const int first = static_cast<int>(std::min<std::size_t>(got, 4));
        parser_.reset(xmlCreatePushParserCtxt(&sax_, nullptr, chunk_.data(), first, nullptr));
        if (!parser_) throw std::bad_alloc();
        parser_->_private = this;
        parser_->userData = parser_.get();
        xmlCtxtUseOptions(parser_.get(), XML_PARSE_NONET);
        xmlParseChunk(parser_.get(), chunk_.data() + first, static_cast<int>(got) - first, 0);
    } else {
        xmlParseChunk(parser_.get(), chunk_.data(), static_cast<int>(got), got == 0);
    }
    if (got == 0) {
        input_.reset();
        ended_ = true;
    }
    if (fault_) throw *fault_;
    if (!parser_->wellFormed || !message_.empty())
        throw XliffError(path_, messageLine_, TXliffFault::NotXml,
                         message_.empty() ? "?" : message_);
    if (ended_ && !stampRead_) stampRead_ = true;
}

void TXliffReader::Start(std::string_view name, int count, const xmlChar** attributes) {
    ++depth_;
    if (depth_ == 1) {
        if (name != "xliff") Fail(TXliffFault::NotXliff, std::string(name));
        return;
    }
    if (in_ != TIn::Nothing) return StartInline(name, count, attributes);
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
            read_.NeedsReview = state && state->starts_with("needs-review");
            in_ = TIn::Target;
        }
        pieces_.clear();
        textBytes_ = 0;
        tooLong_ = false;
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
        read_.Kind = Attribute(count, attributes, "restype").value_or("");
        headerUnit_ = read_.Kind == kHeaderType;
        locationFile_.clear();
        locationLine_.clear();
    } else if (name == "file") {
        ours_ = false;
        if (!original_)
            original_ = std::string(Attribute(count, attributes, "original").value_or(""));
    } else if (name == "header") {
        header_ = depth_;
    } else if (name == "note" && header_ != 0 && depth_ == header_ + 1 &&
               Attribute(count, attributes, "from") == kTool) {
        inStamp_ = true;
        note_.clear();
    }
}

void TXliffReader::StartInline(std::string_view name, int count, const xmlChar** attributes) {
    if (skipping_ != 0) {
        ++skipping_;
        inline_.push_back({std::nullopt, true});
        return;
    }
    // The first code of a target that is no text: the merge refuses it where its phrase has no
    // placeholders, and one that stands for none anywhere.
    const int byte =
        name == "x" ? ByteCode(Attribute(count, attributes, "ctype").value_or("")) : -1;
    if (in_ == TIn::Target && read_.Inline.empty() && name != "mrk" && byte < 0)
        read_.Inline = "<" + std::string(name) + ">";
    if (name == "g") {
        const std::string_view id = Attribute(count, attributes, "id").value_or("");
        AddText("<" + std::string(id) + ">", true);
        inline_.push_back({std::string(id), false});
    } else if (name == "x") {
        if (byte >= 0)
            AddText(std::string(1, static_cast<char>(byte)), false);
        else
            AddText("<" + std::string(Attribute(count, attributes, "id").value_or("")) + "/>",
                    true);
        // An x has no content; its end pops this.
        inline_.push_back({});
    } else if (name == "mrk") {
        inline_.push_back({});
    } else if (in_ == TIn::Target) {
        // bx, ex, ph, bpt, it...: what they hold is the original's code, no text.
        ++skipping_;
        inline_.push_back({std::nullopt, true});
    } else {
        Fail(TXliffFault::UnknownInline, read_.Id + ": " + std::string(name));
    }
}

void TXliffReader::Characters(std::string_view text) {
    if (in_ != TIn::Nothing) {
        if (skipping_ == 0) AddText(text, false);
    } else if (inStamp_) {
        AppendWithin(note_, text, kNoteLimit);
    } else if (context_) {
        AppendWithin(*context_, text, kLocationLimit);
    }
}

std::size_t TXliffReader::TextLimit() const {
    if (headerUnit_) return kHeaderLimit;
    if (in_ == TIn::Source) return limits_.Source;
    return std::min(limits_.Target, MaxTargetBytes(hasSource_ ? read_.Source.size() : 0));
}

void TXliffReader::AddText(std::string_view text, bool placeholder) {
    if (tooLong_) return;
    const std::size_t limit = TextLimit();
    if (textBytes_ + text.size() > limit) {
        // The rest is not kept; the unit says so.
        tooLong_ = true;
        return;
    }
    textBytes_ += text.size();
    if (placeholder) {
        pieces_.push_back({true, std::string(text)});
        return;
    }
    if (pieces_.empty() || pieces_.back().placeholder) pieces_.push_back({false, {}});
    pieces_.back().text += text;
}

void TXliffReader::End(std::string_view name) {
    const std::size_t depth = depth_--;
    if (in_ != TIn::Nothing) {
        if (!inline_.empty()) {
            const TInline closed = std::move(inline_.back());
            inline_.pop_back();
            if (closed.skipped) {
                --skipping_;
            } else if (closed.id && name == "g") {
                AddText("</" + *closed.id + ">", true);
            }
            return;
        }
        if (in_ == TIn::Source) {
            // A unit not marked as a sentence is one when its source has placeholders.
            for (const TPiece& piece : pieces_) sentence_ = sentence_ || piece.placeholder;
            read_.Source = Assemble(sentence_);
            read_.SourceTooLong = tooLong_;
        } else if (translated_) {
            std::string target = Assemble(sentence_);
            if (!target.empty() || tooLong_) {
                read_.Target = std::move(target);
                read_.TargetTooLong = tooLong_;
            }
        }
        in_ = TIn::Nothing;
        return;
    }
    if (depth == unit_) {
        unit_ = 0;
        if (!hasSource_) return Fail(TXliffFault::UnitWithoutSource, read_.Id, read_.Line);
        EndUnit();
    } else if (unit_ != 0) {
        if (depth == unit_ + 2) context_ = nullptr;
        if (depth == unit_ + 1) location_ = false;
    } else if (depth == header_) {
        header_ = 0;
    } else if (inStamp_) {
        inStamp_ = false;
        ours_ = true;
        if (!stampRead_ && !stamp_) stamp_ = ParseSourceStamp(note_);
    }
}

bool IsNumber(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// po2xliff turns a PO file into a file of its own, with a unit for each entry: a new id, the
// entry's text (in the textual form, as the PO holds it) and translation, and the entry's
// "#: page:number" as its location; its header becomes a unit of restype
// x-gettext-domain-header, which holds our stamp. po2xliff -t, given our file as its template,
// keeps our units and adds such a file behind them. A unit of such a file takes the number of its
// location; it gives its target to our unit of that number.
void TXliffReader::TakeLocation() {
    read_.Added = true;
    if (IsNumber(locationLine_))
        read_.Id = locationLine_;
    else if (IsNumber(locationFile_))
        read_.Id = locationFile_;
}

void TXliffReader::EndUnit() {
    if (headerUnit_) {
        // The PO header's fields: only a stamp ahead of the units says which page they belong to.
        std::string_view fields = read_.Source;
        while (!fields.empty() && !stampRead_ && !stamp_) {
            const std::size_t nl = fields.find('\n');
            const std::string_view field = fields.substr(0, nl);
            fields.remove_prefix(nl == std::string_view::npos ? fields.size() : nl + 1);
            const std::size_t colon = field.find(':');
            if (colon != std::string_view::npos &&
                EqualsNoCase(field.substr(0, colon), "x-quillfen-source"))
                stamp_ = ParseSourceStamp(field.substr(colon + 1));
        }
        headerUnit_ = false;
        return;
    }
    if (!ours_) TakeLocation();
    units_.push_back(std::move(read_));
    stampRead_ = true;
}

std::string TXliffReader::Assemble(bool sentence) {
    if (pieces_.size() == 1 && !pieces_[0].placeholder && !sentence)
        return std::move(pieces_[0].text);
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

std::unique_ptr<TUnitReader> ReadUnits(std::unique_ptr<TByteInput> input, const std::string& path,
                                       const TReadLimits& limits) {
    return std::make_unique<TXliffReader>(std::move(input), path, limits);
}

TTranslationFile ReadTranslation(std::string_view bytes, const std::string& path) {
    TXliffReader reader(std::make_unique<TMemoryInput>(bytes), path, {});
    return ReadAllUnits(reader);
}

}  // namespace

std::string XliffBytes(const TDocument& document, const std::string& documentPath,
                       const TExportOptions& options) {
    return XliffBytes(document, documentPath, options, {});
}

std::string XliffBytes(const TDocument& document, const std::string& documentPath,
                       const TExportOptions& options, const TXliffContent& content) {
    TXliffWriter writer(document, documentPath, options, content);
    std::string out;
    writer.Restart();
    for (std::string_view part; writer.Next(part);) out += part;
    return out;
}

const TExchangeFormat kXliffFormat = {
    "xliff",   "NAME.xlf, XLIFF 1.2 for translation tools, merged back into the page",
    Files,     Export,
    nullptr,   ReadTranslation,
    ReadUnits,
};

}  // namespace quillfen
