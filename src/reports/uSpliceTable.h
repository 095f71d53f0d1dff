#pragma once
// The splice table of a construction line: one record per splice closure with its position and
// the four measurement markers around it for both measuring directions, and the line's trace
// start and end. Positions are kilometres; an empty field has no value. The table is kept ordered
// by the A-to-B position (empty first) and logs its changes since the last apply, so that the
// operator can roll back to that point.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reports/uFlowParams.h"

namespace lv {

// The measuring direction: A to B (traces of "AB/") or B to A (traces of "BA/").
enum class TFlowDirection { AB = 0, BA = 1 };

constexpr size_t kSpliceNameMax = 20; // characters (Windows-1251 bytes)

using TOptKm = std::optional<double>;

// Markers M1, M2, MY and M3 of one direction, km.
struct TSpliceMarkers {
    TOptKm M1, M2, MY, M3;
    bool operator==(const TSpliceMarkers&) const = default;
};

struct TSpliceRecord {
    std::string MName;
    TOptKm MPosF, M1F, M2F, MYF, M3F; // A to B
    TOptKm MPosR, M1R, M2R, MYR, M3R; // B to A
    TOptKm EndPt;                     // trace end, the same in every record
    TOptKm SrtPt;                     // trace start, the same in every record

    // Distance from A (MPosF − SrtPt) and from B (MPosR − SrtPt); empty without the position, an
    // empty start counting as 0.
    TOptKm MPosFC() const;
    TOptKm MPosRC() const;

    TOptKm Position(TFlowDirection dir) const { return dir == TFlowDirection::AB ? MPosF : MPosR; }
    TSpliceMarkers Markers(TFlowDirection dir) const;
    void SetPosition(TFlowDirection dir, TOptKm km);
    void SetMarkers(TFlowDirection dir, const TSpliceMarkers& m);

    bool operator==(const TSpliceRecord&) const = default;
};

// What the marker rule needs of the trace on the graph.
struct TTraceGeometry {
    double PulseNs = 0;    // pulse width, ns
    double GroupIndex = 0; // group refractive index
    double DataEndKm = 0;  // end of the trace's data
};

// The markers around a splice at `p` km: M2 at the splice; M1 DistM12 before it but not before
// 0.1 km (half-way to the splice when that is not before it); MY DistM2Y thousandths of the pulse
// length in the fibre after it, pulled back to half-way to the end of the data (less 10 m) when
// beyond it; M3 DistMY3 after MY, not beyond that end. A group index that gives no finite pulse
// length counts as beyond the end.
TSpliceMarkers SpliceMarkers(double p, const TFlowParams& params, const TTraceGeometry& trace);

// The B-to-A position of a splice at A-to-B position p, with trace start s and end t: s + t − p.
inline double MirrorPosition(double p, double s, double t) { return s + t - p; }

class TSpliceTable {
public:
    int Count() const { return static_cast<int>(m_rows.size()); }
    bool IsEmpty() const { return m_rows.empty(); }
    // Records in the table's order: by MPosF, empty first, then by insertion.
    const TSpliceRecord& Record(int index) const { return m_rows.at(static_cast<size_t>(index)).record; }
    std::vector<TSpliceRecord> Records() const;

    // The current record (the grid's selection); -1 when the table is empty.
    int CurrentIndex() const { return m_current; }
    const TSpliceRecord* Current() const { return m_current < 0 ? nullptr : &Record(m_current); }
    // Held in the table's range.
    void SetCurrentIndex(int index);

    // Posts a new record, which becomes current; the name is cut to kSpliceNameMax.
    void Insert(TSpliceRecord record);
    // Posts a changed current record (re-sorted, staying current). No change, no log entry.
    void PostCurrent(TSpliceRecord record);
    // Posts a changed record by index; the current record stays current.
    void Post(int index, TSpliceRecord record);
    // Deletes the current record; the next one (or the new last one) becomes current.
    void DeleteCurrent();

    // Changes since the last apply (or load); the roll-back and apply commands need some.
    int ChangeCount() const { return m_changeCount; }
    // Keeps the changes: the next roll-back returns here.
    void ApplyUpdates();
    // Returns to the records of the last apply; the current record stays current if it exists.
    void CancelUpdates();

    // Replaces everything (a table read from its file); the log starts empty.
    void Assign(std::vector<TSpliceRecord> records);

private:
    struct Row {
        uint64_t key; // identity across re-sorting and roll-back
        TSpliceRecord record;
    };
    void sortRows(uint64_t currentKey);
    uint64_t currentKey() const;
    static void normalise(TSpliceRecord& record);

    std::vector<Row> m_rows;
    std::vector<Row> m_applied;
    int m_current = -1;
    int m_changeCount = 0;
    uint64_t m_nextKey = 1;
};

} // namespace lv
