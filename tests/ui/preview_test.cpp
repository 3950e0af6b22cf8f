// The preview with a real browser, offscreen: the page as saved with its folder's files, the
// mark read back from the browser, clicks on texts, images, links and buttons.
#include "ui/preview.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>

#include "core/document/document.h"
#include "core/document/editing.h"
#include "tests/support/files.h"

using namespace quillfen;
using quillfen::testing::ReadBytes;
using quillfen::testing::TTempDir;
using quillfen::testing::WriteBytes;

namespace {

// Phrases: 0 the title (shown nowhere in the page), 1 "First phrase here", 2 "Go elsewhere",
// 3 the picture's alt, 4 "Far below", 5 "Cell", 6 "Last words".
const std::string kPage =
    "<!DOCTYPE html>\r\n<html><head><title>Preview</title>"
    "<link rel=\"stylesheet\" href=\"css/style.css\"></head>\r\n<body>\r\n"
    "<p id=\"first\">First phrase here</p>\r\n"
    "<p><a id=\"link\" href=\"other.html\">Go elsewhere</a></p>\r\n"
    "<img id=\"pic\" src=\"pic.png\" width=\"60\" height=\"40\" alt=\"A &quot;picture&quot;\">\r\n"
    "<div style=\"height: 3000px\"></div>\r\n"
    "<p id=\"far\">Far below</p>\r\n"
    "<table><tr><td>Cell</td></tr></table>\r\n"
    "<form action=\"sent.html\"><input id=\"send\" type=\"submit\" value=\"Send\"></form>\r\n"
    "<p>Last words</p>\r\n</body></html>\r\n";

class PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.Path() / "page.html";
        WriteBytes(path_, kPage);
        std::filesystem::create_directory(dir_.Path() / "css");
        WriteBytes(dir_.Path() / "css" / "style.css", "p { color: rgb(1, 2, 3); }\n");
        QImage picture(6, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        ASSERT_TRUE(picture.save(QString::fromStdString((dir_.Path() / "pic.png").string())));
        doc_.LoadFile(path_.string(), TTags::Default);
        ASSERT_EQ(doc_.PhraseCount(), 7u);

        view_ = std::make_unique<QWebEngineView>();
        view_->resize(800, 500);
        preview_ = std::make_unique<TPreview>(view_.get());
        view_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
    }

    QString Path() const { return QString::fromStdString(path_.string()); }

