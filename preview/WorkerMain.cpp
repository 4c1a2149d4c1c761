// quarnel-worker: runs the discoveries and repaints of quarnel-tester and quarnel-render in a
// process of its own, so that no script can freeze or crash the program that shows its
// preview. Started by them (see WorkerProtocol.h), never by hand.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "preview/WorkerJob.h"
#include "preview/WorkerProtocol.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUARNEL_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUARNEL_SANITIZED 1
#endif
#endif

namespace {

using quarnel::EFrame;

constexpr int kExitUsage = 2;
constexpr int kExitProtocol = 3;

// Address space the worker may add beyond the interpreter's limit: the layers of a large
// preview, the disc workers' stacks, the allocator's slack.
constexpr uint64_t kHostSpace = uint64_t{2} << 30;

void Say(const char* text) { std::fprintf(stderr, "quarnel-worker: %s\n", text); }

bool WriteAll(const char* data, size_t n) {
  while (n > 0) {
    const ssize_t done = send(quarnel::kWorkerSocketFd, data, n, MSG_NOSIGNAL);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

bool ReadAll(char* data, size_t n) {
  while (n > 0) {
    const ssize_t got = read(quarnel::kWorkerSocketFd, data, n);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

bool SendFrame(EFrame type, std::string_view payload) {
  char head[quarnel::kFrameHeader];
  head[0] = static_cast<char>(type);
  const auto n = static_cast<uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) head[1 + i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  return WriteAll(head, sizeof head) && WriteAll(payload.data(), payload.size());
}

// Text goes out as it comes, so that what a script printed before it hung reaches the caller
// even when the worker is killed; long text in pieces the caller accepts. A caller that has
// gone ends the worker.
void SendText(EFrame type, const char* text, size_t length) {
  do {
    const size_t piece = length < quarnel::kMaxTextFrame ? length : quarnel::kMaxTextFrame;
    if (!SendFrame(type, {text, piece})) _exit(0);
    text += piece;
    length -= piece;
  } while (length > 0);
}

void ForwardPrint(void*, const char* text, size_t length) noexcept {
  SendText(EFrame::kPrint, text, length);
}

void ForwardError(void*, const char* text, size_t length) noexcept {
  SendText(EFrame::kError, text, length);
}

void ForwardDebug(void*, const char* text, size_t length) noexcept {
  SendText(EFrame::kDebug, text, length);
}

// No core file, and (when the interpreter has a limit) an address space bounded a little
// above it, against host growth that a bug of ours might leave unbounded.
void Confine(int64_t memoryBytes) {
  signal(SIGPIPE, SIG_IGN);
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
#ifndef QUARNEL_SANITIZED
  // The sanitizers reserve terabytes of shadow memory; under them the limit is left out.
  if (memoryBytes > 0) {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long long pages = 0;
    if (statm != nullptr) {
      if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    if (pages > 0) {
      const uint64_t now = pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
      const uint64_t bound = now + static_cast<uint64_t>(memoryBytes) + kHostSpace;
      const rlimit space{bound, bound};
      setrlimit(RLIMIT_AS, &space);
    }
  }
#else
  (void)memoryBytes;
#endif
}

bool ParseNumber(const char* text, long long& out) {
  char* end = nullptr;
  errno = 0;
  out = std::strtoll(text, &end, 10);
  return errno == 0 && end != text && *end == '\0';
}

int Serve(const std::atomic<uint32_t>* wanted) {
  std::string hello;
  quarnel::CWireWriter greeting(hello);
  greeting(quarnel::kWireVersion);
  if (!SendFrame(EFrame::kHello, hello)) return 0;

  // Kept from job to job: a repaint of the same size allocates nothing for its pixels, and
  // they leave through memory that is already mapped.
  std::string payload;
  std::string reply;
  quarnel::TJobResult result;
  for (;;) {
    char head[quarnel::kFrameHeader];
    if (!ReadAll(head, sizeof head)) return 0;  // the caller is done
    EFrame type;
    uint32_t length = 0;
    if (!quarnel::ParseFrameHeader(head, type, length) || type != EFrame::kJob ||
        length > quarnel::kMaxJobFrame) {
      Say("the caller sent a frame that is not a job");
      return kExitProtocol;
    }
    payload.resize(length);
    if (!ReadAll(payload.data(), length)) {
      Say("the caller's job frame ended early");
      return kExitProtocol;
    }
    quarnel::TJobRequest request;
    if (!quarnel::ReadRecord(payload, request) || !quarnel::ValidRequest(request)) {
      Say("the caller sent a job record that cannot be read");
      return kExitProtocol;
    }
    pavo::TScriptSinks sinks;
    sinks.print = request.collectPrint ? ForwardPrint : nullptr;
    sinks.error = request.collectErrors ? ForwardError : nullptr;
    sinks.debug = request.collectDebug ? ForwardDebug : nullptr;
    quarnel::RunJob(request, result, sinks, wanted);
    reply.clear();
    quarnel::WriteRecord(reply, result);
    if (!SendFrame(EFrame::kResult, reply)) return 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  long long parent = -1;
  long long memory = -1;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--parent") == 0 && hasValue && ParseNumber(argv[i + 1], parent)) {
      ++i;
    } else if (std::strcmp(argv[i], "--memory-limit") == 0 && hasValue &&
               ParseNumber(argv[i + 1], memory)) {
      ++i;
    } else {
      parent = -1;
      break;
    }
  }
  struct stat socketStat {};
  if (parent <= 0 || memory < 0 || fstat(quarnel::kWorkerSocketFd, &socketStat) != 0 ||
      !S_ISSOCK(socketStat.st_mode)) {
    Say("runs the scripts of quarnel-tester and quarnel-render, which start it; it is not "
        "meant to be started by hand");
    return kExitUsage;
  }
  // A worker stuck in a long call must not outlive a caller that was killed: the kernel kills
  // it with its caller, and a caller gone before this line is seen here.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != static_cast<pid_t>(parent)) return 0;
  Confine(memory);

  void* shared = mmap(nullptr, quarnel::kWorkerSharedBytes, PROT_READ, MAP_SHARED,
                      quarnel::kWorkerSharedFd, 0);
  if (shared == MAP_FAILED) {
    Say("the caller's shared block cannot be mapped");
    return kExitUsage;
  }
  return Serve(static_cast<const std::atomic<uint32_t>*>(shared));
}
