#pragma once

// The windows' painted pictures, drawn at start-up rather than shipped as image files, and the
// pixel fonts the windows are laid out in.

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <array>

namespace quillfen {

// A font of a fixed pixel size, as the windows are laid out in pixels.
QFont PixelFont(const QString& family, int pixels, bool bold = false);

// The three kind tiles, 12 x 12: T (plain text), G (image alternative text), C (header content).
std::array<QPixmap, 3> MakeKindImages();
// The Ok button's tick, 18 x 18: green, and grey while the button is disabled.
QIcon MakeTickIcon();
// The Help command's icon, 16 x 16.
QPixmap MakeHelpBitmap();
// The Start page's picture, 243 x 196.
QPixmap MakeStartPicture();
// The wizard's picture on its left strip, 133 x 200.
QPixmap MakeWizardPicture();

}  // namespace quillfen
