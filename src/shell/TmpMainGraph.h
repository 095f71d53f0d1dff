#pragma once
// TEMPORARY stand-in until the real main graph lands; removed before the branch is done.
#include "display/uGraphsCmps.h"
namespace lv {
class TMainGraph : public TGraphView {
public:
    using TGraphView::TGraphView;
};
} // namespace lv
