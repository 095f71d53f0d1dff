#pragma once
// The parameters of the construction-documentation work: the distances that place the
// measurement markers around a splice, the cable's fibre count and how the report table is sized
// to it, and a workbook that replaces the built-in report template. A plain value the dialog
// "Параметры (Строит. документация)" binds to; the main window keeps it with its settings.

#include <array>
#include <string>

#include "trace/MainSettings.h"

namespace lv {

extern const char* const kFlowParamsCaption;   // "Параметры (Строит. документация)"
extern const char* const kFlowParamsCommand;   // "Параметры (Строит. док.)..."
extern const char* const kFlowParamsHint;      // "Параметры конвейера"
extern const char* const kFlowAutoLabel;       // "Автоматически"
extern const char* const kFlowCutLabel;        // "Обрезать"
extern const char* const kFlowTemplateLabel;   // "Шаблон"
extern const char* const kFlowTemplateHint;    // "Выбрать шаблон"
extern const char* const kFlowTemplateFilter;  // "Файлы Excel|*.xls|Все файлы|*.*"
extern const char* const kFlowTemplateExt;     // "xls"

struct TFlowParams {
    int DistM12 = 1000; // M1 to the splice (M2), metres
    int DistMY3 = 1000; // MY to M3, metres
    int DistM2Y = 1000; // the splice (M2) to MY, thousandths of the pulse length in the fibre
    int FibCount = 16;  // fibres of the cable
    bool Auto = true;   // the report table sized to the fibres found
    bool Cut = false;   // with Auto off, cut the table to FibCount when more fibres were found
    std::string TmpFile; // workbook replacing the report template; empty: the built-in one

    bool operator==(const TFlowParams&) const = default;
};

// One integer field of the dialog: its control name, label, unit, range and default.
struct TFlowIntField {
    const char* Name;  // "DistM12"
    const char* Label; // "Расстояние 1-2"
    const char* Unit;  // "м"
    int Min;
    int Max;
    int Default;
    int TFlowParams::*Member;
};

// DistM12, DistMY3, DistM2Y and FibCount in the dialog's order.
extern const std::array<TFlowIntField, 4> kFlowIntFields;

// A spin editor's value as stored: rounded to the nearest integer, a tie to the even one
// (1000.6 → 1001, 2.5 → 2), then held in the field's range; a value that is not a number gives
// the default.
int RoundFlowValue(double editorValue, const TFlowIntField& field);

// The editors' values of the four integer fields (in kFlowIntFields order) stored into `params`.
void StoreFlowValues(TFlowParams& params, const std::array<double, 4>& editorValues);

// The main window keeps these values as separate settings (DistM12 … CutFib, FlowTmpFile); this is
// the one place that moves them between the two. Values read from the settings are held in the
// dialog's ranges.
TFlowParams FlowParamsOf(const TMainSettings& settings);
void StoreFlowParams(TMainSettings& settings, const TFlowParams& params);

// The template field can be changed only outside the work modes (the template is loaded when the
// construction window opens).
inline bool FlowTemplateEditable(int processingMode) { return processingMode == 0; }

} // namespace lv
