#include "ui/matchespane.h"

#include <QCheckBox>
#include <QDataStream>
#include <QFile>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QShortcut>
#include <QSplitter>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "exchange/translation.h"
#include "memory/sessionmemory.h"
#include "session/pagesession.h"
#include "settings/stringtable.h"
#include "ui/application.h"
#include "ui/codec.h"
#include "ui/entryedit.h"

namespace quillfen {

namespace {

constexpr std::size_t kShortcuts = 5;

TStringId OriginText(const std::string& name) {
    switch (OriginNamed(name).value_or(TOrigin::Window)) {
        case TOrigin::Window:
            break;
        case TOrigin::Save:
            return TStringId::OriginSave;
        case TOrigin::Merge:
            return TStringId::OriginMerge;
        case TOrigin::Pretranslation:
            return TStringId::OriginPretranslation;
        case TOrigin::Alignment:
            return TStringId::OriginAlignment;
        case TOrigin::Import:
            return TStringId::OriginImport;
    }
    return TStringId::OriginWindow;
}

}  // namespace

QString MarkDifferences(const QString& source, const QString& current) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList a = source.split(blanks, Qt::SkipEmptyParts);
    const QStringList b = current.split(blanks, Qt::SkipEmptyParts);
    // The longest common subsequence of words; a text too long for it is shown unmarked.
    std::vector<bool> common(std::size_t(a.size()), a.size() * b.size() > 250000);
    if (!common.empty() && !common[0]) {
        const std::size_t n = std::size_t(a.size()), m = std::size_t(b.size());
        std::vector<std::vector<std::uint16_t>> l(n + 1, std::vector<std::uint16_t>(m + 1, 0));
        for (std::size_t i = n; i-- > 0;)
            for (std::size_t j = m; j-- > 0;)
                l[i][j] = a[qsizetype(i)] == b[qsizetype(j)] ? std::uint16_t(l[i + 1][j + 1] + 1)
                                                             : std::max(l[i + 1][j], l[i][j + 1]);
        for (std::size_t i = 0, j = 0; i < n && j < m;) {
            if (a[qsizetype(i)] == b[qsizetype(j)]) {
                common[i++] = true;
                ++j;
            } else if (l[i + 1][j] >= l[i][j + 1]) {
                ++i;
            } else {
                ++j;
            }
        }
    }
    QString html;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (i > 0) html += QLatin1Char(' ');
        const QString word = a[i].toHtmlEscaped();
        html += common[std::size_t(i)]
                    ? word
                    : QStringLiteral("<span style=\"background-color:#ffd59a\">") + word +
                          QStringLiteral("</span>");
    }
    return html;
}

int MatchesPaneHeight(const QWidget& pane) {
    return 7 * QFontMetrics(pane.font()).lineSpacing() + 16;
}

bool RestoreSplitter(QSplitter& splitter, const QByteArray& state) {
    if (state.isEmpty() || !splitter.restoreState(state)) return false;
    // What QSplitter::saveState writes first: a marker, a version, the sizes.
    QDataStream stream(state);
    stream.setVersion(QDataStream::Qt_5_0);
    qint32 marker = 0, version = 0;
    QList<int> sizes;
    stream >> marker >> version >> sizes;
    if (stream.status() == QDataStream::Ok && sizes.size() == splitter.count() - 1) {
        sizes.prepend(MatchesPaneHeight(*splitter.widget(0)));
        splitter.setSizes(sizes);
    }
    return true;
}

// The memory as the pane uses it: one connection for what the session writes (this thread), one
// for the lookups of the worker thread, which takes only the newest query waiting.
struct TMatchesPane::TMemoryState {
    std::unique_ptr<TMemory> Writer, Reader;
    std::unique_ptr<TMemoryObserver> Observer;
    std::unique_ptr<TMemorySuggestions> Suggestions;
    // A project page's: the project's memory, looked up first (its own steps the project page
    // stores itself).
    std::unique_ptr<TMemory> ProjectReader;
    std::unique_ptr<TMemorySuggestions> ProjectSuggestions;
    std::mutex Lock;
    std::condition_variable Wake;
    std::optional<std::pair<std::uint64_t, TSuggestionQuery>> Pending;
    bool Stop = false;
    std::thread Worker;

