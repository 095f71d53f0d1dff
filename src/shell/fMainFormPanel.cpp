// The parameter panel of the main window: its snapshot of the active trace, the posted updates
// that write it, the marker and start buttons, the approximation toggle and the group index.

#include <QAction>
#include <QLabel>

#include <cmath>

#include "display/uGraphsCmps.h"
#include "shell/Commonun.h"
#include "shell/fMainForm.h"
#include "trace/uGraphIntfs.h"

namespace lv {

const char* const kMsgBadGroupIndex = "Неправильно задан показатель преломления.\r\nПовторите попытку.";

namespace {

// Traces of one wavelength share a group index; compared in whole nanometres.
long wavelengthNm(TMainDataItem* item) {
    return std::lround(item->TraceValue(tvWaveLength) * 1000.0);
}

} // namespace

// ---- graph events and the posted updates ------------------------------------------------------------

void TMainForm::cursorVisibleChanged(TMainGraph* sender, bool visible, double x) {
    if (sender != MainGraph) return;
    m_cursorReported = visible;
    updateMarkerButtons(x);
    if (visible) {
        PanelCursorX = x;
        CursorDistance = x - MainGraph->StartX();
    } else {
        PanelCursorX = -1;
        CursorDistance = -1;
    }
    PanelUpdateRequest(puCursorDistance);
}

void TMainForm::markersChanged(TMainDataItem* item) {
    TMainDataItem* active = ActiveTrace();
    // A processing loop changes the other traces one by one: their values are not the panel's.
    if (item && item != active) return;
    fillPanelValues(active);
    PanelUpdateRequest(puValues);
    // A new start (or none) moves the distance to the cursor at once, not at the next cursor move.
    if (!active) {
        PanelCursorX = -1;
        CursorDistance = -1;
    } else if (PanelCursorX >= 0) {
        CursorDistance = PanelCursorX - MainGraph->StartX();
    }
    PanelUpdateRequest(puCursorDistance);
    // Markers shown or hidden (another trace, "Стереть маркеры" of a report) change what the
    // buttons offer even where the cursor stays.
    updateMarkerButtons(MainGraph->CursorX());
}

void TMainForm::fillPanelValues(TMainDataItem* item) {
    PanelValues = TPanelValues();
    if (!item) return;
    TPanelValues& v = PanelValues;
    v.Distance12 = item->TraceValue(tvLength12);
    v.Loss12 = item->TraceValue(tvLoss12);
    v.Distance23 = item->TraceValue(tvLength23);
    v.Loss23 = item->TraceValue(tvLoss23);
    v.SpliceLoss = item->TraceValue(tvSpliceLoss);
    v.WaveLength = item->TraceValue(tvWaveLength);
    v.Attenuation = item->TraceValue(tvAttenuator);
    v.PulsWidth = item->PulseWidth();
    v.AvrgTimes = item->Averages();
    v.GroupIndex = item->TraceValue(tvRefIndex);
    v.LengthRange = item->TraceValue(tvRange);
    v.AvrgMethod = item->AveragingText();
    v.Aprox = item->ApproxMode();
    v.Caption = item->Caption();
    v.FileName = item->SourceFileName();
}

void TMainForm::PanelUpdateRequest(int kind) {
    QMetaObject::invokeMethod(
        this, [this, kind] { performPanelUpdate(kind); }, Qt::QueuedConnection);
}

void TMainForm::performPanelUpdate(int kind) {
    switch (kind) {
    case puCursorDistance:
        m_params->ShowCursorDistance(PanelCursorX, CursorDistance);
        break;
    case puValues:
        m_params->ShowValues(PanelValues);
        m_namePanel->SetFileName(PanelValues.FileName);
        break;
    default:
        break;
    }
}

// ---- marker and start buttons -----------------------------------------------------------------------

void TMainForm::updateMarkerButtons(double x) {
    TMainGraph& g = *MainGraph;
    // The markers go where the cursor is drawn: a cursor off the trace, or not drawn at all,
    // places nothing.
    const bool cursor = m_cursorReported && g.CursorVisible() && ActiveTrace();
    auto allowed = [&](const TMarker* m) { return cursor && g.MarkerPlaceAllowed(m, x).has_value(); };
    const bool m1 = allowed(g.Marker(1)), m2 = allowed(g.Marker(2)), m3 = allowed(g.Marker(3));
    const bool my = allowed(g.YMarker());
    const bool ref = m1 || m2 || m3 || my;
    Command(QStringLiteral("M1Btn"))->setEnabled(m1);
    Command(QStringLiteral("M2Btn"))->setEnabled(m2);
    Command(QStringLiteral("M3Btn"))->setEnabled(m3);
    Command(QStringLiteral("MYBtn"))->setEnabled(my);
    Command(QStringLiteral("RefBtn"))->setEnabled(ref);
    Command(QStringLiteral("RefDelBtn"))->setEnabled(ref && g.StartX() > 0);
    Command(QStringLiteral("ClearMarkersBtn"))->setEnabled(g.MarkersMask() != 0);
}

void TMainForm::MarkerCommand(int number, bool isY) {
    if (!ActiveTrace()) return;
    MainGraph->MarkerAtCursor(number, isY);
    updateMarkerButtons(MainGraph->CursorX());
}

void TMainForm::ClearMarkersCommand() {
    if (!ActiveTrace()) return;
    MainGraph->HideAllMarkers();
    updateMarkerButtons(MainGraph->CursorX());
}

void TMainForm::SetStartCommand() {
    if (!ActiveTrace()) return;
    const double x = MainGraph->CursorX();
    MainGraph->SetStart(x);
    updateMarkerButtons(x);
    if (x > 0) Command(QStringLiteral("RefDelBtn"))->setEnabled(true);
}

void TMainForm::DeleteStartCommand() {
    if (!ActiveTrace()) return;
    MainGraph->SetStart(0);
    updateMarkerButtons(MainGraph->CursorX());
    Command(QStringLiteral("RefDelBtn"))->setEnabled(false);
}

// ---- the approximation and the group index -------------------------------------------------------------

void TMainForm::saveChangedTrace(TMainDataItem* item) {
    TRDataStorage* store = item->Trace();
    // An instrument's (or another program's) .sor would lose its event table, vendor blocks and
    // absolute levels if the system rewrote it: the change stays in memory and in the reports.
    if (!store || !item->Valid() || store->SorForeign() || store->Caption().empty()) return;
    try {
        item->SaveToFile({}, true);
    } catch (...) {
        // The store has shown what went wrong; the change stands in memory.
    }
}

void TMainForm::ToggleApproximation() {
    TMainDataItem* active = ActiveTrace();
    if (!active) return;
    const int code = m_params->AproxCode() == 1 ? 0 : 1;
    m_params->SetAprox(code);
    if (m_processingMode > pmNormal) {
        for (int i = 0; i < TraceCount(); ++i) {
            TMainDataItem* item = Trace(i);
            if (!item || item == active || item->ApproxMode() == code) continue;
            item->SetApproxMode(code);
            saveChangedTrace(item);
        }
    }
    active->SetApproxMode(code);
    saveChangedTrace(active);
}

void TMainForm::EditGroupIndex() {
    TMainDataItem* active = ActiveTrace();
    if (!active) return;
    QString text = m_params->Text(QStringLiteral("GroupIndex"));
    std::optional<double> n;
    for (;;) {
        // A refused answer comes back to be corrected.
        if (!InputQuery(QStringLiteral("Показатель преломления"),
                        QStringLiteral("Введите показатель преломления:"), text, this))
            return;
        n = ParseGroupIndex(text);
        if (n) break;
        MessageDlg(kMsgBadGroupIndex, TMsgDlgType::mtError, mbOK);
    }
    m_params->Field(QStringLiteral("GroupIndex"))->setText(text);
    if (m_processingMode > pmNormal) {
        // A group index belongs to a wavelength: the traces of the other one keep theirs.
        const long wavelength = wavelengthNm(active);
        for (int i = 0; i < TraceCount(); ++i) {
            TMainDataItem* item = Trace(i);
            if (!item || item == active || !item->Valid() || wavelengthNm(item) != wavelength ||
                item->TraceValue(tvRefIndex) == *n)
                continue;
            item->SetRefractiveIndex(*n);
            saveChangedTrace(item);
        }
    }
    if (active->TraceValue(tvRefIndex) != *n) {
        active->SetRefractiveIndex(*n);
        saveChangedTrace(active);
    }
}

} // namespace lv
