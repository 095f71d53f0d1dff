// The trace store: taking blocks over, fits and results, markers, texts, loading and saving.

#include <gtest/gtest.h>

#include <cmath>

#include "support/FakeConverter.h"
#include "support/ScriptedPrompts.h"
#include "trace/Errors.h"
#include "trace/uFileFormats.h"
#include "trace/uGraphIntfs.h"

using namespace lv;
using lvtest::FakeConverter;
using lvtest::FakeFormats;
using lvtest::ScriptedPrompts;

namespace {

struct Counter : TIDataClient {
    int setup = 0, data = 0;
    void Notify(TIDataStorage* s, TStorageNotifyAction& a) override {
        if (a == snaSetupChanged) ++setup;
        if (a == snaDataChanged) ++data;
        TIDataClient::Notify(s, a);
    }
};

struct StoreTest : ::testing::Test {
    FakeFormats formats;
    ScriptedPrompts prompts;
    TRDataStorage* store = nullptr;
    Counter client;

    void SetUp() override {
        store = new TRDataStorage();
        client.SetStorage(store);
    }
    void TearDown() override { client.SetStorage(nullptr); } // frees the store

    PDataStruct defaults() {
        PDataStruct p;
        GetFileFormat("TRA")->NewParams(p);
        return p;
    }
    // A straight trace: level = 10 - slope * x over n samples.
    void loadLine(int n, double slopeDbPerKm = 0.35) {
        store->SetupArrived(defaults().get());
        std::vector<double> v(n);
        const double dx = store->GetStep();
        for (int i = 0; i < n; ++i) v[i] = 10.0 - slopeDbPerKm * dx * i;
        store->DataArrived(MakeSampleBlock(v.data(), n).get());
    }
};

} // namespace

TEST_F(StoreTest, NewStoreHasMarkerArraysAndNoSamples) {
    EXPECT_TRUE(store->Param(prmM).IsDoubleArray());
    EXPECT_EQ(store->GetMarker(0), -1);
    EXPECT_EQ(store->GetCursor(), -1);
    EXPECT_EQ(store->GetStep(), 0);
    EXPECT_EQ(store->GetBound(3), 0);
    EXPECT_EQ(store->GetApproximation(), 1);
}

TEST_F(StoreTest, StepAndBoundsFollowTheParameters) {
    loadLine(1000);
    const double dx = 4e-8 * 2.99792e8 / (1.465 * 2 * 1000);
    EXPECT_DOUBLE_EQ(store->GetStep(), dx);
    EXPECT_DOUBLE_EQ(store->GetBound(2), dx * 999);
    EXPECT_DOUBLE_EQ(store->GetBound(3), 10.0);
    EXPECT_NEAR(store->GetBound(1), 10.0 - 0.35 * dx * 999, 1e-12);
    EXPECT_EQ(store->GetBound(7), 0);
}

TEST_F(StoreTest, SampleBlockOf12BytesHoldsOneSample) {
    store->SetupArrived(defaults().get());
    double raw[2] = {3.5, 9.0};
    TDataStruct d;
    d.Size = 12;
    d.Data = raw;
    store->DataArrived(&d);
    EXPECT_EQ(store->Param(prmDBIR).Count(), 1);
    EXPECT_EQ(store->LockData()->SampleCount(), 1);
    store->UnlockData();
    EXPECT_EQ(store->GetBound(1), 3.5);
}

TEST_F(StoreTest, LeastSquaresAndTwoPointFitsOfAStraightLine) {
    loadLine(2000);
    for (int method : {1, 0}) {
        store->SetApproximation(method);
        store->SetMarker(0, 1.0);
        store->SetMarker(1, 3.0);
        store->SetMarker(2, 6.0);
        EXPECT_DOUBLE_EQ(store->Length12, 2.0);
        EXPECT_NEAR(store->Slope12, -0.35, 1e-9) << method;
        EXPECT_NEAR(store->Intercept12, 10.0, 1e-9);
        EXPECT_NEAR(store->SectionLoss12, 0.7, 1e-9);
        EXPECT_NEAR(store->SectionLoss23, 1.05, 1e-9);
        EXPECT_NEAR(store->JointLoss, 0.0, 1e-9);
    }
}

