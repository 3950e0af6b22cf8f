// quillfen-cli: the page operations of the window program for scripts and whole sites.

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/cliplatform.h"
#include "core/document.h"
#include "core/editing.h"
#include "core/encoding.h"
#include "core/errors.h"
#include "core/kinds.h"
#include "core/pagecodec.h"
#include "core/phrasetext.h"
#include "core/savefile.h"
#include "exchange/combine.h"
#include "exchange/export.h"
#include "exchange/formats.h"
#include "exchange/merge.h"

using namespace quillfen;

namespace {

// The kinds and the exchange formats are read from their tables.
std::string Usage() {
    std::string letters, sum, formats, names;
    for (const TKindInfo& kind : Kinds()) {
        letters += letters.empty() ? "" : ", ";
        letters += kind.Letter;
        sum += sum.empty() ? "" : " + ";
        sum += std::to_string(kind.Bit) + ' ' + kind.Name;
    }
    for (const TExchangeFormat* format : ExchangeFormats()) {
        formats.append("  ").append(format->Name).append(": ").append(format->Summary).append("\n");
        names.append(names.empty() ? "" : "|").append(format->Name);
    }
    return "Usage:\n"
           "  quillfen-cli phrases PAGE [--tags N] [--notes]\n"
           "      Lists the phrases of PAGE: number (from 1), kind (" +
           letters +
           ") and text as a browser\n"
           "      shows it, tab-separated, in UTF-8; tab, CR, LF and backslash as \\t \\r \\n "
           "\\\\,\n"
           "      bytes invalid in the page's encoding as \\xHH. --notes adds a fourth column: "
           "the\n"
           "      page author's note for the translator (its-loc-note), same escapes, empty if "
           "none.\n"
           "  quillfen-cli save PAGE [-o OUT] [--tags N] [--set N=TEXT]...\n"
           "      Replaces phrase N by TEXT (same escapes; '&' and '<' are text) for each --set "
           "and\n"
           "      writes the page to OUT (default: PAGE itself).\n"
           "  quillfen-cli export PAGE... -d DIR [--tags N] [--format " +
           names +
           "]\n"
           "                      [--source-lang L] [--target-lang L]\n"
           "      Writes each page's phrases into DIR in the exchange format (default: " +
           std::string(DefaultExchangeFormat().Name) +
           ").\n"
           "      A translation tool's format names the page's language (its lang, else\n"
           "      --source-lang) and the language to translate into (--target-lang).\n"
           "  quillfen-cli combine TEXT TEMPLATE OUT\n"
           "      Recombines a text file and a template into the page OUT.\n"
           "  quillfen-cli merge PAGE FILE [-o OUT] [--force] [--skip-bad]\n"
           "      Writes the translated units of FILE (a translation tool's format, known by "
           "its\n"
           "      extension) into PAGE, or into OUT; untranslated and fuzzy units keep their "
           "bytes.\n"
           "      The page is read with the kinds and units the file was exported with. A file "
           "of\n"
           "      another page, or of this one changed since, is refused unless --force, which "
           "merges\n"
           "      the units whose phrases still read as their sources. A faulty unit (its "
           "number,\n"
           "      kind or source not its phrase's, a second unit of a phrase, a translation far "
           "longer\n"
           "      than its source, inline markup where the phrase has no placeholders) stops the "
           "merge\n"
           "      and nothing is written, unless --skip-bad, which leaves it out and names it.\n"
           "  quillfen-cli check PAGE... [--tags N] [--format " +
           names +
           "]\n"
           "      Tells for each page whether an unchanged save is byte-identical and whether "
           "export\n"
           "      and recombination give the page back; with a translation tool's format, "
           "whether its\n"
           "      untouched file, and the file with each source copied as its target, merge "
           "into\n"
           "      the page byte for byte.\n"
           "  quillfen-cli recover PAGE\n"
           "      Puts back the old bytes of PAGE when a save that overwrote it in place was\n"
           "      interrupted and left it torn; the other commands refuse such a page and name "
           "the\n"
           "      copy. A page written since, or another file in its place, is not restored: "
           "compare\n"
           "      it with the copy, and delete the copy to use the page again.\n"
           "--tags N: kinds of phrases, " +
           sum + "\n(0 to " + std::to_string(Bits(TTags::AllKinds)) + ", default " +
           std::to_string(Bits(TTags::Default)) +
           ").\n"
           "--units runs|sentences (every command that reads pages): phrases are the text runs\n"
           "between tags (default) or sentences, their inline tags as placeholders such as "
           "<b1>...</b1>.\n"
           "Exchange formats:\n" +
           formats +
           "Exit status: 0 success, 1 a page, a file or the output failed, 2 usage error.\n";
}

struct TUsageError {
    std::string message;
};

// Standard output failed: the error names no page.
struct TOutputError : TError {
    explicit TOutputError(const TError& error) : TError(error) {}
};

// Writes to standard output. A list cut short by a full disk, a file-size limit or a closed pipe
// is a failure of the command, not a shorter list.
void WriteOut(std::string_view bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
        throw TOutputError(StandardOutputError(errno));
}

// What is still buffered fails only when it is flushed, and a file system may report a failed
// write only when the file closes.
void CloseOut() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw TOutputError(StandardOutputError(errno));
    if (std::fclose(stdout) != 0) throw TOutputError(StandardOutputError(errno));
}

