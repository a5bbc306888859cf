#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace lm::gui {

// The program's own artwork, drawn rather than loaded: a stylised lens with the word "Lumetra".
class BrandArt {
public:
    // The window icon, in the usual icon sizes.
    static QIcon windowIcon();
    // The lens mark alone, `side` pixels square, on a transparent ground.
    static QPixmap lensMark(int side);
    // The tall logo panel beside the buttons of the main window.
    static QPixmap logo(QSize size);
};

}  // namespace lm::gui
