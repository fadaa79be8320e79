#include "accounts/CAccountList.h"

AccountId CAccountList::AddTail(const CAccount& account) {
    ++m_lastId.value;
    m_items.push_back(account);
    m_items.back().m_id = m_lastId;
    return m_lastId;
}

CAccount* CAccountList::GetAt(int position) {
    if (position < 0 || position >= GetCount()) {
        return nullptr;
    }
    return &m_items[static_cast<std::size_t>(position)];
}

const CAccount* CAccountList::GetAt(int position) const {
    return const_cast<CAccountList*>(this)->GetAt(position);
}

bool CAccountList::RemoveAt(int position) {
    if (GetAt(position) == nullptr) {
        return false;
    }
    m_items.erase(m_items.begin() + position);
    if (m_items.empty()) {
        m_items.shrink_to_fit();  // the last removal releases the storage
    }
    return true;
}

int CAccountList::FindByTimerId(std::uint32_t timerId) const {
    if (timerId == 0) {
        return -1;
    }
    for (int i = 0; i < GetCount(); ++i) {
        if (m_items[static_cast<std::size_t>(i)].m_nTimerId == timerId) {
            return i;
        }
    }
    return -1;
}

CAccount* CAccountList::Find(AccountId id) {
    for (CAccount& account : m_items) {
        if (account.m_id == id) {  // never 0: no account of the list has that
            return &account;
        }
    }
    return nullptr;
}

const CAccount* CAccountList::Find(AccountId id) const {
    return const_cast<CAccountList*>(this)->Find(id);
}
