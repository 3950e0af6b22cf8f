#pragma once

// The windows' painted pictures, drawn at start-up rather than shipped as image files, and the
// pixel fonts the windows are laid out in.

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <array>

#include "core/markup/kinds.h"

namespace quillfen {

// A font of a fixed pixel size, as the windows are laid out in pixels.
QFont PixelFont(const QString& family, int pixels, bool bold = false);

// A kind's tile, 12 x 12: its letter on yellow, in the colour of its icon; a null pixmap for an
// icon name the window does not know.
QPixmap MakeKindImage(const TKindInfo& kind);
// Every kind's tile, in the order of TKind.
using TKindImages = std::array<QPixmap, kKindCount>;
TKindImages MakeKindImages();
// The Ok button's tick, 18 x 18: green, and grey while the button is disabled.
QIcon MakeTickIcon();
// The Help command's icon, 16 x 16.
QPixmap MakeHelpBitmap();
// The Start page's picture, 243 x 196.
QPixmap MakeStartPicture();
// The wizard's picture on its left strip, 133 x 200.
QPixmap MakeWizardPicture();

}  // namespace quillfen
