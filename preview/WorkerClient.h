// The caller's side of the worker program: jobs submitted without waiting, results collected
// when they come, and the worker kept in check.
//
// Submitting returns at once. One job runs at a time. A submission normally supersedes every
// job before it: those not yet sent are dropped, the running one is cancelled (it stops at its
// next look at the budget; a job that does not answer within kCancelGrace is ended by killing
// the worker), and their results are never delivered. So twenty submissions during a slow
// repaint run that repaint's remains and then the twentieth, never a queue. A job submitted
// to queue instead runs after the ones before it, and every queued result is delivered in
// order (the pieces of a stroke being painted).
//
// Everything the client waits for (the worker's socket, its deadlines, a result made in this
// process) makes EventFd() readable: a window watches that one descriptor and calls Poll when
// it is; a program without an event loop calls Wait.
//
// A job that overruns its budget by kKillGrace (a single library call that runs practically
// forever, or a hook or finalizer of the script's own, which the count hook cannot reach) is
// ended by killing the worker; a worker that dies is reaped. Either gives the result of a
// script that fails to load, with a message naming the cause, and the next job starts a new
// worker. When the worker program cannot be started, jobs run in this process (said once on
// standard error): the same pixels, without protection against a script stuck in one call.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "preview/WorkerJob.h"

namespace quarnel {

// Time a job may overrun its budget before its worker is killed: the count hook stops a Lua
// loop at the budget, and the worker still has to send what was painted.
constexpr double kKillGrace = 0.5;
// Time a cancelled job may take to stop before its worker is killed.
constexpr double kCancelGrace = 0.25;

// Where the worker program is: $QUARNEL_WORKER when set, else beside an installed program
// (../libexec/quarnel/quarnel-worker from the running program's folder), else the one of the
// build tree this was built in.
std::string WorkerProgramPath();

class CWorkerClient {
 public:
  explicit CWorkerClient(const TJobLimits& limits = TJobLimits());
  ~CWorkerClient();
  CWorkerClient(const CWorkerClient&) = delete;
  CWorkerClient& operator=(const CWorkerClient&) = delete;

  const TJobLimits& Limits() const { return limits_; }
  // Applies to the jobs submitted from now on (a new memory limit starts a new worker).
  void SetLimits(const TJobLimits& limits) { limits_ = limits; }
  // The worker program to start (tests give a misbehaving one); empty: WorkerProgramPath().
  void SetProgram(const std::string& path) { program_ = path; }

  enum class ESubmit { kSupersede, kQueue };
  // Sends or queues the job (its id, budget and memory limit are filled in) and returns its
  // id. The shared random generator's state and the stroke counter are handed over when the
  // job is sent and taken back from its result, unless SetSharesProcessState(false).
  uint32_t Submit(TJobRequest request, ESubmit how = ESubmit::kSupersede);
  // Supersedes everything submitted: no result will be delivered.
  void CancelAll();
  // A job submitted and its result not yet delivered.
  bool Busy() const {
    return !pending_.empty() || (running_ && running_->id >= wantFrom_) || !ready_.empty();
  }
  // Whether jobs run on this process's random generator and stroke counter (the preview's);
  // a client whose jobs keep a state of their own in the worker (the scratchpad's) says no.
  void SetSharesProcessState(bool shares) { sharesState_ = shares; }

  int EventFd() const { return epoll_; }
  // Does what has come due without blocking. True when the newest job has ended: its result
  // is moved into `result`.
  bool Poll(TJobResult& result);
  // Blocks until the newest job has ended; false when none is outstanding.
  bool Wait(TJobResult& result);
  // Submit, then Wait.
  bool Run(TJobRequest request, TJobResult& result);

  // For tests: the worker's process id (-1 when none runs) and how many were started.
  pid_t WorkerPid() const { return pid_; }
  int WorkersStarted() const { return started_; }

 private:
  using Clock = std::chrono::steady_clock;

  void Supersede(uint32_t from);
  bool StartWorker();
  void StopWorker();
  bool SendRunning();
  void SendNext();
  void ReadWorker();
  bool TakeFrames();
  void EndRunning(std::string failure, bool stuck);
  void Finish(TJobResult&& result);
  void CheckDeadlines();
  void ArmTimer();
  void RunHere(TJobRequest& request);
  void Signal();

  TJobLimits limits_;
  std::string program_;
  int epoll_ = -1;
  int timer_ = -1;
  int event_ = -1;

  pid_t pid_ = -1;
  int socket_ = -1;
  std::atomic<uint32_t>* shared_ = nullptr;  // the job the caller wants, seen by the worker
  int64_t workerMemory_ = 0;
  bool greeted_ = false;
  bool noWorker_ = false;  // the program could not be started: jobs run here
  int started_ = 0;

  uint32_t nextId_ = 0;
  uint32_t wantFrom_ = 0;  // jobs below this id are superseded
  bool sharesState_ = true;
  std::deque<TJobRequest> pending_;
  std::optional<TJobRequest> running_;
  Clock::time_point sentAt_;
  std::optional<Clock::time_point> killAt_;
  std::optional<Clock::time_point> cancelAt_;
  TJobResult current_;  // the running job's result as it is collected
  std::deque<TJobResult> ready_;
  std::string received_;  // bytes from the worker not yet taken as frames
};

}  // namespace quarnel
