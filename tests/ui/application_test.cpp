#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "core/errors.h"
#include "ui/application.h"

using namespace quillfen;

TEST(ErrorText, SaysWhyOnASecondLine) {
    const struct {
        TError error;
        QString want;
    } cases[] = {
        {CannotCreateError("/p.htm", EACCES),
         QString::fromUtf8(CannotCreateError("/p.htm").what()) + "\n" +
             QString::fromLocal8Bit(std::strerror(EACCES))},
        {CannotCreateError("/p.htm", ENOSPC),
         QString::fromUtf8(CannotCreateError("/p.htm").what()) + "\n" +
             QString::fromLocal8Bit(std::strerror(ENOSPC))},
        // Without a cause the text stands alone.
        {ListIndexError(3), QString::fromUtf8(ListIndexError(3).what())},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorText(c.error), c.want) << c.error.what();
    // Not every error is the program's own.
    EXPECT_EQ(ErrorText(std::runtime_error("x")), "x");
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
