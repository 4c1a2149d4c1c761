// The worker process of discoveries and repaints.
//
// The worker is forked at the first job and kept: each job is a request record sent over a
// socket pair (the settings, the generator state and the stroke counter, the job's limits
// and the preview's size and seed), and the worker answers with records, each a type byte, a
// 32-bit length and the bytes: 'P' and 'E' for the text of a print call and of an error,
// which the caller hands to its own script sinks as they arrive, and 'R' for the result.
// The caller reads until the result has come or the budget has run out; a worker that
// overruns is killed, one that dies is reaped, and the next job starts a new one.
#include "app/PreviewWorker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/TestStroke.h"
#include "brush/MangaBrush.h"
#include "geometry/Random.h"
#include "script/Discovery.h"
#include "script/ScriptSinks.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUARNEL_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUARNEL_SANITIZED 1
#endif
#endif

namespace quarnel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kPrintRecord = 'P';
constexpr char kErrorRecord = 'E';
constexpr char kResultRecord = 'R';

// Address space the worker may add beyond the interpreter's limit: the layers of a large
// preview, the disc workers' stacks, the allocator's slack.
constexpr uint64_t kHostSpace = uint64_t{2} << 30;

// --- byte records ---------------------------------------------------------------------

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutI32(std::string& out, int32_t v) { PutU32(out, static_cast<uint32_t>(v)); }

void PutDouble(std::string& out, double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  PutU32(out, static_cast<uint32_t>(bits));
  PutU32(out, static_cast<uint32_t>(bits >> 32));
}

void PutText(std::string& out, const std::string& text) {
  PutU32(out, static_cast<uint32_t>(text.size()));
  out += text;
}

// Reads what the Put functions wrote; every read past the end fails and stays failed.
class CByteReader {
 public:
  explicit CByteReader(const std::string& bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }

  uint32_t U32() {
    if (!Have(4)) return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes_[at_ + i])) << (8 * i);
    at_ += 4;
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  double Double() {
    const uint64_t low = U32();
    const uint64_t bits = low | (static_cast<uint64_t>(U32()) << 32);
    double v = 0.0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  std::string Text() {
    const uint32_t n = U32();
    if (!Have(n)) return std::string();
    std::string text = bytes_.substr(at_, n);
    at_ += n;
    return text;
  }
  const char* Bytes(size_t n) {
    if (!Have(n)) return nullptr;
    const char* p = bytes_.data() + at_;
    at_ += n;
    return p;
  }

 private:
  bool Have(size_t n) {
    if (ok_ && bytes_.size() - at_ >= n) return true;
    ok_ = false;
    return false;
  }
  const std::string& bytes_;
  size_t at_ = 0;
  bool ok_ = true;
};

// The settings a discovery writes.
void PutAnswers(std::string& out, const pavo::CBrushInfo& info) {
  const pavo::CBrushProperty& p = info.property;
  PutI32(out, p.count);
  for (int i = 0; i < pavo::kParamSlots; ++i) {
    PutText(out, p.name[i]);
    PutText(out, p.hint[i]);
    PutI32(out, p.value[i]);
    PutI32(out, p.minimum[i]);
    PutI32(out, p.maximum[i]);
    PutI32(out, p.defaultValue[i]);
  }
  out.push_back(info.useBase ? 1 : 0);
  PutDouble(out, info.width);
  PutDouble(out, info.defaultWidth);
  PutDouble(out, info.minWidthRatio);
}

void GetAnswers(CByteReader& in, pavo::CBrushInfo& info) {
  pavo::CBrushProperty& p = info.property;
  p.count = in.I32();
  for (int i = 0; i < pavo::kParamSlots; ++i) {
    p.name[i] = in.Text();
    p.hint[i] = in.Text();
    p.value[i] = in.I32();
    p.minimum[i] = in.I32();
    p.maximum[i] = in.I32();
    p.defaultValue[i] = in.I32();
  }
  const char* flag = in.Bytes(1);
  info.useBase = flag != nullptr && *flag != 0;
  info.width = in.Double();
  info.defaultWidth = in.Double();
  info.minWidthRatio = in.Double();
}

// Every setting a job reads.
void PutInfo(std::string& out, const pavo::CBrushInfo& info) {
  PutI32(out, info.type);
  PutText(out, info.name);
  PutDouble(out, info.opacity);
  out.push_back(info.pressureSize ? 1 : 0);
  out.push_back(info.pressureOpacity ? 1 : 0);
  PutDouble(out, info.pressureGamma);
  PutText(out, info.scriptPath);
  PutAnswers(out, info);
}

