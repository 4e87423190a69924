// Mails take turns in the order they were confirmed, and a mail that never
// started must not hold up the ones after it.
#include "mail/MailTurns.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(MailTurnsTest, TurnsFollowTheOrderOfTheTicketsNotOfTheWaiters) {
    MailTurns turns;
    const MailTurns::Ticket a = turns.Draw();
    const MailTurns::Ticket b = turns.Draw();
    const MailTurns::Ticket c = turns.Draw();
    std::mutex lock;
    std::vector<MailTurns::Ticket> order;
    auto mail = [&](MailTurns::Ticket t) {
        turns.WaitTurn(t);
        {
            std::lock_guard<std::mutex> hold(lock);
            order.push_back(t);
        }
        turns.Finish(t);
    };
    // The later mails' threads reach their wait first.
    std::thread third(mail, c);
    std::thread second(mail, b);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    {
        std::lock_guard<std::mutex> hold(lock);
        EXPECT_TRUE(order.empty());  // nobody passed the first ticket
    }
    std::thread first(mail, a);
    first.join();
    second.join();
    third.join();
    EXPECT_EQ(order, (std::vector<MailTurns::Ticket>{a, b, c}));
}

TEST(MailTurnsTest, GivenUpTicketsDoNotHoldUpLaterOnes) {
    MailTurns turns;
    const MailTurns::Ticket a = turns.Draw();
    const MailTurns::Ticket b = turns.Draw();  // its thread never starts
    const MailTurns::Ticket c = turns.Draw();
    turns.Finish(b);  // given up before its turn came
    EXPECT_TRUE(turns.IsTurn(a));
    EXPECT_FALSE(turns.IsTurn(c));
    turns.Finish(a);
    EXPECT_TRUE(turns.IsTurn(c));  // straight past the given-up one
    turns.WaitTurn(c);             // returns at once
    turns.Finish(c);
    EXPECT_TRUE(turns.IsTurn(turns.Draw()));
}

TEST(MailTurnsTest, FinishingTwiceOrAnUnknownTicketChangesNothing) {
    MailTurns turns;
    const MailTurns::Ticket a = turns.Draw();
    const MailTurns::Ticket b = turns.Draw();
    turns.Finish(a);
    turns.Finish(a);       // again
    turns.Finish(b + 10);  // never drawn
    EXPECT_TRUE(turns.IsTurn(b));
    const MailTurns::Ticket c = turns.Draw();
    EXPECT_FALSE(turns.IsTurn(c));  // b still runs
    turns.Finish(b);
    EXPECT_TRUE(turns.IsTurn(c));
}

}  // namespace
