#include "display/uViewCmpsData.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <algorithm>
#include <climits>
#include <cmath>

#include "display/uViewCmps.h"
#include "trace/Numeric.h"

namespace lv {

const char* const kMsgChangerParent =
    "Родительский компонент для перемещателя графиков должен быть наследником TGraphView";

namespace {

uint64_t nextSerial() {
    static uint64_t serial = 0; // window thread only
    return ++serial;
}

} // namespace

// --- TGDataItem ------------------------------------------------------------------------------------

// A lock on the store's samples for one paint or one reading; given back in every case.
class TGDataItem::TSampleLock {
public:
    explicit TSampleLock(TIDataStorage* store) {
        if (!store) return;
        m_data = store->LockData();
        m_store = store;
    }
    ~TSampleLock() {
        if (m_store) m_store->UnlockData();
    }
    TSampleLock(const TSampleLock&) = delete;
    TSampleLock& operator=(const TSampleLock&) = delete;

    const double* Values() const { return m_data ? m_data->Samples() : nullptr; }
    int Count() const { return Values() ? m_data->SampleCount() : 0; }

private:
    TIDataStorage* m_store = nullptr;
    PDataStruct m_data;
};

TGDataItem::TGDataItem(TGData* owner) : m_serial(nextSerial()) {
    if (owner) owner->insert(this, 0);
}

TGDataItem::~TGDataItem() {
    // Leaving the list first: the detach notice the store sends now has nobody to go to.
    if (m_owner) m_owner->remove(this);
    SetStorage(nullptr);
}

TGraphView* TGDataItem::View() const {
    return m_owner ? m_owner->View() : nullptr;
}

void TGDataItem::Notify(TIDataStorage* sender, TStorageNotifyAction& action) {
    TIDataClient::Notify(sender, action);
    const auto post = [this] {
        m_messager.Broadcast(kItemChangedNotice, TMessageValue(m_serial), TMessager::mdPost);
    };
    switch (action) {
    case snaDataChanged:
    case snaSetupChanged:
        RefreshFromStore();
        post();
        break;
    case snaDetached:
    case snaDestroying:
        post();
        break;
    default:
        break;
    }
}

void TGDataItem::RefreshFromStore() {
    if (!Valid()) return;
    TIDataStorage* s = Storage();
    m_caption = QString::fromStdString(s->GetComment());
    m_lastIndex = s->GetLastIndex();
    m_ownDisplayMethod = s->GetDisplayMethod();
    m_extents = {s->GetBound(bkFirstX), s->GetBound(bkMinLevel), s->GetBound(bkLastX),
                 s->GetBound(bkMaxLevel)};
    m_step = s->GetStep();
}

void TGDataItem::SetOwner(TGData* owner) {
    if (owner == m_owner) return;
    if (m_owner) m_owner->remove(this);
    if (owner) owner->insert(this, 0);
}

void TGDataItem::SetCaption(const QString& caption) {
    TIDataStorage* s = Storage();
    if (s && s->SetupPresent()) s->SetComment(caption.toStdString());
    if (m_caption == caption) return;
    m_caption = caption;
    TGraphView* view = View();
    if (view && m_owner->ActiveItem() == this) view->InvalidateArea(woHeader);
}

void TGDataItem::SetColour(TColor colour) {
    m_needsColour = false;
    if (m_colour == colour) return;
    m_colour = colour;
    TGraphView* view = View();
    if (view && Valid()) {
        view->InvalidateArea(woContent);
        if (m_owner->ActiveItem() == this) view->InvalidateArea(woHeader);
    }
}

void TGDataItem::Paint(TGContentPainter& gp) {
    if (!Valid()) return;
    QPainter* p = gp.Canvas();
    if (!p) return;
    // A curve outside the window is not even locked.
    auto range = VisibleSampleRange(m_extents.XMin, m_extents.XMax, m_step, gp.PaintXMin(), gp.PaintXMax());
    if (!range) return;
    TGraphView* view = View();
    int method = view ? view->DisplayMethod() : dmSelf;
    if (method == dmSelf) method = m_ownDisplayMethod;
    const TDisplayMethod effective = EffectiveMethod(method);

    TSampleLock lock(Storage());
    const int n = lock.Count();
    if (n <= 0) return;
    const int first = range->first;
    const int last = ClampLastSample(range->second, n, m_lastIndex);
    if (first > last) return;
    const TCurveSamples samples{lock.Values(), n, m_extents.XMin, m_step};
    // The trace's one summary and its sums, shared with every other view of it; each is built
    // for the methods that need it (and without them the groups are read sample by sample).
    const TSampleSummary* summary =
        effective == dmMax || effective == dmLinkLine ? Storage()->SampleSummary() : nullptr;
    const TSampleSums* sums = effective == dmAverage ? Storage()->SampleSums() : nullptr;
    const TGraphGeometry& g = gp.Geometry();
    ReduceCurve(samples, first, last, effective, g.XMap(), g.YMap(), summary, sums, m_points);
    if (m_points.empty()) return;
    p->save();
    p->setPen(QPen(ColorToQColor(view && view->Monochrome() ? clBlack : m_colour), 1));
    DrawCurvePoints(*p, m_points);
    p->restore();
}

bool TGDataItem::ValueAt(double& value, double x) {
    if (!Valid()) return false;
    if (!(x >= m_extents.XMin && x <= m_extents.XMax)) return false;
    try {
        TSampleLock lock(Storage());
        const int n = lock.Count();
        if (n <= 0) return false;
        const double* s = lock.Values();
        const int last = ClampLastSample(n - 1, n, m_lastIndex);
        // The last sample's own X reads that sample, whatever the division below rounds to.
        if (x >= m_extents.XMax) {
            value = s[last];
            return true;
        }
        auto t = SafeDivide(x - m_extents.XMin, m_step);
        if (!t) return false;
        auto i = FloorToInt64(*t);
        if (!i) return false;
        if (*i < 0)
            value = s[0];
        else if (*i < last)
            value = s[*i] + (*t - double(*i)) * (s[*i + 1] - s[*i]);
        else
            value = s[last];
        return true;
    } catch (...) {
        return false;
    }
}

// --- TGData ----------------------------------------------------------------------------------------

TGData::TGData(TGraphView* view) : m_view(view), m_receiver(std::make_unique<TReceiver>()) {
    m_receiver->OnMessage = [this](TMessageValue first, TMessageValue second) {
        return onNotice(first, second);
    };
}

TGData::~TGData() {
    beginDestroy();
    Clear();
    m_view = nullptr;
}

void TGData::beginDestroy() {
    m_destroying = true;
    // Notices still queued for the list are dropped with its receiver.
    m_receiver.reset();
}

TGDataItem* TGData::Item(int index) const {
    return index >= 0 && index < Count() ? m_items[size_t(index)] : nullptr;
}

int TGData::IndexOf(const TGDataItem* item) const {
    auto it = std::find(m_items.begin(), m_items.end(), item);
    return it == m_items.end() ? -1 : int(it - m_items.begin());
}

TGDataItem* TGData::ActiveItem() const {
    for (TGDataItem* item : m_items)
        if (item->Valid()) return item;
    return nullptr;
}

bool TGData::IsSole(const TGDataItem* item) const {
    if (!item || !item->Valid()) return false;
    for (const TGDataItem* other : m_items)
        if (other != item && other->Valid()) return false;
    return true;
}

TRealRect TGData::DataExtents() const {
    TRealRect u;
    bool any = false;
    for (const TGDataItem* item : m_items) {
        if (!item->Valid()) continue;
        const TRealRect& e = item->Extents();
        if (!any) {
            u = e;
            any = true;
        } else {
            u = {std::min(u.XMin, e.XMin), std::min(u.YMin, e.YMin), std::max(u.XMax, e.XMax),
                 std::max(u.YMax, e.YMax)};
        }
    }
    if (!any || !m_view) return u;
    return WithMargins(u, m_view->MinXMargin(), m_view->MaxXMargin(), m_view->MinYMargin(),
                       m_view->MaxYMargin());
}

TColor TGData::PickColour() const {
    const TColorOrder& order = m_view ? m_view->ColorOrder() : kDefaultColorOrder;
    TColor best = order[0];
    int bestCount = INT_MAX;
    for (TColor c : order) {
        int count = 0;
        if (m_view && c == m_view->ContentBkColor()) {
            count = Count();
        } else {
            for (const TGDataItem* item : m_items)
                if (!item->NeedsColour() && item->Colour() == c) ++count;
        }
        if (count < bestCount) {
            best = c;
            bestCount = count;
        }
    }
    return best;
}

void TGData::CycleItems(bool up) {
    std::vector<TGDataItem*> withData;
    for (TGDataItem* item : m_items)
        if (item->Valid()) withData.push_back(item);
    if (withData.size() < 2) return;
    TGDataItem* moved = up ? withData.front() : withData.back();
    m_items.erase(m_items.begin() + IndexOf(moved));
    if (up)
        m_items.push_back(moved);
    else
        m_items.insert(m_items.begin(), moved);
    Changed(icOrderChanged, 0);
}

void TGData::Exchange(int i, int j) {
    if (i < 0 || j < 0 || i >= Count() || j >= Count() || i == j) return;
    std::swap(m_items[size_t(i)], m_items[size_t(j)]);
}

void TGData::Paint(TGContentPainter& gp) {
    for (int i = Count() - 1; i >= 0; --i) {
        TGDataItem* item = m_items[size_t(i)];
        if (m_view && !m_view->PaintsItem(item)) continue;
        try {
            item->Paint(gp);
        } catch (...) {
            // A curve that cannot be drawn leaves the others standing.
        }
    }
}

void TGData::HoldStores() {
    std::vector<TComponentRef<TIDataStorage>> held;
    for (TGDataItem* item : m_items) {
        TIDataStorage* s = item->Storage();
        if (!s) continue;
        if (std::any_of(held.begin(), held.end(), [s](const auto& r) { return r.get() == s; })) continue;
        held.emplace_back(s);
        s->SuspendDevice(false);
    }
    m_held.push_back(std::move(held));
}

void TGData::ReleaseStores() {
    if (m_held.empty()) return;
    std::vector<TComponentRef<TIDataStorage>> held = std::move(m_held.back());
    m_held.pop_back();
    for (const auto& ref : held)
        if (TIDataStorage* s = ref.get()) s->SuspendDevice(true);
}

void TGData::Clear() {
    // From the last: the active item, if any, goes last.
    while (!m_items.empty())
        delete m_items.back();
}

void TGData::insert(TGDataItem* item, int index) {
    index = std::clamp(index, 0, Count());
    m_items.insert(m_items.begin() + index, item);
    item->m_owner = this;
    if (m_receiver) item->m_messager.AddReceiver(m_receiver.get());
    Changed(icInserted, index);
}

void TGData::remove(TGDataItem* item) {
    const int index = IndexOf(item);
    if (index < 0) return;
    m_items.erase(m_items.begin() + index);
    if (m_receiver) item->m_messager.RemoveReceiver(m_receiver.get());
    item->m_owner = nullptr;
    // The cache must not keep a pointer to an item on its way out, but its loss must still be
    // reported when no other item takes over.
    if (m_active == item) {
        m_active = nullptr;
        m_activeRemoved = true;
    }
    Changed(icRemoved, index);
}

TMessageValue TGData::onNotice(TMessageValue first, TMessageValue second) {
    if (first != kItemChangedNotice) return 0;
    // The item is looked up now: it may have moved, or be gone.
    for (int i = 0; i < Count(); ++i)
        if (m_items[size_t(i)]->Serial() == uint64_t(second)) {
            Changed(icDataChanged, i);
            break;
        }
    return 0;
}

void TGData::Changed(int code, int index) {
    if (m_destroying) return;
    bool allow = true;
    if (BeforeChange) BeforeChange(this, code, allow, index);
    TGDataItem* active = ActiveItem();
    if (m_view) m_view->updateChanger();
    if (allow) {
        TGDataItem* inserted = code == icInserted ? Item(index) : nullptr;
        if (inserted && inserted->NeedsColour()) {
            inserted->m_colour = PickColour();
            inserted->m_needsColour = false;
        }
        if (m_view) {
            if (active != m_active || m_activeRemoved) {
                m_active = active;
                m_activeRemoved = false;
                m_view->DoActiveItemChanged(active);
                if (!active) m_view->InvalidateArea(woHeader);
            }
            TGDataItem* item = code == icDataChanged ? Item(index) : code == icInserted ? inserted : active;
            m_view->DoItemChanged(item, item && item == active);
            if (item && item->Valid())
                AdoptItemExtents(item, code);
            else if (code != icInserted)
                m_view->InvalidateArea(woContent);
        }
    }
    if (AfterChange) AfterChange(this, code, index);
}

void TGData::AdoptItemExtents(TGDataItem* item, int code) {
    if (!m_view || !item || !item->Valid()) return;
    const bool sole = IsSole(item);
    const bool fresh = item == ActiveItem() && (code == icInserted || code == icDataChanged);
    TIDataStorage* store = item->Storage();
    const bool fit = (sole || fresh) && !(store && store->IsReady());
    m_view->AdoptExtents(item->Extents(), sole, fit);
    // The view has taken the loaded data over: later changes of the trace (its start point, a
    // caption) must not fit it again and throw away the operator's zoom.
    if (fit && store) store->Accept(0);
}

// --- TGraphChanger ---------------------------------------------------------------------------------

TGraphChanger::TGraphChanger(TGraphView* view) {
    setFixedSize(13, 24);
    SetParentView(view);
}

void TGraphChanger::SetParentView(QWidget* parent) {
    auto* view = dynamic_cast<TGraphView*>(parent);
    if (!view) throw EInvalidOperation(kMsgChangerParent);
    setParent(view->viewport());
    move(0, 0);
}

TGraphView* TGraphChanger::View() const {
    return parentWidget() ? dynamic_cast<TGraphView*>(parentWidget()->parentWidget()) : nullptr;
}

void TGraphChanger::Click(bool up) {
    if (!isEnabled()) return;
    if (TGraphView* view = View()) view->Data().CycleItems(up);
}

void TGraphChanger::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (int half = 0; half < 2; ++half) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = QRect(0, half * 12, 13, 12);
        if (m_pressed == (half == 0 ? 1 : -1)) button.state |= QStyle::State_Sunken;
        style()->drawControl(QStyle::CE_PushButtonBevel, &button, &p, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = button.rect.adjusted(2, 2, -2, -2);
        style()->drawPrimitive(half == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                               &arrow, &p, this);
    }
}

void TGraphChanger::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_pressed = event->position().y() < 12 ? 1 : -1;
    update();
}

void TGraphChanger::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_pressed == 0) return;
    const int half = event->position().y() < 12 ? 1 : -1;
    const bool hit = half == m_pressed && rect().contains(event->position().toPoint());
    const bool up = m_pressed == 1;
    m_pressed = 0;
    update();
    if (hit) Click(up);
}

} // namespace lv
