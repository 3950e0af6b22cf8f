#pragma once

// The checks over a page and its translation: a copy of the page whose phrases were replaced, so
// that phrase i of one is phrase i of the other.

#include <string>
#include <utility>
#include <vector>

#include "checks/checks.h"
#include "core/document/document.h"

namespace quillfen {

// Each phrase's text in source and its text in translated, in phrase order. The pages must be
// alike outside their phrases (the same bytes between them, the same kinds, cut into the same
// units), else PagesPartError or PhraseCountsDifferError. A sentence whose placeholders moved
// in the translation is numbered anew there; its translated text is given with the source's
// numbers, each placeholder known by the tags it stands for.
std::vector<std::pair<std::string, std::string>> TranslatedPairs(const TDocument& source,
                                                                 const TDocument& translated);

// The findings of every chosen check, over each pair and over the page, ordered by phrase.
// options' units are the documents' own; where options name no source language, the source
// page's lang is taken (the translation, a copy of its markup, names the same). Findings that
// dismissals holds are left out.
std::vector<TFinding> CheckPages(const TDocument& source, const TDocument& translated,
                                 TCheckOptions options, const TDismissals* dismissals = nullptr);

}  // namespace quillfen
