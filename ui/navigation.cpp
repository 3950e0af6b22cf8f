#include "ui/navigation.h"

#include <algorithm>

namespace quillfen {

TMove MoveOfKey(int key, Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers & Qt::ControlModifier;
    switch (key) {
        case Qt::Key_Up:
            return TMove::Up;
        case Qt::Key_Down:
            return TMove::Down;
        case Qt::Key_PageUp:
            return TMove::PageUp;
        case Qt::Key_PageDown:
            return TMove::PageDown;
        case Qt::Key_Home:
            return ctrl ? TMove::First : TMove::None;
        case Qt::Key_End:
            return ctrl ? TMove::Last : TMove::None;
        default:
            return TMove::None;
    }
}

int MoveTarget(TMove move, int row, int count, int page) {
    if (count <= 0) return -1;
    row = std::min(row, count - 1);
    page = std::max(page, 1);
    switch (move) {
        case TMove::Up:
            return row > 0 ? row - 1 : row;
        case TMove::Down:
            return row < 0 ? 0 : std::min(row + 1, count - 1);
        case TMove::PageUp:
            return row < 0 ? -1 : std::max(row - page, 0);
        case TMove::PageDown:
            return row < 0 ? 0 : std::min(row + page, count - 1);
        case TMove::First:
            return 0;
        case TMove::Last:
            return count - 1;
        case TMove::None:
            break;
    }
    return row;
}

}  // namespace quillfen
