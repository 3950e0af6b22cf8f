#include "memory/memory.h"

#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "core/errors.h"
#include "core/files/filestamp.h"
#include "exchange/translation.h"
#include "store/dismissals.h"
#include "store/sqlite.h"

namespace quillfen {

using store::TDatabase;
using store::TStatement;
using store::TTransaction;

namespace {

// "QfTM" in the header's application id, so that no other program's database is taken for ours.
constexpr std::uint32_t kApplicationId = 0x5166544D;
// The schema this version writes. A later version that changes it raises the number and
// migrates older files (kMigrations); a file of a higher number is refused.
constexpr int kSchemaVersion = 2;
// How long a change waits for another program's transaction before it gives up.
constexpr int kBusyMilliseconds = 10000;

// The schema of version 1. A unit's source is kept with its tokens (4 bytes each, little-endian),
// the hash of its words (near-exact matches) and the hash of pair, source and target (one unit
// per translation); the full-text index holds each source's distinct tokens as terms
// (AppendIndexTerm) and nothing else, and term counts the units whose source has a term, so that
// a fuzzy lookup asks the index for the rarest of a text's tokens.
constexpr const char* kSchema = R"sql(
CREATE TABLE pair(
  id INTEGER PRIMARY KEY,
  source TEXT NOT NULL,
  target TEXT NOT NULL,
  UNIQUE(source, target));
CREATE TABLE unit(
  id INTEGER PRIMARY KEY,
  pair INTEGER NOT NULL REFERENCES pair(id),
  toks BLOB NOT NULL,
  time INTEGER NOT NULL,
  wkey INTEGER NOT NULL,
  ident INTEGER NOT NULL,
  source TEXT NOT NULL,
  target TEXT NOT NULL,
  codes BLOB,
  kind INTEGER NOT NULL,
  origin INTEGER NOT NULL,
  page TEXT,
  before TEXT,
  after TEXT);
CREATE INDEX unit_words ON unit(pair, wkey);
CREATE INDEX unit_ident ON unit(ident);
CREATE VIRTUAL TABLE unit_index USING fts5(
  tokens, content='', columnsize=0, detail=none, tokenize='ascii');
CREATE TABLE term(
  id INTEGER PRIMARY KEY,
  units INTEGER NOT NULL);
)sql";

// Each step takes a file of version k + 1 to k + 2, inside the transaction that opens it.
// 2: the dismissals of checks on single pages (store/dismissals.h).
constexpr std::array<const char*, kSchemaVersion - 1> kMigrations = {kDismissalTableSchema};

// What the file at path is, read from its bytes before SQLite opens it: SQLite would take any
// file for a database until it reads it, and WAL mode writes to it at once.
enum class TFileState { Missing, Empty, Memory };

TFileState CheckFile(const std::string& path) {
    const store::TStoreFile file = store::InspectFile(path);
    switch (file.State) {
        case store::TStoreFile::Missing:
            return TFileState::Missing;
        case store::TStoreFile::Empty:
            return TFileState::Empty;
        case store::TStoreFile::Other:
            throw NotMemoryError(path);
        case store::TStoreFile::Database:
            break;
    }
    if (file.ApplicationId != kApplicationId) throw NotMemoryError(path);
    if (file.Version > kSchemaVersion) throw NewerMemoryError(path, file.Version);
    // A file cut short is SQLite's to notice (its header counts more pages than the file has),
    // at the first read below, before anything writes.
    return TFileState::Memory;
}

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::string TokenBytes(const std::vector<TToken>& tokens) {
    std::string bytes;
    bytes.reserve(tokens.size() * 4);
    for (const TToken t : tokens)
        for (int k = 0; k < 4; ++k) bytes += static_cast<char>((t >> (8 * k)) & 0xFF);
    return bytes;
}

void ReadTokens(std::string_view bytes, std::vector<TToken>& tokens) {
    tokens.resize(bytes.size() / 4);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < tokens.size(); ++i, p += 4)
        tokens[i] = static_cast<TToken>(p[0]) | static_cast<TToken>(p[1]) << 8 |
                    static_cast<TToken>(p[2]) << 16 | static_cast<TToken>(p[3]) << 24;
}

