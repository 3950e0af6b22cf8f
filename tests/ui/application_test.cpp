#include "ui/application.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "core/errors.h"

void PrintTo(const QStringList& s, std::ostream* os) { *os << s.join(" / ").toStdString(); }

using namespace quillfen;

// In the interface's language (German keeps the German texts, any other gets the English ones),
// the system's cause on a second line.
TEST(ErrorText, SaysWhyOnASecondLineInTheInterfacesLanguage) {
    for (const TLanguage language : {TLanguage::German, TLanguage::English}) {
        SetErrorLanguage(language);
        auto text = [language](const TError& e) {
            return QString::fromUtf8(language == TLanguage::German ? e.what() : e.English());
        };
        const struct {
            TError error;
            QString want;
        } cases[] = {
            {CannotCreateError("/p.htm", EACCES),
             text(CannotCreateError("/p.htm")) + "\n" +
                 QString::fromLocal8Bit(std::strerror(EACCES))},
            {CannotCreateError("/p.htm", ENOSPC),
             text(CannotCreateError("/p.htm")) + "\n" +
                 QString::fromLocal8Bit(std::strerror(ENOSPC))},
            // Without a cause the text stands alone.
            {ListIndexError(3), text(ListIndexError(3))},
        };
        for (const auto& c : cases) EXPECT_EQ(ErrorText(c.error), c.want) << c.error.what();
        EXPECT_EQ(ErrorText(CannotCreateError("/p.htm")).startsWith("Datei"),
                  language == TLanguage::German);
        // Not every error is the program's own.
        EXPECT_EQ(ErrorText(std::runtime_error("x")), "x");
    }
}

TEST(Guarded, EndsACommandAtTheErrorBoxAndSaysWhetherItRanToItsEnd) {
    QStringList shown;
    SetErrorBox([&](const QString& text) { shown << text; });
    const struct {
        const char* name;
        std::function<void()> command;
        bool ran;
        QStringList shown;
    } cases[] = {
        {"no error", [] {}, true, {}},
        {"the program's error",
         [] { throw CannotOpenError("/p.htm"); },
         false,
         {QString::fromUtf8(CannotOpenError("/p.htm").English())}},
        {"with the system's cause",
         [] { throw CannotCreateError("/p.htm", EACCES); },
         false,
         {ErrorText(CannotCreateError("/p.htm", EACCES))}},
        {"any other exception", [] { throw std::runtime_error("other"); }, false, {"other"}},
        {"not even an exception", [] { throw 3; }, false, {"Unknown error"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shown.clear();
        bool before = false, after = false;
        EXPECT_EQ(Guarded([&] {
                      before = true;
                      c.command();
                      after = true;
                  }),
                  c.ran);
        // What the command did before the error stays done.
        EXPECT_TRUE(before);
        EXPECT_EQ(after, c.ran);
        EXPECT_EQ(shown, c.shown);
        // The slot form does the same and lets nothing out.
        shown.clear();
        Guard(c.command)();
        EXPECT_EQ(shown, c.shown);
    }
    SetErrorBox({});
}

TEST(Application, SetsNoDisplayNameThatWindowSystemsWouldAppendToCaptions) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "quillfen";
    char* argv[] = {name, nullptr};
    TApplication app(argc, argv);
    EXPECT_EQ(QGuiApplication::applicationName(), "Quillfen");
    // A display name of the program's own would stay when the name changes; none follows it.
    QCoreApplication::setApplicationName("Probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Probe");
}
