#include "project/projectfile.h"

#include <fnmatch.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "core/errors.h"
#include "core/files/savefile.h"

namespace quillfen::project {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "quillfen-project";
const std::vector<std::string> kDefaultPages = {"*.html", "*.htm", "*.xhtml"};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::optional<int> Number(std::string_view s) {
    int n = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return n;
}

fs::path Resolved(const std::string& projectFile, const std::string& folder) {
    const fs::path p(folder);
    if (p.is_absolute()) return p.lexically_normal();
    return (fs::absolute(fs::path(projectFile)).parent_path() / p).lexically_normal();
}

// The folder as the project file keeps it: relative to the file's folder, so that a project
// and its site can be moved together.
std::string Kept(const std::string& projectFile, const std::string& folder) {
    const fs::path base = fs::absolute(fs::path(projectFile)).parent_path();
    const fs::path target = fs::absolute(fs::path(folder)).lexically_normal();
    fs::path relative = target.lexically_relative(base);
    if (relative.empty()) return target.string();
    std::string s = relative.generic_string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

const std::vector<std::string>& Includes(const TProjectSettings& s) {
    return s.Include.empty() ? kDefaultPages : s.Include;
}

bool TakenByAny(const std::vector<std::string>& patterns, const std::string& relative) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const std::string& p) { return PatternTakes(p, relative); });
}

std::vector<std::string> AllFiles(const std::string& folder) {
    std::vector<std::string> files;
    const fs::path root(folder);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end; it != end;
         it.increment(ec)) {
        if (ec) break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const std::string name = it->path().filename().string();
        // The temporary files of a save cut short are no part of the site.
        if (name.find(".quillfen-") != std::string::npos && name.front() == '.') continue;
        files.push_back(it->path().lexically_relative(root).generic_string());
    }
    if (ec) throw CannotOpenError(folder, ec.value());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

std::string FormatProjectFile(const TProjectSettings& s) {
    std::ostringstream out;
    out << "# A Quillfen site project: the pages of source are translated into target.\n"
        << "# Folders are relative to this file's folder. Lines: key = value.\n"
        << kMagic << " " << kProjectFileVersion << "\n"
        << "source = " << s.Source << "\n"
        << "target = " << s.Target << "\n"
        << "source-lang = " << s.SourceLanguage << "\n"
        << "target-lang = " << s.TargetLanguage << "\n"
        << "tags = " << int(Bits(s.Tags)) << "\n"
        << "units = " << (s.Units == TUnits::Sentences ? "sentences" : "runs") << "\n";
    for (const std::string& p : s.Include) out << "include = " << p << "\n";
    for (const std::string& p : s.Exclude) out << "exclude = " << p << "\n";
    out << "fuzzy-threshold = " << s.FuzzyThreshold << "\n"
        << "keep-lang = " << (s.KeepLang ? "yes" : "no") << "\n";
    return out.str();
}

TProjectSettings ParseProjectFile(std::string_view text, const std::string& path) {
    TProjectSettings s;
    bool versioned = false, source = false, target = false;
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const std::string_view line = Trim(text.substr(0, nl));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++number;
        if (line.empty() || line.front() == '#') continue;
        auto fail = [&](std::string_view german, std::string_view english) {
            throw ProjectFileError(path, number, german, english);
        };
        if (!versioned) {
            if (line.substr(0, kMagic.size()) != kMagic)
                fail("keine Projektdatei von Quillfen", "not a Quillfen project file");
            const auto version = Number(Trim(line.substr(kMagic.size())));
            if (!version || *version < 1) fail("Version unlesbar", "the version cannot be read");
            if (*version > kProjectFileVersion) throw NewerProjectError(path, *version);
            versioned = true;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) fail("\"=\" fehlt", "\"=\" is missing");
        const std::string key(Trim(line.substr(0, eq)));
        const std::string value(Trim(line.substr(eq + 1)));
        if (key == "source") {
            s.Source = value;
            source = !value.empty();
        } else if (key == "target") {
            s.Target = value;
            target = !value.empty();
        } else if (key == "source-lang") {
            s.SourceLanguage = value;
        } else if (key == "target-lang") {
            s.TargetLanguage = value;
        } else if (key == "tags") {
            const auto n = Number(value);
            if (!n || *n < 0 || *n > Bits(TTags::AllKinds))
                fail("tags ist keine Zahl der Arten", "tags is no number of kinds");
            s.Tags = TTags(static_cast<std::uint8_t>(*n));
        } else if (key == "units") {
            if (value == "runs")
                s.Units = TUnits::Runs;
            else if (value == "sentences")
                s.Units = TUnits::Sentences;
            else
                fail("units ist runs oder sentences", "units is runs or sentences");
        } else if (key == "include") {
            s.Include.push_back(value);
        } else if (key == "exclude") {
            s.Exclude.push_back(value);
        } else if (key == "fuzzy-threshold") {
            const auto n = Number(value);
            if (!n || *n < 1 || *n > 100)
                fail("fuzzy-threshold ist eine Zahl von 1 bis 100",
                     "fuzzy-threshold is a number from 1 to 100");
            s.FuzzyThreshold = *n;
        } else if (key == "keep-lang") {
            if (value != "yes" && value != "no")
                fail("keep-lang ist yes oder no", "keep-lang is yes or no");
            s.KeepLang = value == "yes";
        } else {
            fail(
                "unbekannter Schl\xC3\xBC"
                "ssel " +
                    key,
                "unknown key " + key);
        }
    }
    if (!versioned)
        throw ProjectFileError(path, 0, "keine Projektdatei von Quillfen",
                               "not a Quillfen project file");
    if (!source || !target)
        throw ProjectFileError(path, 0, "source und target m\xC3\xBCssen angegeben sein",
                               "source and target must be given");
    if (s.SourceLanguage.empty() || s.TargetLanguage.empty())
        throw ProjectFileError(path, 0, "source-lang und target-lang m\xC3\xBCssen angegeben sein",
                               "source-lang and target-lang must be given");
    return s;
}