std::uint64_t Identity(std::int64_t pair, std::string_view source, std::string_view target) {
    THasher hasher;
    const std::string id = std::to_string(pair);
    hasher.Add(id);
    hasher.Add(std::string_view("\0", 1));
    hasher.Add(source);
    hasher.Add(std::string_view("\0", 1));
    hasher.Add(target);
    return hasher.Finish();
}

void BindOptionalText(TStatement& s, int i, std::string_view text) {
    if (text.empty())
        s.BindNull(i);
    else
        s.Bind(i, text);
}

}  // namespace

std::string_view OriginName(TOrigin origin) {
    switch (origin) {
        case TOrigin::Window:
            return "window";
        case TOrigin::Save:
            return "save";
        case TOrigin::Merge:
            return "merge";
        case TOrigin::Pretranslation:
            return "pretranslation";
        case TOrigin::Alignment:
            return "alignment";
        case TOrigin::Import:
            return "import";
    }
    return "import";
}

std::optional<TOrigin> OriginNamed(std::string_view name) {
    for (int k = static_cast<int>(TOrigin::Window); k <= static_cast<int>(TOrigin::Import); ++k)
        if (OriginName(static_cast<TOrigin>(k)) == name) return static_cast<TOrigin>(k);
    return std::nullopt;
}

TLanguagePair MakeLanguagePair(std::string_view source, std::string_view target) {
    auto tag = [](std::string_view text, bool isTarget) {
        const std::optional<std::string> tag = LanguageTag(text);
        if (!tag) {
            if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
                throw UnknownLanguageError(isTarget);
            throw LanguageTagError(text);
        }
        if (*tag == "und") throw UnknownLanguageError(isTarget);
        return *tag;
    };
    return {tag(source, false), tag(target, true)};
}

namespace {

// The full-text query that names every unit that may score at least `least` against tokens
// (counts: how many units hold each), and as few others as it can; empty when no unit can.
//
// Such a unit shares at least t = ceil(least * n / 100) of the n tokens, so it misses at most
// b = n - t of them, a token it lacks counting as often as the text has it. Tokens no unit holds
// are missed by all, leaving b' for the others. Of any c distinct tokens that units hold, a unit
// that may score therefore has at least c - b' (and, sharing one, at least 1): the rarest
// b' + 1 + e are asked for, at least e + 1 of them at once, e growing with how many units the
// rarest name, so that the index, not the rows, sorts them out. A long text also asks for the
// lengths that may score (lengths: their terms), which few units have.
std::string IndexQuery(const std::vector<TToken>& tokens,
                       const std::unordered_map<TToken, std::int64_t>& counts, int least,
                       const std::vector<TToken>& lengths) {
    const std::size_t n = tokens.size();
    const std::size_t t = (static_cast<std::size_t>(least) * n + 99) / 100;
    std::size_t budget = n - t;
    std::map<TToken, std::size_t> held;  // distinct tokens units hold: how often the text has it
    for (const TToken token : tokens) {
        if (counts.at(token) > 0) {
            ++held[token];
        } else {
            if (budget == 0) return {};
            --budget;
        }
    }
    std::vector<std::pair<std::int64_t, TToken>> rarest;
    for (const auto& [token, times] : held) rarest.emplace_back(counts.at(token), token);
    std::sort(rarest.begin(), rarest.end());
    std::int64_t named = 0;  // units the rarest b' + 1 name, at most
    for (std::size_t k = 0; k < rarest.size() && k <= budget; ++k) named += rarest[k].first;
    const std::size_t extra = named <= 256 ? 0 : named <= 8192 ? 1 : 2;
    // choose(c, k) ANDs of k terms, kept to a few dozen.
    auto choose = [](std::size_t c, std::size_t k) {
        std::size_t r = 1;
        for (std::size_t i = 1; i <= k; ++i) r = r * (c - k + i) / i;
        return r;
    };
    std::size_t c = std::min(rarest.size(), budget + 1 + extra);
    while (c > budget + 1 && choose(c, c - budget) > 64) --c;
    const std::size_t need = c > budget ? c - budget : 1;
    std::vector<std::string> terms;
    for (std::size_t k = 0; k < c; ++k) {
        std::string term = "\"";
        AppendIndexTerm(term, rarest[k].second);
        terms.push_back(term + '"');
    }
    if (terms.empty()) return {};
    // Every subset of need terms, in order.
    std::string match;
    // The lengths that may score, where they name fewer units than the tokens (long texts).
    std::int64_t ofLength = 0;
    for (const TToken token : lengths) ofLength += counts.at(token);
    if (ofLength == 0) return {};
    if (ofLength < named) {
        match += '(';
        for (std::size_t k = 0; k < lengths.size(); ++k) {
            match += k ? " OR \"" : "\"";
            AppendIndexTerm(match, lengths[k]);
            match += '"';
        }
        match += ") AND (";
    }
    const bool byLength = !match.empty();
    std::vector<std::size_t> pick(need);
    for (std::size_t k = 0; k < need; ++k) pick[k] = k;
    for (bool first = true;; first = false) {
        if (!first) match += " OR ";
        if (need > 1) match += '(';
        for (std::size_t k = 0; k < need; ++k) match += (k ? " AND " : "") + terms[pick[k]];
        if (need > 1) match += ')';
        std::size_t k = need;
        while (k > 0 && pick[k - 1] == c - need + k - 1) --k;
        if (k == 0) break;
        ++pick[k - 1];
        for (std::size_t j = k; j < need; ++j) pick[j] = pick[j - 1] + 1;
    }
    if (byLength) match += ')';
    return match;
}

}  // namespace

