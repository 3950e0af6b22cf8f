#include "ui/preview.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeDatabase>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#include <exception>
#include <string_view>

#include "core/document/document.h"
#include "core/markup/anchors.h"
#include "core/markup/kinds.h"
#include "core/markup/sentences.h"

namespace quillfen {

namespace {

constexpr char kScheme[] = "quillfen-preview";
// One host for every file: the page and what it loads from its folder share an origin, as
// files do.
constexpr char kHost[] = "local";

QString CleanPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The local file a preview address names, or an empty string.
QString LocalPath(const QUrl& url) {
    if (url.scheme() != QLatin1String(kScheme) || url.host() != QLatin1String(kHost)) return {};
    QUrl file = url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment);
    file.setScheme(QStringLiteral("file"));
    file.setHost(QString());
    const QString path = file.toLocalFile();
    return path.isEmpty() ? QString() : CleanPath(path);
}

QString ReadResource(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("The preview misses its script %s", qPrintable(name));
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

// A page that goes nowhere on its own: only what the preview loads is loaded.
class TPreviewPage : public QWebEnginePage {
  public:
    using QWebEnginePage::QWebEnginePage;

  protected:
    bool acceptNavigationRequest(const QUrl&, NavigationType type, bool isMainFrame) override {
        return !isMainFrame || type == NavigationTypeTyped || type == NavigationTypeReload;
    }
    // A page's script asks nothing of the user while it is being translated.
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
        return false;
    }
};

}  // namespace

// Serves the page from the bytes the last Show read, with anchors, and any other file the page
// asks for from disk.
class TPreviewSchemeHandler : public QWebEngineUrlSchemeHandler {
  public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void SetPage(const QString& path, QByteArray bytes, bool readable) {
        path_ = CleanPath(path);
        bytes_ = std::move(bytes);
        readable_ = readable;
        const QString type =
            QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
        type_ = type == QLatin1String("application/xhtml+xml") ? type.toLatin1() : "text/html";
    }

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        if (job->requestMethod() != "GET") {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        const QString path = LocalPath(job->requestUrl());
        if (path.isEmpty()) {
            job->fail(QWebEngineUrlRequestJob::UrlInvalid);
            return;
        }
        if (path == path_) {
            if (!readable_) {
                job->fail(QWebEngineUrlRequestJob::UrlNotFound);
                return;
            }
            auto* buffer = new QBuffer;
            buffer->setData(bytes_);
            buffer->open(QIODevice::ReadOnly);
            connect(job, &QObject::destroyed, buffer, &QObject::deleteLater);
            job->reply(type_, buffer);
            return;
        }
        const QFileInfo info(path);
        if (!info.isFile()) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* file = new QFile(path);
        if (!file->open(QIODevice::ReadOnly)) {
            delete file;
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        connect(job, &QObject::destroyed, file, &QObject::deleteLater);
        job->reply(QMimeDatabase().mimeTypeForFile(info).name().toLatin1(), file);
    }

  private:
    QString path_;
    QByteArray bytes_;
    QByteArray type_ = "text/html";
    bool readable_ = false;
};

void TPreviewBridge::clicked(int phrase) {
    if (phrase >= 0) emit Clicked(phrase);
}

void TPreview::RegisterScheme() {
    if (QWebEngineUrlScheme::schemeByName(kScheme).name() == kScheme) return;
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Local: pages from the network cannot load it. Local access: a page may use images and
    // style sheets named by file: addresses, as it could from disk. Secure and with CORS, as
    // files are to the browser: fonts and https resources load as they would from disk.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                    QWebEngineUrlScheme::LocalAccessAllowed | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl TPreview::PageUrl(const QString& path) {
    QUrl url = QUrl::fromLocalFile(CleanPath(path));
    url.setScheme(QLatin1String(kScheme));
    url.setHost(QLatin1String(kHost));
    return url;
}

TPreview::TPreview(QWebEngineView* view, QObject* parent) : QObject(parent), view_(view) {
    // Off the record, without a cache: nothing of the preview is kept, and every Show reads
    // the page anew.
    profile_ = new QWebEngineProfile(this);
    profile_->setHttpCacheType(QWebEngineProfile::NoCache);
    handler_ = new TPreviewSchemeHandler(this);
    profile_->installUrlSchemeHandler(kScheme, handler_);
    page_ = new TPreviewPage(profile_, this);

    auto* bridge = new TPreviewBridge(this);
    channel_ = new QWebChannel(this);
    channel_->registerObject(QStringLiteral("preview"), bridge);
    page_->setWebChannel(channel_, QWebEngineScript::ApplicationWorld);
    connect(bridge, &TPreviewBridge::Clicked, this, &TPreview::PhraseClicked);

    QWebEngineScript script;
    script.setName(QStringLiteral("quillfen-preview"));
    script.setSourceCode(ReadResource(QStringLiteral(":/qtwebchannel/qwebchannel.js")) +
                         QLatin1Char('\n') +
                         ReadResource(QStringLiteral(":/quillfen/preview/mark.js")));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    page_->scripts().insert(script);

    connect(page_, &QWebEnginePage::loadStarted, this, [this] { loading_ = true; });
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        loading_ = false;
        if (ok) ApplyMark();
        emit LoadFinished(ok);
    });
    if (view_) view_->setPage(page_);
}

