// quillfen-cli export: pages' phrases written out in an exchange format.

#include "exchange/export.h"

#include <iostream>
#include <map>

#include "cli/command.h"
#include "cli/texts.h"
#include "exchange/formats.h"
#include "session/pagesession.h"
#include "session/pageset.h"

namespace quillfen::cli {
namespace {

const TOption kFolder{"-d", "DIR", "the folder the files are written into",
                      "der Ordner, in den die Dateien geschrieben werden"};
const TOption kFormat{"--format", "NAME", "the exchange format (see below; default text)",
                      "das Austauschformat (siehe unten; Vorgabe text)"};
const TOption kSourceLanguage{"--source-lang", "L",
                              "the page's language where it names none (a translation tool's\n"
                              "format)",
                              "die Sprache der Seite, wo sie keine nennt (Format eines\n"
                              "\xC3\x9C"
                              "bersetzungswerkzeugs)"};
const TOption kTargetLanguage{"--target-lang", "L", "the language to translate into",
                              "die Sprache, in die \xC3\xBC"
                              "bersetzt werden soll"};
const TOption* const kOptions[] = {&kTagsOption, &kUnitsOption,    &kFolder,
                                   &kFormat,     &kSourceLanguage, &kTargetLanguage};

int Run(const TArguments& a) {
    const std::optional<std::string> folder = a.Value(kFolder.Name);
    if (!folder) throw UsageError(TSaid::ExportTakes);
    const TExchangeFormat& format = ChosenFormat(a, kFormat);
    TExportOptions options;
    options.SourceLanguage = LanguageOption(a, kSourceLanguage);
    options.TargetLanguage = LanguageOption(a, kTargetLanguage);
    const std::vector<std::string>& pages = a.Operands;
    // Two pages of one base name would write the same files: refuse before writing any.
    std::map<std::string, std::size_t> seen;
    int status = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        auto [it, fresh] = seen.emplace(ExportBaseName(pages[i]), i);
        if (!fresh) {
            std::cerr << Say(TSaid::SameBaseName, {pages[i], pages[it->second]}) << '\n';
            status = 1;
        }
    }
    if (status) return status;
    return TellFailures(pages, RunOnPages(pages.size(), [&](std::size_t i) {
                            TPageSession session;
                            session.Open(pages[i], a.Tags(), a.Units());
                            session.Export(format, *folder, options);
                        }));
}

const TRegistration kExport{{
    .Name = "export",
    .Synopsis = "PAGE...",
    .MaxOperands = SIZE_MAX,
    .Options = kOptions,
    .Help = "Writes each page's phrases into DIR in an exchange format. A translation tool's\n"
            "format names the page's language (its lang, else --source-lang) and the language\n"
            "to translate into (--target-lang).",
    .HelpGerman = "Schreibt die Phrasen jeder Seite in einem Austauschformat nach DIR. Das Format\n"
                  "eines \xC3\x9C"
                  "bersetzungswerkzeugs nennt die Sprache der Seite (ihr lang, sonst\n"
                  "--source-lang) und die Sprache, in die \xC3\xBC"
                  "bersetzt wird (--target-lang).",
    .Run = Run,
}};

}  // namespace
}  // namespace quillfen::cli
