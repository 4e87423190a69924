// Mails take turns. Every mail is prepared into the "Sent Pictures" folder
// under the picture's base name, so two mails of the same picture name the
// same file. Each mail draws a ticket when the command confirms it (in the
// order the user sent them) and its thread waits for that ticket's turn
// before it prepares, and ends the turn once it has its own copy of the
// picture; so the file is left with the picture of the mail sent last.
// Nothing here ever blocks the thread that draws tickets.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

class MailTurns {
public:
    using Ticket = std::uint64_t;

    // The next ticket, in the order of the calls.
    Ticket Draw();
    // Blocks until every earlier ticket has finished or been given up.
    void WaitTurn(Ticket ticket);
    // Ends the ticket's turn, or gives up a ticket whose mail never started
    // (whether or not its turn has come), so later tickets are not held up.
    void Finish(Ticket ticket);
    // True when `ticket` may run now (for tests and diagnostics).
    bool IsTurn(Ticket ticket);

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    Ticket m_next = 0;     // the ticket Draw hands out next
    Ticket m_serving = 0;  // the oldest ticket not yet finished
    std::set<Ticket> m_finishedEarly;  // finished tickets later than m_serving
};
