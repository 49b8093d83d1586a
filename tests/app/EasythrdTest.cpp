#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/window/Easythrd.h"
#include "TestTaskQueue.h"

namespace vz::app {
namespace {

// A component whose events log their names; the body waits for a release.
class EasythrdTest : public testing::Test {
protected:
  EasythrdTest() : worker_([this](std::function<void()> task) { queue_.Post(std::move(task)); }) {
    worker_.ThreadBegin = [this](TWorkerThread&) { Log("begin"); };
    worker_.ThreadEnd = [this](TWorkerThread&) { Log("end"); };
  }

  // No body may outlive the fixture it logs into.
  void TearDown() override {
    Release(worker_.LastThread() ? worker_.LastThread()->Generation() : 0);
    if (const auto thread = worker_.LastThread()) thread->WaitFor();
  }

  // A body that logs, waits until its generation is released, and logs
  // whether it saw the terminate flag.
  void SetWaitingBody() {
    worker_.Exec = [this](TWorkerThread&, TEasyThreadThread& thread) {
      Log("exec" + std::to_string(thread.Generation()));
      {
        std::unique_lock lock(mutex_);
        releasedChanged_.wait(lock, [&] { return released_ >= thread.Generation(); });
      }
      Log(thread.Terminated() ? "saw-stop" : "no-stop");
    };
  }
  // Lets the bodies of generations up to `generation` return.
  void Release(std::uint64_t generation = 1) {
    {
      std::lock_guard lock(mutex_);
      released_ = generation;
    }
    releasedChanged_.notify_all();
  }

  void Log(const std::string& entry) {
    std::lock_guard lock(mutex_);
    log_.push_back(entry);
  }
  std::vector<std::string> LogCopy() {
    std::lock_guard lock(mutex_);
    return log_;
  }
  size_t Count(const std::string& entry) {
    const auto log = LogCopy();
    return static_cast<size_t>(std::count(log.begin(), log.end(), entry));
  }
  // Waits until the entry was logged `times` times.
  bool WaitFor(const std::string& entry, size_t times = 1) {
    return queue_.DrainUntil([&] { return Count(entry) >= times; });
  }

  test::TTaskQueue queue_;
  std::mutex mutex_;
  std::condition_variable releasedChanged_;
  std::uint64_t released_ = 0;
  std::vector<std::string> log_;
  TWorkerThread worker_;
};

TEST_F(EasythrdTest, BodyThatReturnsLeavesTheComponentInactiveWithoutThreadEnd) {
  SetWaitingBody();
  worker_.Start();
  EXPECT_TRUE(worker_.Active());
  EXPECT_EQ(Count("begin"), 1u);  // on the calling thread, before Start returns
  Release();
  ASSERT_TRUE(WaitFor("no-stop"));
  ASSERT_TRUE(queue_.DrainUntil([&] { return !worker_.Active(); }));
  EXPECT_EQ(worker_.CurrentGeneration(), 0u);
  EXPECT_EQ(Count("end"), 0u);
  EXPECT_EQ(Count("exec1"), 1u);
}

TEST_F(EasythrdTest, RefusesToStartTwiceOrWithoutABody) {
  EXPECT_THROW(
      {
        try {
          worker_.Start();
        } catch (const EEasyTheadException& e) {
          EXPECT_STREQ(e.what(), "Exec event not defined.");
          throw;
        }
      },
      EEasyTheadException);
  EXPECT_FALSE(worker_.Active());
  SetWaitingBody();
  worker_.Start();
  try {
    worker_.Start();
    ADD_FAILURE() << "a second start was accepted";
  } catch (const EEasyTheadException& e) {
    EXPECT_STREQ(e.what(), "Thread already running");
  }
  EXPECT_TRUE(worker_.Active());
  EXPECT_EQ(worker_.CurrentGeneration(), 1u);
  EXPECT_EQ(Count("begin"), 1u);
  Release();
  worker_.LastThread()->WaitFor();
}

TEST_F(EasythrdTest, StopSetsTheFlagCallsThreadEndOnceAndDoesNotWait) {
  SetWaitingBody();
  worker_.Start();
  worker_.Stop();
  EXPECT_FALSE(worker_.Active());
  EXPECT_EQ(Count("end"), 1u);
  worker_.Stop();  // no thread: nothing happens
  EXPECT_EQ(Count("end"), 1u);
  EXPECT_EQ(Count("saw-stop") + Count("no-stop"), 0u);  // the body still waits
  Release();
  ASSERT_TRUE(WaitFor("saw-stop"));
}

TEST_F(EasythrdTest, LateEndOfAnOldThreadLeavesTheNewOneRunning) {
  SetWaitingBody();
  worker_.Start();
  const auto first = worker_.LastThread();
  worker_.Stop();
  worker_.Start();  // at once, while the first body still runs
  EXPECT_EQ(worker_.CurrentGeneration(), 2u);
  Release(1);  // only the first body returns
  first->WaitFor();
  // The first thread's end notification arrives and must be ignored.
  queue_.DrainUntil([&] { return queue_.Pending() == 0; }, std::chrono::milliseconds(500));
  EXPECT_TRUE(worker_.Active());
  EXPECT_EQ(worker_.CurrentGeneration(), 2u);
  Release(2);
  ASSERT_TRUE(queue_.DrainUntil([&] { return !worker_.Active(); }));
  EXPECT_EQ(Count("begin"), 2u);
  EXPECT_EQ(Count("end"), 1u);
}

TEST_F(EasythrdTest, ErrorEscapingTheBodyIsSwallowed) {
  worker_.Exec = [](TWorkerThread&, TEasyThreadThread&) { throw std::runtime_error("body failed"); };
  worker_.Start();
  ASSERT_TRUE(queue_.DrainUntil([&] { return !worker_.Active(); }));
  EXPECT_EQ(Count("end"), 0u);
}

}  // namespace
}  // namespace vz::app
