// The splice table of a construction line: the marker and mirror rules, the ordered table with its
// change log, and the window's commands in both measuring directions.

#include <gtest/gtest.h>

#include "reports/uSpliceEdit.h"
#include "reports/uSpliceTable.h"
#include "support/ScriptedPrompts.h"

using namespace lv;

namespace {

const TFlowParams kParams; // 1000 m, 1000 m, 1000 thousandths
// Pulse 1000 ns at group index 1.5: 0.299792 km / 1.5 of fibre per pulse length.
const TTraceGeometry kTrace{1000, 1.5, 20.0};
const double kPulseKm = 0.299792 / 1.5;

void expectMarkers(const TSpliceMarkers& m, double m1, double m2, double my, double m3) {
    ASSERT_TRUE(m.M1 && m.M2 && m.MY && m.M3);
    EXPECT_NEAR(*m.M1, m1, 1e-9);
    EXPECT_NEAR(*m.M2, m2, 1e-9);
    EXPECT_NEAR(*m.MY, my, 1e-9);
    EXPECT_NEAR(*m.M3, m3, 1e-9);
}

TSpliceRecord splice(const char* name, TOptKm posF, TOptKm posR = {}) {
    TSpliceRecord r;
    r.MName = name;
    r.MPosF = posF;
    r.MPosR = posR;
    return r;
}

std::vector<std::string> names(const TSpliceTable& t) {
    std::vector<std::string> out;
    for (const TSpliceRecord& r : t.Records()) out.push_back(r.MName);
    return out;
}

} // namespace

TEST(SpliceRules, MarkersAroundASplice) {
    struct Row {
        const char* what;
        double p;
        TFlowParams params;
        TTraceGeometry trace;
        double m1, my, m3;
    };
    TFlowParams shorter;
    shorter.DistM12 = 300;
    shorter.DistMY3 = 250;
    shorter.DistM2Y = 500;
    const Row rows[] = {
        {"plain", 5, kParams, kTrace, 4, 5 + kPulseKm, 6 + kPulseKm},
        {"M1 not before 0.1 km", 0.6, kParams, kTrace, 0.1, 0.6 + kPulseKm, 1.6 + kPulseKm},
        {"M1 half-way when 0.1 km is past the splice", 0.08, kParams, kTrace, 0.04, 0.08 + kPulseKm, 1.08 + kPulseKm},
        {"M1 half-way when 0.1 km is the splice", 0.1, kParams, kTrace, 0.05, 0.1 + kPulseKm, 1.1 + kPulseKm},
        {"other distances", 5, shorter, kTrace, 4.7, 5 + kPulseKm / 2, 5.25 + kPulseKm / 2},
        {"MY beyond the end of the data", 19.9, kParams, kTrace, 18.9, (19.9 + 19.99) / 2, 19.99},
        {"M3 held at the end of the data", 5, kParams, {1000, 1.5, 5.5}, 4, 5 + kPulseKm, 5.49},
        {"group index 0", 5, kParams, {1000, 0, 20}, 4, (5 + 19.99) / 2, 13.495},
        {"pulse 0", 5, kParams, {0, 1.5, 20}, 4, 5, 6},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        expectMarkers(SpliceMarkers(r.p, r.params, r.trace), r.m1, r.p, r.my, r.m3);
    }
    EXPECT_DOUBLE_EQ(MirrorPosition(4.2, 0.1, 10.0), 5.9);
}