TPreview::~TPreview() {
    closing_ = true;
    if (view_ && view_->page() == page_) view_->setPage(nullptr);
    // The page before its profile.
    delete page_;
    delete profile_;
}

void TPreview::Show(const QString& path, const TDocument& doc) {
    QFile file(path);
    const bool readable = file.open(QIODevice::ReadOnly);
    QByteArray bytes;
    if (readable) {
        const QByteArray saved = file.readAll();
        bytes = QByteArray::fromStdString(
            AnchoredPage(doc, std::string_view(saved.constData(), std::size_t(saved.size()))));
    }
    handler_->SetPage(path, std::move(bytes), readable);
    loading_ = true;
    const QUrl url = PageUrl(path);
    if (page_->url() == url)
        page_->triggerAction(QWebEnginePage::ReloadAndBypassCache);
    else
        page_->load(url);
}

namespace {

// A sentence's stretches of text between its placeholders, and the placeholders in order.
struct TStretches {
    QJsonArray texts;
    std::vector<std::string> placeholders;
};

TStretches StretchesOf(std::string_view sentence) {
    TStretches s;
    QString text;
    for (const TSentencePiece& piece : SentencePieces(sentence)) {
        if (piece.kind == TSentencePiece::Literal) {
            text += QString::fromUtf8(piece.text.data(), qsizetype(piece.text.size()));
            continue;
        }
        s.texts.append(text);
        text.clear();
        s.placeholders.push_back(piece.written);
    }
    s.texts.append(text);
    return s;
}

}  // namespace

void TPreview::Update(const QString& path, const TDocument& doc, int n, int next,
                      const std::optional<std::string>& before) {
    emit Updating(n);
    phrase_ = next < 0 ? -1 : next;
    const auto i = std::size_t(n);
    if (loading_ || n < 0 || i >= doc.PhraseCount()) {
        Show(path, doc);
        return;
    }
    if (doc.Spans()[i].Source == TSource::Sentence) {
        // Its placeholders moved, or its text before is not known: the page is shown anew.
        const TStretches old = before ? StretchesOf(*before) : TStretches{};
        const TStretches now = StretchesOf(doc.Text(i));
        if (!before || old.placeholders != now.placeholders) {
            Show(path, doc);
            return;
        }
        const QString literal = QString::fromUtf8(
            QJsonDocument(QJsonArray{old.texts, now.texts}).toJson(QJsonDocument::Compact));
        RunUpdate(QStringLiteral("p.updateSentence(%1, %2, a[0], a[1])")
                      .arg(n)
                      .arg(SentenceCharacters(*before)),
                  literal, path, doc);
        return;
    }
    // A value is set in place where its kind has one attribute; other values (a title or a
    // label of kind A) show with the page read anew.
    const std::span<const std::string_view> names = KindInfo(doc.Kind(i)).Attributes;
    const QString attribute = names.size() == 1
                                  ? QString::fromUtf8(names[0].data(), qsizetype(names[0].size()))
                                  : QString();
    const std::string_view text = doc.Text(i);
    // The text goes over as a JSON string: every character the page may hold is safe in it.
    const QString literal = QString::fromUtf8(
        QJsonDocument(QJsonArray{QString::fromUtf8(text.data(), qsizetype(text.size())), attribute})
            .toJson(QJsonDocument::Compact));
    RunUpdate(QStringLiteral("p.update(%1, a[0], a[1])").arg(n), literal, path, doc);
}

