// Quit requests on Linux: SIGTERM, SIGINT and SIGHUP.
//
// A signal handler may do almost nothing safely, and the media layer's queue
// must not be touched from one: its push takes a lock that the interrupted
// code may hold. So the handler only writes one byte to a pipe. A watcher
// thread reads the pipe and hands each request on under a lock that the main
// thread also takes while it starts and stops the media layer; a request
// that arrives while the media layer is down is counted and handed on when
// it is up again, so it is neither lost nor pushed into a queue that is
// being torn down.
//
// Installing our handlers before the media layer starts also keeps SDL from
// installing its own (it only takes signals left at their default), so each
// signal becomes exactly one request.
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

const int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written once, before any handler is installed; the handler only reads it.
volatile sig_atomic_t s_wakeFd = -1;
int s_readFd = -1;

pthread_mutex_t s_lock = PTHREAD_MUTEX_INITIALIZER;
PlatformQuitFunction s_deliver;  // all four under s_lock
int s_accepting;
int s_held;
int s_received;

void OnQuitSignal(int) {
  int saved = errno;
  unsigned char byte = 1;
  // Non-blocking: with the pipe full (tens of thousands of requests nobody
  // read) the request is dropped rather than the handler stuck.
  ssize_t n = write(s_wakeFd, &byte, 1);
  (void)n;
  errno = saved;
}

void TakeRequest(void) {
  ++s_received;
  if (s_accepting && s_deliver != nullptr) {
    s_deliver();
  } else {
    ++s_held;
  }
}

void* WatchRequests(void*) {
  for (;;) {
    unsigned char bytes[64];
    ssize_t n = read(s_readFd, bytes, sizeof bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return nullptr;
    pthread_mutex_lock(&s_lock);
    for (ssize_t i = 0; i < n; ++i) TakeRequest();
    pthread_mutex_unlock(&s_lock);
  }
}

// The pipe and the watcher, once per process. Called under s_lock.
int StartWatcher(void) {
  if (s_readFd >= 0) return 1;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return 0;
  if (fcntl(fds[1], F_SETFL, O_NONBLOCK) != 0) {
    close(fds[0]);
    close(fds[1]);
    return 0;
  }
  s_readFd = fds[0];
  s_wakeFd = fds[1];

  // The watcher takes no signals itself: they go to the threads that run
  // the launcher and the game, where the handler's write is all that happens.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  int rc = pthread_create(&thread, &attr, WatchRequests, nullptr);
  pthread_attr_destroy(&attr);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (rc != 0) {
    close(fds[0]);
    close(fds[1]);
    s_readFd = -1;
    s_wakeFd = -1;
    return 0;
  }
  return 1;
}

}  // namespace

int PlatformWatchQuitRequests(PlatformQuitFunction deliver) {
  pthread_mutex_lock(&s_lock);
  s_deliver = deliver;
  int ok = StartWatcher();
  pthread_mutex_unlock(&s_lock);
  if (!ok) return 0;  // signals keep their default; SDL's own handling applies

  for (int sig : kQuitSignals) {
    struct sigaction current;
    if (sigaction(sig, nullptr, &current) != 0) continue;
    // A signal ignored at start stays ignored (nohup, background jobs), and
    // one that already has a handler keeps it.
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: the launcher's and the game's own reads and writes
    // must not fail because a quit request came in.
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
  }
  return 1;
}

void PlatformAcceptQuitRequests(int accept) {
  pthread_mutex_lock(&s_lock);
  s_accepting = accept != 0;
  if (s_accepting && s_deliver != nullptr) {
    for (; s_held > 0; --s_held) s_deliver();
  }
  pthread_mutex_unlock(&s_lock);
}

int PlatformQuitRequestCount(void) {
  pthread_mutex_lock(&s_lock);
  int n = s_received;
  pthread_mutex_unlock(&s_lock);
  return n;
}