TEST(SpliceTable, OrderNamesAndCurrentRecord) {
    TSpliceTable t;
    EXPECT_EQ(t.CurrentIndex(), -1);
    EXPECT_EQ(t.Current(), nullptr);
    t.Insert(splice("пять", 5.0));
    t.Insert(splice("без А", std::nullopt, 3.0));
    t.Insert(splice("два", 2.0));
    EXPECT_EQ(t.Current()->MName, "два");
    t.Insert(splice("Муфта на опоре номер сорок два", 5.0)); // 30 letters
    EXPECT_EQ(names(t), (std::vector<std::string>{"без А", "два", "пять", "Муфта на опоре номер"}));
    EXPECT_EQ(t.CurrentIndex(), 3);

    // A changed position moves the record; it stays current.
    TSpliceRecord moved = t.Record(2);
    moved.MPosF = 1.0;
    t.SetCurrentIndex(2);
    t.PostCurrent(moved);
    EXPECT_EQ(names(t), (std::vector<std::string>{"без А", "пять", "два", "Муфта на опоре номер"}));
    EXPECT_EQ(t.CurrentIndex(), 1);

    // Deleting makes the next record current, or the new last one.
    t.DeleteCurrent();
    EXPECT_EQ(t.Current()->MName, "два");
    t.SetCurrentIndex(99);
    t.DeleteCurrent();
    EXPECT_EQ(t.Current()->MName, "два");
    EXPECT_EQ(t.Count(), 2);
}

TEST(SpliceTable, ChangeLogRollsBackToTheLastApply) {
    TSpliceTable t;
    t.Assign({splice("A", 1.0), splice("B", 2.0), splice("C", 3.0)});
    EXPECT_EQ(t.ChangeCount(), 0);
    const std::vector<TSpliceRecord> loaded = t.Records();

    t.SetCurrentIndex(1);
    t.PostCurrent(t.Record(1)); // nothing changed, nothing logged
    EXPECT_EQ(t.ChangeCount(), 0);
    t.DeleteCurrent();
    t.Insert(splice("D", 0.5));
    TSpliceRecord renamed = t.Record(2);
    renamed.MName = "C2";
    t.Post(2, renamed);
    EXPECT_EQ(t.ChangeCount(), 3);
    EXPECT_EQ(t.Current()->MName, "D");

    t.CancelUpdates();
    EXPECT_EQ(t.Records(), loaded);
    EXPECT_EQ(t.ChangeCount(), 0);
    EXPECT_EQ(t.CurrentIndex(), 0); // "D" is gone: the first record

    t.SetCurrentIndex(2);
    t.Insert(splice("E", 9.0));
    t.ApplyUpdates();
    t.SetCurrentIndex(1);
    t.DeleteCurrent();
    t.CancelUpdates();
    EXPECT_EQ(names(t), (std::vector<std::string>{"A", "B", "C", "E"}));
    EXPECT_EQ(t.Current()->MName, "C"); // the record current at the roll-back, found again
}

