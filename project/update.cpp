#include "project/update.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <optional>

#include "core/document/editing.h"
#include "core/errors.h"
#include "core/files/filereader.h"
#include "core/files/filestamp.h"
#include "core/markup/scan.h"
#include "core/markup/sentences.h"
#include "core/markup/tokenizer.h"
#include "core/text/ascii.h"
#include "memory/align.h"
#include "memory/memory.h"
#include "memory/pages.h"
#include "session/pageset.h"

namespace quillfen::project {

namespace fs = std::filesystem;

namespace {

// Finds the attributes of the first html start tag, as the tokenizer reads the page.
class TRootTag final : public TTokenSink {
  public:
    void Text(std::size_t, std::size_t, TTextMode) override {}
    void Tag(const TTagToken& tag) override {
        if (tag.end || !tag.html || !EqualsNoCase(tag.name, "html")) return;
        Found = true;
        NameEnd = tag.lt + 1 + tag.name.size();
        const std::size_t textAt = tag.lt + 1;
        ForEachAttribute(tag.text, [&](const TAttribute& a) {
            const bool plain = EqualsNoCase(a.name, "lang");
            if ((plain || EqualsNoCase(a.name, "xml:lang")) && !(plain ? HasLang : HasXmlLang)) {
                (plain ? HasLang : HasXmlLang) = true;
                // The value's bytes, or where one goes for an attribute written without one.
                const std::size_t nameAt =
                    static_cast<std::size_t>(a.name.data() - tag.text.data());
                Values.push_back({a.hasValue ? textAt + a.valueAt : textAt + nameAt + a.name.size(),
                                  a.hasValue ? a.value.size() : 0, a.hasValue});
            }
            return true;
        });
        stop = true;
    }
    struct TValue {
        std::size_t At, Size;
        bool HasValue;
    };
    bool Found = false, HasLang = false, HasXmlLang = false;
    std::size_t NameEnd = 0;
    std::vector<TValue> Values;
};

// A target that parts from its base outside the phrases: another program changed its markup.
struct TRefusal {
    std::exception_ptr Error;
};

std::string ReadWhole(const std::string& path, TFileState* state = nullptr) {
    TFileStamp stamp;
    std::string bytes = ReadPageStamped(path, stamp);
    if (state) state->Hash = HashBytes(bytes);
    return bytes;
}

// The memories an update looks phrases up in: the project's first, then the user's.
struct TMemories {
    std::unique_ptr<TMemory> Project, User;
};

class TMemoryPool {
  public:
    TMemoryPool(std::string project, std::string user)
        : project_(std::move(project)), user_(std::move(user)) {}
    std::unique_ptr<TMemories> Take() {
        {
            std::lock_guard lock(mutex_);
            if (!free_.empty()) {
                auto m = std::move(free_.back());
                free_.pop_back();
                return m;
            }
        }
        auto m = std::make_unique<TMemories>();
        m->Project = std::make_unique<TMemory>(project_);
        if (!user_.empty()) m->User = std::make_unique<TMemory>(user_);
        return m;
    }
    void Give(std::unique_ptr<TMemories> m) {
        std::lock_guard lock(mutex_);
        free_.push_back(std::move(m));
    }

  private:
    std::string project_, user_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<TMemories>> free_;
};

std::size_t BandOf(int score) {
    if (score >= kInContextScore) return 0;
    if (score >= kExactScore) return 1;
    if (score >= 95) return 2;
    if (score >= 85) return 3;
    if (score >= kDefaultMinScore) return 4;
    return 5;
}

std::string UserMemoryPath(const TUpdateOptions& options) {
    if (options.UserMemory == "-") return {};
    const std::string path =
        options.UserMemory.empty() ? TMemory::DefaultPath() : options.UserMemory;
    std::error_code ec;
    return fs::exists(path, ec) ? path : std::string();
}

void AddCounts(TPageCounts& total, const TPageCounts& c) {
    total.Phrases += c.Phrases;
    total.Words += c.Words;
    total.Translated += c.Translated;
    total.TranslatedWords += c.TranslatedWords;
    total.InContext += c.InContext;
    total.Exact += c.Exact;
    total.Fuzzy += c.Fuzzy;
    total.FuzzyWords += c.FuzzyWords;
    for (std::size_t b = 0; b < c.Bands.size(); ++b) total.Bands[b] += c.Bands[b];
}

class TUpdater {
  public:
    TUpdater(const TProject& project, const TUpdateOptions& options)
        : project_(project),
          options_(options),
          settings_(project.Settings),
          languages_(MakeLanguagePair(settings_.SourceLanguage, settings_.TargetLanguage)),
          state_(project.StatePath) {}

