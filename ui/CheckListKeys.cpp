#include "ui/CheckListKeys.h"

#include <QKeyEvent>
#include <QTableWidget>

namespace {

constexpr int kCheckColumn = 0;

}  // namespace

CCheckListKeys::CCheckListKeys(QTableWidget* list) : QObject(list), m_list(list) {
    m_list->setTabKeyNavigation(false);
    m_list->installEventFilter(this);
}

bool CCheckListKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_list || event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier) {
        return false;
    }
    QTableWidgetItem* box = m_list->item(m_list->currentRow(), kCheckColumn);
    if (box == nullptr || !(box->flags() & Qt::ItemIsUserCheckable)) {
        return false;
    }
    box->setCheckState(box->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    return true;
}
