#include "preview/WorkerClient.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "brush/MangaBrush.h"
#include "geometry/Random.h"
#include "preview/WorkerProtocol.h"

extern char** environ;

namespace quarnel {

namespace {

// Descriptors of ours are moved at or above this number, so that placing them as the
// worker's 3 and 4 can never overwrite one with the other.
constexpr int kHighFd = 10;
constexpr size_t kReadChunk = size_t{1} << 16;

int HighCloexec(int fd) {
  if (fd < 0 || fd >= kHighFd) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, kHighFd);
  close(fd);
  return moved;
}

std::string Describe(int status) {
  char text[160];
  if (WIFSIGNALED(status)) {
    const char* name = strsignal(WTERMSIG(status));
    std::snprintf(text, sizeof text, "signal %d, %s", WTERMSIG(status),
                  name != nullptr ? name : "unknown");
  } else if (WIFEXITED(status)) {
    std::snprintf(text, sizeof text, "exit status %d", WEXITSTATUS(status));
  } else {
    std::snprintf(text, sizeof text, "status %d", status);
  }
  return text;
}

std::string Executable(const std::string& path) {
  return !path.empty() && access(path.c_str(), X_OK) == 0 ? path : std::string();
}

// Said once per process: every later job runs here too.
void WarnNoWorker(const std::string& program, const std::string& why) {
  static bool said = false;
  if (said) return;
  said = true;
  std::fprintf(stderr,
               "quarnel: cannot use the worker program%s%s%s (%s): scripts run inside this "
               "program, where one stuck in a single library call cannot be stopped\n",
               program.empty() ? "" : " '", program.c_str(), program.empty() ? "" : "'",
               why.c_str());
}

}  // namespace

std::string WorkerProgramPath() {
  if (const char* env = std::getenv("QUARNEL_WORKER"); env != nullptr && *env != '\0') return env;
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string dir(self, static_cast<size_t>(n));
    dir.erase(dir.find_last_of('/') + 1);
    const std::string installed = Executable(dir + QUARNEL_WORKER_FROM_BIN);
    if (!installed.empty()) return installed;
  }
  return Executable(QUARNEL_WORKER_BUILT);
}

CWorkerClient::CWorkerClient(const TJobLimits& limits) : limits_(limits) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  event_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  for (int fd : {timer_, event_}) {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    if (epoll_ >= 0 && fd >= 0) epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
  }
}

CWorkerClient::~CWorkerClient() {
  StopWorker();
  for (int fd : {epoll_, timer_, event_}) {
    if (fd >= 0) close(fd);
  }
}

uint32_t CWorkerClient::Submit(TJobRequest request, ESubmit how) {
  request.id = ++nextId_;
  request.seconds = limits_.seconds;
  request.memoryBytes = limits_.memoryBytes;
  if (how == ESubmit::kSupersede) Supersede(request.id);
  pending_.push_back(std::move(request));
  if (!running_) SendNext();
  return nextId_;
}

void CWorkerClient::CancelAll() { Supersede(++nextId_); }  // an id no job has

// Every job below `from` is no longer wanted: the queued ones are dropped, results not yet
// handed out too, and the running one sees it and stops (or is killed after a grace).
void CWorkerClient::Supersede(uint32_t from) {
  wantFrom_ = from;
  pending_.clear();
  ready_.clear();
  if (!running_ || running_->id >= wantFrom_) return;
  shared_->store(wantFrom_, std::memory_order_relaxed);
  if (!cancelAt_) {
    cancelAt_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(kCancelGrace));
    ArmTimer();
  }
}

bool CWorkerClient::Run(TJobRequest request, TJobResult& result) {
  Submit(std::move(request));
  return Wait(result);
}

bool CWorkerClient::Poll(TJobResult& result) {
  uint64_t count = 0;
  for (int fd : {timer_, event_}) {
    if (fd >= 0 && read(fd, &count, sizeof count) < 0) count = 0;
  }
  if (socket_ >= 0) ReadWorker();
  CheckDeadlines();
  ArmTimer();
  if (ready_.empty()) return false;
  result = std::move(ready_.front());
  ready_.pop_front();
  return true;
}

bool CWorkerClient::Wait(TJobResult& result) {
  for (;;) {
    if (Poll(result)) return true;
    if (!Busy()) return false;
    epoll_event ev[4];
    const int n = epoll_wait(epoll_, ev, 4, -1);
    if (n < 0 && errno != EINTR) return false;
  }
}