TEST_F(StoreTest, JointLossIsTheStepBetweenTheLinesAtM2) {
    store->SetupArrived(defaults().get());
    const double dx = store->GetStep();
    std::vector<double> v(2000);
    for (int i = 0; i < 2000; ++i) v[i] = (dx * i < 3.0 ? 10.0 : 9.5) - 0.2 * dx * i;
    store->DataArrived(MakeSampleBlock(v.data(), 2000).get());
    store->SetMarker(0, 0.5);
    store->SetMarker(1, 2.9);
    store->SetMarker(4, 3.1); // Y: the second fit starts after the splice
    store->SetMarker(2, 7.0);
    EXPECT_NEAR(store->JointLoss, 0.5, 1e-6);
    EXPECT_NEAR(store->Length23, 7.0 - 2.9, 1e-12);
    store->SetMarker(4, 7.5); // Y beyond M3: fit from M2 again, across the splice
    EXPECT_GT(std::fabs(store->JointLoss - 0.5), 0.01);
}

TEST_F(StoreTest, SectionsWithoutValidMarkersHaveNoLength) {
    loadLine(1000);
    store->SetMarker(1, 2.0);
    store->SetMarker(2, 3.0);
    EXPECT_EQ(store->Length12, 0); // M1 not placed
    EXPECT_EQ(store->JointLoss, 0);
    store->SetMarker(0, 2.5); // M2 <= M1
    EXPECT_EQ(store->Length12, 0);
    EXPECT_GT(store->Length23, 0);
}

TEST_F(StoreTest, TwoPointFitBeyondTheUsableSamplesKeepsZero) {
    loadLine(1000);
    store->SetApproximation(0);
    const double dx = store->GetStep();
    store->SetMarker(0, dx * 2);
    store->SetMarker(1, dx * 1500); // past the last sample
    EXPECT_GT(store->Length12, 0);
    EXPECT_EQ(store->Slope12, 0);
    EXPECT_EQ(store->SectionLoss12, 0);

    store->SetMarker(1, dx * 20);
    EXPECT_NEAR(store->Slope12, -0.35, 1e-9);
    store->SetLastIndex(10); // beyond sample 10 the level is undefined
    store->Recalculate();
    EXPECT_EQ(store->Slope12, 0);
}

TEST_F(StoreTest, LeastSquaresRangesOutsideTheSamplesAreClamped) {
    // Markers copied from a longer fibre, ranges before the first sample, a one-sample trace:
    // nothing is read outside the samples and no fit comes out of nothing.
    loadLine(100);
    const double dx = store->GetStep();
    const double end = dx * 99;

    store->SetMarker(0, end + 1.0);
    store->SetMarker(1, end + 2.0);
    EXPECT_DOUBLE_EQ(store->Length12, 1.0);
    EXPECT_EQ(store->Slope12, 0);
    EXPECT_EQ(store->SectionLoss12, 0);

    store->SetMarker(0, end - 10 * dx); // partly beyond: fitted on the samples that exist
    EXPECT_NEAR(store->Slope12, -0.35, 1e-9);

    store->SetMarker(0, end + 0.3 * dx); // within half a step past the end
    store->SetMarker(1, end + 0.6 * dx);
    EXPECT_EQ(store->Slope12, 0);

    store->SetMarker(0, dx * 10.2); // between two samples inside the trace: their line
    store->SetMarker(1, dx * 10.7);
    EXPECT_NEAR(store->Slope12, -0.35, 1e-9);

    loadLine(1);
    store->SetMarker(0, 0.0);
    store->SetMarker(1, 1.0);
    EXPECT_EQ(store->Slope12, 0);
    EXPECT_EQ(store->Intercept12, 0);
}

