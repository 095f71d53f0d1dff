#pragma once
// TRDataStorage: one reflectogram trace in memory. The data block is the samples (levels in dB at
// equally spaced distances), the setup block the 144 parameters. The store computes the
// measurement results between the markers and loads and saves itself through the converters of
// the format registry: its own "TRA" converter, and a fresh "Bellcore" one for ".sor" files.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "trace/DateTime.h"
#include "trace/SampleSummary.h"
#include "trace/TraceEvents.h"
#include "trace/TraceParams.h"
#include "trace/uDeviceIntfs.h"

namespace lv {

class IFileFormat;

extern const char* const kMsgNotEnoughDataToSave;
extern const char* const kMsgCannotUnpinData;
extern const char* const kMsgCannotReadFile;  // "Не удается прочитать файл \"%s\"."
extern const char* const kMsgCannotWriteFile; // "Не удается записать файл \"%s\"."

// The named text fields, in order: five of parameter 136, then seven of parameter 137.
extern const char* const kTextFieldNames[12];

// The numbered results of a trace, as its main data item reads them by kind (TraceValue).
enum TTraceValueKind : int {
    tvLength12 = 1,    // km, section M1-M2
    tvLoss12 = 2,      // dB
    tvLength23 = 3,    // km, section M2-M3
    tvLoss23 = 4,      // dB
    tvSlope12 = 5,     // dB/km, the first section's fitted line
    tvIntercept12 = 6, // dB
    tvSlope23 = 7,     // dB/km, the second section's
    tvIntercept23 = 8, // dB
    tvSpliceLoss = 9,  // dB, at M2
    tvWaveLength = 10, // µm
    tvRefIndex = 12,   // the group index
    tvAttenuator = 13, // dB, -1 when not set
    tvRange = 14,      // km
    tvReference = 15,  // km, the start point; 0 for none
};

// True when the last path component ends in ".sor" in any letter case.
bool HasSorExtension(const std::string& fileName);

class TRDataStorage : public TIDataStorage {
public:
    explicit TRDataStorage(TComponent* owner = nullptr);
    ~TRDataStorage() override;
    std::string ClassName() const override { return "TRDataStorage"; }

    // --- operations of the storage base, as a trace implements them
    void DoDeviceNotify(TIDevice* device, TStorageNotifyAction& action) override;
    PDataStruct MakeDataStruct() override;
    PDataStruct MakeSetupStruct() override;
    void SetData(const TDataStruct* data) override;
    void SetSetup(const TDataStruct* data) override;
    bool HandleAllocError(std::exception_ptr& error) override;
    double GetBound(int kind) override;
    double GetStep() override;
    double GetOrigin() override;
    std::string GetComment() override;
    void SetComment(const std::string& s) override;
    int GetLastIndex() override;
    void SetLastIndex(int value) override;
    uint8_t GetDisplayMethod() override;
    void SetDisplayMethod(uint8_t value) override;
    TVariant GetParam(int index) override;
    std::string GetFileName() override;
    void UnlockData() override;
    bool LoadFromFile(const std::string& fileName, bool useDialog) override;
    bool SaveToFile(const std::string& fileName, bool toCurrent) override;
    // Built over the samples at the first request after they change; nullptr without samples.
    const TSampleSummary* SampleSummary() override;
    const TSampleSums* SampleSums() override;

    // --- operations added by the trace store
    virtual double GetCursor();            // km, -1 for none
    virtual void SetCursor(double valueKm); // no recalculation, no notification
    // Shows the exception being handled (if any) in an error box with OK and Help; answers the box.
    virtual int ShowError(int helpContext);
    virtual void Recalculate();

    void GetCaption(std::string& s);
    std::string Caption() { std::string s; GetCaption(s); return s; }
    double GetMarker(int index);               // 0..2 M1..M3, 3..5 Y1..Y3; km, -1 for none
    void SetMarker(int index, double valueKm);  // recalculates, no notification
    int GetApproximation();
    void SetApproximation(int value);
    void SetRefIndex(double value);
    void SetReference(double valueKm);
    double GetReference();
    void GetTextField(const std::string& name, std::string& s);
    std::string TextField(const std::string& name) { std::string s; GetTextField(name, s); return s; }
    void SetTextField(const std::string& name, const std::string& s);
    void ResetParams();

    // Direct access to a parameter of the block (no device request, no conversion).
    const TVariant& Param(int index) const;
    // Sets a parameter without notification or recalculation (the converters' and tests' door).
    void SetParam(int index, const TVariant& value);
    // The store's own "TRA" converter.
    IFileFormat* Converter() const { return m_converter.get(); }

