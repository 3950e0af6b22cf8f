#pragma once

// TMX 1.4b, the exchange format of translation memories, in and out.
//
// Reading takes levels 1 and 2: the inline codes bpt/ept (paired by i), ph, it and ut become
// placeholders of the element their content names ("&lt;b>" is b, "&lt;/b>" closes it), or stay
// text where their content names none; hi is read through. The source segment's placeholders are
// numbered from 1 in the order they open; a target's take the source's names by x, else by i,
// else by element and order, and the codes' content is kept as the unit's tag bytes. Files are
// read as a stream by libxml2 in UTF-8 or UTF-16, tuvs in any order, the language from xml:lang
// or lang in any case, srclang="*all*" making every variant a source. Nothing outside the file is
// read: a DOCTYPE that only names a DTD is passed over without loading it, one that declares
// anything (entities above all) is refused, and no entity but XML's own is substituted.
//
// Writing gives TMX 1.4b that the TMX 1.4 DTD validates, placeholders as bpt/ept and ph with i
// and x, holding the page's own tags.

#include <cstddef>
#include <string>
#include <vector>

#include "core/errors.h"
#include "memory/memory.h"

namespace quillfen {

struct TTmxImportOptions {
    // Only units of these languages; an empty one: any. The source language, when given, also
    // names the source of a unit whatever its srclang says.
    std::string SourceLanguage, TargetLanguage;
    // A faulty unit (without both languages, a language that is no tag, a bpt without its ept,
    // a segment too long) is left out and reported instead of stopping the import.
    bool SkipBad = false;
};

struct TTmxImportResult {
    std::size_t Added = 0;        // new units
    std::size_t Updated = 0;      // units the memory held, given newer context and time
    std::size_t Empty = 0;        // translations with an empty segment, which are none
    std::vector<TError> Skipped;  // each names the file and the unit's line
};

// Imports the TMX file at path into memory, all of it in one transaction: a fault of the file
// (TmxError with the line; CannotOpenError) stops it and nothing is stored, as when the process
// dies midway.
TTmxImportResult ImportTmx(TMemory& memory, const std::string& path,
                           const TTmxImportOptions& options = {});

struct TTmxExportOptions {
    std::string SourceLanguage, TargetLanguage;  // only these; empty: any
};

// Writes the units of the memory (of the languages given) to path as TMX 1.4b, streaming, to a
// new file that replaces path only once it is complete; gives how many were written.
std::size_t ExportTmx(TMemory& memory, const std::string& path,
                      const TTmxExportOptions& options = {});

}  // namespace quillfen
