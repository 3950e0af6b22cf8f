#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QWebEngineView>
#include <functional>
#include <optional>
#include <string>

class QWebChannel;
class QWebEnginePage;
class QWebEngineProfile;

namespace quillfen {

class TDocument;
class TPreviewSchemeHandler;

// The phrase the preview shows marked, as the browser reports it.
struct TPreviewMark {
    int phrase = -1;  // -1: none
    QString text;     // the marked text, or the alt or content value of the marked element
    QString tag;      // "#text", or the marked element's name
    QRectF rect;      // in the view's CSS pixels
    bool inView = false;
    int boxes = 0;  // the boxes drawn for the mark: one a line of text
    QRectF drawn;   // the first of them
};

// The preview pane: the page as saved, read from disk again on each Show, with the current
// phrase marked and scrolled into view. A click on a text or image tells which phrase it is;
// links and forms in the preview lead nowhere. The file is never written.
//
// The page goes to the browser through a URL scheme of its own, with an invisible comment in
// front of each phrase; the page's images, style sheets and the like come from its folder as
// they are.
class TPreview : public QObject {
    Q_OBJECT
  public:
    // The preview's URL scheme: once, before the application object exists.
    static void RegisterScheme();
    // The address the preview gives a page file.
    static QUrl PageUrl(const QString& path);

    // Takes over view's page; view may go first.
    explicit TPreview(QWebEngineView* view, QObject* parent = nullptr);
    ~TPreview() override;

    // Reads the page file at path as it is now and shows it; doc must be what was saved there
    // (the document just loaded or just saved), or the page is shown without marks. The marked
    // phrase stays and is marked again once the page has loaded. Returns at once.
    void Show(const QString& path, const TDocument& doc);
    // After phrase n's text changed in doc and doc was saved to path: changes that phrase where
    // the shown page has it, without reloading (the page keeps its scroll position and state),
    // then marks phrase next. Where it cannot (the page is still loading, the phrase has no
    // place of its own in it), it shows the saved page anew as Show does.
    // A sentence is changed in place when its text before (before) is known and its
    // placeholders stand as they stood: each stretch of text between them takes its new text.
    void Update(const QString& path, const TDocument& doc, int n, int next,
                const std::optional<std::string>& before = std::nullopt);
    // Marks phrase n (counted from 0) and scrolls it into view; after a Show, once the page has
    // loaded. -1, or a phrase the page does not show, marks nothing.
    void Mark(int phrase);
    int MarkedPhrase() const { return phrase_; }
    // How many characters other than blanks phrase n shows when it flows over inline elements
    // (a sentence), which the mark then covers; 0 (or none set): the phrase is one text or
    // element.
    std::function<int(int phrase)> Extent;
    bool IsLoading() const { return loading_; }
    QWebEngineView* View() const { return view_; }

    // Runs script in the preview's own world, apart from the page's scripts; done gets the
    // result on this thread.
    void RunScript(const QString& script, std::function<void(const QVariant&)> done = {});
    // What the browser shows marked.
    void ReadMark(std::function<void(const TPreviewMark&)> done);

  signals:
    void PhraseClicked(int phrase);
    // A mark has been applied: the phrase marked, or -1.
    void Marked(int phrase);
    void LoadFinished(bool ok);
    // An Update has begun (for the benchmark: the save before it has ended).
    void Updating(int phrase);

  private:
    void ApplyMark();
    int ExtentOf(int phrase) const;
    // Runs call (a script expression over p, the preview's side, and a, the array literal) and
    // marks the next phrase; shows the page anew where call answers false.
    void RunUpdate(const QString& call, const QString& literal, const QString& path,
                   const TDocument& doc);

    QPointer<QWebEngineView> view_;
    QWebEngineProfile* profile_ = nullptr;
    QWebEnginePage* page_ = nullptr;
    TPreviewSchemeHandler* handler_ = nullptr;
    QWebChannel* channel_ = nullptr;
    int phrase_ = -1;
    bool loading_ = false;
    bool closing_ = false;
    // Updates sent to the browser and not yet answered.
    int updating_ = 0;
};

// The preview's side of the browser channel: what a click in the page reports.
class TPreviewBridge : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    Q_INVOKABLE void clicked(int phrase);
  signals:
    void Clicked(int phrase);
};

}  // namespace quillfen
