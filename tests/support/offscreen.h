#pragma once

// The window program without a display, as the window tests and the window benchmark run it:
// called before the application object exists.

#include <QCoreApplication>
#include <QStandardPaths>

namespace quillfen::testing {

inline void PrepareOffscreen() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    // Settings and caches go to a test location, never into the user's own.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace quillfen::testing
