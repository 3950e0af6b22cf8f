#pragma once

// A site project: a folder of source pages, the folder their translations go into, and how the
// pages are read. The project file is a short text a person can read and edit (the README gives
// its form); the project's state and its own memory lie beside it.

#include <cstddef>
#include <string>
#include <vector>

#include "core/markup/sentences.h"
#include "core/tags.h"

namespace quillfen::project {

inline constexpr int kProjectFileVersion = 1;
inline constexpr int kDefaultFuzzyThreshold = 75;

struct TProjectSettings {
    // The folders as the file writes them: relative to the project file's folder, or absolute.
    std::string Source, Target;
    std::string SourceLanguage, TargetLanguage;
    TTags Tags = TTags::Default;
    TUnits Units = TUnits::Runs;
    // Empty: the default pages (*.html, *.htm, *.xhtml).
    std::vector<std::string> Include, Exclude;
    int FuzzyThreshold = kDefaultFuzzyThreshold;
    // Leave the root's lang as the source page has it.
    bool KeepLang = false;
};

// The project file's text, and back. Parse raises ProjectFileError (with the line) for a text it
// cannot read and NewerProjectError for a version it does not know; path names the file.
std::string FormatProjectFile(const TProjectSettings& settings);
TProjectSettings ParseProjectFile(std::string_view text, const std::string& path);

// A project as opened: its settings and where everything lies.
struct TProject {
    std::string File;  // the project file
    TProjectSettings Settings;
    std::string SourceDir, TargetDir;   // resolved against the project file's folder
    std::string StatePath, MemoryPath;  // FILE.state, FILE.memory
};

// Reads the project file at path (CannotOpenError, or the errors of ParseProjectFile).
TProject OpenProject(const std::string& path);
// Checks the settings as `project new` takes them and writes the file. Refuses, writing
// nothing: a project file that exists (ProjectExistsError), folders as CheckFolders refuses
// them, and an include or exclude pattern that takes no file of the source folder.
TProject CreateProject(const std::string& path, TProjectSettings settings);

// The source and target folders must exist and be apart: not the same folder, neither inside
// the other (so that a page written is never read as a source).
void CheckFolders(const TProject& project);

// The files of the source folder, relative to it with '/' between folders, sorted: the pages
// the patterns take, and every other file (excluded ones are neither).
struct TSiteFiles {
    std::vector<std::string> Pages, Others;
};
TSiteFiles ListSiteFiles(const TProject& project);

// Whether a relative path is taken by a pattern: a pattern without '/' is matched against the
// file's name in every subfolder, one with '/' against the whole relative path.
bool PatternTakes(const std::string& pattern, const std::string& relative);

}  // namespace quillfen::project
