#pragma once
// The operator's settings of the main window as one value: what the other windows, the printed
// pages and the report algorithms read (and some of them change), without knowing the window.
// The shell keeps one and moves it to and from the per-user settings store (shell/uMainSettings).
// Texts are UTF-8; folders end with "/" once chosen.

#include <string>

namespace lv {

// Every value with its default for a first start.
struct TMainSettings {
    int OldGraphPosY = 0;           // graph-area height, pixels (default: client height − 150)
    bool FullScreen = false;        // full-graph layout at start
    bool DoSaveAs = true;           // the toolbar save button runs "save as"
    std::string DataDir;            // data folder, ends with "/" when chosen
    bool ShowSetNum = false;        // print the batch number
    std::string SetNum;             // batch number
    bool ShowWorkerNum = true;      // print the operator (always stored as 1)
    std::string WorkerNum = "0000"; // operator's personnel number or name
    bool ShowFileCaption = false;   // print the trace title
    bool ShowFileName = false;      // print the file name
    bool ParamsBorder = false;      // frame around the printed parameter block
    bool GraphBorder = false;       // frame around the printed graph
    int MarkingType = 2;            // print-queue page layout 0..7 (1..8 frames per page)
    bool SaveBeforePrint = true;    // save all traces into the data folder before printing
    int DistM12 = 1000;             // construction documentation "Расстояние 1-2", metres
    int DistMY3 = 1000;             // "Расстояние Y-3", metres
    int DistM2Y = 1000;             // "Расстояние 2-Y"
    int FibCount = 16;              // "Число волокон", 1..300
    bool AutoFib = true;            // "Автоматически"
    bool CutFib = false;            // "Обрезать"
    std::string FlowTmpFile;        // construction-documentation report template
    std::string FlowDir;            // data folder of the processing windows
};

// The graph-area height for a first start and the replacement of a stored height that does not
// fit: the larger of 50 and the client height less 150.
int FittingGraphHeight(int clientHeight);
// A stored height not smaller than the client height is replaced by FittingGraphHeight.
int ClampGraphHeight(int stored, int clientHeight);
int ClampFibCount(int count);    // 1 … 300
int ClampMarkingType(int index); // outside 0 … 7 → 2
int ClampDistance(int metres);   // 0 or less → 1000

} // namespace lv