TEST(SpliceEditor, PlacingInBothDirections) {
    lvtest::ScriptedPrompts prompts;
    TSpliceEditor ed;
    EXPECT_EQ(ed.PlaceSplice(std::nullopt, kParams, kTrace), TGraphUpdate::None); // hidden cursor
    EXPECT_EQ(ed.PlaceSplice(0.0, kParams, kTrace), TGraphUpdate::None);
    EXPECT_TRUE(ed.Table().IsEmpty());

    // B to A on an empty table: a record with only the B-to-A position and markers.
    ed.ChangeDirection();
    EXPECT_EQ(ed.PlaceSplice(3.0, kParams, kTrace), TGraphUpdate::PutMarkers);
    const TSpliceRecord& fromB = ed.Table().Record(0);
    EXPECT_EQ(fromB.MName, "");
    EXPECT_FALSE(fromB.MPosF || fromB.M1F || fromB.M2F || fromB.MYF || fromB.M3F);
    EXPECT_EQ(fromB.MPosR, 3.0);
    expectMarkers(fromB.Markers(TFlowDirection::BA), 2, 3, 3 + kPulseKm, 4 + kPulseKm);
    EXPECT_EQ(ed.CurrentMarkers(), fromB.Markers(TFlowDirection::BA));

    // A to B always adds a splice, numbered from the record count.
    ed.ChangeDirection();
    ed.PlaceSplice(1.0, kParams, kTrace);
    EXPECT_EQ(ed.CurrentName(), "Муфта 2");
    EXPECT_FALSE(ed.Table().Current()->MPosR); // no end yet: no mirror
    ed.SetEnd(10.0, kParams, kTrace);
    ed.SetStart(0.1, kParams, kTrace);
    ed.PlaceSplice(4.2, kParams, kTrace);
    const TSpliceRecord placed = *ed.Table().Current();
    EXPECT_EQ(placed.MName, "Муфта 3");
    EXPECT_EQ(placed.SrtPt, 0.1);
    EXPECT_EQ(placed.EndPt, 10.0);
    EXPECT_NEAR(*placed.MPosR, 5.9, 1e-12);
    EXPECT_NEAR(*placed.MPosFC(), 4.1, 1e-12);
    EXPECT_NEAR(*placed.MPosRC(), 5.8, 1e-12);
    expectMarkers(placed.Markers(TFlowDirection::AB), 3.2, 4.2, 4.2 + kPulseKm, 5.2 + kPulseKm);
    expectMarkers(placed.Markers(TFlowDirection::BA), 4.9, *placed.MPosR, *placed.MPosR + kPulseKm,
                  *placed.MPosR + 1 + kPulseKm);

    // Beyond the end a splice gets no B-to-A position before the start.
    ed.PlaceSplice(12.0, kParams, kTrace);
    EXPECT_FALSE(ed.Table().Current()->MPosR);

    // B to A edits the current splice's B-to-A fields only.
    ed.Select(2);
    const TSpliceRecord before = *ed.Table().Current();
    ed.ChangeDirection();
    ed.PlaceSplice(6.0, kParams, kTrace);
    const TSpliceRecord after = *ed.Table().Current();
    EXPECT_EQ(after.MName, before.MName);
    EXPECT_EQ(after.Markers(TFlowDirection::AB), before.Markers(TFlowDirection::AB));
    EXPECT_EQ(after.MPosR, 6.0);
    EXPECT_EQ(ed.Table().Count(), 4);
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST(SpliceEditor, NewNamesFollowTheRecordCount) {
    TSpliceEditor ed;
    for (double km : {1.0, 2.0, 3.0}) ed.PlaceSplice(km, kParams, kTrace);
    ed.Select(1);
    EXPECT_EQ(ed.DeleteCurrent(), TGraphUpdate::PutMarkers);
    ed.PlaceSplice(4.0, kParams, kTrace);
    // Two records named "Муфта 3": the table keeps names as given.
    EXPECT_EQ(names(ed.Table()), (std::vector<std::string>{"Муфта 1", "Муфта 3", "Муфта 3"}));
    EXPECT_EQ(ed.RenameCurrent("Муфта у моста через реку Волга"), TGraphUpdate::Repaint);
    EXPECT_EQ(ed.CurrentName(), "Муфта у моста через ");
}

TEST(SpliceEditor, StartAndEndGoIntoEveryRecord) {
    lvtest::ScriptedPrompts prompts;
    TSpliceEditor ed;
    EXPECT_EQ(ed.SetStart(1.0, kParams, kTrace), TGraphUpdate::None); // no records yet
    ed.ChangeDirection();
    ed.PlaceSplice(2.5, kParams, kTrace); // placed only from B
    const TSpliceRecord onlyB = ed.Table().Record(0);
    ed.ChangeDirection();
    for (double km : {3.0, 7.0, 12.0}) ed.PlaceSplice(km, kParams, kTrace);

    // A start before any end is kept in every record, so the file keeps it; no mirror yet.
    EXPECT_EQ(ed.SetStart(0.2, kParams, kTrace), TGraphUpdate::Repaint);
    for (const TSpliceRecord& r : ed.Table().Records()) {
        EXPECT_EQ(r.SrtPt, 0.2);
        EXPECT_EQ(r.EndPt, 0.0);
    }
    EXPECT_FALSE(ed.Table().Record(1).MPosR);
    // A hidden cursor has no position: the start stays where it is.
    EXPECT_EQ(ed.SetStart(std::nullopt, kParams, kTrace), TGraphUpdate::None);
    EXPECT_EQ(ed.Start(), 0.2);
    TSpliceEditor reopened;
    reopened.Load(ed.Table().Records());
    EXPECT_EQ(reopened.Start(), 0.2);
    EXPECT_EQ(reopened.End(), 0.0);

    // The end must lie after the start.
    const std::vector<TSpliceRecord> kept = ed.Table().Records();
    EXPECT_EQ(ed.SetEnd(0.2, kParams, kTrace), TGraphUpdate::None);
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Text, "Маркер конца трассы не может находиться перед началом трассы.");
    EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(prompts.Messages[0].Buttons, static_cast<TMsgDlgButtons>(mbOK));
    EXPECT_EQ(ed.End(), 0.0);
    EXPECT_EQ(ed.Table().Records(), kept);

    // With the end set the B-to-A positions are mirrored; the B-only splice keeps its own, and a
    // splice whose mirror falls before the line loses its B-to-A fields.
    EXPECT_EQ(ed.SetEnd(10.2, kParams, kTrace), TGraphUpdate::Repaint);
    const std::vector<TSpliceRecord> rs = ed.Table().Records();
    EXPECT_EQ(rs[0].Markers(TFlowDirection::BA), onlyB.Markers(TFlowDirection::BA));
    EXPECT_EQ(rs[0].MPosR, onlyB.MPosR);
    EXPECT_EQ(rs[0].EndPt, 10.2);
    EXPECT_NEAR(*rs[1].MPosR, 7.4, 1e-12);
    EXPECT_NEAR(*rs[2].MPosR, 3.4, 1e-12);
    expectMarkers(rs[2].Markers(TFlowDirection::BA), 2.4, *rs[2].MPosR, *rs[2].MPosR + kPulseKm,
                  *rs[2].MPosR + 1 + kPulseKm);
    EXPECT_FALSE(rs[3].MPosR || rs[3].M1R || rs[3].M2R || rs[3].MYR || rs[3].M3R); // 0.2 + 10.2 − 12 < 0

    // The start may not reach the end; in direction B to A the markers follow the new mirror.
    EXPECT_EQ(ed.SetStart(10.2, kParams, kTrace), TGraphUpdate::None);
    EXPECT_EQ(prompts.Messages.back().Text, "Начало трассы не может находиться после маркера конца трассы.");
    EXPECT_EQ(ed.Start(), 0.2);
    ed.ChangeDirection();
    EXPECT_EQ(ed.SetStart(-0.3, kParams, kTrace), TGraphUpdate::PutMarkers); // a cursor before 0 means 0
    EXPECT_EQ(ed.Start(), 0.0);
    EXPECT_NEAR(*ed.Table().Record(1).MPosR, 7.2, 1e-12);
    EXPECT_EQ(ed.SetEnd(10.2, kParams, kTrace), TGraphUpdate::None); // unchanged end
    EXPECT_EQ(prompts.Messages.size(), 2u);
}