TEST_F(StoreTest, SingleSampleRangeUsesItsNeighbour) {
    loadLine(100);
    const double dx = store->GetStep();
    store->SetMarker(0, 0.0);
    store->SetMarker(1, dx * 0.5); // only sample 0: widened to 0..1
    EXPECT_NEAR(store->Slope12, -0.35, 1e-9);
    store->SetMarker(0, dx * 4.5);
    store->SetMarker(1, dx * 5.5); // only sample 5: widened to 4..5
    EXPECT_NEAR(store->Slope12, -0.35, 1e-9);
}

TEST_F(StoreTest, DegenerateParametersGiveFallbacksNotNaN) {
    loadLine(100);
    struct Row {
        int index;
        TVariant value;
    };
    for (const Row& r : {Row{prmIOR, TVariant(0.0)}, Row{prmRESR, TVariant(0)}, Row{prmIOR, TVariant(1e-320)},
                         Row{prmRESR, TVariant(1e300)}, Row{prmIOR, TVariant("abc")}}) {
        loadLine(100);
        store->SetParam(r.index, r.value);
        store->SetMarker(0, 0.0);
        store->SetMarker(1, 0.2);
        store->SetMarker(2, 0.3);
        for (double v : {store->GetStep(), store->GetBound(2), store->Slope12, store->Intercept12,
                         store->SectionLoss12, store->JointLoss})
            EXPECT_TRUE(std::isfinite(v)) << r.index;
    }
}

TEST_F(StoreTest, SettingsResults) {
    loadLine(10);
    EXPECT_DOUBLE_EQ(store->WaveLengthUm, 1.31);
    EXPECT_DOUBLE_EQ(store->RefIndex, 1.465);
    store->SetParam(prmPW, TVariant(1.25));
    store->SetParam(prmAT, TVariant(4));
    store->SetParam(prmNUM, TVariant(4096));
    store->SetParam(prmAVE, TVariant(2));
    store->SetParam(prmR, TVariant(20));
    store->SetParam(prmYEA, TVariant(2024));
    store->SetParam(prmMTH, TVariant(2));
    store->SetParam(prmDAY, TVariant(29));
    store->SetParam(prmHOU, TVariant(13));
    store->SetParam(prmMIN, TVariant(7));
    store->Recalculate();
    EXPECT_EQ(store->PulseNs, 12); // round half to even of 12.5
    EXPECT_DOUBLE_EQ(store->AttenuatorDb, 5.0);
    EXPECT_EQ(store->AverageCount, 4096);
    EXPECT_EQ(store->AverageModeText, "Точное");
    EXPECT_DOUBLE_EQ(store->RangeKm, 20);
    TDateTimeParts t = DecodeDateTime(store->MeasuredAt);
    EXPECT_EQ(t.Year, 2024);
    EXPECT_EQ(t.Day, 29);
    EXPECT_EQ(t.Hour, 13);
    EXPECT_EQ(t.Minute, 7);

    store->SetParam(prmLAM, TVariant());
    store->SetParam(prmAT, TVariant("x"));
    store->SetParam(prmAVE, TVariant(5));
    store->SetParam(prmMTH, TVariant(13)); // not a date: the current time
    store->Recalculate();
    EXPECT_EQ(store->WaveLengthUm, 0);
    EXPECT_EQ(store->AttenuatorDb, -1);
    EXPECT_EQ(store->AverageModeText, "");
    EXPECT_NEAR(store->MeasuredAt, Now(), 1.0 / 24 / 60);
}

TEST_F(StoreTest, MarkerIndicesAndNeutralValues) {
    loadLine(100);
    EXPECT_EQ(store->GetMarker(6), -1);
    EXPECT_EQ(store->GetMarker(-1), -1);
    const TVariant before = store->Param(prmY);
    store->SetMarker(6, 1.0);
    EXPECT_TRUE(store->Param(prmY).SameAs(before));
    store->SetMarker(4, 0.25);
    EXPECT_DOUBLE_EQ(store->Param(prmY).Element(2).AsDouble(), 250.0);
    EXPECT_DOUBLE_EQ(store->GetMarker(4), 0.25);
    store->SetParam(prmM, TVariant("garbage"));
    EXPECT_EQ(store->GetMarker(0), -1);
}

