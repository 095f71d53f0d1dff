#include "display/FittedText.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace lv {

int FittedCharWidth(int available, int avgCharWidth, int textWidth, const std::function<int(int)>& widthAt) {
    if (available <= 0 || avgCharWidth <= 0 || textWidth <= 0) return 0;
    long long w = static_cast<long long>(available) * avgCharWidth / textWidth;
    for (; w > 0; --w)
        if (widthAt(int(w)) <= available) return int(w);
    return 0;
}

int StretchForCharWidth(int charWidth, int avgCharWidth) {
    if (avgCharWidth <= 0) return 100;
    long long s = (200LL * charWidth + avgCharWidth) / (2LL * avgCharWidth);
    return int(std::clamp(s, 1LL, 4000LL));
}

namespace {

int textWidth(const QFont& f, const QString& text, QPaintDevice* device) {
    return int(std::ceil(QFontMetricsF(f, device).horizontalAdvance(text)));
}

} // namespace

TFittedText DrawFittedText(QPainter& painter, const TRect& r, const QString& text, const TGraphFont& font,
                           TTextRotation rotation, TTextPlacement placement,
                           std::optional<QColor> background) {
    TFittedText result;
    result.Font = font.Font;
    if (r.IsEmpty()) return result;
    if (background) painter.fillRect(r.ToQRect(), *background);
    if (text.isEmpty()) return result;

    const bool turned = rotation != TTextRotation::None;
    const int available = turned ? r.Height() : r.Width();
    const int thickness = turned ? r.Width() : r.Height();
    QPaintDevice* device = painter.device();
    QFont f = font.Font;
    int width = textWidth(f, text, device);
    if (width > available) {
        int avg = int(std::lround(QFontMetricsF(f, device).averageCharWidth()));
        int charWidth = FittedCharWidth(available, avg, width, [&](int w) {
            QFont g = f;
            g.setStretch(StretchForCharWidth(w, avg));
            return textWidth(g, text, device);
        });
        if (charWidth <= 0) return result;
        f.setStretch(StretchForCharWidth(charWidth, avg));
    }

    Qt::Alignment align = Qt::AlignVCenter;
    if (placement == TTextPlacement::Centre)
        align |= Qt::AlignHCenter;
    else if ((placement == TTextPlacement::End) == (rotation == TTextRotation::Down))
        align |= Qt::AlignLeft; // turned downward, the text's left is the top
    else
        align |= Qt::AlignRight;

    painter.save();
    painter.setClipRect(r.ToQRect(), Qt::IntersectClip);
    painter.setFont(f);
    painter.setPen(ColorToQColor(font.Color));
    painter.translate(r.Left + r.Width() / 2.0, r.Top + r.Height() / 2.0);
    if (rotation == TTextRotation::Up)
        painter.rotate(-90);
    else if (rotation == TTextRotation::Down)
        painter.rotate(90);
    painter.drawText(QRectF(-available / 2.0, -thickness / 2.0, available, thickness),
                     int(align) | Qt::TextSingleLine, text);
    painter.restore();
    result.Drawn = true;
    result.Font = f;
    return result;
}

} // namespace lv
