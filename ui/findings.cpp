#include "ui/findings.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <filesystem>

#include "memory/memory.h"
#include "settings/stringtable.h"
#include "store/dismissals.h"
#include "ui/application.h"
#include "ui/codec.h"
#include "ui/phraselist.h"
#include "ui/texts.h"

namespace quillfen {

// The dismissals of single pages, in the user's memory. The memory is opened only when a
// finding is asked about and a memory is there, or when one is dismissed: a page without
// findings does not touch it, and no memory is made just to find nothing in it.
class TUserDismissals final : public TDismissals {
  public:
    bool IsDismissed(std::string_view key) const override {
        if (!store_ && !std::filesystem::exists(TMemory::DefaultPath())) return false;
        return Store().IsDismissed(key);
    }
    void Dismiss(const std::vector<std::string>& keys) { Store().Dismiss(keys); }

  private:
    TStoredDismissals& Store() const {
        if (!store_) {
            std::unique_ptr<TMemory> memory = TMemory::OpenDefault();
            store_ = std::make_unique<TStoredDismissals>(memory->Database());
            memory_ = std::move(memory);
        }
        return *store_;
    }
    mutable std::unique_ptr<TMemory> memory_;
    mutable std::unique_ptr<TStoredDismissals> store_;
};

TFindingsView::TFindingsView(TPageSession& session, TPhraseModel* model, QWidget* parent)
    : QObject(parent),
      Session(session),
      Model(model),
      Dismissals(std::make_unique<TUserDismissals>()) {
    Label = new QLabel(parent);
    Label->setObjectName("FindingsLabel");
    Label->setTextFormat(Qt::PlainText);
    Label->setWordWrap(true);
    Label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label->hide();
    auto action = [&](const char* name, const QKeySequence& key, auto command) {
        auto* a = new QAction(this);
        a->setObjectName(name);
        a->setShortcut(key);
        connect(a, &QAction::triggered, this, Guard(command));
        return a;
    };
    NextAction = action("mNextFinding", QKeySequence(Qt::Key_F4), [this] { Next(true); });
    PreviousAction =
        action("mPreviousFinding", QKeySequence(Qt::SHIFT | Qt::Key_F4), [this] { Next(false); });
    DismissAction = action("mDismissFindings", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F4),
                           [this] { DismissCurrent(); });
    Session.EnableChecks(Dismissals.get());
    ApplyLanguage(Language);
}

// The window's session goes before its children, this view among them, so nothing asks the
// dismissals once they are gone.
TFindingsView::~TFindingsView() = default;

void TFindingsView::AddTo(QMenu* menu) {
    menu->addSeparator()->setObjectName("N7");
    menu->addAction(NextAction);
    menu->addAction(PreviousAction);
    menu->addAction(DismissAction);
}

void TFindingsView::ApplyLanguage(TLanguage language) {
    Language = language;
    NextAction->setText(LoadStr(language, TStringId::MenuNextFinding));
    PreviousAction->setText(LoadStr(language, TStringId::MenuPreviousFinding));
    DismissAction->setText(LoadStr(language, TStringId::MenuDismissFindings));
}

void TFindingsView::SetTargetLanguage(const QString& tag) {
    Session.SetTargetLanguage(tag.toStdString());
    Show(CurrentRow ? CurrentRow() : -1);
}

void TFindingsView::Show(int row) {
    std::map<std::size_t, TSeverity> marked;
    for (const std::size_t i : Session.PhrasesWithFindings())
        marked.emplace(i, *Session.WorstFinding(i));
    // Only the rows whose mark came, went or changed are drawn anew (those of a page gone, none).
    const auto changed = [this](std::size_t i) {
        if (i < std::size_t(Model->rowCount())) Model->RowChanged(int(i));
    };
    auto a = Marked.begin();
    auto b = marked.begin();
    while (a != Marked.end() || b != marked.end()) {
        if (b == marked.end() || (a != Marked.end() && a->first < b->first)) {
            changed(a++->first);
        } else if (a == Marked.end() || b->first < a->first) {
            changed(b++->first);
        } else {
            if (a->second != b->second) changed(a->first);
            ++a;
            ++b;
        }
    }
    Marked = std::move(marked);
    ShowFindings(row >= 0 ? Session.Findings(std::size_t(row)) : std::vector<TFinding>(), false);
}

bool TFindingsView::AskBeforeKeeping(int row, std::string_view cleaned) {
    // A text that changes nothing is no question; one kept already is not asked about again.
    if (row < 0 || !Session.IsChange(std::size_t(row), cleaned)) return false;
    const std::vector<TFinding> errors = Session.ErrorsToAsk(std::size_t(row), cleaned);
    if (errors.empty()) return false;
    ShowFindings(errors, true);
    return true;
}

void TFindingsView::ShowFindings(const std::vector<TFinding>& findings, bool asking) {
    QStringList lines;
    bool error = false;
    for (const TFinding& f : findings) {
        error = error || f.Severity == TSeverity::Error;
        lines << FillIn(
            LoadStr(Language, f.Severity == TSeverity::Error ? TStringId::FindingError
                                                             : TStringId::FindingWarning),
            FromText(f.Text(Language == TLanguage::German)));
    }
    if (asking) lines << LoadStr(Language, TStringId::AskKeepError);
    Label->setText(lines.join(u'\n'));
    Label->setStyleSheet(error ? QStringLiteral("color: #b00000")
                               : QStringLiteral("color: #8a5a00"));
    Label->setVisible(!lines.isEmpty());
}

void TFindingsView::Next(bool forward) {
    const int row = CurrentRow ? CurrentRow() : -1;
    const std::optional<std::size_t> next =
        row < 0 ? (forward ? Session.NextFinding(Session.PhraseCount(), true)
                           : Session.NextFinding(0, false))
                : Session.NextFinding(std::size_t(row), forward);
    if (next && GoTo) GoTo(int(*next));
}

void TFindingsView::DismissCurrent() {
    const int row = CurrentRow ? CurrentRow() : -1;
    if (row < 0) return;
    std::vector<std::string> keys;
    for (const TFinding& f : Session.Findings(std::size_t(row))) keys.push_back(f.Key);
    if (keys.empty()) return;
    Dismissals->Dismiss(keys);
    Session.Recheck();
    Show(row);
}

}  // namespace quillfen
