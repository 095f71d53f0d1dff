#pragma once
// Helpers for driving modal windows from a test: the action runs as soon as a modal window is on
// screen (the test's code after exec() would otherwise never get the chance). And for dialogs
// shown: their texts shown whole, their pictures for the README.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
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

// Nothing cut in `shown`: every visible label, button, group title and line edit's text has at
// least the room its font asks for, and every visible child lies inside `shown`. `where` names
// the place in failures.
inline void ExpectShownWhole(QWidget* shown, const std::string& where = {}) {
    for (QWidget* w : shown->findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        const QFontMetrics m(w->font());
        int need = 0;
        if (auto* l = qobject_cast<QLabel*>(w)) need = m.horizontalAdvance(l->text());
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            need = qobject_cast<QPushButton*>(w) ? m.horizontalAdvance(b->text()) + 8 : b->sizeHint().width();
        if (auto* g = qobject_cast<QGroupBox*>(w)) need = m.horizontalAdvance(g->title());
        if (auto* e = qobject_cast<QLineEdit*>(w)) need = m.horizontalAdvance(e->text());
        EXPECT_GE(w->width(), need) << w->objectName().toStdString() << where;
        EXPECT_TRUE(shown->rect().contains(QRect(w->mapTo(shown, QPoint()), w->size())))
            << w->objectName().toStdString() << where;
    }
}

// With LUMVARIS_DIALOG_SHOTS naming a folder, the README's picture of `window` as `name` there
// (tools/dialog-shots.sh, under Xvfb, where the screen shows the window as the desktop would).
inline void SaveDialogShot(QWidget* window, const QString& name) {
    const QByteArray shots = qgetenv("LUMVARIS_DIALOG_SHOTS");
    if (shots.isEmpty()) return;
    const QPixmap picture = QGuiApplication::platformName() == QStringLiteral("xcb")
                                ? window->screen()->grabWindow(window->winId())
                                : window->grab();
    EXPECT_TRUE(picture.save(QString::fromLocal8Bit(shots) + u'/' + name));
}

} // namespace lvtest