TEST_F(StoreTest, RefIndexReferenceAndCursor) {
    loadLine(100);
    int setups = client.setup;
    store->SetRefIndex(0);
    EXPECT_DOUBLE_EQ(store->Param(prmIOR).AsDouble(), 1.48);
    EXPECT_DOUBLE_EQ(store->RefIndex, 1.48);
    store->SetRefIndex(1.48); // unchanged, still announced
    EXPECT_EQ(client.setup, setups + 2);

    store->SetReference(-0.5);
    EXPECT_EQ(store->Param(prmREF).Type(), TVarType::Integer);
    EXPECT_EQ(store->Param(prmREF).AsInteger(), -1);
    EXPECT_EQ(store->ReferenceKm, 0);
    EXPECT_EQ(store->GetReference(), -1);
    store->SetReference(1.5);
    EXPECT_DOUBLE_EQ(store->GetReference(), 1.5);
    EXPECT_DOUBLE_EQ(store->ReferenceKm, 1.5);

    int before = client.setup;
    store->SetCursor(2.5);
    EXPECT_DOUBLE_EQ(store->GetCursor(), 2.5);
    EXPECT_EQ(client.setup, before);
}

TEST_F(StoreTest, NamedTextFields) {
    loadLine(10);
    store->SetTextField("cid", "Кабель 1");
    EXPECT_EQ(store->TextField("CID"), "Кабель 1");
    EXPECT_EQ(store->Param(prmPRN).HighBound(), 4);
    store->SetParam(prmXYA, TVariant::VariantArray(0, 0));
    store->SetTextField("OT", "note");
    EXPECT_EQ(store->Param(prmXYA).LowBound(), 0);
    EXPECT_EQ(store->Param(prmXYA).HighBound(), 6);
    EXPECT_EQ(store->TextField("ot"), "note");
    EXPECT_EQ(store->TextField("SN"), "");
    EXPECT_EQ(store->TextField("nope"), "");
    store->SetTextField("nope", "x");
}

TEST_F(StoreTest, SetupTakenWhileReadyKeepsCommentAndDisplayMethod) {
    loadLine(10);
    store->Accept(0);
    store->SetComment("own");
    store->SetDisplayMethod(3);
    ASSERT_TRUE(store->IsReady());
    PDataStruct p = defaults();
    TParamBlock& in = *p->Params();
    in[prmL] = TVariant("other");
    in[prmDOT] = TVariant(1);
    in[prmLAM] = TVariant(1550);
    in[prmM] = TVariant::DoubleArray(1, 3, -1);
    in[prmM].SetElement(2, TVariant(700.0));
    in[prmCU] = TVariant::DoubleArray(1, 2);
    store->SetMarker(0, 0.1);
    store->SetupArrived(p.get());
    EXPECT_EQ(store->GetComment(), "own");
    EXPECT_EQ(store->GetDisplayMethod(), 3);
    EXPECT_DOUBLE_EQ(store->WaveLengthUm, 1.55);
    EXPECT_DOUBLE_EQ(store->GetMarker(0), -1); // -1 is a set element and replaces
    EXPECT_DOUBLE_EQ(store->GetMarker(1), 0.7);
    EXPECT_EQ(store->GetCursor(), -1);

    in[prmY] = TVariant(5); // not an array: all three Y become -1
    store->SetMarker(3, 0.2);
    store->SetupArrived(p.get());
    EXPECT_EQ(store->GetMarker(3), -1);
}

