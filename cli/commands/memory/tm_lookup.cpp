// quillfen-cli tm lookup: the memory's matches for texts.

#include <fstream>

#include "cli/command.h"
#include "cli/memory.h"
#include "cli/texts.h"
#include "core/errors.h"
#include "core/text/phrasetext.h"

namespace quillfen::cli {
namespace {

const TOption kMin{"--min", "P", "the lowest score shown (1 to 101, default 75)",
                   "der niedrigste gezeigte Wert (1 bis 101, Vorgabe 75)"};
const TOption kQueries{"--queries", "FILE",
                       "looks up each line of FILE (the escapes of phrases) instead of TEXT",
                       "sucht jede Zeile von FILE (geschrieben wie bei phrases) statt TEXT"};
const TOption* const kOptions[] = {&kMemoryOption, &kSourceLanguageOption, &kTargetLanguageOption,
                                   &kMin, &kQueries};

void Tell(TMemory& memory, TQuery& query, std::string text) {
    query.Text = std::move(text);
    std::string out;
    for (const TMatch& match : memory.Lookup(query))
        out += std::to_string(match.Score) + '\t' + EscapedText(match.Unit.Source) + '\t' +
               EscapedText(match.Text) + '\n';
    Print(out + '\n');
}

int Run(const TArguments& a) {
    const std::optional<std::string> queries = a.Value(kQueries.Name);
    if (queries.has_value() == !a.Operands.empty()) throw UsageError(TSaid::LookupTakes);
    TQuery query;
    query.Languages = LanguagesOption(a);
    query.MinScore = MinScoreOption(a, kMin, kDefaultMinScore);
    const std::unique_ptr<TMemory> memory = OpenMemory(a);
    if (!queries) {
        Tell(*memory, query, TextOfEscaped(a.Operands[0]));
        return 0;
    }
    std::ifstream in(*queries, std::ios::binary);
    if (!in) throw CannotOpenError(*queries, errno);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Tell(*memory, query, TextOfEscaped(line));
    }
    if (in.bad()) throw CannotOpenError(*queries, errno);
    return 0;
}

const TRegistration kLookup{{
    .Name = "tm lookup",
    .Synopsis = "TEXT",
    .MinOperands = 0,
    .Options = kOptions,
    .Help = "Prints the translation memory's matches for TEXT (the escapes of phrases; a\n"
            "sentence's placeholders as <b1>...</b1>), best first, at most five: score, source\n"
            "and target fitted to TEXT's placeholders, tab-separated, the texts escaped; a\n"
            "blank line ends each query's matches.",
    .HelpGerman = "Nennt die Treffer des \xC3\x9C"
                  "bersetzungsspeichers f\xC3\xBCr TEXT (geschrieben wie bei\n"
                  "phrases; die Platzhalter eines Satzes als <b1>...</b1>), die besten zuerst,\n"
                  "h\xC3\xB6"
                  "chstens f\xC3\xBCnf: Wert, Ausgangstext und \xC3\x9C"
                  "bersetzung, an die Platzhalter von TEXT\n"
                  "angepasst, durch Tabulatoren getrennt, die Texte geschrieben wie bei phrases;\n"
                  "eine leere Zeile beendet die Treffer jeder Suche.",
    .Run = Run,
    .ErrorsNameFirstOperand = false,
}};

}  // namespace
}  // namespace quillfen::cli