    TUpdateReport Run();

  private:
    struct TWork {
        std::string Path;
        TFileState Source, Target;
        std::string SourceBytes;
        std::optional<TPageRecord> Record;
        bool Build = false;
    };

    std::string SourcePath(const std::string& rel) const { return project_.SourceDir + "/" + rel; }
    std::string TargetPath(const std::string& rel) const { return project_.TargetDir + "/" + rel; }
    TDocument Load(std::string_view bytes, const std::string& path) const {
        TDocument doc;
        doc.LoadBytes(bytes, settings_.Tags, settings_.Units, {}, path);
        return doc;
    }
    void FinishPending();
    void CopyOthers(const std::vector<std::string>& others, TUpdateReport& report);
    // The target's translations as units of the project's memory; refuses a target that parts
    // from its base outside the phrases.
    std::vector<TUnit> Harvest(const TWork& work, const std::string& base,
                               const std::string& target, TPageRecord* recount);
    TPageRecord Build(TWork& work, TMemories& memories);

    const TProject& project_;
    const TUpdateOptions& options_;
    const TProjectSettings& settings_;
    const TLanguagePair languages_;
    TState state_;
};

void TUpdater::FinishPending() {
    for (auto& [path, record] : state_.PendingPages()) {
        // The write is a safe save: the target is either the page the record describes or the
        // one before it.
        TFileState target = StatFile(TargetPath(path));
        bool written = false;
        if (target.Exists) {
            try {
                ReadWhole(TargetPath(path), &target);
                written = target.Hash == record.Target.Hash;
            } catch (const TError&) {
            }
        }
        if (written) {
            record.Target = target;
            state_.Put(record);
        }
        state_.DropPending(path);
    }
}

void TUpdater::CopyOthers(const std::vector<std::string>& others, TUpdateReport& report) {
    std::map<std::string, TFileState> copied = state_.Files();
    for (const std::string& rel : others) {
        try {
            TFileState source = StatFile(SourcePath(rel));
            const TFileState target = StatFile(TargetPath(rel));
            auto it = copied.find(rel);
            if (it != copied.end() && target.Exists && source.SameStat(it->second)) continue;
            std::string bytes = ReadWhole(SourcePath(rel), &source);
            if (!(it != copied.end() && target.Exists && source.Hash == it->second.Hash)) {
                fs::create_directories(fs::path(TargetPath(rel)).parent_path());
                WriteFileAtomically(TargetPath(rel), bytes);
                ++report.FilesCopied;
            }
            state_.PutFile(rel, source);
        } catch (...) {
            report.FileFailures.emplace_back(rel, std::current_exception());
        }
    }
}

std::vector<TUnit> TUpdater::Harvest(const TWork& work, const std::string& base,
                                     const std::string& target, TPageRecord* recount) {
    const TDocument baseDoc = Load(base, SourcePath(work.Path));
    const TDocument targetDoc = Load(target, TargetPath(work.Path));
    TAlignment alignment;
    try {
        alignment = AlignPages(baseDoc, SourcePath(work.Path), targetDoc, TargetPath(work.Path),
                               languages_);
    } catch (const TError&) {
        throw TRefusal{std::current_exception()};
    }
    for (TUnit& unit : alignment.Units) {
        // A site has many pages of one file name: the relative path tells them apart.
        unit.Context.Page = work.Path;
        unit.Origin = TOrigin::Alignment;
    }
    if (recount) Recount(baseDoc, targetDoc, *recount);
    return std::move(alignment.Units);
}

TPageRecord TUpdater::Build(TWork& work, TMemories& memories) {
    TPageRecord record;
    record.Path = work.Path;
    record.Source = work.Source;
    record.Base = settings_.KeepLang ? work.SourceBytes
                                     : WithRootLanguage(work.SourceBytes, settings_.TargetLanguage);
    TDocument doc = Load(record.Base, SourcePath(work.Path));
    TPageCounts& counts = record.Counts;
    std::vector<TPhraseChange> changes;
    for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
        const std::uint64_t words = PhraseWords(doc, i);
        ++counts.Phrases;
        counts.Words += words;
        TQuery query;
        query.Text = MemoryText(doc, i);
        query.Languages = languages_;
        query.MinScore = settings_.FuzzyThreshold;
        query.Context = PhraseContext(doc, i, work.Path);
        query.Limit = 1;
        std::vector<TMatch> matches = memories.Project->Lookup(query);
        if (memories.User && (matches.empty() || matches.front().Score < kInContextScore)) {
            std::vector<TMatch> user = memories.User->Lookup(query);
            if (!user.empty() && (matches.empty() || user.front().Score > matches.front().Score))
                matches = std::move(user);
        }
        const int score = matches.empty() ? 0 : matches.front().Score;
        bool taken = false;
        if (score >= kExactScore) {
            try {
                std::string text = CheckedText(doc, i, PhraseTextOf(doc, i, matches.front().Text));
                if (text != doc.Text(i)) changes.push_back({i, std::move(text)});
                taken = true;
                ++(score >= kInContextScore ? counts.InContext : counts.Exact);
                ++counts.Translated;
                counts.TranslatedWords += words;
            } catch (const TError&) {
                // A match the phrase cannot take (its placeholders differ) is left as source.
            }
        } else if (score >= settings_.FuzzyThreshold) {
            try {
                TDraft draft{i, score, matches.front().Unit.Source,
                             CheckedText(doc, i, PhraseTextOf(doc, i, matches.front().Text))};
                record.Drafts.push_back(std::move(draft));
                ++counts.Fuzzy;
                counts.FuzzyWords += words;
            } catch (const TError&) {
            }
        }
        if (!taken) counts.Bands[BandOf(taken ? 0 : score)] += words;
    }
    ReplacePhrases(doc, changes, [] {});
    const std::string rendered = doc.Render();
    record.Target.Exists = true;
    record.Target.Hash = HashBytes(rendered);
    // Recorded before the write, so that an update killed between the two finds the page it
    // wrote and finishes the record instead of taking the page for someone else's change.
    state_.PutPending(record);
    const std::string target = TargetPath(work.Path);
    fs::create_directories(fs::path(target).parent_path());
    WriteFileAtomically(target, rendered);
    if (options_.AfterWrite) options_.AfterWrite(work.Path);
    const std::uint64_t hash = record.Target.Hash;
    record.Target = StatFile(target);
    record.Target.Hash = hash;
    state_.Put(record);
    state_.DropPending(work.Path);
    return record;
}

TUpdateReport TUpdater::Run() {
    TUpdateReport report;
    const TSiteFiles site = ListSiteFiles(project_);
    FinishPending();
    std::map<std::string, TPageRecord> records = state_.Pages();

    std::vector<TWork> works;
    std::vector<TPageUpdate> updates;
    std::vector<TUnit> harvested;
    std::vector<std::size_t> toBuild;
    for (const std::string& rel : site.Pages) {
        TWork work;
        work.Path = rel;
        TPageUpdate update;
        update.Path = rel;
        try {
            auto it = records.find(rel);
            if (it != records.end()) work.Record = it->second;
            work.Source = StatFile(SourcePath(rel));
            work.Target = StatFile(TargetPath(rel));
            bool sourceChanged = true, targetChanged = work.Target.Exists;
            if (work.Record) {
                const TPageRecord& r = *work.Record;
                if (work.Source.SameStat(r.Source)) {
                    sourceChanged = false;
                    work.Source.Hash = r.Source.Hash;
                } else {
                    work.SourceBytes = ReadWhole(SourcePath(rel), &work.Source);
                    sourceChanged = work.Source.Hash != r.Source.Hash;
                }
                if (!work.Target.Exists) {
                    targetChanged = false;
                } else if (r.Target.Exists && work.Target.SameStat(r.Target)) {
                    targetChanged = false;
                    work.Target.Hash = r.Target.Hash;
                }
            }
            std::string targetBytes;
            if (targetChanged) {
                targetBytes = ReadWhole(TargetPath(rel), &work.Target);
                if (work.Record && work.Record->Target.Exists &&
                    work.Target.Hash == work.Record->Target.Hash)
                    targetChanged = false;
            }
            if (!sourceChanged && work.Target.Exists && !targetChanged) {
                // Only the stats moved (a copy, a touch): note them, write nothing.
                TPageRecord& r = *work.Record;
                if (!work.Source.SameStat(r.Source) || !work.Target.SameStat(r.Target) ||
                    r.Orphaned) {
                    r.Source = work.Source;
                    r.Target = work.Target;
                    r.Orphaned = false;
                    TPageRecord full = *state_.Page(rel);
                    full.Source = r.Source;
                    full.Target = r.Target;
                    full.Orphaned = false;
                    state_.Put(full);
                }
                update.Counts = r.Counts;
            } else if (!sourceChanged && targetChanged) {
                // The translator's work since the last update: into the memory, nothing written.
                TPageRecord full = *state_.Page(rel);
                std::vector<TUnit> units = Harvest(work, full.Base, targetBytes, &full);
                harvested.insert(harvested.end(), units.begin(), units.end());
                full.Target = work.Target;
                full.Orphaned = false;
                state_.Put(full);
                update.Outcome = TPageOutcome::Harvested;
                update.Counts = full.Counts;
            } else {
                if (work.SourceBytes.empty())
                    work.SourceBytes = ReadWhole(SourcePath(rel), &work.Source);
                if (work.Target.Exists) {
                    if (targetBytes.empty()) targetBytes = ReadWhole(TargetPath(rel));
                    // The base the target was made from; a target the project never made is
                    // taken as made from the source as it is now.
                    std::string base;
                    if (work.Record) {
                        base = state_.Page(rel)->Base;
                    } else {
                        base = settings_.KeepLang
                                   ? work.SourceBytes
                                   : WithRootLanguage(work.SourceBytes, settings_.TargetLanguage);
                    }
                    std::vector<TUnit> units = Harvest(work, base, targetBytes, nullptr);
                    harvested.insert(harvested.end(), units.begin(), units.end());
                }
                update.Outcome = work.Record ? TPageOutcome::Rebuilt : TPageOutcome::New;
                work.Build = true;
                toBuild.push_back(works.size());
            }
        } catch (const TRefusal& refusal) {
            update.Outcome = TPageOutcome::Refused;
            update.Error = refusal.Error;
            work.Build = false;
        } catch (...) {
            update.Outcome = TPageOutcome::Failed;
            update.Error = std::current_exception();
        }
        works.push_back(std::move(work));
        updates.push_back(std::move(update));
    }

    CopyOthers(site.Others, report);

    if (!toBuild.empty() || !harvested.empty()) {
        TMemory projectMemory(project_.MemoryPath);
        if (!harvested.empty()) projectMemory.Add(harvested);
    }
    if (!toBuild.empty()) {
        TMemoryPool pool(project_.MemoryPath, UserMemoryPath(options_));
        auto job = [&](std::size_t k) {
            TWork& work = works[toBuild[k]];
            std::unique_ptr<TMemories> memories = pool.Take();
            try {
                updates[toBuild[k]].Counts = Build(work, *memories).Counts;
            } catch (...) {
                pool.Give(std::move(memories));
                throw;
            }
            pool.Give(std::move(memories));
        };
        std::vector<std::exception_ptr> failures;
        if (options_.OneThread) {
            failures.resize(toBuild.size());
            for (std::size_t k = 0; k < toBuild.size(); ++k) {
                try {
                    job(k);
                } catch (...) {
                    failures[k] = std::current_exception();
                }
            }
        } else {
            failures = RunOnPages(toBuild.size(), job);
        }
        for (std::size_t k = 0; k < toBuild.size(); ++k)
            if (failures[k]) {
                updates[toBuild[k]].Outcome = TPageOutcome::Failed;
                updates[toBuild[k]].Error = failures[k];
            }
    }

    // Pages whose source is gone: their targets stay.
    for (const auto& [path, record] : records) {
        if (std::binary_search(site.Pages.begin(), site.Pages.end(), path)) continue;
        if (!record.Orphaned) state_.SetOrphaned(path, true);
        TPageUpdate update;
        update.Path = path;
        update.Outcome = TPageOutcome::Orphaned;
        updates.push_back(std::move(update));
    }
    std::sort(updates.begin(), updates.end(),
              [](const TPageUpdate& a, const TPageUpdate& b) { return a.Path < b.Path; });
    for (const TPageUpdate& u : updates)
        if (u.Outcome != TPageOutcome::Orphaned && !u.Error) AddCounts(report.Total, u.Counts);
    report.Pages = std::move(updates);
    return report;
}

}  // namespace

