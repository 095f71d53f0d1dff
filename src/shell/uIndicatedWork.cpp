#include "shell/uIndicatedWork.h"

#include <QCoreApplication>

#include "shell/Commonun.h"

namespace lv {

namespace {
constexpr qint64 kEventsEveryMs = 50;
} // namespace

TIndicatedProgress::TIndicatedProgress() {
    m_sinceEvents.start();
}

void TIndicatedProgress::Step(int, int, const std::string&) {
    if (m_sinceEvents.elapsed() < kEventsEveryMs) return;
    QCoreApplication::processEvents();
    m_sinceEvents.restart();
}

void RunIndicatedWork(const QString& caption, const QString& message,
                      const std::function<void(IProgress&)>& work, bool cancellable) {
    TIndicatedProgress progress;
    std::function<void()> cancel;
    if (cancellable) cancel = [&progress] { progress.Cancel(); };
    RunIndicated(caption, message, cancel, [&] { work(progress); });
}

} // namespace lv
