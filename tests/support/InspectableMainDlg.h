#pragma once
// The main window as tests see it: the state it keeps for a derived class (its accounts and
// "StartDisp") and its scheduler, one of its children.

#include "check/CheckScheduler.h"
#include "ui/CMainDlg.h"

class InspectableMainDlg : public CMainDlg {
public:
    using CMainDlg::CMainDlg;

    const CAccountList& Accounts() const { return m_accounts; }
    int StartDisp() const { return m_bStartDisp; }
    CCheckScheduler& Scheduler() {
        return *findChild<CCheckScheduler*>(QString(), Qt::FindDirectChildrenOnly);
    }
};