struct TArgs {
    std::string command;
    std::vector<std::string> files;
    TTags tags = TTags::Default;
    TUnits units = TUnits::Runs;
    std::optional<std::string> out;
    std::optional<std::string> dir;
    bool notes = false;
    const TExchangeFormat* format = &DefaultExchangeFormat();
    TExportOptions exportOptions;
    TMergeOptions merge;
    std::vector<std::pair<std::size_t, std::string>> sets;  // in order given
};

std::optional<unsigned long> Number(std::string_view s) {
    unsigned long value = 0;
    if (s.empty()) return std::nullopt;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

TArgs Parse(int argc, char** argv) {
    TArgs a;
    if (argc < 2) throw TUsageError{"no command given"};
    a.command = argv[1];
    auto value = [&](int& i, std::string_view option) -> std::string {
        if (i + 1 >= argc) throw TUsageError{std::string(option) + " needs a value"};
        return argv[++i];
    };
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--tags") {
            const auto n = Number(value(i, arg));
            if (!n || *n > Bits(TTags::AllKinds))
                throw TUsageError{"--tags takes a number from 0 to " +
                                  std::to_string(Bits(TTags::AllKinds))};
            a.tags = TTags(static_cast<std::uint8_t>(*n));
        } else if (arg == "--notes" && a.command == "phrases") {
            a.notes = true;
        } else if (arg == "--units") {
            const std::string units = value(i, arg);
            if (units != "runs" && units != "sentences")
                throw TUsageError{"--units takes runs or sentences"};
            a.units = units == "runs" ? TUnits::Runs : TUnits::Sentences;
        } else if (arg == "--format" && (a.command == "export" || a.command == "check")) {
            const std::string name = value(i, arg);
            a.format = FindExchangeFormat(name);
            if (!a.format) {
                std::string names;
                for (const TExchangeFormat* format : ExchangeFormats())
                    names.append(names.empty() ? "" : ", ").append(format->Name);
                throw TUsageError{"--format takes one of " + names + ", not " + name};
            }
        } else if ((arg == "--source-lang" || arg == "--target-lang") && a.command == "export") {
            const std::string tag = value(i, arg);
            if (!LanguageTag(tag))
                throw TUsageError{std::string(arg) +
                                  " takes a language tag such as de or en-US, not " + tag};
            (arg == "--source-lang" ? a.exportOptions.SourceLanguage
                                    : a.exportOptions.TargetLanguage) = tag;
        } else if (arg == "--force" && a.command == "merge") {
            a.merge.Force = true;
        } else if (arg == "--skip-bad" && a.command == "merge") {
            a.merge.SkipBad = true;
        } else if (arg == "-o" && (a.command == "save" || a.command == "merge")) {
            a.out = value(i, arg);
        } else if (arg == "-d" && a.command == "export") {
            a.dir = value(i, arg);
        } else if (arg == "--set" && a.command == "save") {
            const std::string s = value(i, arg);
            const std::size_t eq = s.find('=');
            const auto n =
                eq == std::string::npos ? std::nullopt : Number(std::string_view(s).substr(0, eq));
            if (!n) throw TUsageError{"--set takes N=TEXT, not " + s};
            a.sets.emplace_back(*n, s.substr(eq + 1));
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw TUsageError{"unknown option " + std::string(arg)};
        } else {
            a.files.emplace_back(arg);
        }
    }
    const std::size_t n = a.files.size();
    const std::string& c = a.command;
    if (c == "phrases" || c == "save" || c == "recover") {
        if (n != 1) throw TUsageError{c + " takes one page"};
    } else if (c == "export") {
        if (n == 0 || !a.dir) throw TUsageError{"export takes pages and -d DIR"};
    } else if (c == "check") {
        if (n == 0) throw TUsageError{"check takes pages"};
    } else if (c == "merge") {
        if (n != 2) throw TUsageError{"merge takes PAGE FILE"};
        if (!FindTranslationFormat(a.files[1])) {
            std::string extensions;
            for (const TExchangeFormat* format : ExchangeFormats())
                if (format->ReadTranslation) {
                    const std::string file = format->Files("x", "").back();
                    extensions.append(extensions.empty() ? "" : ", ")
                        .append(file.substr(file.rfind('.')));
                }
            throw TUsageError{"merge takes a translation file (" + extensions + "), not " +
                              a.files[1]};
        }
    } else if (c == "combine") {
        if (n != 3) throw TUsageError{"combine takes TEXT TEMPLATE OUT"};
    } else {
        throw TUsageError{"unknown command " + c};
    }
    return a;
}

