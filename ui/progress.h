#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <cstddef>

class QProgressBar;

namespace quillfen {

// The panel that floats over whichever page is showing while a page is read, so that it can be
// seen while a page is loaded from the Start page. Hidden until Start.
class TProgressPanel : public QFrame {
  public:
    explicit TProgressPanel(QWidget* parent);

    QProgressBar* Bar = nullptr;

    // Shows the panel with an empty bar, centred across its parent at its own height.
    void Start();
    // The scan's progress. The scan reports every line; painting a few dozen times a second is
    // enough to be seen, so most reports paint nothing.
    void Report(std::size_t position, std::size_t maximum);

  private:
    QElapsedTimer clock_;
    qint64 lastPaint_ = -1;
};

}  // namespace quillfen