TEST(SpliceEditor, FollowingTheGraphMarkers) {
    struct Row {
        const char* what;
        TFlowDirection dir;
        TSpliceMarkers graph;
        bool changed;
        TSpliceMarkers stored;
    };
    // The splice at 5 km A to B has markers 4, 5, 5 + pulse, 6 + pulse; none B to A.
    const double y = 5 + kPulseKm, m3 = 6 + kPulseKm;
    const Row rows[] = {
        {"same places", TFlowDirection::AB, {4, 5, y, m3}, false, {4, 5, y, m3}},
        {"within the tolerance", TFlowDirection::AB, {4.0004, 4.9996, y, m3}, false, {4, 5, y, m3}},
        {"beyond the tolerance", TFlowDirection::AB, {4.0006, 5, y, m3 + 0.1}, true, {4.0006, 5, y, m3 + 0.1}},
        {"hidden markers are ignored", TFlowDirection::AB, {std::nullopt, std::nullopt, 5.5, std::nullopt}, true,
         {4, 5, 5.5, m3}},
        {"all hidden", TFlowDirection::AB, {}, false, {4, 5, y, m3}},
        {"empty fields of the other direction", TFlowDirection::BA, {1, 2, std::nullopt, 3}, true,
         {1, 2, std::nullopt, 3}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TSpliceEditor ed;
        EXPECT_FALSE(ed.FollowMarkers({1, 2, 3, 4}));
        ed.PlaceSplice(5.0, kParams, kTrace);
        ed.Apply();
        if (r.dir == TFlowDirection::BA) ed.ChangeDirection();
        EXPECT_EQ(ed.FollowMarkers(r.graph), r.changed);
        const TSpliceMarkers now = ed.CurrentMarkers();
        const TOptKm* got[] = {&now.M1, &now.M2, &now.MY, &now.M3};
        const TOptKm* want[] = {&r.stored.M1, &r.stored.M2, &r.stored.MY, &r.stored.M3};
        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(got[i]->has_value(), want[i]->has_value()) << i;
            if (*want[i]) {
                EXPECT_NEAR(**got[i], **want[i], 1e-12) << i;
            }
        }
        EXPECT_EQ(ed.Table().ChangeCount(), r.changed ? 1 : 0);
    }
}

