#pragma once
// The program's data module: the owner of every trace store, so that a store still alive when the
// program ends goes with it. Created before the main window and destroyed after it.

#include "trace/Component.h"

namespace lv {

class TWorkDataOld : public TComponent {
public:
    TWorkDataOld() { SetName("WorkDataOld"); }
    std::string ClassName() const override { return "TWorkDataOld"; }
};

} // namespace lv
