// View > Key History: beside the calculator, the keys it took, named as its [2nd] and
// [ALPHA] made them, newest last; Copy puts the list on the clipboard as text. For
// teachers who show the calculator, and for videos.
#pragma once

#include <QDialog>
#include <cstdint>

class QListWidget;

namespace vantrel {

class Calculator;

class KeyHistoryPanel : public QDialog {
    Q_OBJECT
public:
    explicit KeyHistoryPanel(Calculator& calculator, QWidget* parent = nullptr);

    // At the window's timer: takes up keys added since.
    void refresh();

private:
    Calculator& calculator_;
    QListWidget* list_ = nullptr;
    uint64_t shownChanges_ = UINT64_MAX;
};

}  // namespace vantrel
