#include "trace/TraceEvents.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace lv {

bool IsFibreEndEvent(const std::string& code) {
    return code.size() >= 2 && code[1] == 'E';
}

std::string EventTypeText(const std::string& code) {
    std::string text;
    const char kind = code.empty() ? '\0' : code[0];
    if (IsFibreEndEvent(code))
        text = "конец волокна";
    else if (kind == '0')
        text = "неотражающее";
    else if (kind == '1')
        text = "отражающее";
    else if (kind == '2')
        text = "отражающее, насыщенное";
    else
        return "неизвестное";
    switch (code.size() >= 2 ? code[1] : '\0') {
    case 'A':
        text += " (добавлено вручную)";
        break;
    case 'M':
        text += " (перемещено вручную)";
        break;
    case 'O':
        text += " (вне диапазона)";
        break;
    default:
        break;
    }
    return text;
}

std::pair<double, double> EventMarkerSpan(double eventKm, double previousKm, double nextKm, double pulseKm,
                                          double stepKm, double firstKm, double lastKm) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    if (!(eventKm >= firstKm && eventKm <= lastKm) || !(stepKm > 0)) return {nan, nan};
    // Far enough that the markers stand on the fibre beside the event, not in its dead zone.
    const double width = std::max(4.0 * std::max(pulseKm, 0.0), 5.0 * stepKm);
    double left = width, right = width;
    // Halfway to a neighbour at most: the section between the markers holds this event alone.
    if (previousKm < eventKm) left = std::min(left, (eventKm - previousKm) / 2);
    if (nextKm > eventKm) right = std::min(right, (nextKm - eventKm) / 2);
    const double a = std::max(firstKm, eventKm - left);
    const double b = std::min(lastKm, eventKm + right);
    if (!(a < b)) return {nan, nan};
    return {a, b};
}

} // namespace lv
