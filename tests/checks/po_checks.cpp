// po_checks FILE.po SOURCE-LANG TARGET-LANG CHECKS: the checks on every entry of one of our PO
// files, one line per finding: the entry's number, a tab, the check's id. An entry without a
// translation is checked as an empty one. The units are the file's stamp's. For the comparison
// with the Translate Toolkit's pofilter (pofilter_oracle.py).

#include <iostream>

#include "checks/checks.h"
#include "core/errors.h"
#include "exchange/po.h"
#include "tests/support/files.h"

int main(int argc, char** argv) {
    using namespace quillfen;
    if (argc != 5) {
        std::cerr << "usage: po_checks FILE.po SOURCE-LANG TARGET-LANG CHECKS\n";
        return 2;
    }
    try {
        const TTranslationFile file = ReadPoFile(testing::ReadBytes(argv[1]), argv[1]);
        TCheckOptions options;
        options.SourceLanguage = argv[2];
        options.TargetLanguage = argv[3];
        options.Checks = ParseCheckList(argv[4]);
        if (file.Stamp) options.Units = file.Stamp->Units;
        const TPairChecker checker(options);
        std::vector<TFinding> findings;
        for (const TTranslationUnit& unit : file.Units) {
            checker.Check(unit.Source, unit.Target.value_or(""), findings);
            for (const TFinding& f : findings)
                std::cout << unit.Id << '\t' << CheckInfo(f.Check).Id << '\n';
            findings.clear();
        }
    } catch (const TError& e) {
        std::cerr << argv[1] << ": " << e.English() << '\n';
        return 1;
    }
    return 0;
}
