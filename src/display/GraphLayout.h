#pragma once
// The strips around a graph's content: which areas exist, and how the client rectangle is cut
// into them. Pure arithmetic; the view feeds it its sizes and visibilities.

#include <array>
#include <optional>

#include "display/GraphMath.h"

namespace lv {

enum TWhatObject {
    woContent = 0,
    woHeader = 1,
    woXLabel = 2,
    woXScale = 3,
    woXValues = 4,
    woXRuls = 5,
    woYLabel = 6,
    woYScale = 7,
    woYValues = 8,
    woYRuls = 9,
};
constexpr int kAreaCount = 10;

enum TWhatContent { wcoXGrids = 0, wcoYGrids = 1, wcoGraphs = 2, wcoObjects = 3 };

enum THeaderPos { hpTop, hpBottom, hpLeft, hpRight };
enum TXLabelPos { xlpTop, xlpBottom, xlpBoth };
enum TYLabelPos { ylpLeft, ylpRight, ylpBoth };
enum THeaderContent { hcHeader, hcCaption, hcFileName };

enum class TAxis { X, Y };

// One strip of an axis: shown or not, its thickness and where it goes (for X strips
// xlpTop/xlpBottom/xlpBoth, for Y strips ylpLeft/ylpRight/ylpBoth; the same ordinals).
struct TStripPlace {
    bool Visible = true;
    int Size = 0;
    int Pos = 1;
};

struct TLayoutInput {
    bool HeaderVisible = true;
    int HeaderSize = 0;
    THeaderPos HeaderPos = hpTop;
    TStripPlace XLabel, YLabel, XScale, YScale, XValues, YValues, XRuls, YRuls;
};

// Rectangles of every area, two sides each (side 1 only for "both" positions); area 0 side 0 is
// the content rectangle C. Corners are the four rectangles outside both the X and the Y strips.
struct TAreaLayout {
    std::array<std::array<TRect, 2>, kAreaCount> Areas{};
    std::array<TRect, 4> Corners{};

    const TRect& Content() const { return Areas[woContent][0]; }
    const TRect& Area(TWhatObject a, int side) const { return Areas[size_t(a)][size_t(side & 1)]; }
    // The first area side holding the point, areas in order content, header, X label ... Y rulers.
    std::optional<std::pair<TWhatObject, int>> AreaAt(int x, int y) const;
};

// Cuts `client` in the order header, labels, scale strips, values strips, ruler strips (X before Y
// at each step). A strip never takes more than what is left, so a tiny client gives empty areas
// rather than inverted ones.
TAreaLayout LayoutAreas(const TRect& client, const TLayoutInput& input);

} // namespace lv