    void Start(TMatchesPane* pane) {
        Worker = std::thread([this, pane] {
            for (;;) {
                std::unique_lock lock(Lock);
                Wake.wait(lock, [this] { return Stop || Pending; });
                if (Stop) return;
                auto [generation, query] = std::move(*Pending);
                Pending.reset();
                lock.unlock();
                std::vector<TSuggestion> found;
                std::exception_ptr error;
                try {
                    if (ProjectSuggestions) found = ProjectSuggestions->Lookup(query);
                    for (TSuggestion& m : Suggestions->Lookup(query)) {
                        // The project's own match of the same text is the one shown.
                        const bool known =
                            std::any_of(found.begin(), found.end(), [&](const TSuggestion& p) {
                                return p.Source == m.Source && p.Target == m.Target;
                            });
                        if (!known) found.push_back(std::move(m));
                    }
                } catch (...) {
                    error = std::current_exception();
                }
                // Dropped by Qt when the pane is gone meanwhile.
                QMetaObject::invokeMethod(
                    pane,
                    [pane, generation, found = std::move(found), error]() mutable noexcept {
                        pane->Arrived(generation, std::move(found), error);
                    },
                    Qt::QueuedConnection);
            }
        });
    }

    void Post(std::uint64_t generation, TSuggestionQuery query) {
        {
            const std::lock_guard lock(Lock);
            Pending.emplace(generation, std::move(query));
        }
        Wake.notify_one();
    }

    ~TMemoryState() {
        {
            const std::lock_guard lock(Lock);
            Stop = true;
        }
        Wake.notify_one();
        if (Worker.joinable()) Worker.join();
    }
};

// Hands the session's steps to the memory's observer. What it could not keep is said in the pane
// and handed on to the session, whose front end tells it after the step; the step stands.
class TMatchesPane::TRelay : public TReplacementObserver {
  public:
    explicit TRelay(TMatchesPane& pane) : pane_(pane) {}
    void Replaced(const TPageSession& session, TReplacementSource source,
                  const std::vector<TReplacedPhrase>& phrases) override {
        // No memory is opened before the target language is known.
        bool unstored = !pane_.memory_;
        if (pane_.memory_) {
            try {
                pane_.memory_->Observer->Replaced(session, source, phrases);
            } catch (const std::exception& e) {
                pane_.Fail(e);
                throw;
            }
            unstored = pane_.memory_->Observer->TakeUnknownLanguage();
        } else if (pane_.openFailure_) {
            std::rethrow_exception(pane_.openFailure_);
        }
        if (unstored && !pane_.unstored_) {
            pane_.unstored_ = true;
            pane_.ShowStatus();
        }
    }

  private:
    TMatchesPane& pane_;
};

TMatchesPane::TMatchesPane(TPageSession& session, TEntryEdit& entry, const TSettingsStore& store,
                           const TLanguage& language, QWidget* parent)
    : QWidget(parent),
      session_(session),
      entry_(entry),
      store_(store),
      language_(language),
      relay_(std::make_unique<TRelay>(*this)) {
    setObjectName("MatchesPane");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* top = new QHBoxLayout;
    caption_ = new QLabel(this);
    caption_->setObjectName("MatchesCaption");
    top->addWidget(caption_, 1);
    draftExactBox_ = new QCheckBox(this);
    draftExactBox_->setObjectName("MatchesDraftExact");
    draftExactBox_->setChecked(true);
    draftExactBox_->setFocusPolicy(Qt::ClickFocus);
    top->addWidget(draftExactBox_);
    column->addLayout(top);

    view_ = new QTextBrowser(this);
    view_->setObjectName("MatchesView");
    view_->setFocusPolicy(Qt::ClickFocus);
    column->addWidget(view_);

    languageRow_ = new QWidget(this);
    auto* languages = new QHBoxLayout(languageRow_);
    languages->setContentsMargins(0, 0, 0, 0);
    languageLabel_ = new QLabel(languageRow_);
    sourceEdit_ = new QLineEdit(languageRow_);
    sourceEdit_->setObjectName("MatchesSourceLanguage");
    targetEdit_ = new QLineEdit(languageRow_);
    targetEdit_->setObjectName("MatchesTargetLanguage");
    for (QLineEdit* edit : {sourceEdit_, targetEdit_}) {
        edit->setMaximumWidth(8 * QFontMetrics(font()).horizontalAdvance(QLatin1Char('m')));
        edit->setPlaceholderText(QStringLiteral("en-US"));
        connect(edit, &QLineEdit::editingFinished, this, Guard([this] { LanguagesEdited(); }));
    }
    languages->addWidget(languageLabel_);
    languages->addWidget(sourceEdit_);
    languages->addWidget(targetEdit_);
    languages->addStretch(1);
    languageRow_->hide();
    column->addWidget(languageRow_);

    status_ = new QLabel(this);
    status_->setObjectName("MatchesStatus");
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText);
    status_->hide();
    column->addWidget(status_);

    connect(draftExactBox_, &QCheckBox::toggled, this, Guard([this] {
                ReadSettings();
                if (settings_.DraftExactMatches == draftExactBox_->isChecked()) return;
                settings_.DraftExactMatches = draftExactBox_->isChecked();
                SaveMemorySettings(store_, settings_);
            }));
    for (std::size_t k = 0; k < kShortcuts; ++k) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + int(k))), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, Guard([this, k] { Take(k); }));
    }
    session_.AddObserver(relay_.get());
    ApplyLanguage();
}

