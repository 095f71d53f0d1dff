#include "trace/uGraphIntfs.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "trace/Errors.h"
#include "trace/Numeric.h"
#include "trace/PromptService.h"
#include "trace/ValueHelpers.h"
#include "trace/uDeviceIntfsDevice.h"
#include "trace/uFileFormats.h"

namespace lv {

const char* const kMsgNotEnoughDataToSave =
    "Недостаточно данных для записи файла. Возможно не измерения не завершены или завершены некорректно."
    "\r\nПовторите попытку позже!";
const char* const kMsgCannotUnpinData =
    "Не удается открепить данные. Возможно, данные не были закреплены вызовом LockData";
const char* const kMsgCannotReadFile = "Не удается прочитать файл \"%s\".";
const char* const kMsgCannotWriteFile = "Не удается записать файл \"%s\".";

const char* const kTextFieldNames[12] = {"CID", "FID",  "OL",   "TL",   "OP", "SN",
                                         "MFID", "OTDR", "OMID", "OMSN", "SR", "OT"};

namespace {
// The parameter as a finite number, or nullopt when it is not set or cannot be read.
std::optional<double> numberOf(const TVariant& v) {
    if (!v.IsSet()) return std::nullopt;
    try {
        double d = v.AsDouble();
        if (!std::isfinite(d)) return std::nullopt;
        return d;
    } catch (const EVariantError&) {
        return std::nullopt;
    }
}

bool isMarkerArray(const TVariant& v) {
    return v.IsDoubleArray() && v.LowBound() == 1 && v.HighBound() == 3;
}

// The n levels of a block as the store's array [1..n]. A block's own array (a converter's or a
// generator's, see TDataStruct::SampleArray) is taken over when nobody else holds it; anything
// else (a device's buffer, the store's own pinned samples) is copied.
TVariant samplesOf(const TDataStruct& d, int32_t n) {
    const std::shared_ptr<TVarArray>& a = d.SampleArray;
    const bool own = a && a.use_count() == 2 && // held by this descriptor alone (Holder and SampleArray)
                     a->OfDoubles && a->LowBound == 1 && a->Locks == 0 && a->Doubles.data() == d.Data &&
                     a->Doubles.size() == static_cast<size_t>(n);
    if (own) return TVariant::SharedArray(a);
    return TVariant::DoubleArrayFrom(1, static_cast<const double*>(d.Data), static_cast<size_t>(n));
}
} // namespace

namespace {
// The message naming the file, and on the next line why, when the converter can tell.
std::string failureText(const char* pattern, const std::string& fileName, const IFileFormat* conv) {
    std::string text = FormatS(pattern, fileName);
    const auto* diag = dynamic_cast<const IFileDiagnostics*>(conv);
    const std::string reason = diag ? diag->LastErrorText() : std::string();
    if (!reason.empty()) text += "\r\n" + reason;
    return text;
}
} // namespace

bool HasSorExtension(const std::string& fileName) {
    return HasExtension(fileName, ".sor");
}

// ---------------------------------------------------------------------------------------------

TRDataStorage::TRDataStorage(TComponent* owner)
    : TIDataStorage(owner), m_params(std::make_shared<TParamBlock>(kParamCount)) {
    ResetParams();
    m_converter = GetFileFormat("TRA");
    m_converterHandle = m_converter->Subscribe(nullptr, this);
    m_converter->SetRaiseErrors(true);
}

TRDataStorage::~TRDataStorage() {
    m_dataPresent = false;
    m_setupPresent = false;
    for (TVariant& v : *m_params) {
        try {
            VarRelease(v);
        } catch (...) {
        }
    }
    sampleRangeChanged();
    if (m_converter) m_converter->Unsubscribe(m_converterHandle);
}

namespace {
// `summary` built over the samples of `p` unless it covers them already; nullptr without samples.
template <class Summary> const Summary* builtOver(const TVariant& p, Summary& summary, bool& valid) {
    const double* values = p.IsDoubleArray() ? p.DoubleData() : nullptr;
    const int n = values ? p.Count() : 0;
    if (n == 0) return nullptr;
    if (!valid || !summary.Covers(values, n)) {
        summary.Build(values, n);
        valid = true;
    }
    return &summary;
}
} // namespace

const TSampleSummary* TRDataStorage::SampleSummary() {
    return builtOver((*m_params)[prmDBIR], m_summary, m_summaryValid);
}

const TSampleSums* TRDataStorage::SampleSums() {
    return builtOver((*m_params)[prmDBIR], m_sums, m_sumsValid);
}

int TRDataStorage::sampleCount() const {
    const TVariant& p = (*m_params)[prmDBIR];
    return p.IsDoubleArray() ? p.Count() : 0;
}

TDataStruct TRDataStorage::ownParams() const {
    TDataStruct d;
    d.Size = kParamBlockSize;
    d.Data = m_params.get();
    d.Kind = TDataKind::Params;
    d.Holder = m_params;
    return d;
}

const TVariant& TRDataStorage::Param(int index) const {
    static const TVariant empty;
    if (index < 0 || index >= kParamCount) return empty;
    return (*m_params)[static_cast<size_t>(index)];
}

void TRDataStorage::SetParam(int index, const TVariant& value) {
    if (index < 0 || index >= kParamCount) return;
    param(index) = value;
    if (index == prmDBIR) sampleRangeChanged();
}

void TRDataStorage::DoDeviceNotify(TIDevice* device, TStorageNotifyAction& action) {
    TBusyGuard guard(this);
    TIDataStorage::DoDeviceNotify(device, action);
    if (action != snaDataChanged || !device || !device->HasDeviceData()) return;
    // One read for both blocks: a second read would queue behind a device writer that waits for
    // the first.
    PDataStruct data, setup;
    device->LockDataAndSetup(data, setup);
    try {
        SetupArrived(setup.get());
        DataArrived(data.get());
    } catch (...) {
        device->UnlockDataAndSetup();
        throw;
    }
    device->UnlockDataAndSetup();
    Accept(0);
}

PDataStruct TRDataStorage::MakeDataStruct() {
    PDataStruct d = TIDataStorage::MakeDataStruct();
    if (!d) return d;
    const TVariant& p = (*m_params)[prmDBIR];
    if (m_dataPresent && p.IsDoubleArray()) {
        std::shared_ptr<const TVarArray> pinned = p.LockArray();
        d->Size = static_cast<int32_t>(pinned->Doubles.size()) * kSampleSize;
        d->Data = d->Size > 0 ? const_cast<double*>(pinned->Doubles.data()) : nullptr;
        d->Kind = TDataKind::Samples;
        d->Holder = std::move(pinned);
    }
    return d;
}

PDataStruct TRDataStorage::MakeSetupStruct() {
    PDataStruct d = TIDataStorage::MakeSetupStruct();
    if (d && m_setupPresent) *d = ownParams();
    return d;
}

void TRDataStorage::SetData(const TDataStruct* data) {
    TIDataStorage::SetData(data);
    m_dataPresent = false;
    try {
        if (data && data->Size > 0 && data->Data) {
            // Made before the old samples go: the block may be the store's own, pinned.
            TVariant samples = samplesOf(*data, data->Size / kSampleSize);
            param(prmDBIR) = std::move(samples);
            sampleRangeChanged();
            m_dataPresent = true;
            if (m_loadingCount == 0) {
                resetMarkerArrays();
                param(prmCU) = TVariant(int32_t(-1));
                // An instrument's events describe the samples of its file, not these.
                m_keyEvents.reset();
            }
            Recalculate();
        } else {
            param(prmDBIR).Clear();
            sampleRangeChanged();
        }
    } catch (...) {
        std::exception_ptr e = std::current_exception();
        if (!HandleAllocError(e)) std::rethrow_exception(e);
    }
}

void TRDataStorage::resetMarkerArrays() {
    param(prmM) = TVariant::DoubleArray(1, 3, -1.0);
    param(prmY) = TVariant::DoubleArray(1, 3, -1.0);
}

void TRDataStorage::SetSetup(const TDataStruct* data) {
    TIDataStorage::SetSetup(data);
    const bool ready = IsReady();
    m_setupPresent = false;
    try {
        if (!data || !data->Data || !data->Params()) {
            ResetParams();
            Recalculate();
            return;
        }
        // The store's own block is copied first, so that taking it over is safe (arrays are
        // shared, not copied); any other block is read where it is.
        TParamBlock ownCopy;
        if (data->Params() == m_params.get()) ownCopy = *m_params;
        const TParamBlock& in = data->Params() == m_params.get() ? ownCopy : *data->Params();
        for (int i = 0; i < kParamCount && i < static_cast<int>(in.size()); ++i) {
            const TVariant& v = in[static_cast<size_t>(i)];
            switch (i) {
            case prmM:
            case prmY: {
                if (!v.IsSet()) break;
                if (!isMarkerArray(param(i))) param(i) = TVariant::DoubleArray(1, 3, -1.0);
                try {
                    for (int k = 1; k <= 3; ++k) {
                        TVariant e = v.Element(k);
                        if (e.IsSet()) param(i).SetElement(k, TVariant(e.AsDouble()));
                    }
                } catch (const EVariantError&) {
                    param(i) = TVariant::DoubleArray(1, 3, -1.0);
                }
                break;
            }
            case prmCU:
                if (!v.IsSet() || v.IsArray())
                    param(i) = TVariant(int32_t(-1));
                else
                    param(i) = v;
                break;
            case prmDOT:
            case prmL:
                if (!ready) param(i) = v;
                break;
            default:
                param(i) = v;
                if (i == prmDBIR) sampleRangeChanged();
                break;
            }
        }
        m_setupPresent = true;
        Recalculate();
    } catch (...) {
        std::exception_ptr e = std::current_exception();
        if (!HandleAllocError(e)) std::rethrow_exception(e);
    }
}

bool TRDataStorage::HandleAllocError(std::exception_ptr& error) {
    TIDataStorage::HandleAllocError(error);
    showError(error, 0);
    return true;
}

int TRDataStorage::showError(const std::exception_ptr& error, int helpContext) {
    if (!error) return 0;
    return MessageDlg(ExceptionMessage(error, kMsgNotEnoughMemory), TMsgDlgType::mtError, mbOK | mbHelp,
                      helpContext);
}

int TRDataStorage::ShowError(int helpContext) { return showError(std::current_exception(), helpContext); }

double TRDataStorage::GetBound(int kind) {
    const double x0 = GetOrigin();
    const int n = sampleCount();
    if (!m_setupPresent || !m_dataPresent || n == 0) return x0;
    const double* p = (*m_params)[prmDBIR].DoubleData();
    switch (kind) {
    case bkFirstX:
        return x0;
    case bkLastX:
        return x0 + GetStep() * (n - 1);
    case bkMinLevel:
    case bkMaxLevel:
        if (!m_boundsValid) {
            double lo = p[0], hi = p[0];
            for (int i = 1; i < n; ++i) {
                if (p[i] < lo)
                    lo = p[i];
                else if (p[i] > hi)
                    hi = p[i];
            }
            m_minLevel = lo;
            m_maxLevel = hi;
            m_boundsValid = true;
        }
        return kind == bkMinLevel ? m_minLevel : m_maxLevel;
    default: return x0;
    }
}

double TRDataStorage::GetStep() {
    if (!m_setupPresent) return 0.0;
    try {
        const double spacing = GetParam(prmRESR).AsDouble();
        const double index = GetParam(prmIOR).AsDouble();
        auto dx = SafeDivide((spacing * 1e-8) * kLightSpeed, index * 2.0 * 1000.0);
        return dx.value_or(0.0);
    } catch (...) {
        return 0.0;
    }
}

double TRDataStorage::TimeToKm(double time) {
    const std::optional<double> spacing = m_setupPresent ? numberOf(GetParam(prmRESR)) : std::nullopt;
    const double step = GetStep();
    if (!spacing || *spacing <= 0 || !(step > 0)) return std::numeric_limits<double>::quiet_NaN();
    // The spacing is the out-and-back time of one step (10 ns units), the time one way (100 ps).
    return time * 1e-10 / (*spacing * 1e-8 / 2) * step;
}

double TRDataStorage::EventDistanceKm(const TTraceEvent& event) {
    return event.Placed() ? TimeToKm(static_cast<double>(event.PropagationTime))
                          : std::numeric_limits<double>::quiet_NaN();
}

double TRDataStorage::EventTraceKm(const TTraceEvent& event) {
    const int64_t offset = m_keyEvents ? m_keyEvents->FrontPanelOffset : 0;
    return event.Placed() ? GetOrigin() + TimeToKm(static_cast<double>(event.PropagationTime + offset))
                          : std::numeric_limits<double>::quiet_NaN();
}

double TRDataStorage::GetOrigin() {
    if (!m_setupPresent) return 0.0;
    try {
        double x0 = GetParam(prmDU).AsDouble();
        return std::isfinite(x0) ? x0 : 0.0;
    } catch (...) {
        return 0.0;
    }
}

std::string TRDataStorage::GetComment() {
    if (!m_setupPresent) return {};
    try {
        return (*m_params)[prmL].AsText();
    } catch (...) {
        return {};
    }
}

void TRDataStorage::SetComment(const std::string& s) {
    if (!m_setupPresent) return;
    TBusyGuard guard(this);
    param(prmL) = TVariant(s);
    Accept(0);
    SetupChanged();
}

int TRDataStorage::GetLastIndex() {
    if (!m_setupPresent || !(*m_params)[prmDNR].IsSet()) return -1;
    try {
        return (*m_params)[prmDNR].AsInteger();
    } catch (...) {
        return -1;
    }
}

void TRDataStorage::SetLastIndex(int value) {
    if (!m_setupPresent) return;
    TBusyGuard guard(this);
    param(prmDNR) = TVariant(int32_t(value));
    Accept(0);
    SetupChanged();
}

uint8_t TRDataStorage::GetDisplayMethod() {
    if (!m_setupPresent || !(*m_params)[prmDOT].IsSet()) return 0;
    try {
        return static_cast<uint8_t>((*m_params)[prmDOT].AsInteger());
    } catch (...) {
        return 0;
    }
}

void TRDataStorage::SetDisplayMethod(uint8_t value) {
    if (!m_setupPresent) return;
    TBusyGuard guard(this);
    param(prmDOT) = TVariant(int32_t(value));
    Accept(0);
    SetupChanged();
}

TVariant TRDataStorage::GetParam(int index) {
    TVariant value;
    if (index < 0 || index >= kParamCount || !m_setupPresent) return value;
    try {
        const TVariant& own = (*m_params)[static_cast<size_t>(index)];
        if (own.IsSet()) return own;
        TIDevice* device = InputDevice();
        if (Active() && device && device->Connected()) {
            value = device->RequestParam(index);
            param(index) = value;
        }
    } catch (...) {
        value.Clear();
    }
    return value;
}

std::string TRDataStorage::GetFileName() { return m_converter ? m_converter->GetTraceFileName() : std::string(); }

void TRDataStorage::UnlockData() {
    try {
        const TVariant& p = (*m_params)[prmDBIR];
        if (p.IsArray()) p.UnlockArray(); // an unlock without a lock is ignored
    } catch (...) {
        MessageDlg(kMsgCannotUnpinData, TMsgDlgType::mtError, mbOK);
    }
}

// ---------------------------------------------------------------------------------------------
// Markers, cursor, reference, texts

double TRDataStorage::GetCursor() {
    if (!m_setupPresent) return -1.0;
    auto v = numberOf((*m_params)[prmCU]);
    // Positions are metres with -1 for "none"; any negative one reads as none.
    if (!v || *v < 0) return -1.0;
    return *v / 1000.0;
}

void TRDataStorage::SetCursor(double valueKm) { param(prmCU) = TVariant(valueKm * 1000.0); }

double TRDataStorage::GetMarker(int index) {
    if (!m_setupPresent || index < 0 || index > 5) return -1.0;
    const TVariant& arr = (*m_params)[index < 3 ? prmM : prmY];
    try {
        auto v = numberOf(arr.Element(index < 3 ? index + 1 : index - 2));
        if (!v || *v < 0) return -1.0;
        return *v / 1000.0;
    } catch (...) {
        return -1.0;
    }
}

void TRDataStorage::SetMarker(int index, double valueKm) {
    if (index < 0 || index > 5) return;
    TVariant& arr = param(index < 3 ? prmM : prmY);
    if (!isMarkerArray(arr)) arr = TVariant::DoubleArray(1, 3, -1.0);
    arr.SetElement(index < 3 ? index + 1 : index - 2, TVariant(valueKm * 1000.0));
    Recalculate();
}

int TRDataStorage::GetApproximation() {
    if (!m_setupPresent) return 1;
    const TVariant& v = (*m_params)[prmLSA];
    if (!v.IsSet()) return 1;
    try {
        return v.AsInteger();
    } catch (...) {
        return 1;
    }
}

void TRDataStorage::SetApproximation(int value) {
    value = std::clamp(value, 0, 1);
    const TVariant& v = (*m_params)[prmLSA];
    bool same = false;
    if (v.IsSet()) {
        try {
            same = v.AsInteger() == value;
        } catch (...) {
        }
    }
    if (same) return;
    param(prmLSA) = TVariant(int32_t(value));
    Recalculate();
}

void TRDataStorage::SetRefIndex(double value) {
    TBusyGuard guard(this);
    if (!(value > 0) || !std::isfinite(value)) value = kDefaultGroupIndex;
    auto current = numberOf((*m_params)[prmIOR]);
    if (!current || *current != value) {
        param(prmIOR) = TVariant(value);
        RefIndex = value;
        Recalculate();
    }
    SetupChanged();
}

void TRDataStorage::SetReference(double valueKm) {
    TBusyGuard guard(this);
    if (valueKm >= 0) {
        ReferenceKm = valueKm;
        param(prmREF) = TVariant(valueKm * 1000.0);
    } else {
        ReferenceKm = 0;
        param(prmREF) = TVariant(int32_t(-1));
    }
    SetupChanged();
}

double TRDataStorage::GetReference() {
    if (!m_setupPresent) return -1.0;
    auto v = numberOf((*m_params)[prmREF]);
    if (!v || *v < 0) return -1.0;
    return *v / 1000.0;
}

namespace {
// Index in kTextFieldNames, or -1.
int textFieldIndex(const std::string& name) {
    for (int i = 0; i < 12; ++i)
        if (SameText(name, kTextFieldNames[i])) return i;
    return -1;
}
} // namespace

void TRDataStorage::GetTextField(const std::string& name, std::string& s) {
    s.clear();
    const int i = textFieldIndex(name);
    if (i < 0 || !m_setupPresent) return;
    const int index = i < 5 ? prmPRN : prmXYA;
    const int element = i < 5 ? i : i - 5;
    const int high = i < 5 ? 4 : 6;
    const TVariant& v = (*m_params)[static_cast<size_t>(index)];
    try {
        if (!v.IsSet() || !v.IsArray() || v.LowBound() != 0 || v.HighBound() != high) return;
        TVariant e = v.Element(element);
        if (!e.IsSet()) return;
        s = e.AsText();
    } catch (...) {
        s.clear();
    }
}

void TRDataStorage::SetTextField(const std::string& name, const std::string& s) {
    const int i = textFieldIndex(name);
    if (i < 0) return;
    const int index = i < 5 ? prmPRN : prmXYA;
    const int element = i < 5 ? i : i - 5;
    const int high = i < 5 ? 4 : 6;
    try {
        TVariant& v = param(index);
        const bool wellFormed =
            m_setupPresent && v.IsSet() && v.IsArray() && v.LowBound() == 0 && v.HighBound() == high;
        if (!wellFormed) v = TVariant::VariantArray(0, high);
        v.SetElement(element, TVariant(s));
    } catch (...) {
    }
}

void TRDataStorage::ResetParams() {
    for (TVariant& v : *m_params) v.Clear();
    resetMarkerArrays();
    param(prmCU) = TVariant(int32_t(-1));
    sampleRangeChanged();
}

// ---------------------------------------------------------------------------------------------
// Measurements

std::optional<double> TRDataStorage::levelAt(const double* p, int n, double x) {
    int last = n - 1;
    const int limit = GetLastIndex();
    if (limit >= 0 && limit < last) last = limit;
    auto t = SafeDivide(x - GetBound(bkFirstX), GetStep());
    if (!t) return std::nullopt;
    auto i = FloorToInt64(*t);
    if (!i || *i < 0 || *i >= last) return std::nullopt;
    const double frac = *t - static_cast<double>(*i);
    return p[*i] + frac * (p[*i + 1] - p[*i]);
}

bool TRDataStorage::twoPointFit(const double* p, int n, double a, double b, Section& s) {
    auto y1 = levelAt(p, n, a);
    auto y2 = levelAt(p, n, b);
    if (!y1 || !y2) return false;
    auto slope = SafeDivide(*y2 - *y1, b - a);
    auto intercept = SafeDivide(*y1 * b - *y2 * a, b - a);
    if (!slope || !intercept) return false;
    s.slope = *slope;
    s.intercept = *intercept;
    return true;
}

void TRDataStorage::leastSquaresFit(const double* p, int n, double a, double b, Section& s, bool fromSums) {
    const double dx = GetStep();
    const double x0 = GetBound(bkFirstX);
    const double xend = GetBound(bkLastX);
    if (n < 1 || !(dx > 0) || !std::isfinite(dx)) return;
    // No sample lies in a range wholly before the first or after the last sample.
    if (a > xend || b < x0) return;
    const double t1 = std::ceil((a - x0) / dx);
    const double t2 = std::floor((std::min(b, xend) - x0) / dx);
    if (!std::isfinite(t1) || !std::isfinite(t2)) return;
    int64_t i1 = std::max<int64_t>(0, static_cast<int64_t>(std::clamp(t1, -1.0, double(n))));
    int64_t i2 = static_cast<int64_t>(std::clamp(t2, -1.0, double(n)));
    if (i2 < i1) std::swap(i1, i2);
    if (i1 == i2) {
        if (i1 == 0)
            i2 = i2 + 1;
        else
            i1 = i1 - 1;
    }
    // Clamp to the samples that exist (a fit range past the end of a short trace, a one-sample trace).
    i1 = std::max<int64_t>(i1, 0);
    i2 = std::min<int64_t>(i2, n - 1);
    if (i2 - i1 + 1 < 2) return;

    const TSampleSums* sums = fromSums ? SampleSums() : nullptr;
    const std::optional<TLineFit> line = sums && sums->Covers(p, n)
                                             ? sums->LeastSquares(int(i1), int(i2), x0, dx)
                                             : LeastSquaresPlain(p, int(i1), int(i2), x0, dx);
    if (!line) return;
    s.slope = line->Slope;
    s.intercept = line->Intercept;
}

void TRDataStorage::fitSection(double a, double b, double c, double d, Section& s, bool fromSums) {
    s = Section{};
    if (!(c >= 0) || !(d > c) || !(a >= 0) || !(b > a)) return;
    s.length = d - c;
    PDataStruct samples = LockData();
    const int n = samples ? samples->SampleCount() : 0;
    if (IsEmptyData(samples.get()) || !samples->Samples()) {
        s.length = 0;
        UnlockData();
        return;
    }
    const double* p = samples->Samples();
    if (GetApproximation() != 0)
        leastSquaresFit(p, n, a, b, s, fromSums);
    else
        twoPointFit(p, n, a, b, s);
    UnlockData();
    s.loss = -s.slope * s.length;
}

void TRDataStorage::Recalculate() {
    Length12 = SectionLoss12 = Length23 = SectionLoss23 = 0;
    Slope12 = Intercept12 = Slope23 = Intercept23 = 0;
    JointLoss = 0;
    AverageModeText.clear();
    if (!m_setupPresent || !m_dataPresent) return;
    m_calculating = true;
    struct Lower {
        bool& flag;
        ~Lower() { flag = false; }
    } lower{m_calculating};

    auto raw = [this](int index) -> double {
        // Marker positions in km; anything unreadable counts as not placed.
        const TVariant& arr = (*m_params)[index < 3 ? prmM : prmY];
        try {
            auto v = numberOf(arr.Element(index < 3 ? index + 1 : index - 2));
            return v ? *v / 1000.0 : -1.0;
        } catch (...) {
            return -1.0;
        }
    };
    const double m1 = raw(0), m2 = raw(1), m3 = raw(2), y2 = raw(4);

    // From the second recalculation over the same samples on, the fits use the running sums.
    const bool fromSums = m_recalculationsOfSamples++ > 0 || m_sumsValid;
    Section a, b;
    fitSection(m1, m2, m1, m2, a, fromSums);
    Length12 = a.length;
    SectionLoss12 = a.loss;
    Slope12 = a.slope;
    Intercept12 = a.intercept;

    const double g = (y2 >= 0 && y2 < m3) ? y2 : m2;
    fitSection(g, m3, m2, m3, b, fromSums);
    Length23 = b.length;
    SectionLoss23 = b.loss;
    Slope23 = b.slope;
    Intercept23 = b.intercept;

    if (Length12 > 0 && Length23 > 0) JointLoss = (Slope12 - Slope23) * m2 + Intercept12 - Intercept23;

    computeSettingsResults();
}

void TRDataStorage::computeSettingsResults() {
    const TParamBlock& p = *m_params;
    auto num = [&](int i) { return numberOf(p[static_cast<size_t>(i)]); };

    WaveLengthUm = num(prmLAM) ? *num(prmLAM) / 1000.0 : 0.0;
    AttenuatorDb = num(prmAT) ? *num(prmAT) * 1.25 : -1.0;
    PulseNs = 0;
    if (auto pw = num(prmPW))
        if (auto r = RoundToInt32(*pw * 10.0)) PulseNs = *r;
    AverageCount = 0;
    if (auto avg = num(prmNUM))
        if (auto r = RoundToInt32(*avg)) AverageCount = *r;
    RefIndex = num(prmIOR).value_or(0.0);
    RangeKm = num(prmR).value_or(0.0);
    AverageModeText.clear();
    if (auto mode = num(prmAVE)) {
        if (*mode == 0)
            AverageModeText = "Обычное";
        else if (*mode == 1)
            AverageModeText = "Раздельное";
        else if (*mode == 2)
            AverageModeText = "Точное";
    }
    auto ref = num(prmREF);
    ReferenceKm = ref && *ref >= 0 ? *ref / 1000.0 : 0.0;

    MeasuredAt = Now();
    auto part = [&](int i) -> std::optional<int32_t> {
        auto v = num(i);
        if (!v) return std::nullopt;
        return RoundToInt32(*v);
    };
    auto y = part(prmYEA), mo = part(prmMTH), d = part(prmDAY), h = part(prmHOU), mi = part(prmMIN);
    TDateTime date = 0, time = 0;
    if (y && mo && d && h && mi && TryEncodeDate(*y, *mo, *d, date) && TryEncodeTime(*h, *mi, 0, 0, time))
        MeasuredAt = date + time;
}

// ---------------------------------------------------------------------------------------------
// Files

std::unique_ptr<IFileFormat> TRDataStorage::MakeSorConverter() {
    std::unique_ptr<IFileFormat> conv = GetFileFormat("Bellcore");
    conv->SetRaiseErrors(true);
    return conv;
}

bool TRDataStorage::LoadFromFile(const std::string& fileName, bool useDialog) {
    if (!m_converter) return false;
    TBusyGuard guard(this);
    const bool savedActive = Active();
    SetActive(false);
    try {
        PDataStruct params, samples;
        bool ok = false;
        bool fromSor = false;
        bool foreign = false;
        std::optional<TTraceEvents> events;
        std::vector<std::string> notKept;
        if (useDialog) {
            ok = m_converter->LoadTrace(params, samples);
        } else if (!fileName.empty() && HasSorExtension(fileName)) {
            fromSor = true;
            std::unique_ptr<IFileFormat> sor = MakeSorConverter();
            ok = sor->LoadTraceFrom(params, samples, fileName);
            if (!ok) MessageDlg(failureText(kMsgCannotReadFile, fileName, sor.get()), TMsgDlgType::mtError, mbOK);
            // A converter that cannot tell where the file came from is taken as foreign: the
            // file is then never rewritten behind the operator's back.
            const auto* origin = dynamic_cast<const IFileOrigin*>(sor.get());
            foreign = !origin || origin->LoadedForeignFile();
            if (ok && origin) {
                if (const TTraceEvents* e = origin->LoadedKeyEvents()) events = *e;
                notKept = origin->LoadedBlocksNotKept();
            }
        } else {
            ok = m_converter->LoadTraceFrom(params, samples, fileName);
        }
        if (!ok) {
            SetActive(savedActive);
            return false;
        }
        // Only a successful load re-points the trace to its new file.
        m_loadedAsSor = fromSor;
        m_sorFileName = fromSor ? fileName : std::string();
        m_sorForeign = fromSor && foreign;
        m_sorBlocksNotKept = m_sorForeign ? std::move(notKept) : std::vector<std::string>();
        m_keyEvents = std::move(events);
        SetupArrived(params.get());
        ++m_loadingCount;
        try {
            DataArrived(samples.get());
        } catch (...) {
            --m_loadingCount;
            throw;
        }
        --m_loadingCount;
        return true;
    } catch (...) {
        SetActive(savedActive);
        throw;
    }
}

bool TRDataStorage::SaveToFile(const std::string& fileName, bool toCurrent) {
    TBusyGuard guard(this);
    PDataStruct samples = LockData();
    struct Unlock {
        TRDataStorage* s;
        ~Unlock() { s->UnlockData(); }
    } unlock{this};

    const TDataStruct params = ownParams();
    if (!m_setupPresent || !m_dataPresent || IsEmptyData(&params) || IsEmptyData(samples.get())) {
        MessageDlg(kMsgNotEnoughDataToSave, TMsgDlgType::mtError, mbOK | mbHelp);
        return false;
    }
    auto saveSor = [&](const std::string& name) {
        std::unique_ptr<IFileFormat> sor = MakeSorConverter();
        bool ok = sor->SaveTraceAs(&params, samples.get(), name);
        if (!ok) MessageDlg(failureText(kMsgCannotWriteFile, name, sor.get()), TMsgDlgType::mtError, mbOK);
        return ok;
    };
    // A successful ".sor" save writes the system's own file in place of whatever was there.
    if (toCurrent) {
        if (!m_loadedAsSor) return m_converter->SaveTrace(&params, samples.get());
        if (!saveSor(m_sorFileName)) return false;
        madeOwn();
        return true;
    }
    if (!fileName.empty() && HasSorExtension(fileName)) {
        // A failed save leaves the trace with its old file.
        if (!saveSor(fileName)) return false;
        m_sorFileName = fileName;
        m_loadedAsSor = true;
        madeOwn();
        return true;
    }
    if (!m_converter->SaveTraceAs(&params, samples.get(), fileName)) return false;
    m_loadedAsSor = false;
    madeOwn();
    return true;
}

void TRDataStorage::GetCaption(std::string& s) { s = m_loadedAsSor ? m_sorFileName : GetFileName(); }

} // namespace lv