TEST(SpliceEditor, CommandStatesOverlayAndRollBack) {
    TSpliceEditor ed;
    const TFlowCommandStates none;
    EXPECT_EQ(ed.CommandStates(std::nullopt), none);
    EXPECT_EQ(ed.CommandStates(1.0), (TFlowCommandStates{true, false, false, false, false, false, false}));
    ed.PlaceSplice(4.2, kParams, kTrace);
    EXPECT_EQ(ed.CommandStates(1.0), (TFlowCommandStates{true, true, true, true, true, true, true}));
    EXPECT_EQ(ed.CommandStates(0.0), (TFlowCommandStates{false, false, true, true, true, true, true}));
    ed.SetEnd(10.0, kParams, kTrace);
    ed.SetStart(0.1, kParams, kTrace);
    ed.Apply();
    EXPECT_EQ(ed.CommandStates(std::nullopt), (TFlowCommandStates{false, false, true, true, true, false, false}));

    // Only what lies strictly inside the visible range, at the current direction's positions.
    EXPECT_EQ(ed.Overlay(0.0, 10.0), (std::vector<TOverlayMark>{{0.1, "Start"}, {4.2, "Муфта 1"}}));
    EXPECT_EQ(ed.Overlay(0.1, 20.0), (std::vector<TOverlayMark>{{10.0, "End"}, {4.2, "Муфта 1"}}));
    EXPECT_EQ(ed.Overlay(4.3, 9.0), std::vector<TOverlayMark>{});
    ed.ChangeDirection();
    const std::vector<TOverlayMark> ba = ed.Overlay(5.0, 6.0);
    ASSERT_EQ(ba.size(), 1u);
    EXPECT_NEAR(ba[0].Km, 5.9, 1e-12);

    // Rolling back brings the start and end back with the records that hold them.
    ed.SetEnd(8.0, kParams, kTrace);
    EXPECT_EQ(ed.End(), 8.0);
    EXPECT_EQ(ed.RollBack(), TGraphUpdate::PutMarkers);
    EXPECT_EQ(ed.End(), 10.0);
    EXPECT_EQ(ed.Start(), 0.1);
    EXPECT_NEAR(*ed.CurrentMarkers().M2, 5.9, 1e-12);
    EXPECT_EQ(ed.RollBack(), TGraphUpdate::None);
}