void TPreview::RunUpdate(const QString& call, const QString& literal, const QString& path,
                         const TDocument& doc) {
    ++updating_;
    RunScript(QStringLiteral("(function (a) { const p = window.quillfenPreview;"
                             " if (!p || !%1) return -2;"
                             " return p.mark(%2, %3); })(%4)")
                  .arg(call)
                  .arg(phrase_)
                  .arg(ExtentOf(phrase_))
                  .arg(literal),
              [this, path, &doc](const QVariant& result) {
                  if (closing_) return;
                  --updating_;
                  const int marked = result.isValid() ? result.toInt() : -2;
                  if (marked == -2)
                      Show(path, doc);
                  else
                      emit Marked(marked);
              });
}

void TPreview::Mark(int phrase) {
    // An update under way marks its phrase itself.
    if (updating_ > 0 && phrase == phrase_) return;
    phrase_ = phrase < 0 ? -1 : phrase;
    if (!loading_) ApplyMark();
}

int TPreview::ExtentOf(int phrase) const { return phrase >= 0 && Extent ? Extent(phrase) : 0; }

void TPreview::ApplyMark() {
    RunScript(QStringLiteral("window.quillfenPreview ? quillfenPreview.mark(%1, %2) : -1")
                  .arg(phrase_)
                  .arg(ExtentOf(phrase_)),
              [this](const QVariant& result) {
                  if (!closing_) emit Marked(result.isValid() ? result.toInt() : -1);
              });
}

void TPreview::RunScript(const QString& script, std::function<void(const QVariant&)> done) {
    page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [done = std::move(done)](const QVariant& result) {
                             if (!done) return;
                             try {
                                 done(result);
                             } catch (const std::exception& e) {
                                 qWarning("Preview: %s", e.what());
                             } catch (...) {
                                 qWarning("Preview: an unknown error");
                             }
                         });
}

void TPreview::ReadMark(std::function<void(const TPreviewMark&)> done) {
    RunScript(QStringLiteral("window.quillfenPreview ? quillfenPreview.state() : null"),
              [done = std::move(done)](const QVariant& result) {
                  const QVariantMap state = result.toMap();
                  TPreviewMark mark;
                  if (!state.isEmpty()) {
                      mark.phrase = state.value(QStringLiteral("phrase"), -1).toInt();
                      mark.text = state.value(QStringLiteral("text")).toString();
                      mark.tag = state.value(QStringLiteral("tag")).toString();
                      mark.rect = QRectF(state.value(QStringLiteral("x")).toDouble(),
                                         state.value(QStringLiteral("y")).toDouble(),
                                         state.value(QStringLiteral("width")).toDouble(),
                                         state.value(QStringLiteral("height")).toDouble());
                      mark.inView = state.value(QStringLiteral("inView")).toBool();
                      mark.boxes = state.value(QStringLiteral("boxes")).toInt();
                      const QVariantList drawn = state.value(QStringLiteral("drawn")).toList();
                      if (drawn.size() == 4)
                          mark.drawn = QRectF(drawn[0].toDouble(), drawn[1].toDouble(),
                                              drawn[2].toDouble(), drawn[3].toDouble());
                  }
                  if (done) done(mark);
              });
}

}  // namespace quillfen
