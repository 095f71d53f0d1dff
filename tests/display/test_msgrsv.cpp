// Notices between objects of the GUI thread: at once or posted, in order, never to the dead.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <vector>

#include "display/uMsgRsv.h"

using namespace lv;

namespace {

struct Log {
    std::vector<std::pair<int, TMessageValue>> seen; // receiver tag, first value
    void listen(TReceiver& r, int tag) {
        r.OnMessage = [this, tag](TMessageValue first, TMessageValue second) {
            seen.emplace_back(tag, first);
            return first + second;
        };
    }
};

void drainPosted() {
    QCoreApplication::sendPostedEvents();
}

} // namespace

TEST(Messager, DirectDeliveryCompletesBeforeBroadcastReturns) {
    ASSERT_NE(MessagerReceiverMessage(), 0);
    Log log;
    TReceiver a, b;
    log.listen(a, 1);
    log.listen(b, 2);
    TMessager m;
    EXPECT_EQ(m.AddReceiver(&a), m.MessageNumber());
    EXPECT_EQ(m.AddReceiver(&b), m.MessageNumber());
    m.Broadcast(3, 0, TMessager::mdCall);
    m.Broadcast(4, 0, TMessager::mdSend);
    EXPECT_EQ(log.seen, (std::vector<std::pair<int, TMessageValue>>{{1, 3}, {2, 3}, {1, 4}, {2, 4}}));
    // Modes other than 0..2 deliver nothing.
    m.Broadcast(5, 0, 3);
    m.Broadcast(5, 0, -1);
    drainPosted();
    EXPECT_EQ(log.seen.size(), 4u);
}

TEST(Messager, PostedNoticesArriveLaterInPostingOrder) {
    Log log;
    TReceiver a, b;
    log.listen(a, 1);
    log.listen(b, 2);
    TMessager m1, m2;
    m1.AddReceiver(&a);
    m1.AddReceiver(&b);
    m2.AddReceiver(&b);
    m1.Broadcast(10, 0, TMessager::mdPost);
    m2.Broadcast(11, 0, TMessager::mdPost);
    m1.Broadcast(12, 0, TMessager::mdPost);
    EXPECT_TRUE(log.seen.empty());
    drainPosted();
    EXPECT_EQ(log.seen,
              (std::vector<std::pair<int, TMessageValue>>{{1, 10}, {2, 10}, {2, 11}, {1, 12}, {2, 12}}));
}

TEST(Messager, AReceiverThatIsGoneNeverGetsItsQueuedNotices) {
    Log log;
    TMessager m;
    auto own = std::make_unique<TReceiver>();
    log.listen(*own, 1);
    // A receiver on a borrowed object: the object outlives the receiver.
    QObject window;
    auto borrowed = std::make_unique<TReceiver>(&window);
    log.listen(*borrowed, 2);
    TReceiver stays;
    log.listen(stays, 3);
    m.AddReceiver(own.get());
    m.AddReceiver(borrowed.get());
    m.AddReceiver(&stays);
    m.Broadcast(7, 0, TMessager::mdPost);
    own.reset();
    borrowed.reset();
    drainPosted();
    EXPECT_EQ(log.seen, (std::vector<std::pair<int, TMessageValue>>{{3, 7}}));
    // The own object went with its receiver: it leaves the list at the next broadcast. The
    // borrowed object still lives and stays registered, but nobody listens on it any more.
    m.Broadcast(8, 0, TMessager::mdCall);
    EXPECT_EQ(m.ReceiverCount(), 2);
    EXPECT_EQ(log.seen.back(), std::make_pair(3, TMessageValue(8)));
    EXPECT_EQ(log.seen.size(), 2u);
}

TEST(Messager, RegistrationCountsAndRemoval) {
    Log log;
    TReceiver r;
    log.listen(r, 1);
    TMessager m;
    m.AddReceiver(&r);
    m.AddReceiver(&r);
    m.Broadcast(1, 0, TMessager::mdCall);
    EXPECT_EQ(log.seen.size(), 2u); // registered twice, received twice
    m.RemoveReceiver(&r);           // one registration goes
    m.Broadcast(2, 0, TMessager::mdCall);
    EXPECT_EQ(log.seen.size(), 3u);
    m.RemoveReceiver(&r);
    m.Broadcast(3, 0, TMessager::mdCall);
    EXPECT_EQ(log.seen.size(), 3u);
    // No object, no registration.
    TReceiver none(nullptr);
    EXPECT_EQ(none.Window(), nullptr);
    EXPECT_EQ(m.AddReceiver(&none), 0);
    EXPECT_EQ(m.AddReceiver(static_cast<QObject*>(nullptr)), 0);
    EXPECT_EQ(m.ReceiverCount(), 0);
}

TEST(Messager, TheHandlerSeesBothValuesAndAnswers) {
    QObject window;
    TReceiver r(&window);
    TMessageValue got = 0;
    r.OnMessage = [&](TMessageValue first, TMessageValue second) {
        got = first * 100 + second;
        return 42;
    };
    TMessagerEvent e(MessagerReceiverMessage(), 3, 4);
    QCoreApplication::sendEvent(&window, &e);
    EXPECT_EQ(got, 304);
    EXPECT_EQ(e.Result, 42);
}
