#pragma once
// Long work (opening a folder set, reports, batch conversion) tells how far it is and learns
// whether the operator cancelled. The shell shows this in its progress window; the command-line
// tool and tests pass the silent one.

#include <string>

namespace lv {

class IProgress {
public:
    virtual ~IProgress() = default;
    // `done` of `total` steps; `text` says what is being done now (may be empty).
    virtual void Step(int done, int total, const std::string& text) = 0;
    // True once the operator asked to stop; the work stops at its next safe point.
    virtual bool Cancelled() const = 0;
};

class TSilentProgress : public IProgress {
public:
    void Step(int, int, const std::string&) override {}
    bool Cancelled() const override { return false; }
};

} // namespace lv