void GetInfo(CByteReader& in, pavo::CBrushInfo& info) {
  info.type = in.I32();
  info.name = in.Text();
  info.opacity = in.Double();
  const char* flags = in.Bytes(2);
  if (flags != nullptr) {
    info.pressureSize = flags[0] != 0;
    info.pressureOpacity = flags[1] != 0;
  }
  info.pressureGamma = in.Double();
  info.scriptPath = in.Text();
  GetAnswers(in, info);
}

// The process-wide values a job changes and the caller must see afterwards.
void PutShared(std::string& out) {
  PutU32(out, pavo::RandomState());
  PutI32(out, pavo::strokeCounter);
}

void GetShared(CByteReader& in) {
  const uint32_t state = in.U32();
  const int32_t strokes = in.I32();
  if (!in.ok()) return;
  pavo::SetRandomState(state);
  pavo::strokeCounter = strokes;
}

// --- the jobs -------------------------------------------------------------------------------

using TWork = void (*)(void* context, std::string& result);

constexpr char kDiscoveryJob[] = "parameter discovery";
constexpr char kRepaintJob[] = "the repaint";

struct TDiscovery {
  pavo::CBrushInfo* info;
  std::string status;
};

void Discover(void* context, std::string& result) {
  TDiscovery& d = *static_cast<TDiscovery*>(context);
  d.status = pavo::DiscoverScript(*d.info);
  PutText(result, d.status);
  result.push_back(pavo::ScriptJobStopped() ? 1 : 0);
  PutAnswers(result, *d.info);
}

struct TRepaint {
  pavo::CBrushInfo* info;
  pavo::CImage32* image;
  int32_t seed;
  std::string* debugText;
  bool send;  // in a worker: the pixels and the log go into the result
};

void Repaint(void* context, std::string& result) {
  TRepaint& r = *static_cast<TRepaint*>(context);
  if (!r.send) {
    pavo::DrawTestStroke(*r.info, *r.image, r.seed, r.debugText);
    return;
  }
  std::string debug;
  pavo::DrawTestStroke(*r.info, *r.image, r.seed, r.debugText != nullptr ? &debug : nullptr);
  PutText(result, pavo::ScriptJobStopped() ? pavo::ScriptStopMessage() : std::string());
  PutText(result, debug);
  const pavo::CImage32& image = *r.image;
  PutI32(result, image.width);
  PutI32(result, image.height);
  const bool have = image.pixels != nullptr;
  result.push_back(have ? 1 : 0);
  if (!have) return;
  for (int32_t y = 0; y < image.height; ++y) {
    result.append(reinterpret_cast<const char*>(image.PixelAddress(0, y)),
                  static_cast<size_t>(image.width) * 4);
  }
}

// --- the worker's side ----------------------------------------------------------------------

int workerSocket = -1;  // the worker's end of the socket pair

