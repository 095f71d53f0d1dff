#pragma once
// "MainGraphData.dat": the main graph's persistent display properties (fonts, colours, grids,
// rulers, labels, header content, display method, cursor, print settings) in the per-user
// configuration folder.
//
// The graph hands over and takes back its properties as name → QVariant; the file is UTF-8 text:
//
//   # Lumvaris: свойства отображения основного графика
//   LumvarisGraphData=1
//   CursorType=int:1
//   XGridsColor=int:32768
//   HeaderFont=font:Arial,10,-1,5,700,0,0,0,0,0,0,0,0,0,0,1
//   XLabelUnits=text:км
//
// Value kinds: bool (0/1), int, real, text (backslash escapes \\ \n \r), font (QFont::toString),
// color (#aarrggbb). Lines that do not parse, unknown kinds and names the graph refuses are
// skipped; a file without the version line, or of another version, is ignored as a whole; a
// missing file leaves the graph's built-in defaults. The file is replaced atomically.

#include <QString>
#include <QVariantMap>

namespace lv {

// What the main graph offers for persistence.
class IPersistentGraph {
public:
    virtual ~IPersistentGraph() = default;
    // The properties to keep (those that differ from the built-in defaults are enough: a
    // property missing from the file keeps its default). Values must be of a kind listed above.
    virtual QVariantMap PersistentProperties() const = 0;
    // Applies one stored property; false when the name is unknown or the value unusable.
    virtual bool ApplyPersistentProperty(const QString& name, const QVariant& value) = 0;
};

extern const char* const kGraphDataFileName; // "MainGraphData.dat"
constexpr int kGraphDataVersion = 1;

// The file in the per-user configuration folder beside the settings file:
// "<config>/Lumvaris/V2.0/MainGraphData.dat" (named after the settings store, not after the
// application's name, which names its windows).
QString MainGraphDataPath();

QByteArray EncodeGraphData(const QVariantMap& properties);
QVariantMap DecodeGraphData(const QByteArray& bytes);

// Writes the file atomically, creating its folder; raises lv::Exception (EFileError) on failure
// and lv::EConvertError for a value of a kind the file cannot hold.
void WriteGraphDataFile(const QString& path, const QVariantMap& properties);
// The properties of the file; empty when it is missing, unreadable or not ours.
QVariantMap ReadGraphDataFile(const QString& path);

void SaveMainGraphData(const IPersistentGraph& graph, const QString& path = MainGraphDataPath());
// Applies what the file holds; answers the number of properties the graph accepted.
int LoadMainGraphData(IPersistentGraph& graph, const QString& path = MainGraphDataPath());

} // namespace lv