    // Shows the page and waits until it has loaded and the mark has been applied.
    void ShowAndWait() {
        QSignalSpy loaded(preview_.get(), &TPreview::LoadFinished);
        QSignalSpy marked(preview_.get(), &TPreview::Marked);
        preview_->Show(Path(), doc_);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !marked.isEmpty(); }, 20000));
        ASSERT_EQ(loaded.count(), 1);
        ASSERT_TRUE(loaded.takeFirst().at(0).toBool());
    }

    QVariant Run(const QString& script) {
        QVariant out;
        bool done = false;
        preview_->RunScript(script, [&](const QVariant& result) {
            out = result;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000)) << script.toStdString();
        return out;
    }

    TPreviewMark ReadMark() {
        TPreviewMark out;
        bool done = false;
        preview_->ReadMark([&](const TPreviewMark& mark) {
            out = mark;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
        return out;
    }

    // Marks the phrase and waits for the browser to have done it.
    int MarkAndWait(int phrase) {
        QSignalSpy marked(preview_.get(), &TPreview::Marked);
        preview_->Mark(phrase);
        EXPECT_TRUE(marked.wait(10000));
        return marked.isEmpty() ? -2 : marked.takeFirst().at(0).toInt();
    }

    // The centre of an element's box in the view, by a script that finds it.
    QPoint CentreOf(const QString& element) {
        const QVariantList box =
            Run(QStringLiteral("(function(){ const r = %1.getBoundingClientRect();"
                               "return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                    .arg(element))
                .toList();
        EXPECT_EQ(box.size(), 2) << element.toStdString();
        if (box.size() != 2) return {};
        return QPoint(int(box[0].toDouble()), int(box[1].toDouble()));
    }

    void Click(const QPoint& at) {
        QWidget* target = view_->focusProxy();
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, at);
    }

    TTempDir dir_;
    std::filesystem::path path_;
    TDocument doc_;
    std::unique_ptr<QWebEngineView> view_;
    std::unique_ptr<TPreview> preview_;
};

}  // namespace

TEST_F(PreviewTest, ShowsTheSavedPageWithItsFolderAndLeavesTheFileAsItIs) {
    ShowAndWait();
    EXPECT_EQ(view_->url(), TPreview::PageUrl(Path()));
    EXPECT_EQ(Run("document.title").toString(), "Preview");
    // The style sheet and the picture came from the page's folder.
    EXPECT_EQ(Run("getComputedStyle(document.getElementById('first')).color").toString(),
              "rgb(1, 2, 3)");
    EXPECT_EQ(Run("document.getElementById('pic').naturalWidth").toInt(), 6);
    // What the page shows is the page: the anchors are comments, no text of their own.
    EXPECT_EQ(Run("document.body.innerText.replace(/\\s+/g, ' ').trim()").toString(),
              "First phrase here Go elsewhere Far below Cell Last words");
    EXPECT_EQ(Run("document.querySelector('title').textContent").toString(), "Preview");

    MarkAndWait(3);
    MarkAndWait(4);
    EXPECT_EQ(ReadBytes(path_), kPage);
}

TEST_F(PreviewTest, MarksEachPhraseAloneAndScrollsItIntoView) {
    ShowAndWait();
    struct TCase {
        int phrase;
        int marked;
        QString text, tag;
    };
    const std::vector<TCase> cases = {
        {4, 4, "Far below", "#text"},
        {1, 1, "First phrase here", "#text"},
        {3, 3, "A \"picture\"", "img"},
        {6, 6, "Last words", "#text"},
        {5, 5, "Cell", "#text"},
        {0, -1, "", ""},   // the title: nowhere in the page
        {99, -1, "", ""},  // no such phrase
        {2, 2, "Go elsewhere", "#text"},
        {-1, -1, "", ""},
    };
    const QString page = Run("document.body.innerHTML").toString();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.phrase);
        EXPECT_EQ(MarkAndWait(c.phrase), c.marked);
        const TPreviewMark mark = ReadMark();
        EXPECT_EQ(mark.phrase, c.marked);
        EXPECT_EQ(mark.text, c.text);
        EXPECT_EQ(mark.tag, c.tag);
        // One box drawn around the phrase where it stands, in view.
        EXPECT_EQ(mark.boxes, c.marked >= 0 ? 1 : 0);
        if (c.marked >= 0) {
            EXPECT_TRUE(mark.inView);
            EXPECT_GT(mark.rect.height(), 0);
            EXPECT_TRUE(mark.drawn.contains(mark.rect));
            EXPECT_LT(mark.drawn.height(), mark.rect.height() + 8);
        }
        // The page itself as it was: the mark is drawn above it.
        EXPECT_EQ(Run("document.body.innerHTML").toString(), page);
    }
    // Far below lies out of the first screen: marking it scrolled there.
    MarkAndWait(1);
    EXPECT_EQ(Run("window.scrollY").toInt(), 0);
    MarkAndWait(4);
    EXPECT_GT(Run("window.scrollY").toInt(), 1000);
}

TEST_F(PreviewTest, MarkGivenWhileLoadingIsAppliedOnceThePageHasLoaded) {
    ShowAndWait();
    MarkAndWait(1);
    QSignalSpy marked(preview_.get(), &TPreview::Marked);
    preview_->Show(Path(), doc_);
    preview_->Mark(4);
    EXPECT_TRUE(preview_->IsLoading());
    ASSERT_TRUE(marked.wait(20000));
    EXPECT_EQ(marked.takeFirst().at(0).toInt(), 4);
    EXPECT_EQ(ReadMark().text, "Far below");
    EXPECT_EQ(preview_->MarkedPhrase(), 4);
}

TEST_F(PreviewTest, FollowsThePageAsSavedAfterReplacements) {
    ShowAndWait();
    ReplacePhrases(doc_, {{1, "A much longer first phrase & more"}, {3, "Bild"}},
                   [this] { doc_.Save(path_.string()); });
    const std::string saved = ReadBytes(path_);
    ShowAndWait();
    const std::vector<std::pair<int, QString>> cases = {
        {1, "A much longer first phrase & more"}, {3, "Bild"}, {4, "Far below"}, {6, "Last words"}};
    for (const auto& [phrase, text] : cases) {
        EXPECT_EQ(MarkAndWait(phrase), phrase);
        EXPECT_EQ(ReadMark().text, text);
    }
    EXPECT_EQ(ReadBytes(path_), saved);

    // Another program's bytes are shown as they are, without marks.
    WriteBytes(path_, "<p>Changed elsewhere</p>");
    ShowAndWait();
    EXPECT_EQ(Run("document.body.innerText.trim()").toString(), "Changed elsewhere");
    EXPECT_EQ(MarkAndWait(1), -1);
}

