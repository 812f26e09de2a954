// The lock a plug-in's audio threads take turns with: one thread at a time
// inside whatever the contention, the owner may take it again, and a
// thread that found it held gets its turn when the owner lets go.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "../../Helpers/turn_lock.h"

namespace {

TEST(TurnLock, ThreadsThatContendForItAreInsideOneAtATime) {
    constexpr int k_threads = 4, k_turns = 20000;
    turn_lock lock;
    long counted = 0;  // a plain number: lost updates would show
    std::atomic<int> inside{0}, most_inside{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < k_threads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < k_turns; ++i) {
                turn_scope turn(lock);
                const int now = inside.fetch_add(1) + 1;
                if (now > most_inside.load()) most_inside.store(now);
                ++counted;
                if (i % 1000 == 0) Sleep(0);  // a holder that is preempted makes the others wait
                inside.fetch_sub(1);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(counted, long{k_threads} * k_turns);
    EXPECT_EQ(most_inside.load(), 1);
}

TEST(TurnLock, TheOwnerTakesItAgainAndOthersGetItOnlyOnceItIsAllGivenBack) {
    turn_lock lock;
    lock.enter();
    ASSERT_TRUE(lock.try_enter());
    lock.enter();
    EXPECT_TRUE(lock.held_by_this_thread());
    const auto other_may_take = [&] {
        bool took = false;
        std::thread([&] {
            took = lock.try_enter();
            if (took) lock.leave();
        }).join();
        return took;
    };
    EXPECT_FALSE(other_may_take());
    lock.leave();
    lock.leave();
    EXPECT_FALSE(other_may_take());
    EXPECT_TRUE(lock.held_by_this_thread());

    // A thread that waits in enter() gets in once the last turn is given back.
    std::atomic<bool> got_in{false};
    std::thread waiter([&] {
        turn_scope turn(lock);
        got_in.store(true);
        EXPECT_TRUE(lock.held_by_this_thread());
    });
    Sleep(50);
    EXPECT_FALSE(got_in.load());
    lock.leave();
    waiter.join();
    EXPECT_TRUE(got_in.load());
    EXPECT_FALSE(lock.held_by_this_thread());
    EXPECT_TRUE(other_may_take());
}

}  // namespace
