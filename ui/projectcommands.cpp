// A site project in the window: File, Open project shows the site's pages beside the list;
// a project page opens with the project as its record of sources, its fuzzy drafts in the entry
// and the project's memory first among the matches; Project, Update runs off the interface
// thread. File, Open with source page pairs a translated page with its source page.

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <thread>

#include "core/files/savefile.h"
#include "project/exchange.h"
#include "project/update.h"
#include "settings/memorysettings.h"
#include "settings/stringtable.h"
#include "ui/Main.h"
#include "ui/application.h"
#include "ui/codec.h"
#include "ui/matchespane.h"
#include "ui/projectpane.h"
#include "ui/texts.h"

namespace quillfen {

namespace {

// Tells the window after each step the session wrote (the record of sources heard of it first).
class TStepRelay : public TReplacementObserver {
  public:
    explicit TStepRelay(std::function<void()> after) : after_(std::move(after)) {}
    void Replaced(const TPageSession&, TReplacementSource,
                  const std::vector<TReplacedPhrase>&) override {
        after_();
    }

  private:
    std::function<void()> after_;
};

QString FromNative(const std::string& path) { return QFile::decodeName(path.c_str()); }

}  // namespace

// The update on a thread of its own; the window waits for it only when it closes.
struct TForm1::TProjectRun {
    std::thread Worker;
    ~TProjectRun() {
        if (Worker.joinable()) Worker.join();
    }
};

void TForm1::BuildProjectParts(QBoxLayout* panel) {
    DraftLabel = new QLabel(Panel1);
    DraftLabel->setObjectName("DraftLabel");
    DraftLabel->setTextFormat(Qt::RichText);
    DraftLabel->setWordWrap(true);
    DraftLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    DraftLabel->hide();
    panel->addWidget(DraftLabel);

    ProjectPane = new TProjectPane(Language, this);
    ProjectDock = new QDockWidget(this);
    ProjectDock->setObjectName("ProjectDock");
    ProjectDock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetClosable);
    ProjectDock->setWidget(ProjectPane);
    addDockWidget(Qt::LeftDockWidgetArea, ProjectDock);
    ProjectDock->hide();
    ProjectPane->PageChosen = [this](const std::string& page) {
        if (Project) OpenPage(FromNative(Project->TargetDir + "/" + page));
    };
    ProjectProgress = std::make_unique<TStepRelay>([this] {
        if (ProjectPage) ProjectPane->SetCounts(ProjectPage->Page(), ProjectPage->Counts());
    });
    Session.AddObserver(ProjectProgress.get());
}

void TForm1::BuildProjectMenus() {
    // Beside Open in the File menu.
    mOpenProject =
        AddCommand(mFile, "mOpenProject", "Open &project...", &TForm1::mOpenProjectClick);
    mOpenWithSource = AddCommand(mFile, "mOpenWithSource", "Open with &source page...",
                                 &TForm1::mOpenWithSourceClick);
    for (QAction* item : {mOpenProject, mOpenWithSource}) {
        mFile->removeAction(item);
        mFile->insertAction(mClose, item);
    }
    mProject = new QMenu("&Project", this);
    mProject->setObjectName("mProject");
    menuBar()->insertMenu(mLanguage->menuAction(), mProject);
    mProjectUpdate =
        AddCommand(mProject, "mProjectUpdate", "&Update", &TForm1::mProjectUpdateClick);
    mProjectUpdate->setEnabled(false);
}

void TForm1::ApplyProjectLanguage() {
    auto text = [this](TStringId id) { return LoadStr(Language, id); };
    mOpenProject->setText(text(TStringId::MenuOpenProject));
    mOpenWithSource->setText(text(TStringId::MenuOpenWithSource));
    mProject->setTitle(text(TStringId::MenuProject));
    mProjectUpdate->setText(text(TStringId::MenuProjectUpdate));
    ProjectDock->setWindowTitle(text(TStringId::ProjectPagesCaption));
    ProjectPane->ApplyLanguage();
    ShowProjectDraft(entryRow_);
}

// --- the project ------------------------------------------------------------------------------

void TForm1::mOpenProjectClick() {
    const QString chosen =
        ChooseFileToOpen(QtFileFilter(LoadStr(Language, TStringId::ProjectFilter)), FileName);
    if (!chosen.isEmpty()) OpenProjectFile(chosen);
}

bool TForm1::OpenProjectFile(const QString& path) {
    if (ProjectRun) return false;
    // Read whole before anything of the window changes: a project that cannot be read leaves
    // the one open as it was.
    auto project = std::make_unique<project::TProject>(project::OpenProject(NativePath(path)));
    const project::TProjectStatus status = project::ProjectStatus(*project);
    // The page open keeps the sources it was opened with, but is no more the project's.
    if (ProjectPage) {
        Session.SetSourceRecord(SourceRecord.get());
        ProjectPage.reset();
        MatchesPane->SetProject({}, {}, {});
    }
    Project = std::move(project);
    ProjectPane->Show(status);
    ProjectPane->SetCurrent({});
    ProjectPane->SetNote({});
    ProjectDock->show();
    mProjectUpdate->setEnabled(true);
    return true;
}

void TForm1::ShowProjectStatus() {
    if (!Project) return;
    ProjectPane->Show(project::ProjectStatus(*Project));
    ProjectPane->SetCurrent(ProjectPage ? ProjectPage->Page() : std::string());
}

bool TForm1::ProjectUpdating() const { return ProjectRun != nullptr; }

