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

} // namespace lv
