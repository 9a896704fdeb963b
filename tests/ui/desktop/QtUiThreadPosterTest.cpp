#include "ui/desktop/QtUiThreadPoster.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace linlangok {
namespace {

// Run under the thread sanitizer, this shows the hand-over from a worker thread is one it can follow.
TEST(QtUiThreadPoster, TasksFromAnotherThreadRunInOrderOnTheUiThreadAndNoneAfterTheContextIsGone)
{
    auto context = std::make_unique<QObject>();
    CQtUiThreadPoster poster(*context);
    std::vector<int> ran;
    bool onUiThread = true;
    std::thread worker([&] {
        for (int task = 0; task < 100; ++task)
            poster.Post([&ran, &onUiThread, task] {
                onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
                ran.push_back(task);
            });
    });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran.size() == 100; }));
    EXPECT_TRUE(onUiThread);
    for (int task = 0; task < 100; ++task)
        EXPECT_EQ(ran[static_cast<size_t>(task)], task);

    context.reset();
    poster.Post([&ran] { ran.push_back(-1); });
    QTest::qWait(20);
    EXPECT_EQ(ran.size(), 100u);
}

} // namespace
} // namespace linlangok
