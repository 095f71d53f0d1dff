// The main window's view commands ("В размер окна", "Сохранить окно", "Восстановить окно"), the
// graph's popup menu, the work modes' switch of the window's controls, the interface parameters
// dialog and the construction-documentation parameters dialog.

#include <QAction>
#include <QMenu>
#include <QToolBar>

#include "display/uGraphsCmps.h"
#include "shell/fDisplayParams.h"
#include "shell/fFlowParams.h"
#include "shell/fMainForm.h"

namespace lv {

namespace {

// The popup's items: component, caption, the toolbar button whose command it runs.
struct TPopupItem {
    const char* Name;
    const char* Caption;
    const char* Button;
};
const TPopupItem kPopupItems[] = {
    {"RestoreWnd", "Восстановить размер окна", "RestoreWndBtn"},
    {"SaveWnd", "Запомнить размер окна", "SaveWndBtn"},
    {"FitGraph", "График в размер окна", "FitInWnd1B"},
    {nullptr, nullptr, nullptr}, // separator
    {"Marker1", "Маркер 1", "M1Btn"},
    {"Marker2", "Маркер 2", "M2Btn"},
    {"MarkerY", "Маркер Y", "MYBtn"},
    {"Marker3", "Маркер 3", "M3Btn"},
    {"ClearMarks", "Стереть маркеры", "ClearMarkersBtn"},
    {"SetStart1", "Установить начало трассы", "Start1B"},
    {"SetMuff", "Поставить муфту", "Muff1B"},
    {"SetEnd1", "Установить конец трассы", "End1B"},
};

// The items that copy their button's enabled state when the menu opens; the others (the view
// window's two and the trace start) stay enabled.
const char* const kMirroredItems[] = {"FitGraph", "Marker1", "Marker2", "MarkerY",
                                      "Marker3",  "ClearMarks", "SetMuff", "SetEnd1"};

const char* const kMarkerItems[] = {"Marker1", "Marker2", "MarkerY", "Marker3", "ClearMarks"};
const char* const kSpliceItems[] = {"SetStart1", "SetMuff", "SetEnd1"};
const char* const kMarkerButtons[] = {"M1Btn", "M2Btn", "MYBtn", "M3Btn", "ClearMarkersBtn"};
const char* const kSpliceButtons[] = {"Start1B", "Muff1B", "End1B"};

} // namespace

// ---- view window --------------------------------------------------------------------------------------

void TMainForm::FitInWindow() {
    MainGraph->ShowAll();
}

void TMainForm::SaveViewWindow() {
    SavedViewWindow = MainGraph->GetVisExts();
}

void TMainForm::RestoreViewWindow() {
    const TRealRect& r = SavedViewWindow;
    if (r.XMin < r.XMax && r.YMin < r.YMax)
        MainGraph->ZoomTo(r);
    else
        FitInWindow();
}

// ---- the popup menu -------------------------------------------------------------------------------------

void TMainForm::createGraphPopup() {
    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("PopupMenu1"));
    for (const TPopupItem& item : kPopupItems) {
        if (!item.Name) {
            m_popup->addSeparator();
            continue;
        }
        QAction* a = m_popup->addAction(QString::fromUtf8(item.Caption));
        a->setObjectName(QString::fromLatin1(item.Name));
        // The button's command as it stands when the item is chosen; a button without one (the
        // splice buttons outside construction documentation) is a disabled action: nothing runs.
        const QString button = QString::fromLatin1(item.Button);
        connect(a, &QAction::triggered, this, [this, button] { Command(button)->trigger(); });
    }
    MainGraph->SetPopupMenu(m_popup);
    MainGraph->OnPopup = [this](TGraphView*) { popupOpening(); };
    applyModeToControls();
}

QAction* TMainForm::PopupItem(const QString& name) const {
    return m_popup->findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

void TMainForm::popupOpening() {
    // The buttons as of now: showing or hiding the cursor reports nothing to them.
    updateMarkerButtons(MainGraph->CursorX());
    for (const TPopupItem& item : kPopupItems) {
        if (!item.Name) continue;
        const QString name = QString::fromLatin1(item.Name);
        bool mirrored = false;
        for (const char* m : kMirroredItems)
            mirrored = mirrored || name == QLatin1String(m);
        PopupItem(name)->setEnabled(!mirrored || Command(QString::fromLatin1(item.Button))->isEnabled());
    }
}

// ---- work modes ---------------------------------------------------------------------------------------

void TMainForm::SetProcessingMode(int mode) {
    m_processingMode = mode;
    applyModeToControls();
}

void TMainForm::applyModeToControls() {
    // Construction documentation places splices and the trace's ends instead of markers; the
    // inspection modes keep the markers, which their protocols read.
    const bool construction = m_processingMode == pmConstruction;
    for (const char* n : kMarkerItems)
        PopupItem(QString::fromLatin1(n))->setVisible(!construction);
    for (const char* n : kSpliceItems)
        PopupItem(QString::fromLatin1(n))->setVisible(construction);
    for (const char* n : kMarkerButtons)
        Command(QString::fromLatin1(n))->setVisible(!construction);
    for (const char* n : kSpliceButtons)
        Command(QString::fromLatin1(n))->setVisible(construction);
    if (m_spliceDivider) m_spliceDivider->setVisible(construction);
}

// ---- the interface parameters ------------------------------------------------------------------------

void TMainForm::DisplayParamsCommand() {
    TDisplayParamsFrm dialog(ReadDisplayParams(*MainGraph, m_settings), this);
    if (dialog.exec() != QDialog::Accepted) return;
    // The dialog checked the values: applying them cannot fail, and the graph repaints once.
    TGraphView::TUpdateGuard guard(*MainGraph);
    ApplyDisplayParams(dialog.Params(), *MainGraph, m_settings);
}

void TMainForm::FlowParamsCommand() {
    TFlowParamsFrm dialog(FlowParamsOf(m_settings), m_processingMode, this);
    if (dialog.exec() != QDialog::Accepted) return;
    // Taken up by the next splice placed and the next report.
    StoreFlowParams(m_settings, dialog.Params());
}

} // namespace lv
