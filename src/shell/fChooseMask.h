#pragma once
// "Выбор маски файлов": the operator picks one of the naming patterns found in a data folder. The
// dialog has no Cancel and no window buttons: a set is always opened by some mask.

#include <QDialog>

#include <vector>

#include "reports/uFolderSets.h"

class QListWidget;

namespace lv {

class TChooseMaskForm : public QDialog {
    Q_OBJECT
public:
    // One line per candidate ("a**", "***"); the first is selected.
    explicit TChooseMaskForm(const std::vector<TFibreMask>& candidates, QWidget* parent = nullptr);

    // The index of the selected line.
    size_t Chosen() const;
    QListWidget* List() const { return m_list; }

    // Escape and the window's close do nothing: only OK ends the dialog.
    void reject() override {}

private:
    QListWidget* m_list = nullptr;
};

// The mask chooser of the processing windows: the dialog over `parent`, run modally.
TMaskChooser DialogMaskChooser(QWidget* parent);

} // namespace lv