// --- the worker process ------------------------------------------------------------------

bool CWorkerClient::StartWorker() {
  const std::string program = program_.empty() ? WorkerProgramPath() : program_;
  if (program.empty()) {
    WarnNoWorker(program, "not found");
    return false;
  }
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    WarnNoWorker(program, std::strerror(errno));
    return false;
  }
  const int mine = HighCloexec(ends[0]);
  const int theirs = HighCloexec(ends[1]);
  const int block = HighCloexec(memfd_create("quarnel-worker", MFD_CLOEXEC));
  void* mapped = MAP_FAILED;
  if (block >= 0 && ftruncate(block, kWorkerSharedBytes) == 0) {
    mapped = mmap(nullptr, kWorkerSharedBytes, PROT_READ | PROT_WRITE, MAP_SHARED, block, 0);
  }
  std::string why;
  pid_t pid = -1;
  if (mine >= 0 && theirs >= 0 && mapped != MAP_FAILED) {
    const std::string parent = std::to_string(getpid());
    const std::string memory = std::to_string(limits_.memoryBytes);
    std::vector<char*> argv = {
        const_cast<char*>(program.c_str()), const_cast<char*>("--parent"),
        const_cast<char*>(parent.c_str()),  const_cast<char*>("--memory-limit"),
        const_cast<char*>(memory.c_str()),  nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs, kWorkerSocketFd);
    posix_spawn_file_actions_adddup2(&actions, block, kWorkerSharedFd);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, kWorkerSharedFd + 1);
    // A program that blocks or ignores signals (a window's threads, a renderer that ignores
    // SIGPIPE) must not hand that on.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int error = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
      why = std::strerror(error);
      pid = -1;
    }
  } else {
    why = std::strerror(errno);
  }
  if (theirs >= 0) close(theirs);
  if (block >= 0) close(block);
  if (pid < 0) {
    if (mine >= 0) close(mine);
    if (mapped != MAP_FAILED) munmap(mapped, kWorkerSharedBytes);
    WarnNoWorker(program, why);
    return false;
  }
  fcntl(mine, F_SETFL, fcntl(mine, F_GETFL) | O_NONBLOCK);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = mine;
  epoll_ctl(epoll_, EPOLL_CTL_ADD, mine, &ev);
  pid_ = pid;
  socket_ = mine;
  shared_ = static_cast<std::atomic<uint32_t>*>(mapped);
  shared_->store(wantFrom_, std::memory_order_relaxed);
  workerMemory_ = limits_.memoryBytes;
  greeted_ = false;
  received_.clear();
  ++started_;
  return true;
}

// Killed before its socket closes: a worker that saw the socket close first would begin to
// exit on its own, and what a sanitizer's exit handler starts could outlive it.
void CWorkerClient::StopWorker() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (socket_ >= 0) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, socket_, nullptr);
    close(socket_);
    socket_ = -1;
  }
  if (shared_ != nullptr) {
    munmap(shared_, kWorkerSharedBytes);
    shared_ = nullptr;
  }
}

// --- jobs ------------------------------------------------------------------------------------

void CWorkerClient::SendNext() {
  while (!running_ && !pending_.empty()) {
    TJobRequest request = std::move(pending_.front());
    pending_.pop_front();
    if (noWorker_ || !limits_.isolate || !ValidRequest(request)) {
      RunHere(request);
      continue;
    }
    if (pid_ > 0 && workerMemory_ != request.memoryBytes) StopWorker();
    if (pid_ < 0 && !StartWorker()) {
      noWorker_ = true;
      RunHere(request);
      continue;
    }
    if (sharesState_) {
      request.randomState = pavo::RandomState();
      request.strokeCounter = pavo::strokeCounter;
    }
    running_ = std::move(request);
    if (SendRunning()) continue;
    // Gone since its last job (killed from outside): one new worker.
    StopWorker();
    if (!StartWorker()) {
      noWorker_ = true;
      request = std::move(*running_);
      running_.reset();
      RunHere(request);
      continue;
    }
    if (!SendRunning()) EndRunning("", false);
  }
  ArmTimer();
}

