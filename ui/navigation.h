#pragma once

// Moving through the phrase list from the entry field: the arrow keys, a page at a time, and to
// either end. Every move behaves like a click on the row it lands on, and none saves.

#include <Qt>

namespace quillfen {

enum class TMove { None, Up, Down, PageUp, PageDown, First, Last };

// The move a key pressed in the entry field asks for. Up, Down, PageUp and PageDown take any
// modifier; Home and End move only with Ctrl, since without it they move the cursor in the text.
TMove MoveOfKey(int key, Qt::KeyboardModifiers modifiers);

// The row a move lands on from row (-1: none selected) in a list of count rows of which page rows
// are in view; -1 when it selects none. At either end the selection stays. Without a selection,
// Down and PageDown select the first row, Up and PageUp none.
int MoveTarget(TMove move, int row, int count, int page);

}  // namespace quillfen