void Load(TDocument& doc, const std::string& path, const TArgs& a) {
    doc.LoadFile(path, a.tags, a.units);
    CheckConvertible(doc.EncodingInfo(), path);
}

// An error's text in English with the system's cause behind it, on one line.
std::string Describe(const std::exception& error) {
    const auto* e = dynamic_cast<const TError*>(&error);
    std::string text = e ? e->English() : error.what();
    if (e && e->Cause != 0) text.append(": ").append(std::strerror(e->Cause));
    return text;
}

// Runs job(i) for every i in parallel and reports the failures in argument order.
template <class Job>
int ForEachPage(const std::vector<std::string>& pages, Job job) {
    std::vector<std::string> errors(pages.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next++) < pages.size();) {
            try {
                job(i);
            } catch (const std::exception& e) {
                errors[i] = Describe(e);
            }
        }
    };
    const std::size_t threads =
        std::min<std::size_t>(pages.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (auto& t : pool) t.join();
    int status = 0;
    for (std::size_t i = 0; i < pages.size(); ++i)
        if (!errors[i].empty()) {
            std::cerr << pages[i] << ": " << errors[i] << '\n';
            status = 1;
        }
    return status;
}

int Phrases(const TArgs& a) {
    TDocument doc;
    Load(doc, a.files[0], a);
    // Written in pieces: the list of a large page is as large as the page.
    std::string out;
    const std::size_t count = doc.PhraseCount();
    for (std::size_t i = 0; i < count; ++i) {
        out += std::to_string(i + 1);
        out += '\t';
        out += KindInfo(doc.Kind(i)).Letter;
        out += '\t';
        out += EscapedText(doc.Text(i));
        if (a.notes) {
            out += '\t';
            out += EscapedText(doc.Note(i));
        }
        out += '\n';
        if (out.size() >= (std::size_t{1} << 16) || i + 1 == count) {
            WriteOut(out);
            out.clear();
        }
    }
    return 0;
}

int Save(const TArgs& a) {
    const std::string& page = a.files[0];
    TDocument doc;
    Load(doc, page, a);
    std::vector<TPhraseChange> changes;
    for (const auto& [n, escaped] : a.sets) changes.push_back({n - 1, TextOfEscaped(escaped)});
    // All texts in one write; the save itself refuses to overwrite another program's change to
    // the page, under any name. A save without changes still writes the page.
    const std::string out = a.out.value_or(page);
    const auto write = [&] { doc.Save(out); };
    if (!ReplacePhrases(doc, changes, write)) write();
    return 0;
}

