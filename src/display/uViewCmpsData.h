#pragma once
// The curves of a graph view. A TGDataItem is a client of one data store (a trace store in this
// program) and draws it as a curve; a TGData is the view's ordered list of items: it decides the
// active item (the first one with data), picks curve colours, reacts to changes and lets the
// view adopt the extents of new data. A TGraphChanger is the small button pair that cycles the
// active curve.
//
// Stores may notify from inside their own operations; an item then only refreshes its cached
// values and posts a notice that names it (by a serial number, never by a list index that may
// have moved). The list handles the notice from the event loop after the store's call has
// returned, and drops it when the item has left the list meanwhile.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "display/CurveReduce.h"
#include "display/GraphColors.h"
#include "display/uMsgRsv.h"
#include "trace/Component.h"
#include "trace/RealRect.h"
#include "trace/uDeviceIntfs.h"

namespace lv {

class TGraphView;
class TGContentPainter;
class TGData;

// Change codes of the item list.
enum TItemChange : int { icRemoved = 1, icInserted = 2, icDataChanged = 3, icOrderChanged = 4 };

// The notice an item posts to its list when its store changed.
constexpr TMessageValue kItemChangedNotice = 257;

class TGDataItem : public TIDataClient {
public:
    // Inserts the item at index 0 of `owner` (which then owns it; nullptr: no list).
    explicit TGDataItem(TGData* owner);
    // Leaves its list (icRemoved) and its store (which may free itself).
    ~TGDataItem() override;

    void Notify(TIDataStorage* sender, TStorageNotifyAction& action) override;
    // Takes over the store's label, last index, display method, bounds and step (only with data).
    virtual void RefreshFromStore();
    // Draws the curve by the view's display method (see CurveReduce.h).
    virtual void Paint(TGContentPainter& gp);
    // The curve's value at world x: linear between samples, false outside the curve or without
    // data.
    virtual bool ValueAt(double& value, double x);
    std::optional<double> ValueAt(double x) {
        double v = 0;
        return ValueAt(v, x) ? std::optional<double>(v) : std::nullopt;
    }

    TGData* Owner() const { return m_owner; }
    // Moves the item to another list (icRemoved in the old one, icInserted at index 0 of the new).
    void SetOwner(TGData* owner);
    TGraphView* View() const;
    // The store has data and setup and the item is enabled.
    bool Valid() const { return HasData(); }
    // Names the item in its notices for as long as it lives; never reused.
    uint64_t Serial() const { return m_serial; }

    const QString& Caption() const { return m_caption; }
    // With the store's setup present the label goes into the store, else only into the item.
    void SetCaption(const QString& caption);
    QString FileName() { return QString::fromStdString(GetFileName()); }
    TColor Colour() const { return m_colour; }
    // Clears NeedsColour; a changed colour of a shown curve repaints the content.
    void SetColour(TColor colour);
    bool NeedsColour() const { return m_needsColour; }
    void SetNeedsColour(bool v) { m_needsColour = v; }
    // The store's bounds: first sample X, lowest value, last sample X, highest value.
    const TRealRect& Extents() const { return m_extents; }
    double Step() const { return m_step; }
    int LastIndex() const { return m_lastIndex; }
    uint8_t OwnDisplayMethod() const { return m_ownDisplayMethod; }

private:
    friend class TGData;
    // The samples, handed back to the store when the lock goes.
    class TSampleLock;

    TGData* m_owner = nullptr;
    uint64_t m_serial;
    QString m_caption;
    TColor m_colour = clWhite;
    bool m_needsColour = true;
    TRealRect m_extents;
    double m_step = 0;
    int m_lastIndex = 0;
    uint8_t m_ownDisplayMethod = 0;
    TMessager m_messager;
    std::vector<QPoint> m_points; // the polyline, kept to spare allocations
};

class TGData {
public:
    // Sender, change code, in-out allow, index.
    using TBeforeChangeEvent = std::function<void(TGData* sender, int code, bool& allow, int index)>;
    using TAfterChangeEvent = std::function<void(TGData* sender, int code, int index)>;

    explicit TGData(TGraphView* view);
    ~TGData();
    TGData(const TGData&) = delete;
    TGData& operator=(const TGData&) = delete;

    TGraphView* View() const { return m_view; }
    int Count() const { return int(m_items.size()); }
    // nullptr when out of range.
    TGDataItem* Item(int index) const;
    int IndexOf(const TGDataItem* item) const;
    // The first item with data.
    TGDataItem* ActiveItem() const;
    // The union of the extents of the items with data, widened by the view's margins; a zero
    // rectangle when there is none.
    TRealRect DataExtents() const;
    // The colour of the order used by the fewest coloured items (the content background counts
    // as used by everybody); the earlier one on a tie.
    TColor PickColour() const;
    // With at least two items with data: up moves the active item to the end, down moves the last
    // item with data to the front. Then icOrderChanged.
    void CycleItems(bool up);
    // Swaps two items without any report (printing makes an item active for one picture).
    void Exchange(int i, int j);
    // Draws the items from the last to the first, so the active curve is on top.
    void Paint(TGContentPainter& gp);
    // `item` has data and no other item has.
    bool IsSole(const TGDataItem* item) const;
    // Suspends every item's store while the mouse drags something; ReleaseStores resumes the
    // stores of the matching HoldStores (nested holds are fine, stores gone meanwhile skipped).
    void HoldStores();
    void ReleaseStores();
    int HoldDepth() const { return int(m_held.size()); }
    // Frees every item.
    void Clear();
    // What follows a change of the list or of an item (see the change codes).
    void Changed(int code, int index);
    // Lets the view adopt the item's extents (sole: the only item with data; fit: sole, or the
    // active item just inserted or changed, while its store is not ready).
    void AdoptItemExtents(TGDataItem* item, int code);

    TReceiver* Receiver() const { return m_receiver.get(); }

    TBeforeChangeEvent BeforeChange;
    TAfterChangeEvent AfterChange;

private:
    friend class TGDataItem;
    friend class TGraphView;
    void insert(TGDataItem* item, int index);
    void remove(TGDataItem* item);
    TMessageValue onNotice(TMessageValue first, TMessageValue second);
    // The view goes: no more reports, no more notices.
    void beginDestroy();

    TGraphView* m_view;
    std::vector<TGDataItem*> m_items; // owned
    std::unique_ptr<TReceiver> m_receiver;
    TGDataItem* m_active = nullptr; // as last reported
    bool m_activeRemoved = false;   // the reported active item left the list since
    bool m_destroying = false;
    std::vector<std::vector<TComponentRef<TIDataStorage>>> m_held;
};

extern const char* const kMsgChangerParent; // "Родительский компонент для перемещателя графиков ..."

// Two arrow buttons, 13 x 24 pixels, at the top-left corner of a graph view: the upper one makes
// the next curve active, the lower one the last curve with data.
class TGraphChanger : public QWidget {
public:
    explicit TGraphChanger(TGraphView* view);
    // The parent must be a graph view; anything else raises EInvalidOperation.
    void SetParentView(QWidget* parent);
    TGraphView* View() const;
    // Presses a button as the mouse does.
    void Click(bool up);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_pressed = 0; // 1 up, -1 down
};

} // namespace lv
