#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>

#include <atomic>

#include "platform/platform.h"
#include "tests/support/test_support.h"

using orvan_test::WaitFor;

namespace {

std::atomic<int> s_handedOn;
std::atomic<int> s_handedOnByAccepter;
pthread_t s_accepter;

void CountRequest(void) {
  ++s_handedOn;
  if (pthread_equal(pthread_self(), s_accepter)) ++s_handedOnByAccepter;
}

class QuitRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(PlatformWatchQuitRequests(CountRequest), 1);
    PlatformAcceptQuitRequests(1);  // whatever an earlier test left held
    PlatformAcceptQuitRequests(0);
    s_handedOn = 0;
    s_handedOnByAccepter = 0;
    s_accepter = pthread_self();
  }
  void TearDown() override { PlatformAcceptQuitRequests(0); }

  // Sends `sig` to this process and waits until the watcher has taken it.
  static bool Send(int sig) {
    int before = PlatformQuitRequestCount();
    raise(sig);
    return WaitFor([&] { return PlatformQuitRequestCount() > before; });
  }
};

TEST_F(QuitRequestsTest, EachSignalIsOneRequestAndTheProcessGoesOn) {
  PlatformAcceptQuitRequests(1);
  const int signals[] = {SIGTERM, SIGINT, SIGHUP, SIGTERM};
  int sent = 0;
  for (int sig : signals) {
    ASSERT_TRUE(Send(sig)) << "signal " << sig;
    ++sent;
    EXPECT_EQ(s_handedOn.load(), sent) << "after signal " << sig;
  }
}

TEST_F(QuitRequestsTest, RequestsAreHeldUntilAcceptedAndHandedOnOnce) {
  ASSERT_TRUE(Send(SIGTERM));
  ASSERT_TRUE(Send(SIGHUP));
  EXPECT_EQ(s_handedOn.load(), 0);

  PlatformAcceptQuitRequests(1);
  EXPECT_EQ(s_handedOn.load(), 2);
  EXPECT_EQ(s_handedOnByAccepter.load(), 2) << "held requests go out on the accepting thread";

  // Closing and opening again hands nothing on twice.
  PlatformAcceptQuitRequests(0);
  PlatformAcceptQuitRequests(1);
  EXPECT_EQ(s_handedOn.load(), 2);
}

TEST_F(QuitRequestsTest, LeavesIgnoredSignalsIgnored) {
  struct sigaction saved;
  ASSERT_EQ(sigaction(SIGHUP, nullptr, &saved), 0);

  // Started under nohup: closing the terminal must not end the game.
  signal(SIGHUP, SIG_IGN);
  PlatformWatchQuitRequests(CountRequest);
  struct sigaction now;
  sigaction(SIGHUP, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_IGN);

  // A signal at its default is taken over.
  signal(SIGHUP, SIG_DFL);
  PlatformWatchQuitRequests(CountRequest);
  sigaction(SIGHUP, nullptr, &now);
  EXPECT_NE(now.sa_handler, SIG_DFL);
  EXPECT_NE(now.sa_handler, SIG_IGN);

  sigaction(SIGHUP, &saved, nullptr);
}

}  // namespace
