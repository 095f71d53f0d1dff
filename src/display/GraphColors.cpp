#include "display/GraphColors.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace lv {

namespace {

// Windows system colour indices onto palette roles; unknown indices fall back to the button face.
QPalette::ColorRole roleOfSystemIndex(unsigned index) {
    switch (index) {
    case 1:
    case 4:
    case 30:
        return QPalette::Window;
    case 2:
    case 13:
    case 27:
    case 28:
    case 29:
        return QPalette::Highlight;
    case 3:
    case 16:
        return QPalette::Mid;
    case 5:
        return QPalette::Base;
    case 6:
    case 21:
        return QPalette::Shadow;
    case 7:
        return QPalette::WindowText;
    case 8:
    case 19:
        return QPalette::Text;
    case 9:
    case 14:
        return QPalette::HighlightedText;
    case 12:
        return QPalette::Dark;
    case 17:
        return QPalette::PlaceholderText;
    case 18:
        return QPalette::ButtonText;
    case 20:
        return QPalette::Light;
    case 22:
        return QPalette::Midlight;
    case 23:
        return QPalette::ToolTipText;
    case 24:
        return QPalette::ToolTipBase;
    case 26:
        return QPalette::Link;
    default:
        return QPalette::Button;
    }
}

double screenDpi() {
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* s = app->primaryScreen()) {
            double dpi = s->logicalDotsPerInchY();
            if (dpi > 0) return dpi;
        }
    }
    return 96.0;
}

} // namespace

QColor ColorToQColor(TColor color, const QPalette& palette) {
    if (color & clSystemColor) return palette.color(QPalette::Active, roleOfSystemIndex(color & 0xFF));
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

QColor ColorToQColor(TColor color) {
    return ColorToQColor(color, QGuiApplication::palette());
}

int FontPixelHeight(const QFont& font) {
    if (font.pixelSize() > 0) return font.pixelSize();
    double px = font.pointSizeF() * screenDpi() / 72.0;
    if (!std::isfinite(px) || px <= 0 || px > 10000) return 0;
    return int(std::floor(px + 0.5));
}

TGraphFont MakeStripFont(int points, bool bold, TColor color) {
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(points);
    f.setPixelSize(FontPixelHeight(f));
    f.setBold(bold);
    return {f, color};
}

} // namespace lv