struct TMemory::TImpl {
    explicit TImpl(const std::string& path);

    std::optional<std::int64_t> FindPair(const TLanguagePair& languages);
    std::int64_t AddPair(const TLanguagePair& languages);
    TStatement& Statement(std::unique_ptr<TStatement>& slot, const char* sql) {
        if (!slot) slot = std::make_unique<TStatement>(db, sql);
        return *slot;
    }
    TUnit ReadUnit(std::int64_t id);
    void Lookup(const TQuery& query, std::vector<TMatch>& out);

    TDatabase db;
    std::unique_ptr<TStatement> findPair, addPair, findIdent, updateUnit, insertUnit, insertIndex,
        addTerm, termUnits, byWords, candidates, candidate, fullUnit, pairOf;
};

TMemory::TImpl::TImpl(const std::string& path)
    : db(path, [&] {
          const TFileState state = CheckFile(path);
          int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
          if (state == TFileState::Missing) flags |= SQLITE_OPEN_CREATE;
          return flags;
      }()) {
    sqlite3_busy_timeout(db.Handle(), kBusyMilliseconds);
    // Until the file is known to be ours, closing it must not checkpoint another program's WAL
    // into it.
    sqlite3_db_config(db.Handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // Everything up to the journal mode only reads, so that a file that is not ours stays as it
    // is; the header said so already, and the database itself is asked again here, since a
    // change not yet checkpointed lives in the WAL file.
    auto check = [&] {
        const auto id = static_cast<std::uint32_t>(db.Number("PRAGMA application_id"));
        const auto version = static_cast<int>(db.Number("PRAGMA user_version"));
        const bool tables = db.Number("SELECT count(*) FROM sqlite_schema") > 0;
        if (id == 0 && version == 0 && !tables) return 0;  // a new file
        if (id != kApplicationId) throw NotMemoryError(db.Path());
        if (version > kSchemaVersion) throw NewerMemoryError(db.Path(), version);
        if (version < 1) throw DamagedMemoryError(db.Path(), "no schema version");
        return version;
    };
    int version = check();
    if (version == 0 || version < kSchemaVersion) {
        // Made or migrated in one transaction; another process may have done it meanwhile.
        TTransaction transaction(db);
        version = check();
        if (version == 0) {
            db.Exec(kSchema);
            db.Exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
            version = 1;
        }
        for (; version < kSchemaVersion; ++version) db.Exec(kMigrations[version - 1]);
        db.Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
        transaction.Commit();
    }
    for (const char* table : {"pair", "unit", "unit_index", "term", "dismissal"}) {
        TStatement s(db, "SELECT 1 FROM sqlite_schema WHERE name = ?");
        s.Bind(1, std::string_view(table));
        if (!s.Step())
            throw DamagedMemoryError(db.Path(), std::string("the table ") + table + " is missing");
    }
    sqlite3_db_config(db.Handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    db.Exec("PRAGMA journal_mode = WAL");
    // Reads go through the mapped file and a cache that holds a large memory's hot pages.
    db.Exec("PRAGMA mmap_size = 268435456; PRAGMA cache_size = -32768; PRAGMA temp_store = MEMORY");
}

std::optional<std::int64_t> TMemory::TImpl::FindPair(const TLanguagePair& languages) {
    TStatement& s = Statement(findPair, "SELECT id FROM pair WHERE source = ? AND target = ?");
    TStatement::TUse use(s);
    s.Bind(1, languages.Source);
    s.Bind(2, languages.Target);
    if (!s.Step()) return std::nullopt;
    return s.Int(0);
}

std::int64_t TMemory::TImpl::AddPair(const TLanguagePair& languages) {
    if (auto id = FindPair(languages)) return *id;
    TStatement& s = Statement(addPair, "INSERT INTO pair(source, target) VALUES(?, ?)");
    TStatement::TUse use(s);
    s.Bind(1, languages.Source);
    s.Bind(2, languages.Target);
    s.Step();
    return sqlite3_last_insert_rowid(db.Handle());
}

namespace {

constexpr const char* kUnitColumns =
    "u.source, u.target, u.codes, u.kind, u.origin, u.time, u.page, u.before, u.after, "
    "p.source, p.target";

// A unit from the columns kUnitColumns names.
TUnit UnitOfRow(const TStatement& s) {
    TUnit unit;
    unit.Source = s.Text(0);
    unit.Target = s.Text(1);
    unit.Codes = s.Blob(2);
    const auto kind = s.Int(3);
    unit.Kind =
        kind >= 0 && kind <= static_cast<int>(kLastKind) ? static_cast<TKind>(kind) : TKind::Text;
    const auto origin = s.Int(4);
    unit.Origin =
        origin >= static_cast<int>(TOrigin::Window) && origin <= static_cast<int>(TOrigin::Import)
            ? static_cast<TOrigin>(origin)
            : TOrigin::Import;
    unit.Time = s.Int(5);
    unit.Context = {std::string(s.Text(6)), std::string(s.Text(7)), std::string(s.Text(8))};
    unit.Languages = {std::string(s.Text(9)), std::string(s.Text(10))};
    return unit;
}

}  // namespace

TUnit TMemory::TImpl::ReadUnit(std::int64_t id) {
    TStatement& s = Statement(fullUnit, (std::string("SELECT ") + kUnitColumns +
                                         " FROM unit u JOIN pair p ON p.id = u.pair WHERE u.id = ?")
                                            .c_str());
    TStatement::TUse use(s);
    s.Bind(1, id);
    return s.Step() ? UnitOfRow(s) : TUnit{};
}

void TMemory::TImpl::Lookup(const TQuery& query, std::vector<TMatch>& out) {
    const std::optional<std::int64_t> pair =
        FindPair(MakeLanguagePair(query.Languages.Source, query.Languages.Target));
    if (!pair || query.Text.empty() || query.Limit == 0) return;
    const int least = std::clamp(query.MinScore, 1, kInContextScore);
    const TAnalysis analysis = AnalyseText(query.Text);

    struct TFound {
        int score;
        std::int64_t time, id;
        bool operator<(const TFound& o) const {  // better first
            if (score != o.score) return score > o.score;
            if (time != o.time) return time > o.time;
            return id > o.id;
        }
    };
    std::vector<TFound> found;
    std::unordered_set<std::int64_t> seen;
    std::vector<TToken> tokens;

    // The same words: exact, in context and near exact (and fuzzy among them).
    {
        TStatement& s = Statement(byWords,
                                  "SELECT id, toks, time, source, page, before, after FROM unit "
                                  "WHERE pair = ? AND wkey = ?");
        TStatement::TUse use(s);
        s.Bind(1, *pair);
        s.Bind(2, static_cast<std::int64_t>(analysis.WordsKey));
        const TContext& c = query.Context;
        while (s.Step()) {
            const std::int64_t id = s.Int(0);
            seen.insert(id);
            ReadTokens(s.Blob(1), tokens);
            const bool neighbours = (!c.Before.empty() || !c.After.empty()) &&
                                    s.Text(5) == c.Before && s.Text(6) == c.After;
            const bool page = !c.Page.empty() && s.Text(4) == c.Page;
            const int score = MatchScore(query.Text, analysis, s.Text(3), tokens, analysis.WordsKey,
                                         neighbours || page, least);
            if (score >= 0) found.push_back({score, s.Int(2), id});
        }
    }
    std::sort(found.begin(), found.end());
    const auto full = [&] {
        std::size_t top = 0;
        for (const TFound& f : found) top += f.score >= kExactScore ? 1 : 0;
        return top >= query.Limit;
    };

    const std::size_t n = analysis.Tokens.size();
    if (least <= kNearExactScore && n > 0 && !full()) {
        std::unordered_map<TToken, std::int64_t> counts;
        TStatement& units = Statement(termUnits, "SELECT units FROM term WHERE id = ?");
        std::vector<TToken> asked = analysis.Tokens;
        const std::vector<TToken> lengths = LengthTokens(n, least);
        asked.insert(asked.end(), lengths.begin(), lengths.end());
        for (const TToken token : asked) {
            auto [it, fresh] = counts.try_emplace(token, 0);
            if (!fresh) continue;
            TStatement::TUse use(units);
            units.Bind(1, static_cast<std::int64_t>(token));
            it->second = units.Step() ? units.Int(0) : 0;
        }
        const std::string match = IndexQuery(analysis.Tokens, counts, least, lengths);
        if (!match.empty()) {
            // The best Limit so far, worst on top: a candidate must beat it.
            std::vector<TFound> best;
            for (const TFound& f : found)
                if (best.size() < query.Limit) best.push_back(f);
            std::make_heap(best.begin(), best.end());
            TStatement& ids =
                Statement(candidates, "SELECT rowid FROM unit_index WHERE unit_index MATCH ?");
            TStatement& row =
                Statement(candidate, "SELECT pair, toks, time FROM unit WHERE id = ?");
            TStatement::TUse use(ids);
            ids.Bind(1, match);
            while (ids.Step()) {
                const std::int64_t id = ids.Int(0);
                if (seen.count(id)) continue;
                TStatement::TUse rowUse(row);
                row.Bind(1, id);
                if (!row.Step() || row.Int(0) != *pair) continue;
                ReadTokens(row.Blob(1), tokens);
                const int bar = best.size() < query.Limit ? least : best.front().score;
                const int score = FuzzyScore(analysis.Tokens, tokens, bar);
                if (score < 0) continue;
                const TFound f{score, row.Int(2), id};
                if (best.size() < query.Limit) {
                    best.push_back(f);
                    std::push_heap(best.begin(), best.end());
                } else if (f < best.front()) {
                    std::pop_heap(best.begin(), best.end());
                    best.back() = f;
                    std::push_heap(best.begin(), best.end());
                }
            }
            found.insert(found.end(), best.begin(), best.end());
            std::sort(found.begin(), found.end());
            found.erase(std::unique(found.begin(), found.end(),
                                    [](const TFound& a, const TFound& b) { return a.id == b.id; }),
                        found.end());
        }
    }
    if (found.size() > query.Limit) found.resize(query.Limit);
    for (const TFound& f : found) {
        TMatch match;
        match.Score = f.score;
        match.Unit = ReadUnit(f.id);
        match.Text = FitToPhrase(match.Unit.Target, match.Unit.Source, query.Text, &match.Dropped);
        out.push_back(std::move(match));
    }
}

std::string TMemory::DefaultPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    // XDG_DATA_HOME counts only as an absolute path.
    if (data && data[0] == '/') return std::string(data) + "/Quillfen/memory.sqlite";
    std::string home;
    if (const char* variable = std::getenv("HOME"); variable && variable[0] == '/') {
        home = variable;
    } else {
        passwd entry{}, *found = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir)
            home = found->pw_dir;
    }
    if (home.empty()) throw CannotCreateFolderError("~/.local/share/Quillfen");
    return home + "/.local/share/Quillfen/memory.sqlite";
}