TEST_F(PreviewTest, AClickTellsThePhraseAndLeadsNowhere) {
    ShowAndWait();
    QSignalSpy clicked(preview_.get(), &TPreview::PhraseClicked);
    QSignalSpy started(view_->page(), &QWebEnginePage::loadStarted);
    const std::vector<std::pair<QString, int>> cases = {
        {"document.getElementById('first')", 1},
        {"document.getElementById('pic')", 3},
        {"document.getElementById('link')", 2},
        {"document.getElementById('send')", 5},  // no phrase of its own: the one before it
    };
    // Listens after the preview's own handler: every click it saw has had its default action
    // (following the link, sending the form) taken away before the click is over.
    Run("window.defaults = []; window.addEventListener('click', e => "
        "window.defaults.push(e.defaultPrevented))");
    for (const auto& [element, phrase] : cases) {
        SCOPED_TRACE(element.toStdString());
        Run(element + ".scrollIntoView({block: 'center'})");
        Click(CentreOf(element));
        ASSERT_TRUE(clicked.wait(10000));
        EXPECT_EQ(clicked.takeFirst().at(0).toInt(), phrase);
    }
    // Neither the link nor the form's button went anywhere.
    EXPECT_EQ(Run("window.defaults.length === 4 && window.defaults.every(p => p)").toBool(), true);
    EXPECT_EQ(started.count(), 0);
    EXPECT_EQ(view_->url(), TPreview::PageUrl(Path()));
    EXPECT_EQ(Run("document.getElementById('first').textContent").toString(), "First phrase here");

    // A marked text is clicked as well as any.
    MarkAndWait(4);
    Click(ReadMark().drawn.center().toPoint());
    ASSERT_TRUE(clicked.wait(10000));
    EXPECT_EQ(clicked.takeFirst().at(0).toInt(), 4);
}

// Inside a sentence, the image's anchor stands for its alt only: the text behind the image is
// the sentence's.
TEST_F(PreviewTest, AClickBehindAnImageInASentenceTellsTheSentence) {
    if (!SentencesAvailable()) GTEST_SKIP() << "no sentences in this build";
    WriteBytes(path_,
               "<p>Look at <img id=\"pic\" src=\"pic.png\" width=\"60\" height=\"40\" "
               "alt=\"a red box\"> and <b id=\"after\">then</b> read on.</p>\r\n"
               "<p id=\"next\" title=\"More\">Next one.</p>\r\n");
    doc_.LoadFile(path_.string(), TTags::AllKinds, TUnits::Sentences);
    ASSERT_EQ(doc_.PhraseCount(), 4u);  // the sentence, its alt, the title, "Next one."
    ShowAndWait();
    QSignalSpy clicked(preview_.get(), &TPreview::PhraseClicked);
    for (const auto& [element, phrase] :
         std::vector<std::pair<QString, int>>{{"after", 0}, {"pic", 1}, {"next", 3}}) {
        SCOPED_TRACE(element.toStdString());
        Click(CentreOf("document.getElementById('" + element + "')"));
        ASSERT_TRUE(clicked.wait(10000));
        EXPECT_EQ(clicked.takeFirst().at(0).toInt(), phrase);
    }
}

TEST_F(PreviewTest, AFileThatCannotBeReadFailsTheLoad) {
    QSignalSpy loaded(preview_.get(), &TPreview::LoadFinished);
    preview_->Show(QString::fromStdString((dir_.Path() / "gone.html").string()), doc_);
    ASSERT_TRUE(loaded.wait(20000));
    EXPECT_FALSE(loaded.takeFirst().at(0).toBool());
}

TEST_F(PreviewTest, TheViewMayGoBeforeThePreviewOrAfterIt) {
    ShowAndWait();
    view_.reset();
    preview_->Mark(1);  // no view to show it in: nothing happens
    preview_.reset();

    QWebEngineView view;
    auto preview = std::make_unique<TPreview>(&view);
    preview.reset();
    // The view still works once its preview has gone.
    view.show();
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    view.setHtml("<p>After the preview</p>");
    ASSERT_TRUE(loaded.wait(20000));
    EXPECT_TRUE(loaded.takeFirst().at(0).toBool());
}
