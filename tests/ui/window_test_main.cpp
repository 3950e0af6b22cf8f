#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStandardPaths>

#include "tests/support/offscreen.h"
#include "ui/application.h"
#include "ui/preview.h"

int main(int argc, char** argv) {
    quillfen::testing::PrepareOffscreen();
    quillfen::TPreview::RegisterScheme();
    quillfen::TApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