bool TUpdateReport::Failed() const {
    if (!FileFailures.empty()) return true;
    return std::any_of(Pages.begin(), Pages.end(), [](const TPageUpdate& p) {
        return p.Outcome == TPageOutcome::Refused || p.Outcome == TPageOutcome::Failed;
    });
}

TUpdateReport UpdateProject(const TProject& project, const TUpdateOptions& options) {
    CheckFolders(project);
    TUpdater updater(project, options);
    return updater.Run();
}

std::string WithRootLanguage(std::string_view page, std::string_view language) {
    TRootTag root;
    Tokenize(page, root);
    if (!root.Found) return std::string(page);
    std::string out(page);
    std::string quoted(1, '"');
    quoted.append(language).push_back('"');
    if (root.Values.empty()) {
        out.insert(root.NameEnd, std::string(" lang=").append(quoted));
        return out;
    }
    // From the back, so that the earlier places stay where they are.
    std::sort(root.Values.begin(), root.Values.end(),
              [](const auto& a, const auto& b) { return a.At > b.At; });
    for (const TRootTag::TValue& v : root.Values) {
        if (!v.HasValue) {
            out.insert(v.At, std::string("=").append(quoted));
            continue;
        }
        out.replace(v.At, v.Size, std::string(language));
    }
    return out;
}

