#pragma once
// What the report windows and the report algorithms need of the program around them, declared
// below the shell so that they never include the main window: the main window implements it, a
// test or the command-line tool may implement it otherwise. No Qt here.

#include <string>
#include <vector>

#include "trace/MainSettings.h"

namespace lv {

// The main window's work modes and the sub-folders of their data folders.
enum TProcessingMode : int {
    pmNormal = 0,
    pmConstruction = 1,    // construction documentation: "AB/" and "BA/"
    pmIncoming = 2,        // incoming inspection: "131/" and "155/"
    pmPreInstallation = 3, // pre-installation inspection: "131/" and "155/"
    pmPreInstall = pmPreInstallation,
};

// The markers of the main graph the reports place and follow (MY is the Y marker).
enum class TReportMarker : int { M1, M2, MY, M3 };

class IReportHost {
public:
    virtual ~IReportHost() = default;

    // The operator's settings: data folders, the construction-documentation distances and fibre
    // count, the report template. Changes are kept and saved with the program's settings.
    virtual TMainSettings& Settings() = 0;

    // The work mode (a TProcessingMode).
    virtual int ProcessingMode() const = 0;
    virtual void SetProcessingMode(int mode) = 0;

    // Opens the trace files in list order, each in front of the traces open before (the last one
    // becomes active). A file that fails to load ends the list (earlier ones stay); a failure the
    // trace store raises is raised again. Answers the number of files opened.
    virtual int OpenTraceFiles(const std::vector<std::string>& files) = 0;
    // Closes every open trace.
    virtual void CloseAllTraces() = 0;
    // Saves every trace into the data folder, asking before overwriting; answers how many were
    // saved.
    virtual int SaveTracesBeforePrint() = 0;

    // Positions on the active trace, km; -1 when not placed or without an active trace.
    virtual double CursorPosition() const = 0;
    virtual double MarkerPosition(TReportMarker marker) const = 0;
    // Places a marker on the active trace where the marker order and the curve allow it; a
    // negative position removes it.
    virtual void SetMarkerPosition(TReportMarker marker, double km) = 0;
    virtual void ClearMarkers() = 0;
};

} // namespace lv