TEST_F(StoreTest, DataFromADeviceResetsMarkersButAFileKeepsThem) {
    loadLine(100);
    store->SetMarker(0, 0.1);
    store->SetCursor(0.2);
    std::vector<double> v(50, 1.0);
    store->DataArrived(MakeSampleBlock(v.data(), 50).get());
    EXPECT_EQ(store->GetMarker(0), -1);
    EXPECT_EQ(store->GetCursor(), -1);

    loadLine(100);
    store->SetMarker(0, 0.1);
    store->SetMarker(1, 0.3);
    ASSERT_TRUE(store->SaveToFile("/data/a.tra", false));
    store->SetMarker(0, -1);
    ASSERT_TRUE(store->LoadFromFile("/data/a.tra", false));
    EXPECT_DOUBLE_EQ(store->GetMarker(0), 0.1);
    EXPECT_DOUBLE_EQ(store->Length12, 0.2);
    EXPECT_EQ(store->GetFileName(), "/data/a.tra");
    EXPECT_FALSE(store->Active());
}

TEST_F(StoreTest, PinnedSamplesOutliveTheirReplacement) {
    loadLine(100);
    PDataStruct pinned = store->LockData();
    EXPECT_EQ(store->Param(prmDBIR).LockCount(), 1);
    std::vector<double> v(10, 2.0);
    store->DataArrived(MakeSampleBlock(v.data(), 10).get());
    EXPECT_EQ(pinned->SampleCount(), 100);
    EXPECT_DOUBLE_EQ(pinned->Samples()[0], 10.0);
    store->UnlockData();
    store->UnlockData(); // an unlock without a lock is ignored
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(StoreTest, AHandedOverSampleBlockIsTakenOverNotCopied) {
    store->SetupArrived(defaults().get());
    const std::vector<double> v = {3.0, 2.5, 2.0, 1.5};
    PDataStruct block = MakeSampleBlock(v.data(), 4);
    const void* bytes = block->Data;
    store->DataArrived(block.get());
    block.reset();
    PDataStruct held = store->LockData();
    EXPECT_EQ(held->Data, bytes); // the very array the block was filled in
    EXPECT_EQ(held->SampleCount(), 4);
    store->UnlockData();

    // An array somebody else still holds (a device's buffer) is copied: its later changes stay out.
    PDataStruct shared = MakeSampleBlock(v.data(), 4);
    const std::shared_ptr<TVarArray> keeper = shared->SampleArray;
    store->DataArrived(shared.get());
    shared->MutableSamples()[0] = 99.0;
    held = store->LockData();
    EXPECT_NE(held->Data, shared->Data);
    EXPECT_EQ(held->Samples()[0], 3.0);
    store->UnlockData();

    // The store's own pinned samples handed back in are copied before the old ones go.
    PDataStruct own = store->LockData();
    store->DataArrived(own.get());
    store->UnlockData();
    held = store->LockData();
    EXPECT_EQ(std::vector<double>(held->Samples(), held->Samples() + 4), v);
    store->UnlockData();
}

TEST_F(StoreTest, OneSummaryOfTheSamplesUntilTheyChange) {
    EXPECT_EQ(store->SampleSummary(), nullptr);
    loadLine(1000);
    const TSampleSummary* summary = store->SampleSummary();
    ASSERT_NE(summary, nullptr);
    PDataStruct held = store->LockData();
    EXPECT_TRUE(summary->Covers(held->Samples(), 1000));
    EXPECT_EQ(summary->Query(0, 999).Max, 10.0);
    store->UnlockData();
    EXPECT_EQ(store->SampleSummary(), summary);

    std::vector<double> v(300, 4.0);
    v[17] = 7.5;
    store->DataArrived(MakeSampleBlock(v.data(), 300).get());
    summary = store->SampleSummary();
    ASSERT_NE(summary, nullptr);
    held = store->LockData();
    EXPECT_TRUE(summary->Covers(held->Samples(), 300));
    EXPECT_EQ(summary->Query(0, 299).Max, 7.5);
    store->UnlockData();

    store->SetParam(prmDBIR, TVariant());
    EXPECT_EQ(store->SampleSummary(), nullptr);
}

TEST_F(StoreTest, SorFilesGoToTheBellcoreConverter) {
    loadLine(100);
    ASSERT_TRUE(store->SaveToFile("/data/Trace.SOR", false));
    EXPECT_TRUE(store->LoadedAsSor());
    EXPECT_EQ(store->Caption(), "/data/Trace.SOR");
    EXPECT_EQ(store->GetFileName(), "");

    TRDataStorage* other = new TRDataStorage();
    Counter c2;
    c2.SetStorage(other);
    ASSERT_TRUE(other->LoadFromFile("/data/Trace.SOR", false));
    EXPECT_TRUE(other->LoadedAsSor());
    EXPECT_EQ(other->SorFileName(), "/data/Trace.SOR");
    EXPECT_EQ(other->Param(prmDBIR).Count(), 100);
    c2.SetStorage(nullptr);

    EXPECT_FALSE(HasSorExtension("/data/x.sor/trace.tra"));
    EXPECT_TRUE(HasSorExtension("C:\\x\\A.Sor"));
}

TEST_F(StoreTest, FailedSaveOrLoadKeepsTheTraceOnItsOldFile) {
    loadLine(100);
    ASSERT_TRUE(store->SaveToFile("/data/a.tra", false));
    FakeConverter::FailAll = true;
    EXPECT_FALSE(store->SaveToFile("/data/b.sor", false));
    EXPECT_FALSE(store->LoadedAsSor());
    EXPECT_EQ(store->Caption(), "/data/a.tra");
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Text, "Не удается записать файл \"/data/b.sor\".");

    EXPECT_FALSE(store->LoadFromFile("/data/c.sor", false));
    EXPECT_EQ(prompts.Messages.back().Text, "Не удается прочитать файл \"/data/c.sor\".");
    EXPECT_EQ(store->Caption(), "/data/a.tra");

    // The TRA converter raises (raise-errors on) and the load passes the error on.
    EXPECT_THROW(store->LoadFromFile("/data/missing.tra", false), EInvalidDataFormat);
    EXPECT_EQ(store->GetFileName(), "/data/a.tra");

    FakeConverter::FailAll = false;
    ASSERT_TRUE(store->SaveToFile("/data/b.sor", false));
    FakeConverter::FailAll = true;
    EXPECT_THROW(store->SaveToFile("/data/d.tra", false), EInvalidDataFormat);
    EXPECT_TRUE(store->LoadedAsSor());
}