std::uint64_t PhraseWords(const TDocument& doc, std::size_t i) {
    // OriginalText gives a copy: held here, not viewed.
    const std::string text = doc.OriginalText(i);
    return doc.Spans()[i].Source == TSource::Sentence ? CountWords(TextWithoutPlaceholders(text))
                                                      : CountWords(text);
}

void Recount(const TDocument& base, const TDocument& target, TPageRecord& record) {
    TPageCounts& c = record.Counts;
    c.Phrases = base.PhraseCount();
    c.Words = c.Translated = c.TranslatedWords = 0;
    for (std::size_t i = 0; i < base.PhraseCount(); ++i) {
        const std::uint64_t words = PhraseWords(base, i);
        c.Words += words;
        if (i < target.PhraseCount() && target.Text(i) != base.Text(i)) {
            ++c.Translated;
            c.TranslatedWords += words;
        }
    }
    std::erase_if(record.Drafts, [&](const TDraft& d) {
        return d.Phrase >= target.PhraseCount() || d.Phrase >= base.PhraseCount() ||
               target.Text(d.Phrase) != base.Text(d.Phrase);
    });
    c.Fuzzy = record.Drafts.size();
    c.FuzzyWords = 0;
    for (const TDraft& d : record.Drafts) c.FuzzyWords += PhraseWords(base, d.Phrase);
}

}  // namespace quillfen::project