std::unique_ptr<TMemory> TMemory::OpenDefault() {
    const std::string path = DefaultPath();
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw CannotCreateError(folder.string(), error.value());
    return std::make_unique<TMemory>(path);
}

TMemory::TMemory(const std::string& path) : impl_(std::make_unique<TImpl>(path)) {}

TMemory::~TMemory() = default;

const std::string& TMemory::Path() const { return impl_->db.Path(); }
store::TDatabase& TMemory::Database() { return impl_->db; }

std::vector<TMatch> TMemory::Lookup(const TQuery& query) {
    std::vector<TMatch> out;
    impl_->Lookup(query, out);
    return out;
}

struct TMemory::TWriter::TState {
    explicit TState(TImpl& memory) : impl(memory), transaction(memory.db) {}
    TImpl& impl;
    TTransaction transaction;
    std::map<std::pair<std::string, std::string>, std::int64_t> pairs;
    // Units whose source has each term, added in this transaction.
    std::unordered_map<TToken, std::int64_t> terms;
    std::string index;
};

TMemory::TWriter::TWriter(TMemory& memory) : state_(std::make_unique<TState>(*memory.impl_)) {}

TMemory::TWriter::~TWriter() = default;

bool TMemory::TWriter::Add(const TUnit& unit) {
    // An empty text is no translation.
    if (unit.Source.empty() || unit.Target.empty()) return false;
    TImpl& m = state_->impl;
    const auto key = std::make_pair(unit.Languages.Source, unit.Languages.Target);
    auto known = state_->pairs.find(key);
    if (known == state_->pairs.end())
        known =
            state_->pairs
                .emplace(key,
                         m.AddPair(MakeLanguagePair(unit.Languages.Source, unit.Languages.Target)))
                .first;
    const std::int64_t pair = known->second;
    const std::int64_t time = unit.Time != 0 ? unit.Time : Now();
    const auto ident = static_cast<std::int64_t>(Identity(pair, unit.Source, unit.Target));

    {
        TStatement& find = m.Statement(
            m.findIdent, "SELECT id, time, pair, source, target FROM unit WHERE ident = ?");
        TStatement::TUse use(find);
        find.Bind(1, ident);
        std::optional<std::pair<std::int64_t, std::int64_t>> same;  // id, time
        while (find.Step())
            if (find.Int(2) == pair && find.Text(3) == unit.Source && find.Text(4) == unit.Target)
                same = {find.Int(0), find.Int(1)};
        if (same) {
            if (time >= same->second) {
                TStatement& update = m.Statement(
                    m.updateUnit,
                    "UPDATE unit SET time = ?, kind = ?, origin = ?, codes = ?, page = ?, "
                    "before = ?, after = ? WHERE id = ?");
                TStatement::TUse updateUse(update);
                update.Bind(1, time);
                update.Bind(2, static_cast<std::int64_t>(unit.Kind));
                update.Bind(3, static_cast<std::int64_t>(unit.Origin));
                if (unit.Codes.empty())
                    update.BindNull(4);
                else
                    update.BindBlob(4, unit.Codes);
                BindOptionalText(update, 5, unit.Context.Page);
                BindOptionalText(update, 6, unit.Context.Before);
                BindOptionalText(update, 7, unit.Context.After);
                update.Bind(8, same->first);
                update.Step();
            }
            return false;
        }
    }

    const TAnalysis analysis = AnalyseText(unit.Source);
    TStatement& insert = m.Statement(
        m.insertUnit,
        "INSERT INTO unit(pair, toks, time, wkey, ident, source, target, codes, kind, origin, "
        "page, before, after) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    {
        TStatement::TUse use(insert);
        insert.Bind(1, pair);
        insert.BindBlob(2, TokenBytes(analysis.Tokens));
        insert.Bind(3, time);
        insert.Bind(4, static_cast<std::int64_t>(analysis.WordsKey));
        insert.Bind(5, ident);
        insert.Bind(6, unit.Source);
        insert.Bind(7, unit.Target);
        if (unit.Codes.empty())
            insert.BindNull(8);
        else
            insert.BindBlob(8, unit.Codes);
        insert.Bind(9, static_cast<std::int64_t>(unit.Kind));
        insert.Bind(10, static_cast<std::int64_t>(unit.Origin));
        BindOptionalText(insert, 11, unit.Context.Page);
        BindOptionalText(insert, 12, unit.Context.Before);
        BindOptionalText(insert, 13, unit.Context.After);
        insert.Step();
    }
    const std::int64_t id = sqlite3_last_insert_rowid(m.db.Handle());

    std::vector<TToken> distinct = analysis.Tokens;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    // Its length too, so that a lookup can ask for the lengths that may score.
    distinct.push_back(LengthToken(analysis.Tokens.size()));
    std::string& terms = state_->index;
    terms.clear();
    for (const TToken token : distinct) {
        if (!terms.empty()) terms += ' ';
        AppendIndexTerm(terms, token);
        ++state_->terms[token];
    }
    TStatement& index =
        m.Statement(m.insertIndex, "INSERT INTO unit_index(rowid, tokens) VALUES(?, ?)");
    TStatement::TUse use(index);
    index.Bind(1, id);
    index.Bind(2, terms);
    index.Step();
    return true;
}