void TForm1::mProjectUpdateClick() {
    if (!Project || ProjectRun) return;
    // The open page may be made anew: what was typed and not confirmed would be lost unasked.
    if (ProjectPage && !MayDropUnsaved()) return;
    project::TUpdateOptions options;
    const TMemorySettings memory = LoadMemorySettings(SettingsStore);
    if (!memory.File.isEmpty()) options.UserMemory = NativePath(memory.File);
    ProjectRun = std::make_shared<TProjectRun>();
    mProjectUpdate->setEnabled(false);
    ProjectPane->SetNote(LoadStr(Language, TStringId::ProjectUpdating));
    ProjectRun->Worker = std::thread([this, project = *Project, options] {
        auto report = std::make_shared<project::TUpdateReport>();
        std::exception_ptr error;
        try {
            *report = project::UpdateProject(project, options);
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this,
            [this, report, error]() noexcept {
                Guarded([&] {
                    ProjectRun.reset();
                    mProjectUpdate->setEnabled(Project != nullptr);
                    ProjectPane->SetNote({});
                    if (error) std::rethrow_exception(error);
                    std::size_t written = 0;
                    QString failed;
                    for (const project::TPageUpdate& p : report->Pages) {
                        written += p.Outcome == project::TPageOutcome::New ||
                                   p.Outcome == project::TPageOutcome::Rebuilt ||
                                   p.Outcome == project::TPageOutcome::Finished;
                        if (!p.Error) continue;
                        try {
                            std::rethrow_exception(p.Error);
                        } catch (const std::exception& e) {
                            failed += FromText(p.Path) + ": " + ErrorText(e) + "\n";
                        }
                    }
                    ProjectPane->SetNote(FillIn(LoadStr(Language, TStringId::ProjectUpdated),
                                                QString::number(written)));
                    // The page open was read before the update: read again as it now stands.
                    if (ProjectPage && Session.IsOpen()) LoadFile(FileName);
                    ShowProjectStatus();
                    if (!failed.isEmpty())
                        Inform(this, AppTitle,
                               FillIn(LoadStr(Language, TStringId::ProjectUpdateFailed),
                                      failed.trimmed()));
                });
            },
            Qt::QueuedConnection);
    });
}

// --- a page and its sources ---------------------------------------------------------------------

void TForm1::mOpenWithSourceClick() {
    const QString translated = ChooseFileToOpen(QtFileFilter(OpenFilter), FileName);
    if (translated.isEmpty()) return;
    const QString source = ChooseFileToOpen(QtFileFilter(OpenFilter), translated);
    if (source.isEmpty()) return;
    // Paired before the page is opened: pages that part are refused with the place they part.
    const TDocument page = TPageSession::Read(NativePath(translated), Tags, Units);
    TFileStamp stamp;
    const std::string sourceBytes = ReadPageStamped(NativePath(source), stamp);
    auto sources =
        project::PairedSources(sourceBytes, NativePath(source), page, NativePath(translated));
    auto paired = std::make_unique<project::TPairedSources>(NativePath(translated),
                                                            std::move(sources), SourceRecord.get());
    // The one paired before stays while the session may still hold it: when the page does not
    // open.
    std::unique_ptr<project::TPairedSources> before = std::exchange(PairedPage, std::move(paired));
    try {
        if (!OpenPage(translated)) PairedPage = std::move(before);
    } catch (...) {
        PairedPage = std::move(before);
        throw;
    }
}

void TForm1::PlugPageSources(const std::string& path) {
    std::unique_ptr<project::TProjectPage> page;
    if (Project) {
        const std::optional<std::string> rel = project::ProjectPageOf(*Project, path);
        // A file of the target folder the project did not make opens as any page.
        if (rel && project::TState(Project->StatePath).Page(*rel))
            page = std::make_unique<project::TProjectPage>(*Project, path);
    }
    TSourceRecord* record = SourceRecord.get();
    if (page)
        record = page.get();
    else if (PairedPage && PairedPage->Path() == path)
        record = PairedPage.get();
    Session.SetSourceRecord(record);
    // The records left go only now that the session no longer holds them.
    ProjectPage = std::move(page);
    if (record != PairedPage.get()) PairedPage.reset();
    if (ProjectPage)
        MatchesPane->SetProject(Project->MemoryPath, Project->Settings.SourceLanguage,
                                Project->Settings.TargetLanguage);
    else
        MatchesPane->SetProject({}, {}, {});
    if (Project) ProjectPane->SetCurrent(ProjectPage ? ProjectPage->Page() : std::string());
}

void TForm1::OfferProjectDrafts() {
    if (ProjectPage) ProjectPage->OfferDrafts(Session);
}

void TForm1::ShowProjectDraft(int row) {
    const project::TDraft* draft =
        ProjectPage && row >= 0 ? ProjectPage->DraftOf(std::size_t(row)) : nullptr;
    const std::string* entry = draft ? Session.Draft(std::size_t(row)) : nullptr;
    // Only while the draft is still what the entry was given: a typed text is the
    // translator's.
    if (!entry || *entry != draft->Target ||
        Doc.Text(std::size_t(row)) != ProjectPage->SourceText(std::size_t(row))) {
        DraftLabel->hide();
        return;
    }
    DraftLabel->setText(
        FillIn(LoadStr(Language, TStringId::ProjectFuzzyDraft), QString::number(draft->Score))
            .toHtmlEscaped() +
        QStringLiteral("<br>") +
        MarkDifferences(FromText(draft->OldSource),
                        FromText(ProjectPage->SourceText(std::size_t(row)))));
    DraftLabel->show();
}

}  // namespace quillfen
