#pragma once
// The operator's settings, window placements and the toolbar layout, kept in the per-user
// settings store QSettings("Lumvaris", "V2.0") (the registry key Software\Lumvaris\V2.0 on
// Windows, ~/.config/Lumvaris/V2.0.conf on Linux), one group per window class ("TMainForm",
// "TDisplayParamsFrm", …). Values are text: integers and booleans as decimal text (booleans 0 or
// 1), read back by decimal conversion with the default for a missing, empty or non-numeric value.
// "MainCoolBar" alone is binary.

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "trace/MainSettings.h"

class QMainWindow;
class QSettings;
class QToolBar;
class QWidget;

namespace lv {

class IPersistentGraph;

extern const char* const kSettingsOrganization; // "Lumvaris"
extern const char* const kSettingsApplication;  // "V2.0"
extern const char* const kMainFormSection;      // "TMainForm"
extern const char* const kMsgSettingsSaveError; // "Ошибка при записи настроек интерфейса.\r\n…"

// The settings store of the program.
std::unique_ptr<QSettings> OpenSettings();

// ---- main window values ----------------------------------------------------------------------

// Reads the values of `section`. The clamps of trace/MainSettings.h are applied on reading too,
// so that a value edited by hand cannot reach the windows out of range.
TMainSettings ReadMainSettings(QSettings& settings, int clientHeight,
                               const QString& section = kMainFormSection);
// Writes every value in the table order, clamped as stored.
void WriteMainSettings(QSettings& settings, const TMainSettings& values,
                       const QString& section = kMainFormSection);

// Text-valued reads of the current group, shared with the other windows' settings.
int ReadIntValue(const QSettings& settings, const QString& name, int defaultValue);
bool ReadBoolValue(const QSettings& settings, const QString& name, bool defaultValue);
QString ReadTextValue(const QSettings& settings, const QString& name, const QString& defaultValue = {});
void WriteIntValue(QSettings& settings, const QString& name, int value);
void WriteBoolValue(QSettings& settings, const QString& name, bool value);

// ---- window placement -------------------------------------------------------------------------

// The placement record every window that keeps its geometry stores in its own group.
struct TWindowPlacement {
    int FormVersion = 0;
    int Flags = 0;          // 2: restores to maximized (a minimized maximized window)
    int ShowCmd = 1;        // 1, 5, 9 normal; 2, 6, 7 minimized; 3 maximized
    int PixelsPerInch = 96; // screen resolution when saved
    QPoint MinPosition{-1, -1};
    QPoint MaxPosition{-1, -1};
    QRect NormalGeometry; // stored as "left,top,right,bottom" with right and bottom exclusive
    bool Visible = false;
    bool Minimized() const { return ShowCmd == 2 || ShowCmd == 6 || ShowCmd == 7; }
    bool Maximized() const { return ShowCmd == 3; }
};

// "NormPos" → "NormPos(1024x768)".
QString ScreenQualifiedName(const QString& name, const QSize& screenSize);
// The screen size and resolution a widget's placement is stored for.
QSize PlacementScreenSize(const QWidget& widget);
int PlacementPixelsPerInch(const QWidget& widget);

TWindowPlacement CaptureWindowPlacement(const QWidget& widget, int formVersion = 0);
// Into the current group: "FormVersion", "Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos" and
// "NormPos" (each under the plain and the screen-qualified name), "Visible".
void WriteWindowPlacement(QSettings& settings, const TWindowPlacement& placement, const QSize& screenSize);
// From the current group, the screen-qualified names preferred; nullopt without a usable "NormPos".
std::optional<TWindowPlacement> ReadWindowPlacement(const QSettings& settings, const QSize& screenSize);
// Applies a stored placement: nothing when its version is lower than `formVersion`; positions
// only at the same resolution (a fixed-size window keeps its size); the minimized or maximized
// state. A position off every screen is moved onto the primary one. False when nothing applied.
bool ApplyWindowPlacement(QWidget& widget, const TWindowPlacement& placement, int formVersion = 0);

void SaveWindowPlacement(QSettings& settings, const QString& section, const QWidget& widget,
                         int formVersion = 0);
bool RestoreWindowPlacement(QSettings& settings, const QString& section, QWidget& widget,
                            int formVersion = 0);

// ---- toolbar layout ("MainCoolBar") -------------------------------------------------------------

// One band of the rebar: position among the bands, whether it starts a new line, width in pixels.
struct TCoolBandRecord {
    int32_t Index = 0;
    bool Break = false;
    int32_t Width = 0;
    bool operator==(const TCoolBandRecord&) const = default;
};
// Four records in the fixed order ToolBar1 … ToolBar4 (not in band order).
using TCoolBarLayout = std::array<TCoolBandRecord, 4>;
constexpr int kCoolBarBytes = 48;

// 4 × 12 bytes: index (int32 LE), break flag (1 byte), 3 padding bytes, width (int32 LE).
QByteArray EncodeCoolBar(const TCoolBarLayout& layout);
// nullopt unless exactly 48 bytes.
std::optional<TCoolBarLayout> DecodeCoolBar(const QByteArray& bytes);

// The layout of up to four toolbars (null entries are skipped and keep a zero record), read from
// their places in the window's top toolbar area.
TCoolBarLayout CaptureToolBarLayout(const QMainWindow& window, const std::array<QToolBar*, 4>& toolBars);
// Re-inserts the toolbars into the top area in the stored order with line breaks where stored.
// Qt's toolbar area sizes the toolbars itself: stored widths are not imposed.
void ApplyToolBarLayout(QMainWindow& window, const std::array<QToolBar*, 4>& toolBars,
                        const TCoolBarLayout& layout);

// ---- the main window as a whole -----------------------------------------------------------------

struct TMainFormParts {
    QMainWindow* Window = nullptr;
    std::array<QToolBar*, 4> ToolBars{};
    IPersistentGraph* MainGraph = nullptr;
    QString GraphDataPath; // empty: MainGraphDataPath()
    int ClientHeight = -1; // < 0: the window's height less its menu bar, after the placement
};

// Applies the placement, reads the values, applies "MainCoolBar" (when exactly 48 bytes) and
// loads "MainGraphData.dat" into the graph. Missing values give their defaults; nothing is shown.
TMainSettings RestoreMainForm(QSettings& settings, const TMainFormParts& parts);
// Writes the placement, the values, "MainCoolBar" and "MainGraphData.dat", and checks that the
// store was written. On any failure shows kMsgSettingsSaveError (OK) and answers false.
bool SaveMainForm(QSettings& settings, const TMainFormParts& parts, const TMainSettings& values);

} // namespace lv