// Writes all of n bytes; false when the caller has gone.
bool WriteAll(int fd, const char* data, size_t n) {
  while (n > 0) {
    const ssize_t done = write(fd, data, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

bool WriteRecord(char type, const char* data, size_t n) {
  if (n > UINT32_MAX) n = UINT32_MAX;
  char head[5] = {type};
  for (int i = 0; i < 4; ++i) head[1 + i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  return WriteAll(workerSocket, head, sizeof head) && WriteAll(workerSocket, data, n);
}

void ForwardPrint(void*, const char* text, size_t length) noexcept {
  if (!WriteRecord(kPrintRecord, text, length)) _exit(1);
}

void ForwardError(void*, const char* text, size_t length) noexcept {
  if (!WriteRecord(kErrorRecord, text, length)) _exit(1);
}

// Keeps the worker from taking what belongs to others: no standard input, no terminal
// output, no core file, and (when the interpreter has a limit) an address space bounded
// a little above it, against host growth a bug of ours might leave unbounded.
void ConfineWorker(const TJobLimits& limits) {
  const int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    if (null > STDERR_FILENO) close(null);
  }
  signal(SIGPIPE, SIG_IGN);
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
#ifndef QUARNEL_SANITIZED
  // The sanitizers reserve terabytes of shadow memory; under them the limit is left out.
  if (limits.memoryBytes > 0) {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long long pages = 0;
    if (statm != nullptr) {
      if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    if (pages > 0) {
      const uint64_t now = pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
      const uint64_t bound = now + static_cast<uint64_t>(limits.memoryBytes) + kHostSpace;
      const rlimit space{bound, bound};
      setrlimit(RLIMIT_AS, &space);
    }
  }
#else
  (void)limits;
#endif
}

// The count hook stops a script before the caller would kill the worker, so that what it
// painted can still be sent: half a second before (half the budget when that is shorter),
// which a worker on a busy machine still needs to finish and answer.
double HookSeconds(double seconds) {
  if (seconds <= 0.0) return 0.0;
  const double margin = seconds / 2.0 < 0.5 ? seconds / 2.0 : 0.5;
  return seconds - margin;
}

// Reads exactly n bytes; false at the end of the stream (the caller has gone) or on error.
bool ReadAll(int fd, char* data, size_t n) {
  while (n > 0) {
    const ssize_t got = read(fd, data, n);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

constexpr char kDiscoveryRequest = 'D';
constexpr char kRepaintRequest = 'R';

// Runs one request: the caller's settings and shared values taken over, the job run under
// its limits as in process, the result written back.
bool Serve(const std::string& request) {
  CByteReader in(request);
  const char* kind = in.Bytes(1);
  TJobLimits limits;
  limits.seconds = in.Double();
  limits.memoryBytes = static_cast<int64_t>(in.Double());
  const char* forward = in.Bytes(2);
  GetShared(in);
  pavo::CBrushInfo info;
  GetInfo(in, info);
  const int32_t w = in.I32();
  const int32_t h = in.I32();
  const int32_t seed = in.I32();
  const char* wantDebug = in.Bytes(1);
  if (!in.ok()) return false;

  pavo::TScriptSinks sinks;
  sinks.print = forward[0] != 0 ? ForwardPrint : nullptr;
  sinks.error = forward[1] != 0 ? ForwardError : nullptr;
  pavo::SetScriptSinks(sinks);
  pavo::SetScriptMemoryLimit(limits.memoryBytes);

  // Kept from job to job, as the pipe's other buffers: a repaint's pixels pass through
  // memory that is already mapped.
  static std::string result;
  result.clear();
  const char* job = *kind == kDiscoveryRequest ? kDiscoveryJob : kRepaintJob;
  pavo::BeginScriptJob(HookSeconds(limits.seconds), job, limits.seconds);
  if (*kind == kDiscoveryRequest) {
    TDiscovery d{&info, std::string()};
    Discover(&d, result);
  } else {
    // Kept from job to job: a repaint of the same size allocates nothing for its image.
    static pavo::CImage32 image{pavo::CImage32::TNoSize{}};
    if (image.width != w || image.height != h || image.pixels == nullptr) image.Resize(w, h);
    std::string debug;
    TRepaint r{&info, &image, seed, *wantDebug != 0 ? &debug : nullptr, true};
    Repaint(&r, result);
  }
  pavo::EndScriptJob();
  PutShared(result);
  return WriteRecord(kResultRecord, result.data(), result.size());
}

[[noreturn]] void WorkerLoop(int fd, const TJobLimits& limits, pid_t parent) {
  workerSocket = fd;
  // A worker stuck in a long call must not outlive a caller that was killed: the kernel
  // kills it with its parent (and a parent gone before the request was made is seen here).
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(0);
  ConfineWorker(limits);
  std::string request;
  for (;;) {
    char head[4];
    if (!ReadAll(fd, head, sizeof head)) _exit(0);
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
      n |= static_cast<uint32_t>(static_cast<uint8_t>(head[i])) << (8 * i);
    request.resize(n);
    if (!ReadAll(fd, request.data(), n) || !Serve(request)) _exit(1);
  }
}

// --- the caller's side ----------------------------------------------------------------------

struct TWorkerOutcome {
  bool haveResult = false;
  std::string result;
  std::string failure;  // why there is no result
};

// The outcome of the running job, kept so that its result buffer stays allocated.
TWorkerOutcome& FreshOutcome() {
  static TWorkerOutcome outcome;
  outcome.haveResult = false;
  outcome.result.clear();
  outcome.failure.clear();
  return outcome;
}

// Hands on the complete records at the front of `pending` and removes them.
void TakeRecords(std::string& pending, TWorkerOutcome& outcome) {
  size_t at = 0;
  while (pending.size() - at >= 5) {
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
      n |= static_cast<uint32_t>(static_cast<uint8_t>(pending[at + 1 + i])) << (8 * i);
    if (pending.size() - at - 5 < n) break;
    const char type = pending[at];
    const char* data = pending.data() + at + 5;
    const pavo::TScriptSinks& sinks = pavo::GetScriptSinks();
    if (type == kPrintRecord && sinks.print != nullptr) sinks.print(sinks.context, data, n);
    if (type == kErrorRecord && sinks.error != nullptr) sinks.error(sinks.context, data, n);
    if (type == kResultRecord) {
      outcome.result.assign(data, n);
      outcome.haveResult = true;
    }
    at += 5 + n;
  }
  pending.erase(0, at);
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

// The kept worker process of this program.
class CWorker {
 public:
  ~CWorker() { Stop(); }

  // Sends the request and collects the outcome; false when no worker could be had.
  bool Run(const std::string& request, const char* job, const TJobLimits& limits,
           TWorkerOutcome& outcome) {
    // The address-space bound is set when the worker starts: other limits need a new one.
    if (pid_ > 0 && memory_ != limits.memoryBytes) Stop();
    if (pid_ < 0 && !Start(limits)) return false;
    if (!Send(request)) {
      // Gone since the last job (killed from outside): one new attempt.
      Stop();
      if (!Start(limits) || !Send(request)) return false;
    }
    Collect(job, limits, outcome);
    return true;
  }

 private:
  bool Start(const TJobLimits& limits) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
      close(fds[0]);
      close(fds[1]);
      return false;
    }
    if (pid == 0) {
      close(fds[0]);
      WorkerLoop(fds[1], limits, parent);
    }
    close(fds[1]);
    pid_ = pid;
    socket_ = fds[0];
    memory_ = limits.memoryBytes;
    return true;
  }

  // Kills the worker (unless it has died already), reaps it and returns its wait status.
  int Stop() {
    int status = 0;
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
    if (socket_ >= 0) close(socket_);
    pid_ = -1;
    socket_ = -1;
    return status;
  }

  // The worker's end of life: reaped as it died.
  int Reap() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    close(socket_);
    socket_ = -1;
    return status;
  }

  bool Send(const std::string& request) {
    std::string record;
    PutU32(record, static_cast<uint32_t>(request.size()));
    record += request;
    const char* data = record.data();
    size_t n = record.size();
    while (n > 0) {
      // MSG_NOSIGNAL: a worker that has gone must not take the caller down with SIGPIPE.
      const ssize_t done = send(socket_, data, n, MSG_NOSIGNAL);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) return false;
      data += done;
      n -= static_cast<size_t>(done);
    }
    return true;
  }

  void Collect(const char* job, const TJobLimits& limits, TWorkerOutcome& outcome) {
    const bool timed = limits.seconds > 0.0;
    const Clock::time_point deadline =
        Clock::now() +
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limits.seconds));
    pending_.clear();
    bool overran = false;
    bool ended = false;
    while (!outcome.haveResult) {
      int wait = -1;
      if (timed) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
          overran = true;
          break;
        }
        wait = static_cast<int>(left.count()) + 1;
      }
      pollfd p{socket_, POLLIN, 0};
      const int ready = poll(&p, 1, wait);
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) continue;  // the deadline is checked above
      const ssize_t got = ready < 0 ? -1 : read(socket_, buffer_, sizeof buffer_);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        ended = true;  // the worker died
        break;
      }
      pending_.append(buffer_, static_cast<size_t>(got));
      TakeRecords(pending_, outcome);
    }
    if (outcome.haveResult) return;
    char text[320];
    if (overran) {
      Stop();
      std::snprintf(text, sizeof text,
                    "the script was stopped: it ran longer than the %g s allowed for %s, inside a "
                    "call that cannot be interrupted (a library function, a hook or a finalizer)",
                    limits.seconds, job);
    } else {
      const int status = ended ? Reap() : Stop();
      std::snprintf(text, sizeof text, "the script broke the interpreter during %s (%s)", job,
                    Describe(status).c_str());
    }
    outcome.haveResult = false;
    outcome.failure = text;
  }

  pid_t pid_ = -1;
  int socket_ = -1;
  int64_t memory_ = 0;
  std::string pending_;  // received bytes not yet taken as records
  char buffer_[65536];
};