    // --- results (kinds 1..10 and 12..15 are read by number through the main data item)
    double Length12 = 0, SectionLoss12 = 0, Length23 = 0, SectionLoss23 = 0;
    double Slope12 = 0, Intercept12 = 0, Slope23 = 0, Intercept23 = 0;
    double JointLoss = 0;
    double WaveLengthUm = 0;
    double AttenuatorDb = 0;
    int32_t PulseNs = 0;
    int32_t AverageCount = 0;
    double RefIndex = 0;
    double RangeKm = 0;
    std::string AverageModeText;
    double ReferenceKm = 0;
    TDateTime MeasuredAt = 0;

    bool Calculating() const { return m_calculating; }
    int LoadingCount() const { return m_loadingCount; }
    bool LoadedAsSor() const { return m_loadedAsSor; }
    const std::string& SorFileName() const { return m_sorFileName; }
    // The trace came from a ".sor" that an instrument or another program wrote (not this system):
    // harmless actions must not rewrite such a file. Cleared when a save makes the file our own.
    bool SorForeign() const { return m_sorForeign; }
    // The blocks of that foreign file a save does not write (its event table, landmarks, the
    // maker's own blocks), by name; empty once a save has made the file the system's own.
    const std::vector<std::string>& SorBlocksNotKept() const { return m_sorBlocksNotKept; }

    // The instrument's key events of the ".sor" the samples came from; nullptr for a trace
    // without them (the system's own files, TRA files, samples from elsewhere). A save keeps
    // them in memory, as it keeps the samples they describe, though no file written holds them.
    const TTraceEvents* KeyEvents() const { return m_keyEvents ? &*m_keyEvents : nullptr; }
    // The kilometres a one-way time of flight (100 ps, as events are kept) stands for on these
    // samples: the time in sample spacings, times the step, so that it follows the group index
    // as the samples do. NaN without a usable spacing.
    double TimeToKm(double time);
    // The event's distance as the instrument gives it, from its front panel; NaN for an event
    // without a position.
    double EventDistanceKm(const TTraceEvent& event);
    // Where the event lies on the distance axis of the drawn samples: the origin, the front panel
    // offset and the event's distance; NaN for an event without a position.
    double EventTraceKm(const TTraceEvent& event);

protected:
    // A fresh converter for a ".sor" file (the registry's "Bellcore"), raise-errors on.
    virtual std::unique_ptr<IFileFormat> MakeSorConverter();

private:
    struct Section {
        double length = 0, loss = 0, slope = 0, intercept = 0;
    };
    void fitSection(double a, double b, double c, double d, Section& s, bool fromSums);
    bool twoPointFit(const double* p, int n, double a, double b, Section& s);
    void leastSquaresFit(const double* p, int n, double a, double b, Section& s, bool fromSums);
    std::optional<double> levelAt(const double* p, int n, double x);
    void computeSettingsResults();
    void resetMarkerArrays();
    TVariant& param(int index) { return (*m_params)[static_cast<size_t>(index)]; }
    void sampleRangeChanged() {
        m_boundsValid = false;
        m_summaryValid = false;
        m_summary.Clear();
        m_sumsValid = false;
        m_sums.Clear();
        m_recalculationsOfSamples = 0;
    }
    int sampleCount() const;
    int showError(const std::exception_ptr& error, int helpContext);
    // A save wrote the system's own file in place of the instrument's.
    void madeOwn() {
        m_sorForeign = false;
        m_sorBlocksNotKept.clear();
    }
    TDataStruct ownParams() const;

    std::shared_ptr<TParamBlock> m_params;
    std::unique_ptr<IFileFormat> m_converter;
    int m_converterHandle = 0;
    std::atomic<int> m_loadingCount{0};
    bool m_calculating = false;
    bool m_loadedAsSor = false;
    std::string m_sorFileName;
    bool m_sorForeign = false;
    std::vector<std::string> m_sorBlocksNotKept;
    std::optional<TTraceEvents> m_keyEvents;

    // Lowest and highest sample, computed once per sample block.
    bool m_boundsValid = false;
    double m_minLevel = 0, m_maxLevel = 0;
    // The summary the views draw from, built once per sample block when first asked for.
    TSampleSummary m_summary;
    bool m_summaryValid = false;
    // The running sums, built when first asked for: by a view that averages, or by the fits from
    // the second recalculation over the same samples on (a marker being dragged), while the
    // recalculation that follows a load reads the samples directly.
    TSampleSums m_sums;
    bool m_sumsValid = false;
    int m_recalculationsOfSamples = 0;
};

} // namespace lv
