#include "reports/uSpliceTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "formats/Cp1251.h"
#include "trace/Numeric.h"
#include "trace/TraceParams.h"

namespace lv {

TOptKm TSpliceRecord::MPosFC() const {
    if (!MPosF) return std::nullopt;
    return *MPosF - SrtPt.value_or(0.0);
}

TOptKm TSpliceRecord::MPosRC() const {
    if (!MPosR) return std::nullopt;
    return *MPosR - SrtPt.value_or(0.0);
}

TSpliceMarkers TSpliceRecord::Markers(TFlowDirection dir) const {
    if (dir == TFlowDirection::AB) return {M1F, M2F, MYF, M3F};
    return {M1R, M2R, MYR, M3R};
}

void TSpliceRecord::SetPosition(TFlowDirection dir, TOptKm km) { (dir == TFlowDirection::AB ? MPosF : MPosR) = km; }

void TSpliceRecord::SetMarkers(TFlowDirection dir, const TSpliceMarkers& m) {
    if (dir == TFlowDirection::AB) {
        M1F = m.M1, M2F = m.M2, MYF = m.MY, M3F = m.M3;
    } else {
        M1R = m.M1, M2R = m.M2, MYR = m.MY, M3R = m.M3;
    }
}

TSpliceMarkers SpliceMarkers(double p, const TFlowParams& params, const TTraceGeometry& trace) {
    TSpliceMarkers m;
    m.M2 = p;
    const double m1 = std::max(p - params.DistM12 / 1000.0, 0.1);
    m.M1 = m1 < p ? m1 : p / 2;

    const double e = trace.DataEndKm - 0.01;
    // A group index of 0 (a trace without one) gives no pulse length: MY goes half-way to the end.
    std::optional<double> pulseKm;
    if (trace.GroupIndex > 0)
        pulseKm = SafeDivide(params.DistM2Y * trace.PulseNs * 1e-9 * kLightSpeed * 1e-6, trace.GroupIndex);
    double my = pulseKm ? p + *pulseKm : std::numeric_limits<double>::infinity();
    if (my > e) my = (p + e) / 2;
    m.MY = my;
    m.M3 = std::min(e, my + params.DistMY3 / 1000.0);
    return m;
}

// ---- the table ---------------------------------------------------------------------------------

std::vector<TSpliceRecord> TSpliceTable::Records() const {
    std::vector<TSpliceRecord> out;
    out.reserve(m_rows.size());
    for (const Row& r : m_rows) out.push_back(r.record);
    return out;
}

void TSpliceTable::SetCurrentIndex(int index) {
    m_current = m_rows.empty() ? -1 : std::clamp(index, 0, Count() - 1);
}

uint64_t TSpliceTable::currentKey() const { return m_current < 0 ? 0 : m_rows[static_cast<size_t>(m_current)].key; }

void TSpliceTable::sortRows(uint64_t key) {
    // Empty positions first, then ascending; equal positions keep their insertion order.
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const Row& a, const Row& b) {
        if (a.record.MPosF.has_value() != b.record.MPosF.has_value()) return !a.record.MPosF.has_value();
        if (a.record.MPosF && *a.record.MPosF != *b.record.MPosF) return *a.record.MPosF < *b.record.MPosF;
        return a.key < b.key;
    });
    m_current = -1;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].key == key) m_current = static_cast<int>(i);
    if (m_current < 0 && !m_rows.empty()) m_current = 0;
}

void TSpliceTable::normalise(TSpliceRecord& record) { record.MName = TruncateCp1251(record.MName, kSpliceNameMax); }

void TSpliceTable::Insert(TSpliceRecord record) {
    normalise(record);
    const uint64_t key = m_nextKey++;
    m_rows.push_back({key, std::move(record)});
    sortRows(key);
    ++m_changeCount;
}

void TSpliceTable::PostCurrent(TSpliceRecord record) {
    if (m_current >= 0) Post(m_current, std::move(record));
}

void TSpliceTable::Post(int index, TSpliceRecord record) {
    normalise(record);
    Row& row = m_rows.at(static_cast<size_t>(index));
    if (row.record == record) return;
    row.record = std::move(record);
    sortRows(currentKey());
    ++m_changeCount;
}

void TSpliceTable::DeleteCurrent() {
    if (m_current < 0) return;
    m_rows.erase(m_rows.begin() + m_current);
    SetCurrentIndex(m_current);
    ++m_changeCount;
}

void TSpliceTable::ApplyUpdates() {
    m_applied = m_rows;
    m_changeCount = 0;
}

void TSpliceTable::CancelUpdates() {
    const uint64_t key = currentKey();
    m_rows = m_applied;
    m_changeCount = 0;
    sortRows(key);
}

void TSpliceTable::Assign(std::vector<TSpliceRecord> records) {
    m_rows.clear();
    for (TSpliceRecord& r : records) {
        normalise(r);
        m_rows.push_back({m_nextKey++, std::move(r)});
    }
    sortRows(0);
    ApplyUpdates();
}

} // namespace lv
