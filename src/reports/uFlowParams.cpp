#include "reports/uFlowParams.h"

#include <algorithm>
#include <cmath>

#include "trace/Numeric.h"

namespace lv {

const char* const kFlowParamsCaption = "Параметры (Строит. документация)";
const char* const kFlowParamsCommand = "Параметры (Строит. док.)...";
const char* const kFlowParamsHint = "Параметры конвейера";
const char* const kFlowAutoLabel = "Автоматически";
const char* const kFlowCutLabel = "Обрезать";
const char* const kFlowTemplateLabel = "Шаблон";
const char* const kFlowTemplateHint = "Выбрать шаблон";
const char* const kFlowTemplateFilter = "Файлы Excel|*.xls|Все файлы|*.*";
const char* const kFlowTemplateExt = "xls";

const std::array<TFlowIntField, 4> kFlowIntFields = {{
    {"DistM12", "Расстояние 1-2", "м", 1, 1000000, 1000, &TFlowParams::DistM12},
    {"DistMY3", "Расстояние Y-3", "м", 1, 1000000, 1000, &TFlowParams::DistMY3},
    {"DistM2Y", "Расстояние 2-Y", "PW*10^3", 1, 1000000, 1000, &TFlowParams::DistM2Y},
    {"FibCount", "Число волокон", "шт", 1, 300, 16, &TFlowParams::FibCount},
}};

int RoundFlowValue(double editorValue, const TFlowIntField& field) {
    if (std::isnan(editorValue)) return field.Default;
    // Clamped before rounding so that huge values cannot overflow; the range ends are integers.
    const double held = std::clamp(editorValue, static_cast<double>(field.Min), static_cast<double>(field.Max));
    return static_cast<int>(RoundToInt64(held).value_or(field.Default));
}

void StoreFlowValues(TFlowParams& params, const std::array<double, 4>& editorValues) {
    for (size_t i = 0; i < kFlowIntFields.size(); ++i)
        params.*kFlowIntFields[i].Member = RoundFlowValue(editorValues[i], kFlowIntFields[i]);
}

namespace {
// The settings' members of the four integer fields, in kFlowIntFields order.
int TMainSettings::*const kSettingsInts[] = {&TMainSettings::DistM12, &TMainSettings::DistMY3,
                                             &TMainSettings::DistM2Y, &TMainSettings::FibCount};
} // namespace

TFlowParams FlowParamsOf(const TMainSettings& settings) {
    TFlowParams p;
    for (size_t i = 0; i < kFlowIntFields.size(); ++i)
        p.*kFlowIntFields[i].Member = RoundFlowValue(settings.*kSettingsInts[i], kFlowIntFields[i]);
    p.Auto = settings.AutoFib;
    p.Cut = settings.CutFib;
    p.TmpFile = settings.FlowTmpFile;
    return p;
}

void StoreFlowParams(TMainSettings& settings, const TFlowParams& params) {
    for (size_t i = 0; i < kFlowIntFields.size(); ++i)
        settings.*kSettingsInts[i] = params.*kFlowIntFields[i].Member;
    settings.AutoFib = params.Auto;
    settings.CutFib = params.Cut;
    settings.FlowTmpFile = params.TmpFile;
}

} // namespace lv
