#include "reports/uSpliceEdit.h"

#include <cmath>

#include "trace/PromptService.h"

namespace lv {

const char* const kMsgEndBeforeStart = "Маркер конца трассы не может находиться перед началом трассы.";
const char* const kMsgStartAfterEnd = "Начало трассы не может находиться после маркера конца трассы.";
const char* const kSpliceNamePrefix = "Муфта ";
const char* const kSpliceNameTitle = "Описание муфты";
const char* const kSpliceNamePrompt = "Введите описание муфты";

namespace {
bool positive(const TOptKm& v) { return v && *v > 0; }
} // namespace

void TSpliceEditor::Load(std::vector<TSpliceRecord> records) {
    m_table.Assign(std::move(records));
    takeStartAndEnd();
}

void TSpliceEditor::takeStartAndEnd() {
    m_start = 0;
    m_end = 0;
    if (const TSpliceRecord* first = m_table.IsEmpty() ? nullptr : &m_table.Record(0)) {
        if (positive(first->SrtPt)) m_start = *first->SrtPt;
        if (positive(first->EndPt)) m_end = *first->EndPt;
    }
}

TGraphUpdate TSpliceEditor::PlaceSplice(TOptKm cursorKm, const TFlowParams& params, const TTraceGeometry& trace) {
    if (!positive(cursorKm)) return TGraphUpdate::None;
    const double c = *cursorKm;
    const bool insert = m_direction == TFlowDirection::AB || m_table.IsEmpty();
    TSpliceRecord r = insert ? TSpliceRecord{} : *m_table.Current();
    r.EndPt = m_end;
    r.SrtPt = m_start;
    r.SetPosition(m_direction, c);
    r.SetMarkers(m_direction, SpliceMarkers(c, params, trace));
    if (m_direction == TFlowDirection::AB) {
        r.MName = kSpliceNamePrefix + std::to_string(m_table.Count() + 1);
        // A splice placed beyond the end would get a B-to-A position before the start: none.
        const double mirrored = MirrorPosition(c, m_start, m_end);
        if (m_start >= 0 && m_end > 0 && mirrored > 0 && r.MPosR != mirrored) {
            r.MPosR = mirrored;
            r.SetMarkers(TFlowDirection::BA, SpliceMarkers(mirrored, params, trace));
        }
    }
    if (insert) m_table.Insert(std::move(r));
    else m_table.PostCurrent(std::move(r));
    return TGraphUpdate::PutMarkers;
}

void TSpliceEditor::updateEveryRecord(const TFlowParams& params, const TTraceGeometry& trace) {
    for (int i = 0; i < m_table.Count(); ++i) {
        TSpliceRecord r = m_table.Record(i);
        r.SrtPt = m_start;
        r.EndPt = m_end;
        // The mirror needs the end; a splice placed only from B has no A position to mirror and
        // keeps its own B-to-A fields.
        if (m_end > 0 && r.MPosF) {
            const double mirrored = MirrorPosition(*r.MPosF, m_start, m_end);
            if (mirrored > 0) {
                r.MPosR = mirrored;
                r.SetMarkers(TFlowDirection::BA, SpliceMarkers(mirrored, params, trace));
            } else {
                r.MPosR.reset();
                r.SetMarkers(TFlowDirection::BA, {});
            }
        }
        // Posting re-sorts nothing here: MPosF is unchanged.
        m_table.Post(i, std::move(r));
    }
}

TGraphUpdate TSpliceEditor::afterStartOrEnd() const {
    return m_direction == TFlowDirection::BA ? TGraphUpdate::PutMarkers : TGraphUpdate::Repaint;
}

TGraphUpdate TSpliceEditor::SetEnd(TOptKm cursorKm, const TFlowParams& params, const TTraceGeometry& trace) {
    if (!positive(cursorKm) || *cursorKm == m_end || m_table.IsEmpty()) return TGraphUpdate::None;
    const double x = *cursorKm;
    if (x <= m_start) {
        MessageDlg(kMsgEndBeforeStart, TMsgDlgType::mtError, mbOK);
        return TGraphUpdate::None;
    }
    m_end = x;
    updateEveryRecord(params, trace);
    return afterStartOrEnd();
}

TGraphUpdate TSpliceEditor::SetStart(TOptKm cursorKm, const TFlowParams& params, const TTraceGeometry& trace) {
    // A hidden cursor has no position; it must not move the start to 0.
    if (!cursorKm) return TGraphUpdate::None;
    const double x = std::max(0.0, *cursorKm);
    if (x == m_start || m_table.IsEmpty()) return TGraphUpdate::None;
    if (m_end > 0 && x >= m_end) {
        MessageDlg(kMsgStartAfterEnd, TMsgDlgType::mtError, mbOK);
        return TGraphUpdate::None;
    }
    m_start = x;
    updateEveryRecord(params, trace);
    return afterStartOrEnd();
}

TGraphUpdate TSpliceEditor::RenameCurrent(const std::string& name) {
    if (m_table.IsEmpty()) return TGraphUpdate::None;
    TSpliceRecord r = *m_table.Current();
    r.MName = name;
    m_table.PostCurrent(std::move(r));
    return TGraphUpdate::Repaint;
}

TGraphUpdate TSpliceEditor::DeleteCurrent() {
    if (m_table.IsEmpty()) return TGraphUpdate::None;
    m_table.DeleteCurrent();
    // Another record becomes current, and its markers go on the graph.
    return m_table.IsEmpty() ? TGraphUpdate::Repaint : TGraphUpdate::PutMarkers;
}

TGraphUpdate TSpliceEditor::ChangeDirection() {
    m_direction = m_direction == TFlowDirection::AB ? TFlowDirection::BA : TFlowDirection::AB;
    return TGraphUpdate::PutMarkers;
}

TGraphUpdate TSpliceEditor::Select(int index) {
    if (m_table.IsEmpty()) return TGraphUpdate::None;
    m_table.SetCurrentIndex(index);
    return TGraphUpdate::PutMarkers;
}

TGraphUpdate TSpliceEditor::RollBack() {
    if (m_table.ChangeCount() == 0) return TGraphUpdate::None;
    m_table.CancelUpdates();
    // The start and end go back with the records that hold them.
    takeStartAndEnd();
    return TGraphUpdate::PutMarkers;
}

TGraphUpdate TSpliceEditor::Apply() {
    m_table.ApplyUpdates();
    return TGraphUpdate::None;
}

bool TSpliceEditor::FollowMarkers(const TSpliceMarkers& graph) {
    if (m_table.IsEmpty()) return false;
    TSpliceRecord r = *m_table.Current();
    TSpliceMarkers m = r.Markers(m_direction);
    bool changed = false;
    auto follow = [&](const TOptKm& onGraph, TOptKm& field) {
        if (!onGraph) return; // a hidden marker says nothing about the splice
        if (field && std::fabs(*field - *onGraph) <= kMarkerFollowToleranceKm) return;
        field = onGraph;
        changed = true;
    };
    follow(graph.M1, m.M1);
    follow(graph.M2, m.M2);
    follow(graph.MY, m.MY);
    follow(graph.M3, m.M3);
    if (!changed) return false;
    r.SetMarkers(m_direction, m);
    m_table.PostCurrent(std::move(r));
    return true;
}

TSpliceMarkers TSpliceEditor::CurrentMarkers() const {
    const TSpliceRecord* r = m_table.Current();
    return r ? r->Markers(m_direction) : TSpliceMarkers{};
}

std::string TSpliceEditor::CurrentName() const {
    const TSpliceRecord* r = m_table.Current();
    return r ? r->MName : std::string();
}

TFlowCommandStates TSpliceEditor::CommandStates(TOptKm cursorKm) const {
    TFlowCommandStates s;
    s.SetMuff = positive(cursorKm);
    s.SetEnd1 = s.SetMuff && !m_table.IsEmpty();
    s.DelMuff = s.NoteMuff = s.ReportBtn = !m_table.IsEmpty();
    s.RollBackBtn = s.ApplyBtn = m_table.ChangeCount() > 0;
    return s;
}

std::vector<TOverlayMark> TSpliceEditor::Overlay(double leftKm, double rightKm) const {
    std::vector<TOverlayMark> marks;
    auto add = [&](double km, const std::string& label) {
        if (km > leftKm && km < rightKm) marks.push_back({km, label});
    };
    add(m_start, "Start");
    add(m_end, "End");
    for (int i = 0; i < m_table.Count(); ++i) {
        const TSpliceRecord& r = m_table.Record(i);
        if (const TOptKm p = r.Position(m_direction)) add(*p, r.MName);
    }
    return marks;
}

} // namespace lv
