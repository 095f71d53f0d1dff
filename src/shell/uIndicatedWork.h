#pragma once
// Long work of the reports and the folder sets under the modal progress window: the work runs once
// the window is on screen, and while it tells its steps the window repaints and its Cancel button
// is heard.

#include <QElapsedTimer>
#include <QString>

#include <functional>

#include "trace/Progress.h"

namespace lv {

class TIndicatedProgress : public IProgress {
public:
    TIndicatedProgress();
    // Lets the window's events through, at most every 50 ms: the steps of a fast loop cost nothing.
    void Step(int done, int total, const std::string& text) override;
    bool Cancelled() const override { return m_cancelled; }
    void Cancel() { m_cancelled = true; }

private:
    QElapsedTimer m_sinceEvents;
    bool m_cancelled = false;
};

// RunIndicated with `caption` and `message` around `work`; with `cancellable` the window's Cancel
// button stops the work at its next step. An exception of the work is raised again here.
void RunIndicatedWork(const QString& caption, const QString& message,
                      const std::function<void(IProgress&)>& work, bool cancellable = true);

} // namespace lv
