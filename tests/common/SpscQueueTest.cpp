#include "common/SpscQueue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace linlangok {
namespace {

std::vector<int> TakeAll(CSpscQueue<int>& queue)
{
    std::vector<int> items;
    for (auto ready = queue.Readable(); !ready.empty(); ready = queue.Readable()) {
        items.insert(items.end(), ready.begin(), ready.end());
        queue.Consume(ready.size());
    }
    return items;
}

TEST(SpscQueue, WriteStopsAtTheRingWhilePushGrowsItInOrder)
{
    CSpscQueue<int> queue(3); // rounded up to 4
    const int items[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(queue.Write(items, 6), 4u);
    EXPECT_EQ(queue.Free(), 0u);
    ASSERT_EQ(queue.Readable().size(), 4u);
    queue.Consume(3);
    // Wrapped: the ready items come in two pieces.
    EXPECT_EQ(queue.Write(items + 4, 2), 2u);
    EXPECT_EQ(std::vector<int>(queue.Readable().begin(), queue.Readable().end()), std::vector<int>({4}));
    EXPECT_EQ(TakeAll(queue), std::vector<int>({4, 5, 6}));

    std::vector<int> pushed;
    for (int i = 0; i < 21; ++i) {
        queue.Push(i);
        pushed.push_back(i);
        if (i == 2)
            queue.Consume(1); // the consumer still reads the first ring while the producer grows
    }
    pushed.erase(pushed.begin());
    EXPECT_EQ(TakeAll(queue), pushed);
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(queue.Free(), 16u);
    // Several items go in together, the ring growing as often as it takes.
    queue.Push(7);
    const std::vector<int> many(40, 3);
    queue.Push(many.data(), many.size());
    EXPECT_EQ(TakeAll(queue).size(), 41u);
    EXPECT_EQ(queue.Free(), 64u);
    queue.Push(7);
    queue.Clear();
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(queue.Free(), 64u);
}

TEST(SpscQueue, ConsumerOnAnotherThreadSeesEveryItemOnceInOrder)
{
    constexpr int kItems = 200000;
    CSpscQueue<int> queue(2);
    std::thread producer([&queue] {
        for (int i = 0; i < kItems; ++i) {
            if (i % 3 == 0)
                queue.Push(i);
            else
                while (queue.Write(&i, 1) == 0)
                    std::this_thread::yield();
        }
    });
    int expected = 0;
    bool inOrder = true;
    while (expected < kItems) {
        const auto ready = queue.Readable();
        for (int item : ready)
            inOrder = inOrder && item == expected++;
        queue.Consume(ready.size());
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_TRUE(queue.Empty());
}

} // namespace
} // namespace linlangok