// The session is the window's and goes before its children: the pane does not touch it here.
TMatchesPane::~TMatchesPane() = default;

void TMatchesPane::ReadSettings() {
    if (settingsRead_) return;
    settingsRead_ = true;
    settings_ = LoadMemorySettings(store_);
    const QSignalBlocker quiet(draftExactBox_);
    draftExactBox_->setChecked(settings_.DraftExactMatches);
    sourceEdit_->setText(settings_.SourceLanguage);
    targetEdit_->setText(settings_.TargetLanguage);
    if (TargetLanguageKnown) TargetLanguageKnown(settings_.TargetLanguage);
}

bool TMatchesPane::Ready() {
    ReadSettings();
    if (memory_) return true;
    const TLanguageOptions languages = Languages();
    if (languages.Target.empty() || !failure_.isEmpty()) return false;
    try {
        auto state = std::make_unique<TMemoryState>();
        state->Writer =
            settings_.File.isEmpty()
                ? TMemory::OpenDefault()
                : std::make_unique<TMemory>(QFile::encodeName(settings_.File).toStdString());
        state->Reader = std::make_unique<TMemory>(state->Writer->Path());
        state->Observer = std::make_unique<TMemoryObserver>(*state->Writer, languages);
        state->Suggestions = std::make_unique<TMemorySuggestions>(*state->Reader, languages);
        if (!projectMemory_.empty()) {
            state->ProjectReader = std::make_unique<TMemory>(projectMemory_);
            state->ProjectSuggestions =
                std::make_unique<TMemorySuggestions>(*state->ProjectReader, languages);
        }
        state->Start(this);
        memory_ = std::move(state);
    } catch (const std::exception& e) {
        openFailure_ = std::current_exception();
        Fail(e);
        return false;
    }
    return true;
}

void TMatchesPane::Reach(int row) {
    row_ = row;
    ++generation_;
    looking_ = false;
    matches_.clear();
    current_.clear();
    if (row >= 0 && session_.IsOpen() && std::size_t(row) < session_.PhraseCount()) {
        const auto i = std::size_t(row);
        current_ = FromText(session_.Document().OriginalText(i));
        given_ = entry_.text();
        std::optional<TSuggestionQuery> query;
        if (Ready()) {
            try {
                query = memory_->Suggestions->QueryFor(session_, i);
            } catch (const std::exception& e) {
                Fail(e);
            }
        }
        if (query) {
            draftExact_ = settings_.DraftExactMatches && !session_.Document().IsChanged(i) &&
                          !session_.Draft(i);
            looking_ = true;
            memory_->Post(generation_, std::move(*query));
        }
    }
    ShowStatus();
    Render();
}

void TMatchesPane::Arrived(std::uint64_t generation, std::vector<TSuggestion> matches,
                           std::exception_ptr error) {
    // A phrase left since: its matches would stand beside another's text.
    if (generation != generation_) return;
    Guarded([&] {
        looking_ = false;
        if (error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                Fail(e);
            }
        }
        matches_ = std::move(matches);
        Render();
        // Only into an entry the translator has not typed in since.
        if (draftExact_ && !matches_.empty() && matches_.front().Score >= kExactScore &&
            entry_.text() == given_) {
            entry_.setText(FromText(matches_.front().Target));
            entry_.selectAll();
        }
    });
}

