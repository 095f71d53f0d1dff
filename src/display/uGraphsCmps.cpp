// TMainDataItem: the typed doorway from a curve of the main graph to its trace store.

#include "display/uGraphsCmps.h"

namespace lv {

TRDataStorage* TMainDataItem::Trace() const {
    return dynamic_cast<TRDataStorage*>(Storage());
}

double TMainDataItem::CursorPos() {
    TRDataStorage* t = Trace();
    return t && Valid() ? t->GetCursor() : -1.0;
}

double TMainDataItem::MarkerPos(int i) {
    TRDataStorage* t = Trace();
    return t && Valid() ? t->GetMarker(i) : -1.0;
}

double TMainDataItem::TraceValue(int kind) {
    TRDataStorage* t = Trace();
    if (!t || !Valid()) return 0.0;
    switch (kind) {
    case tvLength12:
        return t->Length12;
    case tvLoss12:
        return t->SectionLoss12;
    case tvLength23:
        return t->Length23;
    case tvLoss23:
        return t->SectionLoss23;
    case tvSlope12:
        return t->Slope12;
    case tvIntercept12:
        return t->Intercept12;
    case tvSlope23:
        return t->Slope23;
    case tvIntercept23:
        return t->Intercept23;
    case tvSpliceLoss:
        return t->JointLoss;
    case tvWaveLength:
        return t->WaveLengthUm;
    case tvRefIndex:
        return t->RefIndex;
    case tvAttenuator:
        return t->AttenuatorDb;
    case tvRange:
        return t->RangeKm;
    case tvReference:
        return t->ReferenceKm;
    default:
        return 0.0;
    }
}

int TMainDataItem::ApproxMode() {
    TRDataStorage* t = Trace();
    return t && Valid() ? t->GetApproximation() : 1;
}

int TMainDataItem::PulseWidth() {
    TRDataStorage* t = Trace();
    return t ? t->PulseNs : 0;
}

int TMainDataItem::Averages() {
    TRDataStorage* t = Trace();
    return t ? t->AverageCount : 0;
}

QString TMainDataItem::GetTextParam(const QString& name) {
    TRDataStorage* t = Trace();
    return t && Valid() ? QString::fromStdString(t->TextField(name.toStdString())) : QString();
}

QString TMainDataItem::SourceFileName() {
    TRDataStorage* t = Trace();
    return t && Valid() ? QString::fromStdString(t->Caption()) : QString();
}

QString TMainDataItem::AveragingText() {
    TRDataStorage* t = Trace();
    return t && Valid() ? QString::fromStdString(t->AverageModeText) : QString();
}

void TMainDataItem::SetCursorPos(double km) {
    if (TRDataStorage* t = Trace()) t->SetCursor(km);
}

void TMainDataItem::SetMarkerPos(int i, double km) {
    if (TRDataStorage* t = Trace()) t->SetMarker(i, km);
}

void TMainDataItem::SetApproxMode(int mode) {
    TRDataStorage* t = Trace();
    if (!t) return;
    t->SetApproximation(std::clamp(mode, 0, 1));
    if (TGraphView* v = View()) v->ItemValuesChanged(this);
}

void TMainDataItem::SetRefractiveIndex(double n) {
    TRDataStorage* t = Trace();
    if (!t) return;
    t->SetRefIndex(n);
    if (TGraphView* v = View()) {
        v->InvalidateAll();
        v->ItemValuesChanged(this);
    }
}

void TMainDataItem::SetReference(double km) {
    TRDataStorage* t = Trace();
    if (!t) return;
    t->SetReference(km);
    if (TGraphView* v = View()) {
        v->InvalidateArea(woContent);
        v->ItemValuesChanged(this);
    }
}

void TMainDataItem::SetTextParam(const QString& name, const QString& value) {
    if (TRDataStorage* t = Trace()) t->SetTextField(name.toStdString(), value.toStdString());
}

} // namespace lv
