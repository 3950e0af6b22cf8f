#pragma once

class QWidget;

namespace quillfen {

// The about box: name, version, where the README is (a link to open it), and the machine the
// program runs on. Modal; returns when it is closed.
void ShowAboutBox(QWidget* parent);

}  // namespace quillfen
