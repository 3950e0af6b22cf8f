#include "ui/progress.h"

#include <QProgressBar>
#include <algorithm>
#include <climits>

namespace quillfen {

TProgressPanel::TProgressPanel(QWidget* parent) : QFrame(parent) {
    setObjectName("ProgressPanel");
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
    setGeometry(155, 120, 297, 41);
    Bar = new QProgressBar(this);
    Bar->setObjectName("ProgressBar");
    Bar->setGeometry(8, 12, 281, 17);
    Bar->setTextVisible(false);
    hide();
}

void TProgressPanel::Start() {
    move(parentWidget()->width() / 2 - width() / 2, y());
    show();
    raise();
    clock_.start();
    lastPaint_ = -1;
    Bar->setRange(0, 1);
    Bar->setValue(0);
    repaint();
}

void TProgressPanel::Report(std::size_t position, std::size_t maximum) {
    const qint64 now = clock_.elapsed();
    if (position < maximum && lastPaint_ >= 0 && now - lastPaint_ < 30) return;
    lastPaint_ = now;
    const int max = int(std::min<std::size_t>(maximum, INT_MAX));
    if (Bar->maximum() != max) Bar->setRange(0, max);
    Bar->setValue(int(std::min<std::size_t>(position, std::size_t(max))));
    repaint();
}

}  // namespace quillfen