void TMemory::TWriter::Commit() {
    TImpl& m = state_->impl;
    TStatement& add = m.Statement(m.addTerm,
                                  "INSERT INTO term(id, units) VALUES(?, ?) ON CONFLICT(id) DO "
                                  "UPDATE SET units = units + excluded.units");
    for (const auto& [token, units] : state_->terms) {
        TStatement::TUse use(add);
        add.Bind(1, static_cast<std::int64_t>(token));
        add.Bind(2, units);
        add.Step();
    }
    state_->terms.clear();
    state_->transaction.Commit();
}

void TMemory::Add(const std::vector<TUnit>& units) {
    TWriter writer(*this);
    for (const TUnit& unit : units) writer.Add(unit);
    writer.Commit();
}

void TMemory::Add(const TUnit& unit) { Add(std::vector<TUnit>{unit}); }

std::size_t TMemory::UnitCount() {
    return static_cast<std::size_t>(impl_->db.Number("SELECT count(*) FROM unit"));
}

void TMemory::ForEachUnit(std::string_view source, std::string_view target,
                          const std::function<void(const TUnit&)>& each) {
    TStatement s(impl_->db, std::string("SELECT ") + kUnitColumns +
                                " FROM unit u JOIN pair p ON p.id = u.pair WHERE (?1 = '' OR "
                                "p.source = ?1) AND (?2 = '' OR p.target = ?2) ORDER BY u.id");
    std::string sourceTag(source), targetTag(target);
    for (std::string* tag : {&sourceTag, &targetTag})
        if (!tag->empty()) {
            const std::optional<std::string> canonical = LanguageTag(*tag);
            if (!canonical) throw LanguageTagError(*tag);
            *tag = *canonical;
        }
    s.Bind(1, sourceTag);
    s.Bind(2, targetTag);
    while (s.Step()) each(UnitOfRow(s));
}

}  // namespace quillfen