TEST_F(StoreTest, SavingWithoutDataIsRefusedWithTheMessage) {
    EXPECT_FALSE(store->SaveToFile("/data/a.tra", false));
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Text,
              "Недостаточно данных для записи файла. Возможно не измерения не завершены или завершены "
              "некорректно.\r\nПовторите попытку позже!");
    EXPECT_EQ(prompts.Messages[0].Buttons, unsigned(mbOK | mbHelp));
    EXPECT_EQ(store->Param(prmDBIR).LockCount(), 0);
}

TEST_F(StoreTest, ToCurrentSavesToTheFileTheTraceCameFrom) {
    loadLine(100);
    ASSERT_TRUE(store->SaveToFile("/data/t.sor", false));
    store->SetMarker(0, 0.05);
    ASSERT_TRUE(store->SaveToFile("", true));
    EXPECT_DOUBLE_EQ((*lvtest::FakeDisk()["/data/t.sor"].Params)[prmM].Element(1).AsDouble(), 50.0);
    ASSERT_TRUE(store->SaveToFile("/data/t", false));
    EXPECT_FALSE(store->LoadedAsSor());
    store->SetMarker(0, 0.07);
    ASSERT_TRUE(store->SaveToFile("", true));
    EXPECT_DOUBLE_EQ((*lvtest::FakeDisk()["/data/t"].Params)[prmM].Element(1).AsDouble(), 70.0);
}

TEST(StoreConstruction, FailsWithoutATraConverter) {
    UnregisterFileFormats();
    try {
        TRDataStorage s;
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "Объект преобразования формата TRA не найден");
    }
}
