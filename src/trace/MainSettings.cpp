#include "trace/MainSettings.h"

#include <algorithm>

namespace lv {

int FittingGraphHeight(int clientHeight) {
    return std::max(50, clientHeight - 150);
}

int ClampGraphHeight(int stored, int clientHeight) {
    return stored >= clientHeight ? FittingGraphHeight(clientHeight) : stored;
}

int ClampFibCount(int count) {
    return std::clamp(count, 1, 300);
}

int ClampMarkingType(int index) {
    return index >= 0 && index <= 7 ? index : 2;
}

int ClampDistance(int metres) {
    return metres <= 0 ? 1000 : metres;
}

} // namespace lv