bool CWorkerClient::SendRunning() {
  shared_->store(wantFrom_, std::memory_order_relaxed);
  current_ = TJobResult{};
  current_.id = running_->id;
  current_.kind = running_->kind;
  if (PaintsPixels(running_->kind)) {
    current_.image = std::make_unique<pavo::CImage32>(pavo::CImage32::TNoSize{});
  }
  std::string payload;
  WriteRecord(payload, *running_);
  std::string frame;
  AppendFrame(frame, EFrame::kJob, payload);
  sentAt_ = Clock::now();
  killAt_.reset();
  cancelAt_.reset();
  if (running_->seconds > 0.0) {
    killAt_ = sentAt_ + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(running_->seconds + kKillGrace));
  }
  // The worker is idle and reading, so the frame goes out promptly; a peer that does not
  // read is given until the kill deadline (or a few seconds without one).
  const Clock::time_point giveUp = killAt_ ? *killAt_ : sentAt_ + std::chrono::seconds(5);
  const char* data = frame.data();
  size_t n = frame.size();
  while (n > 0) {
    const ssize_t done = send(socket_, data, n, MSG_NOSIGNAL);
    if (done > 0) {
      data += done;
      n -= static_cast<size_t>(done);
      continue;
    }
    if (done < 0 && errno == EINTR) continue;
    if (done < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(giveUp - Clock::now()).count();
      if (left <= 0) return false;
      pollfd p{socket_, POLLOUT, 0};
      poll(&p, 1, static_cast<int>(left));
      continue;
    }
    return false;
  }
  return true;
}

void CWorkerClient::RunHere(TJobRequest& request) {
  TJobResult result;
  CScriptOutput& output = result.output;
  const pavo::TScriptSinks sinks =
      output.Sinks(request.collectPrint, request.collectErrors, request.collectDebug);
  if (sharesState_) {
    request.randomState = pavo::RandomState();
    request.strokeCounter = pavo::strokeCounter;
  }
  const Clock::time_point start = Clock::now();
  RunJob(request, result, sinks);
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  Finish(std::move(result));
}

void CWorkerClient::Finish(TJobResult&& result) {
  // What the job did to the shared values happened, shown or not.
  if (sharesState_) {
    pavo::SetRandomState(result.randomState);
    pavo::strokeCounter = result.strokeCounter;
  }
  if (result.id >= wantFrom_) {
    ready_.push_back(std::move(result));
    Signal();
  }
}

void CWorkerClient::Signal() {
  const uint64_t one = 1;
  if (event_ >= 0 && write(event_, &one, sizeof one) < 0) {
    // The counter is full, which already makes it readable.
  }
}