TProject OpenProject(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CannotOpenError(path, errno);
    std::ostringstream text;
    text << in.rdbuf();
    TProject p;
    p.File = path;
    p.Settings = ParseProjectFile(text.str(), path);
    p.SourceDir = Resolved(path, p.Settings.Source).string();
    p.TargetDir = Resolved(path, p.Settings.Target).string();
    p.StatePath = path + ".state";
    p.MemoryPath = path + ".memory";
    return p;
}

void CheckFolders(const TProject& project) {
    std::error_code ec;
    if (!fs::is_directory(project.SourceDir, ec))
        throw ProjectFolderMissingError(project.SourceDir, false);
    if (!fs::is_directory(project.TargetDir, ec))
        throw ProjectFolderMissingError(project.TargetDir, true);
    const fs::path source = fs::canonical(project.SourceDir, ec);
    const fs::path target = fs::canonical(project.TargetDir, ec);
    if (ec) throw CannotOpenError(project.SourceDir, ec.value());
    if (source == target) throw ProjectFoldersSameError(project.SourceDir);
    auto inside = [](const fs::path& inner, const fs::path& outer) {
        auto [o, i] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
        return o == outer.end();
    };
    if (inside(target, source))
        throw ProjectFolderInsideError(project.TargetDir, project.SourceDir);
    if (inside(source, target))
        throw ProjectFolderInsideError(project.SourceDir, project.TargetDir);
}

TProject CreateProject(const std::string& path, TProjectSettings settings) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) throw ProjectExistsError(path);
    TProject p;
    p.File = path;
    p.SourceDir = fs::absolute(settings.Source).lexically_normal().string();
    p.TargetDir = fs::absolute(settings.Target).lexically_normal().string();
    settings.Source = Kept(path, settings.Source);
    settings.Target = Kept(path, settings.Target);
    p.Settings = settings;
    p.StatePath = path + ".state";
    p.MemoryPath = path + ".memory";
    CheckFolders(p);
    const std::vector<std::string> files = AllFiles(p.SourceDir);
    for (const std::vector<std::string>* patterns : {&settings.Include, &settings.Exclude})
        for (const std::string& pattern : *patterns)
            if (std::none_of(files.begin(), files.end(),
                             [&](const std::string& f) { return PatternTakes(pattern, f); }))
                throw GlobTakesNothingError(pattern);
    WriteFileAtomically(path, FormatProjectFile(settings));
    return p;
}

bool PatternTakes(const std::string& pattern, const std::string& relative) {
    if (pattern.find('/') != std::string::npos)
        return fnmatch(pattern.c_str(), relative.c_str(), 0) == 0;
    const std::size_t slash = relative.rfind('/');
    const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
}

TSiteFiles ListSiteFiles(const TProject& project) {
    TSiteFiles site;
    for (std::string& f : AllFiles(project.SourceDir)) {
        if (TakenByAny(project.Settings.Exclude, f)) continue;
        if (TakenByAny(Includes(project.Settings), f))
            site.Pages.push_back(std::move(f));
        else
            site.Others.push_back(std::move(f));
    }
    return site;
}

}  // namespace quillfen::project
