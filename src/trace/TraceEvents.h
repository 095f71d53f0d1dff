#pragma once
// The instrument's own analysis of a trace: the key events an OTDR found (or the operator placed)
// and the loss of the whole link, as a foreign ".sor" file carries them in its KeyEvents block.
// The trace store keeps them beside the samples for as long as the trace shows that file's
// samples; the system never writes them (its own files have no such block).
//
// Positions stay in the file's unit, a one-way time of flight in 100 ps, so that the store can
// convert them with the same group index and light speed as the samples (TRDataStorage::
// EventDistanceKm, EventTraceKm), also after the operator changes the group index.
//
// An instrument times its events from its front panel (the connector of the fibre under test),
// and many start their samples there too; some start them earlier, by the front panel offset of
// the fixed parameters (43.9 m, 20 m, 1.07 km in files of the shared corpus), and only with it
// added do the events stand on their reflections.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lv {

struct TTraceEvent {
    // The time a file writes for an event it has no position for (-2^31 read as signed).
    static constexpr int64_t kNoPosition = 0x80000000LL;

    int Number = 0;
    int64_t PropagationTime = 0;  // one way, 100 ps; kNoPosition for none
    double LossDb = 0;            // the event's (splice) loss; negative for a gain
    double ReflectanceDb = 0;     // 0 when the instrument gives none (a non-reflective event)
    double LeadInAttenuation = 0; // dB/km of the fibre before the event; 0 when not measured
    std::string Code;             // six characters as in the file, e.g. "1F9999"
    std::string Technique;        // the loss measurement technique: "LS", "2P", …
    std::string Comment;          // UTF-8

    bool Placed() const { return PropagationTime != kNoPosition; }
};

struct TTraceEvents {
    std::vector<TTraceEvent> Events;
    double EndToEndLossDb = 0;
    std::pair<int64_t, int64_t> EndToEndMarkers{0, 0}; // one way, 100 ps
    double ReturnLossDb = 0;                           // optical return loss
    std::pair<int64_t, int64_t> ReturnLossMarkers{0, 0};
    int64_t FrontPanelOffset = 0; // 100 ps from the first sample to the front panel
};

// What an event code means to the operator: "отражающее", "неотражающее", "отражающее,
// насыщенное" or "конец волокна" (the end outranks the kind), followed by who placed it when
// that was not the instrument's analysis (" (добавлено вручную)", " (перемещено вручную)") or
// " (вне диапазона)". A code the format does not define reads "неизвестное".
std::string EventTypeText(const std::string& code);

// True for the end-of-fibre events.
bool IsFibreEndEvent(const std::string& code);

// Where M1 and M2 go to measure the event at `eventKm` (an operator's two markers around it): a
// half-width of four pulse lengths in the fibre (`pulseKm`, one way), at least five samples
// (`stepKm`), never past halfway to a neighbouring event (`previousKm`, `nextKm`; NaN when there
// is none; one at the event's own distance does not count) nor outside the samples [`firstKm`,
// `lastKm`]. An event outside the samples, or samples without a step, answer nothing (both NaN).
std::pair<double, double> EventMarkerSpan(double eventKm, double previousKm, double nextKm, double pulseKm,
                                          double stepKm, double firstKm, double lastKm);

} // namespace lv