// The running job ended without a result: the worker was killed at its deadline (stuck), or
// died, or sent what cannot be read (failure names that). The job's result is then that of a
// script that fails to load, made here without running the script.
void CWorkerClient::EndRunning(std::string failure, bool stuck) {
  int status = 0;
  if (pid_ > 0) {
    // Reaped as it died (or killed first when it is still there).
    kill(pid_, SIGKILL);
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  StopWorker();
  TJobRequest request = std::move(*running_);
  running_.reset();
  killAt_.reset();
  cancelAt_.reset();
  if (request.id < wantFrom_) {
    SendNext();
    return;
  }
  const char* job = JobName(request.kind);
  char text[400];
  if (stuck) {
    std::snprintf(text, sizeof text,
                  "the script was stopped: it ran longer than the %g s allowed for %s, inside a "
                  "call that cannot be interrupted (a library function, a hook or a finalizer)",
                  request.seconds, job);
  } else if (!failure.empty()) {
    std::snprintf(text, sizeof text, "the script broke the interpreter during %s (%s)", job,
                  failure.c_str());
  } else {
    std::snprintf(text, sizeof text, "the script broke the interpreter during %s (%s)", job,
                  Describe(status).c_str());
  }
  request.stopMessage = text;
  request.collectPrint = false;
  request.collectErrors = false;
  request.collectDebug = false;
  TJobResult result;
  result.output = std::move(current_.output);
  RunJob(request, result, pavo::TScriptSinks{});
  result.stopped = true;
  result.message = text;
  result.workerLost = true;
  result.seconds = std::chrono::duration<double>(Clock::now() - sentAt_).count();
  Finish(std::move(result));
  SendNext();
}

void CWorkerClient::ReadWorker() {
  for (;;) {
    const size_t at = received_.size();
    received_.resize(at + kReadChunk);
    const ssize_t got = read(socket_, received_.data() + at, kReadChunk);
    received_.resize(at + (got > 0 ? static_cast<size_t>(got) : 0));
    if (got > 0) {
      if (!TakeFrames()) return;
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // The worker closed its end: it died (or ended, which it does only when told to).
    if (running_) {
      EndRunning("", false);
    } else {
      StopWorker();
    }
    return;
  }
}

// Takes the complete frames at the front of what was received. False when the worker was
// given up (it sent something it must not), which ends the running job.
bool CWorkerClient::TakeFrames() {
  size_t at = 0;
  bool broken = false;
  while (received_.size() - at >= kFrameHeader) {
    EFrame type;
    uint32_t length = 0;
    if (!ParseFrameHeader(received_.data() + at, type, length)) {
      broken = true;
      break;
    }
    uint64_t limit = 0;
    switch (type) {
      case EFrame::kHello:
        limit = greeted_ ? 0 : kMaxHelloFrame;
        break;
      case EFrame::kPrint:
      case EFrame::kDebug:
      case EFrame::kError:
        limit = greeted_ && running_ ? kMaxTextFrame : 0;
        break;
      case EFrame::kResult:
        if (greeted_ && running_) {
          limit = kMaxResultOverhead + uint64_t{4} * static_cast<uint64_t>(running_->width) *
                                           static_cast<uint64_t>(running_->height);
        }
        break;
      case EFrame::kJob:
        break;
    }
    if (length > limit) {
      broken = true;
      break;
    }
    if (received_.size() - at - kFrameHeader < length) break;
    const std::string_view payload(received_.data() + at + kFrameHeader, length);
    at += kFrameHeader + length;
    if (type == EFrame::kHello) {
      uint32_t version = 0;
      CWireReader reader(payload);
      reader(version);
      if (!reader.Complete() || version != kWireVersion) {
        // Another build's worker: not used again, and the job runs here instead.
        WarnNoWorker(program_.empty() ? WorkerProgramPath() : program_,
                     "it speaks another version of the protocol");
        noWorker_ = true;
        StopWorker();
        received_.clear();
        if (running_) {
          TJobRequest request = std::move(*running_);
          running_.reset();
          killAt_.reset();
          cancelAt_.reset();
          if (request.id >= wantFrom_) RunHere(request);
          SendNext();
        }
        return false;
      }
      greeted_ = true;
    } else if (type == EFrame::kPrint || type == EFrame::kDebug || type == EFrame::kError) {
      current_.output.Add(type == EFrame::kPrint   ? CScriptOutput::EKind::kPrint
                          : type == EFrame::kDebug ? CScriptOutput::EKind::kDebug
                                                   : CScriptOutput::EKind::kError,
                          payload);
    } else {
      if (!ReadRecord(payload, current_) || current_.id != running_->id ||
          current_.kind != running_->kind ||
          (PaintsPixels(running_->kind) && (current_.image->width != running_->width ||
                                            current_.image->height != running_->height))) {
        broken = true;
        break;
      }
      current_.seconds = std::chrono::duration<double>(Clock::now() - sentAt_).count();
      running_.reset();
      killAt_.reset();
      cancelAt_.reset();
      Finish(std::move(current_));
      current_ = TJobResult{};
      received_.erase(0, at);
      at = 0;
      SendNext();
      if (socket_ < 0) return false;
    }
  }
  received_.erase(0, at);
  if (!broken) return true;
  received_.clear();
  if (running_) {
    EndRunning("a result that could not be read", false);
  } else {
    StopWorker();
  }
  return false;
}

void CWorkerClient::CheckDeadlines() {
  const Clock::time_point now = Clock::now();
  if (running_ && cancelAt_ && now >= *cancelAt_ && running_->id < wantFrom_) {
    // A superseded job that does not stop: its worker goes, the next job gets a new one.
    StopWorker();
    running_.reset();
    killAt_.reset();
    cancelAt_.reset();
    SendNext();
  }
  if (running_ && killAt_ && now >= *killAt_) EndRunning("", true);
}

void CWorkerClient::ArmTimer() {
  if (timer_ < 0) return;
  std::optional<Clock::time_point> due = killAt_;
  if (cancelAt_ && (!due || *cancelAt_ < *due)) due = cancelAt_;
  itimerspec spec{};
  if (running_ && due) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(*due - Clock::now());
    const long long ns = left.count() > 0 ? left.count() : 1;
    spec.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
    spec.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
  }
  timerfd_settime(timer_, 0, &spec, nullptr);
}

}  // namespace quarnel
