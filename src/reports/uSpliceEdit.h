#pragma once
// The work of the construction-documentation window without its widgets: the splice table, the
// measuring direction and the line's trace start and end, and the commands that place, name and
// delete splices and set the start and end. The window passes in the cursor and the graph's
// markers, shows the grid and the overlay from what is answered here, and puts markers on the
// graph when a command says so. Errors go to the operator through the prompt service.

#include <string>
#include <vector>

#include "reports/uSpliceTable.h"

namespace lv {

extern const char* const kMsgEndBeforeStart;  // "Маркер конца трассы не может находиться перед началом трассы."
extern const char* const kMsgStartAfterEnd;   // "Начало трассы не может находиться после маркера конца трассы."
extern const char* const kSpliceNamePrefix;   // "Муфта "
extern const char* const kSpliceNameTitle;    // "Описание муфты"
extern const char* const kSpliceNamePrompt;   // "Введите описание муфты"

// Marker positions closer than this count as equal when the graph's markers are followed, km.
constexpr double kMarkerFollowToleranceKm = 0.0005;

// What the window does to the graph after a command.
enum class TGraphUpdate {
    None,
    Repaint,    // the overlay changed
    PutMarkers, // clear the graph's markers, put CurrentMarkers() on it, repaint
};

// Enabled states of the window's commands (and of their twins on the main window and in the
// graph menu). The start command is always enabled.
struct TFlowCommandStates {
    bool SetMuff = false;
    bool SetEnd1 = false;
    bool DelMuff = false;
    bool NoteMuff = false;
    bool ReportBtn = false;
    bool RollBackBtn = false;
    bool ApplyBtn = false;
    bool operator==(const TFlowCommandStates&) const = default;
};

// A vertical line of the overlay with its label ("Start", "End" or a splice's name).
struct TOverlayMark {
    double Km = 0;
    std::string Label;
    bool operator==(const TOverlayMark&) const = default;
};

class TSpliceEditor {
public:
    const TSpliceTable& Table() const { return m_table; }

    // Takes the table read from the line's file; the start and end come from its first record
    // when positive. The direction stays as it is.
    void Load(std::vector<TSpliceRecord> records);

    TFlowDirection Direction() const { return m_direction; }
    double Start() const { return m_start; } // km, 0 when not set
    double End() const { return m_end; }     // km, 0 when not set

    // The commands. `cursorKm` is the graph cursor's position; empty while the cursor is hidden.
    // `params` and `trace` (the graph's current trace) feed the marker rule.
    TGraphUpdate PlaceSplice(TOptKm cursorKm, const TFlowParams& params, const TTraceGeometry& trace);
    TGraphUpdate SetEnd(TOptKm cursorKm, const TFlowParams& params, const TTraceGeometry& trace);
    TGraphUpdate SetStart(TOptKm cursorKm, const TFlowParams& params, const TTraceGeometry& trace);
    TGraphUpdate RenameCurrent(const std::string& name);
    TGraphUpdate DeleteCurrent();
    // Flips the direction; the window then opens the traces of the other sub-folder.
    TGraphUpdate ChangeDirection();
    TGraphUpdate Select(int index);
    TGraphUpdate RollBack();
    TGraphUpdate Apply();

    // Writes the graph's markers (M1, M2, MY, M3; empty when hidden) that differ by more than the
    // tolerance into the current record of the current direction. The window calls this after the
    // operator placed or dragged a marker, never after a change of the active trace (which moves
    // the graph's markers to that trace's own positions). True when the record changed.
    bool FollowMarkers(const TSpliceMarkers& graphMarkers);

    // The current record's markers of the current direction (nothing when the table is empty).
    TSpliceMarkers CurrentMarkers() const;
    // The name shown in the naming box.
    std::string CurrentName() const;

    TFlowCommandStates CommandStates(TOptKm cursorKm) const;
    // Start, end and the splices of the current direction strictly inside (leftKm, rightKm).
    std::vector<TOverlayMark> Overlay(double leftKm, double rightKm) const;

private:
    void takeStartAndEnd();
    void updateEveryRecord(const TFlowParams& params, const TTraceGeometry& trace);
    TGraphUpdate afterStartOrEnd() const;

    TSpliceTable m_table;
    TFlowDirection m_direction = TFlowDirection::AB;
    double m_start = 0;
    double m_end = 0;
};

} // namespace lv
