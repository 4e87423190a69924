#include "mail/MailTurns.h"

MailTurns::Ticket MailTurns::Draw() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_next++;
}

void MailTurns::WaitTurn(Ticket ticket) {
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait(hold, [&] { return m_serving == ticket; });
}

void MailTurns::Finish(Ticket ticket) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (ticket < m_serving || ticket >= m_next) return;  // unknown or finished already
        m_finishedEarly.insert(ticket);
        while (!m_finishedEarly.empty() && *m_finishedEarly.begin() == m_serving) {
            m_finishedEarly.erase(m_finishedEarly.begin());
            ++m_serving;
        }
    }
    m_changed.notify_all();
}

bool MailTurns::IsTurn(Ticket ticket) {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_serving == ticket;
}