int Merge(const TArgs& a) {
    const std::string& page = a.files[0];
    const std::string& path = a.files[1];
    const TExchangeFormat& format = *FindTranslationFormat(path);
    // Numbers name phrases only as the page was cut when it was exported.
    const TPageCut cut = CutForMerge(ReadTranslationStamp(format, path), {a.tags, a.units});
    TArgs cutArgs = a;
    cutArgs.tags = cut.Tags;
    cutArgs.units = cut.Units;
    TDocument doc;
    Load(doc, page, cutArgs);
    const std::string out = a.out.value_or(page);
    bool written = false;
    const TMergeReport report = MergeTranslationFile(doc, format, path, a.merge, [&] {
        doc.Save(out);
        written = true;
    });
    // As save does: OUT is the page, merged, even when nothing in it changed.
    if (!written && a.out) doc.Save(out);
    for (const TError& problem : report.Problems)
        std::cerr << page << ": " << problem.English() << '\n';
    if (report.LeftOut > report.Problems.size())
        std::cerr << page << ": and " << report.LeftOut - report.Problems.size()
                  << " more units left out
";
    std::string said = page + ": " + std::to_string(report.Translated) + " translated, " +
                       std::to_string(report.Kept) + " kept";
    if (report.LeftOut != 0) said += ", " + std::to_string(report.LeftOut) + " left out";
    WriteOut(said + '
');
    return 0;
}

int Export(const TArgs& a) {
    // Two pages of one base name would write the same two files: refuse before writing any.
    std::map<std::string, std::size_t> seen;
    int status = 0;
    for (std::size_t i = 0; i < a.files.size(); ++i) {
        auto [it, fresh] = seen.emplace(ExportBaseName(a.files[i]), i);
        if (!fresh) {
            std::cerr << a.files[i] << ": has the same base name as " << a.files[it->second]
                      << "; nothing was exported\n";
            status = 1;
        }
    }
    if (status) return status;
    return ForEachPage(a.files, [&](std::size_t i) {
        TDocument doc;
        Load(doc, a.files[i], a);
        a.format->Export(doc, a.files[i], *a.dir, a.exportOptions);
    });
}

// A folder of one page's own for check, so that pages of one base name do not meet; removed
// with what it holds.
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
bool RoundTrips(const TDocument& doc, const std::string& page, const TArgs& a,
                const TScratchFolder& folder) {
    ExportDocument(doc, page, folder.Path());
    const TExportPaths files = ExportPaths(page, folder.Path());
    const std::string combined = folder / "recombined.htm";
    Combine(files.Text, files.Template, combined);
    TDocument again;
    again.LoadFile(combined, a.tags, a.units);
    if (again.Bytes() != doc.RenderAllPhrases()) return false;
    return doc.Units() == TUnits::Sentences ? SameReading(doc, again) : SamePhrases(doc, again);
}

// A translation tool's file of the page, merged untouched, must leave the page's bytes as they
// are; so must the file with every unit's source copied as its target (what tools do before a
// translator starts), which shows that the sources read back as the phrases' texts.
bool MergesBack(TDocument& doc, const std::string& page, const TArgs& a,
                const TScratchFolder& folder) {
    const TExchangeFormat& format = *a.format;
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

int Check(const TArgs& a) {
    const std::size_t n = a.files.size();
    std::vector<std::string> lines(n);
    std::vector<char> failed(n, 1);
    const int status = ForEachPage(a.files, [&](std::size_t i) {
        const std::string& page = a.files[i];
        lines[i] = page + "\t-\tsave FAIL\troundtrip FAIL";
        TDocument doc;
        Load(doc, page, a);
        TScratchFolder folder;
        const std::string saved = folder / "saved.htm";
        doc.Save(saved);
        const bool saves = ReadFileBytes(saved) == doc.Bytes();
        bool roundTrips = false;
        std::string why;
        try {
            roundTrips = a.format->ReadTranslation ? MergesBack(doc, page, a, folder)
                                                   : RoundTrips(doc, page, a, folder);
        } catch (const std::exception& e) {
            why = Describe(e);
        }
        lines[i] = page + '\t' + std::to_string(doc.PhraseCount()) + "\tsave " +
                   (saves ? "ok" : "FAIL") + "\troundtrip " + (roundTrips ? "ok" : "FAIL");
        failed[i] = !saves || !roundTrips;
        // Told on standard error with the other failures, in argument order.
        if (!why.empty()) throw TError(why);
    });
    std::string out;
    for (const std::string& line : lines) out.append(line).append("\n");
    WriteOut(out);
    const bool anyFailed = std::find(failed.begin(), failed.end(), 1) != failed.end();
    return status != 0 || anyFailed ? 1 : 0;
}

int Run(const TArgs& a) {
    if (a.command == "phrases") return Phrases(a);
    if (a.command == "save") return Save(a);
    if (a.command == "export") return Export(a);
    if (a.command == "check") return Check(a);
    if (a.command == "merge") return Merge(a);
    if (a.command == "recover") {
        RecoverInterruptedSave(a.files[0]);
        return 0;
    }
    Combine(a.files[0], a.files[1], a.files[2]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    std::vector<char*> pointers;
    PrepareCommandLine(argc, argv, arguments, pointers);
#ifdef SIGXFSZ
    // A file-size limit makes a write fail with its cause instead of killing the program, so that
    // the save cleans up after itself.
    ::signal(SIGXFSZ, SIG_IGN);
#endif
    int status = 0;
    TArgs args;
    try {
        if (std::find_if(argv + 1, argv + argc, [](const char* arg) {
                return std::string_view(arg) == "--help";
            }) != argv + argc) {
            WriteOut(Usage());
        } else {
            args = Parse(argc, argv);
            try {
                status = Run(args);
            } catch (const TOutputError&) {
                throw;
            } catch (const std::exception& e) {
                // The file layer's errors name their file; combine's may be about any of its
                // three.
                if (args.command == "combine")
                    std::cerr << Describe(e) << '\n';
                else
                    std::cerr << args.files[0] << ": " << Describe(e) << '\n';
                status = 1;
            }
        }
        CloseOut();
    } catch (const TUsageError& e) {
        std::cerr << "quillfen-cli: " << e.message << "\n" << Usage();
        return 2;
    } catch (const TOutputError& e) {
        std::cerr << "quillfen-cli: " << Describe(e) << '\n';
        return 1;
    }
    return status;
}