bool TMatchesPane::Take(std::size_t k) {
    if (k >= matches_.size() || row_ < 0 || !session_.IsOpen()) return false;
    // In place of all the entry holds, so that the entry's undo takes it back.
    entry_.selectAll();
    entry_.insert(FromText(matches_[k].Target));
    entry_.setFocus(Qt::ShortcutFocusReason);
    return true;
}

TLanguageOptions TMatchesPane::Languages() const {
    if (!projectMemory_.empty()) return {projectSource_, projectTarget_, true};
    return {ToText(settings_.SourceLanguage), ToText(settings_.TargetLanguage)};
}

void TMatchesPane::SetProject(const std::string& memoryPath, const std::string& sourceLanguage,
                              const std::string& targetLanguage) {
    if (memoryPath == projectMemory_ && sourceLanguage == projectSource_ &&
        targetLanguage == projectTarget_)
        return;
    projectMemory_ = memoryPath;
    projectSource_ = memoryPath.empty() ? std::string() : sourceLanguage;
    projectTarget_ = memoryPath.empty() ? std::string() : targetLanguage;
    // Opened anew with the next phrase reached, under the languages that hold now.
    memory_.reset();
    failure_.clear();
    unstored_ = false;
}

void TMatchesPane::LanguagesEdited() {
    ReadSettings();
    const QString source = sourceEdit_->text().trimmed(), target = targetEdit_->text().trimmed();
    if (source == settings_.SourceLanguage && target == settings_.TargetLanguage) return;
    for (const QString& tag : {source, target})
        if (!tag.isEmpty() && !LanguageTag(ToText(tag))) throw LanguageTagError(ToText(tag));
    settings_.SourceLanguage = source;
    settings_.TargetLanguage = target;
    SaveMemorySettings(store_, settings_);
    if (TargetLanguageKnown) TargetLanguageKnown(target);
    failure_.clear();
    openFailure_ = nullptr;
    unstored_ = false;
    if (memory_ && projectMemory_.empty()) {
        const TLanguageOptions languages = Languages();
        memory_->Observer->SetLanguages(languages);
        memory_->Suggestions->SetLanguages(languages);
    }
    Reach(row_);
}

void TMatchesPane::Fail(const std::exception& error) {
    failure_ = ErrorText(error);
    ShowStatus();
}

void TMatchesPane::ShowStatus() {
    bool known = false;
    if (!Languages().Target.empty() && session_.IsOpen()) {
        try {
            known = SessionLanguages(session_, Languages()).has_value();
        } catch (const std::exception&) {
        }
    }
    const bool open = session_.IsOpen();
    languageRow_->setVisible(open && !known);
    QString text;
    if (!failure_.isEmpty())
        text = LoadStr(language_, TStringId::MatchesFailed).replace(QLatin1String("%s"), failure_);
    else if (unstored_ && open && !known)
        text = LoadStr(language_, TStringId::MatchesNoLanguage);
    status_->setText(text);
    status_->setVisible(!text.isEmpty());
}

void TMatchesPane::ApplyLanguage() {
    caption_->setText(LoadStr(language_, TStringId::MatchesCaption));
    draftExactBox_->setText(LoadStr(language_, TStringId::MatchesDraftExact));
    languageLabel_->setText(LoadStr(language_, TStringId::MatchesLanguages));
    ShowStatus();
    Render();
}

void TMatchesPane::Render() {
    QString html;
    if (!matches_.empty()) {
        html = QStringLiteral("<table width=\"100%\" cellspacing=\"2\">");
        for (std::size_t k = 0; k < matches_.size(); ++k) {
            const TSuggestion& m = matches_[k];
            html += QStringLiteral("<tr><td>");
            if (k < kShortcuts)
                html += QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + int(k)))
                            .toString(QKeySequence::NativeText)
                            .toHtmlEscaped();
            html += QStringLiteral("</td><td><b>%1%</b></td><td>").arg(m.Score) +
                    MarkDifferences(FromText(m.Source), current_) + QStringLiteral("</td><td>") +
                    FromText(m.Target).toHtmlEscaped() + QStringLiteral("</td><td><i>") +
                    LoadStr(language_, OriginText(m.Origin)).toHtmlEscaped() +
                    QStringLiteral("</i></td></tr>");
        }
        html += QStringLiteral("</table>");
    } else if (memory_ && row_ >= 0 && !looking_ && !current_.isEmpty()) {
        html = LoadStr(language_, TStringId::MatchesNone).toHtmlEscaped();
    }
    view_->setHtml(html);
}

}  // namespace quillfen
