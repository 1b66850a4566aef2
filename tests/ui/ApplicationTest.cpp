#include <gtest/gtest.h>

#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

#include "UiTestSupport.h"
#include "model/Exception.h"
#include "net/MainThread.h"

using namespace qubra;
using namespace qubra::test;

TEST(Application, ExceptionFromAClickHandlerShowsTheErrorBoxAndTheProgramGoesOn)
{
    TBoxRecorder boxes;
    QPushButton button("OK");
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, Guarded([&] {
        ++clicks;
        throw Exception("Zařízení nebylo nalezeno!");
    }));
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Caption, "QUBRA 232");
    EXPECT_EQ(boxes.Boxes[0].Text, "Zařízení nebylo nalezeno!");
    EXPECT_EQ(boxes.Boxes[0].Icon, QMessageBox::Critical);

    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(boxes.Boxes.size(), 2u);
    EXPECT_FALSE(button.isDown()) << "the button is released after the error";

    // A handler taking the signal's arguments, and an exception of any kind.
    QObject::connect(&button, &QPushButton::toggled, Guarded([](bool on) { throw on; }));
    button.setCheckable(true);
    button.toggle();
    ASSERT_EQ(boxes.Boxes.size(), 3u);
    EXPECT_EQ(boxes.Boxes[2].Text, "Unknown exception");
}

namespace {

// An object whose own event handler throws, unguarded.
struct TThrowingObject : QObject {
    bool event(QEvent* Event) override
    {
        if (Event->type() == QEvent::User) throw std::runtime_error("no socket");
        return QObject::event(Event);
    }
};

} // namespace

TEST(Application, ExceptionThatReachesTheEventLoopIsCaughtThereAndTheLoopGoesOn)
{
    TBoxRecorder boxes;
    TThrowingObject object;
    QEventLoop loop;
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QTimer::singleShot(0, [] { throw Exception("Chyba"); });
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_EQ(boxes.Boxes.size(), 2u);
    EXPECT_EQ(boxes.Boxes[0].Text, "no socket");
    EXPECT_EQ(boxes.Boxes[1].Text, "Chyba");
    EXPECT_EQ(boxes.Boxes[1].Caption, "QUBRA 232");
}

TEST(Application, CarriesTheTitleAndIcon)
{
    EXPECT_EQ(QApplication::applicationName(), "QUBRA 232");
    EXPECT_FALSE(QApplication::windowIcon().isNull());
}

TEST(QtDispatcher, WorkerCallRunsOnTheMainThreadFromTheEventLoop)
{
    // The application object installed its dispatcher for the socket threads.
    TMainThreadDispatcher& dispatcher = MainThreadDispatcher();
    EXPECT_NE(&dispatcher, &DefaultDispatcher());
    std::vector<int> order;
    std::thread::id ranOn;
    std::atomic<bool> returned{false};
    std::jthread worker([&](std::stop_token stop) {
        dispatcher.RunAndWait([&] { order.push_back(1); ranOn = std::this_thread::get_id(); }, stop);
        dispatcher.RunAndWait([&] { order.push_back(2); }, stop);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(returned) << "the worker waits for the main thread's loop";
    EXPECT_TRUE(ProcessEventsUntil([&] { return returned.load(); }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(ranOn, std::this_thread::get_id());

    bool direct = false;
    dispatcher.RunAndWait([&] { direct = true; }, {});
    EXPECT_TRUE(direct) << "a call from the main thread itself runs at once";
}

TEST(QtDispatcher, StopReleasesTheWorkerAndWithdrawsItsCallWhileTheMainThreadIsBusy)
{
    TMainThreadDispatcher& dispatcher = MainThreadDispatcher();
    std::atomic<bool> queued{false};
    bool ran = false;
    {
        std::jthread worker([&](std::stop_token stop) {
            queued = true;
            dispatcher.RunAndWait([&] { ran = true; }, stop);
        });
        while (!queued) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } // the main thread stops and joins the worker without running its loop: no deadlock
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran) << "a withdrawn call never runs";

    // A call that stops its own worker, as a handler closing its socket does.
    std::jthread worker;
    std::atomic<bool> done{false};
    worker = std::jthread([&](std::stop_token stop) {
        dispatcher.RunAndWait([&] {
            worker.request_stop();
            worker.join();
            done = true;
        }, stop);
    });
    EXPECT_TRUE(ProcessEventsUntil([&] { return done.load(); }));
}

TEST(QtDispatcher, ThrowingCallIsShownAndTheNextCallStillRuns)
{
    TBoxRecorder boxes;
    TMainThreadDispatcher& dispatcher = MainThreadDispatcher();
    std::atomic<int> returned{0};
    bool laterRan = false;
    std::jthread worker([&](std::stop_token stop) {
        dispatcher.RunAndWait([] { throw Exception("Chyba"); }, stop);
        ++returned;
        dispatcher.RunAndWait([&] { laterRan = true; }, stop);
        ++returned;
    });
    EXPECT_TRUE(ProcessEventsUntil([&] { return returned == 2; }));
    EXPECT_TRUE(laterRan);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Text, "Chyba");
}