CWorker worker;

std::string Request(char kind, const TJobLimits& limits, const pavo::CBrushInfo& info, int32_t w,
                    int32_t h, int32_t seed, bool wantDebug) {
  std::string out;
  out.push_back(kind);
  PutDouble(out, limits.seconds);
  PutDouble(out, static_cast<double>(limits.memoryBytes));
  const pavo::TScriptSinks& sinks = pavo::GetScriptSinks();
  out.push_back(sinks.print != nullptr ? 1 : 0);
  out.push_back(sinks.error != nullptr ? 1 : 0);
  PutShared(out);
  PutInfo(out, info);
  PutI32(out, w);
  PutI32(out, h);
  PutI32(out, seed);
  out.push_back(wantDebug ? 1 : 0);
  return out;
}

// The job in this process, under the same limits (the count hook alone enforces the budget).
std::string InProcess(const char* job, const TJobLimits& limits, TWork work, void* context,
                      const std::string& stopped) {
  const int64_t memory = pavo::ScriptMemoryLimit();
  pavo::SetScriptMemoryLimit(limits.memoryBytes);
  pavo::BeginScriptJob(limits.seconds, job);
  if (!stopped.empty()) pavo::StopScriptJob(stopped);
  std::string result;
  work(context, result);
  std::string message = pavo::ScriptJobStopped() ? pavo::ScriptStopMessage() : std::string();
  pavo::EndScriptJob();
  pavo::SetScriptMemoryLimit(memory);
  return message;
}

}  // namespace

