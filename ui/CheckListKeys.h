#pragma once

#include <QObject>

class QTableWidget;

// The account list is one stop of the window's tab order, used from the keyboard as a list:
// Tab and Shift+Tab leave it (a table would walk its cells instead), the arrow keys move inside
// it, and Space ticks or clears the check box of the current row, whichever of its cells is
// current. Made by the window, it lives as long as the list.
class CCheckListKeys : public QObject {
    Q_OBJECT

public:
    explicit CCheckListKeys(QTableWidget* list);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableWidget* m_list;
};
