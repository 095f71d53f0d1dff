#pragma once
// Helpers for driving modal windows from a test: the action runs as soon as a modal window is on
// screen (the test's code after exec() would otherwise never get the chance).

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace lvtest {

// Runs `action` on the first modal window other than `notThis` that appears (polling every 10 ms,
// giving up after 10 s so that a test that waits for nothing fails instead of hanging).
inline void WhenModal(std::function<void(QWidget*)> action, QWidget* notThis = nullptr) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QPointer<QWidget> skip(notThis);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, skip, notThis] {
        QWidget* w = QApplication::activeModalWidget();
        const bool ready = w && w->isVisible() && !(notThis && w == skip.data());
        if (!ready && clock->elapsed() < 10000) return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (ready)
            action(w);
        else if (QWidget* any = QApplication::activeModalWidget())
            any->close();
    });
    timer->start(10);
}

// The button of `w` whose text is `text`.
inline QPushButton* ButtonText(QWidget* w, const QString& text) {
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

// Under a display (QT_QPA_PLATFORM=xcb, xdotool on the path) clicks go through the X server.
inline bool OnDisplay() {
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

// Clicks `at` in `w` (through the X server when there is one) and runs the event loop until
// `done` holds, at most 10 s.
inline void ClickAndWait(QWidget* w, QPoint at, const std::function<bool()>& done) {
    if (OnDisplay()) {
        const QPoint g = w->mapToGlobal(at);
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(g.x()),
                           QString::number(g.y()), QStringLiteral("click"), QStringLiteral("1")});
    } else {
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w, &e);
        }
    }
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace lvtest