std::string DiscoverInWorker(pavo::CBrushInfo& info, const TJobLimits& limits, bool* stopped) {
  TDiscovery d{&info, std::string()};
  TWorkerOutcome& outcome = FreshOutcome();
  if (stopped != nullptr) *stopped = false;
  if (info.type != 11) return pavo::DiscoverScript(info);
  if (!limits.isolate || !worker.Run(Request(kDiscoveryRequest, limits, info, 0, 0, 0, false),
                                     kDiscoveryJob, limits, outcome)) {
    const std::string message = InProcess(kDiscoveryJob, limits, Discover, &d, std::string());
    if (stopped != nullptr) *stopped = !message.empty();
    return d.status;
  }
  if (outcome.haveResult) {
    CByteReader in(outcome.result);
    std::string status = in.Text();
    const char* flag = in.Bytes(1);
    if (stopped != nullptr) *stopped = flag != nullptr && *flag != 0;
    pavo::CBrushInfo answered = info;
    GetAnswers(in, answered);
    GetShared(in);
    if (in.ok()) {
      info = std::move(answered);
      return status;
    }
    outcome.failure =
        "the script broke the interpreter during parameter discovery (a result "
        "that could not be read)";
  }
  // No answers: the discovery of a script that fails to load, with the cause as its message.
  if (stopped != nullptr) *stopped = true;
  InProcess(kDiscoveryJob, limits, Discover, &d, outcome.failure);
  return d.status;
}

void RepaintAfterStop(pavo::CBrushInfo& info, pavo::CImage32& image, int32_t seed,
                      const std::string& message) {
  TRepaint r{&info, &image, seed, nullptr, false};
  InProcess(kRepaintJob, TJobLimits(), Repaint, &r, message);
}

std::string RepaintInWorker(pavo::CBrushInfo& info, pavo::CImage32& image, int32_t seed,
                            std::string* debugText, const TJobLimits& limits) {
  TRepaint r{&info, &image, seed, debugText, true};
  TWorkerOutcome& outcome = FreshOutcome();
  // The plain brush runs no script, and a preview without pixels is not painted at all.
  if (info.type != 11 || image.pixels == nullptr || !limits.isolate ||
      !worker.Run(Request(kRepaintRequest, limits, info, image.width, image.height, seed,
                          debugText != nullptr),
                  kRepaintJob, limits, outcome)) {
    r.send = false;
    return InProcess(kRepaintJob, limits, Repaint, &r, std::string());
  }
  if (outcome.haveResult) {
    CByteReader in(outcome.result);
    const std::string stop = in.Text();
    std::string debug = in.Text();
    const int32_t w = in.I32();
    const int32_t h = in.I32();
    const char* have = in.Bytes(1);
    if (in.ok() && w == image.width && h == image.height && have != nullptr) {
      const char* pixels = *have != 0 && image.pixels != nullptr
                               ? in.Bytes(static_cast<size_t>(w) * 4 * h)
                               : nullptr;
      if (pixels != nullptr || *have == 0) {
        for (int32_t y = 0; pixels != nullptr && y < h; ++y) {
          std::memcpy(image.RowAddress(y), pixels + static_cast<size_t>(y) * w * 4,
                      static_cast<size_t>(w) * 4);
        }
        GetShared(in);
        if (in.ok()) {
          if (debugText != nullptr) *debugText = std::move(debug);
          return stop;
        }
      }
    }
    outcome.failure =
        "the script broke the interpreter during the repaint (a result that could not be read)";
  }
  r.send = false;
  InProcess(kRepaintJob, limits, Repaint, &r, outcome.failure);
  return outcome.failure;
}

}  // namespace quarnel
