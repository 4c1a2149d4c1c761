// The worker's protocol: records read back field for field and refused when cut short or
// padded; the worker program ending cleanly on frames it must not take; the client ending a
// job with a clear message, never a hang or a crash, when its peer sends garbage, too much,
// too little or nothing at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "preview/WireFormat.h"
#include "preview/WorkerClient.h"
#include "preview/WorkerJob.h"
#include "preview/WorkerProtocol.h"
#include "tests/preview/PreviewTestSupport.h"

namespace {

using namespace quarnel;
using Clock = std::chrono::steady_clock;

TJobRequest SampleRequest() {
  TJobRequest r;
  r.id = 0x01020304;
  r.kind = EJob::kRepaint;
  r.seconds = 1.25;
  r.memoryBytes = int64_t{3} << 33;
  r.collectPrint = true;
  r.collectDebug = true;
  r.randomState = 0xDEADBEEF;
  r.strokeCounter = -7;
  r.info.SetType(11);
  r.info.width = 33.5;
  r.info.pressureSize = false;
  r.info.scriptPath = "/tmp/a b.bs";
  r.info.property.count = 2;
  r.info.property.name[1] = std::string("\0\xff label", 8);
  r.info.property.minimum[9] = -5;
  r.width = 3;
  r.height = 2;
  r.seed = 99;
  r.stopMessage = "stopped";
  return r;
}

TEST(WireFormat, RequestReadsBackFieldForField) {
  const TJobRequest a = SampleRequest();
  std::string bytes;
  WriteRecord(bytes, a);
  TJobRequest b;
  ASSERT_TRUE(ReadRecord(bytes, b));
  EXPECT_EQ(b.id, a.id);
  EXPECT_EQ(b.kind, a.kind);
  EXPECT_EQ(b.seconds, a.seconds);
  EXPECT_EQ(b.memoryBytes, a.memoryBytes);
  EXPECT_EQ(b.collectPrint, true);
  EXPECT_EQ(b.collectErrors, false);
  EXPECT_EQ(b.collectDebug, true);
  EXPECT_EQ(b.randomState, a.randomState);
  EXPECT_EQ(b.strokeCounter, a.strokeCounter);
  EXPECT_EQ(b.info.type, 11);
  EXPECT_EQ(b.info.width, 33.5);
  EXPECT_FALSE(b.info.pressureSize);
  EXPECT_EQ(b.info.scriptPath, a.info.scriptPath);
  EXPECT_EQ(b.info.property.count, 2);
  EXPECT_EQ(b.info.property.name[1], a.info.property.name[1]);
  EXPECT_EQ(b.info.property.minimum[9], -5);
  EXPECT_EQ(b.width, 3);
  EXPECT_EQ(b.seed, 99);
  EXPECT_EQ(b.stopMessage, "stopped");
}

// Every prefix of a record is refused, as is a record with a byte more, or a flag that is
// neither 0 nor 1.
TEST(WireFormat, CutPaddedOrOddRecordsAreRefused) {
  std::string bytes;
  WriteRecord(bytes, SampleRequest());
  for (size_t n = 0; n < bytes.size(); ++n) {
    TJobRequest r;
    EXPECT_FALSE(ReadRecord(std::string_view(bytes).substr(0, n), r)) << n << " bytes";
  }
  TJobRequest r;
  EXPECT_FALSE(ReadRecord(bytes + '\0', r));
  std::string odd = bytes;
  odd[4 + 4 + 8 + 8] = 2;  // collectPrint, after id, kind, seconds and memory
  EXPECT_FALSE(ReadRecord(odd, r));
}

TEST(WireFormat, PixelsReadBackAndTheirSizeIsChecked) {
  TJobResult a;
  a.kind = EJob::kRepaint;
  a.image = std::make_unique<pavo::CImage32>(3, 2);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 3; ++x) a.image->SetPixelUnchecked(x, y, 0xff000000u + y * 16 + x);
  }
  std::string bytes;
  WriteRecord(bytes, a);
  TJobResult b;
  b.image = std::make_unique<pavo::CImage32>(pavo::CImage32::TNoSize{});
  ASSERT_TRUE(ReadRecord(bytes, b));
  ASSERT_EQ(b.image->width, 3);
  ASSERT_EQ(b.image->height, 2);
  EXPECT_EQ(b.image->GetPixel(2, 1), 0xff000012u);
  // A height that claims more rows than the record holds.
  // The width and height come right before the pixels' bytes.
  const std::string rows(reinterpret_cast<const char*>(a.image->pixels), 3 * 2 * 4);
  const size_t pixelsAt = bytes.find(rows) - 8;
  std::string tall = bytes;
  tall[pixelsAt + 4] = 100;
  EXPECT_FALSE(ReadRecord(tall, b));
  // A width of 0 with a height: no image has that size.
  std::string flat = bytes;
  flat[pixelsAt] = 0;
  EXPECT_FALSE(ReadRecord(flat, b));
}

TEST(WireFormat, FrameHeadersOfUnknownTypesAreRefused) {
  std::string frame;
  AppendFrame(frame, EFrame::kResult, "abc");
  EFrame type;
  uint32_t length = 0;
  ASSERT_TRUE(ParseFrameHeader(frame.data(), type, length));
  EXPECT_EQ(type, EFrame::kResult);
  EXPECT_EQ(length, 3u);
  frame[0] = 'Z';
  EXPECT_FALSE(ParseFrameHeader(frame.data(), type, length));
}

// --- the worker program, given what it must not take ------------------------------------

std::string WorkerPath() { return QUARNEL_BINARY_DIR "/preview/quarnel-worker"; }

// Starts the worker as its client does, writes `bytes` and closes the socket's writing side;
// returns the worker's exit status (-1 when it had to be killed after 10 s).
int FeedWorker(const std::string& bytes, std::string* greeting = nullptr) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return -2;
  const int block = memfd_create("test", 0);
  if (block < 0 || ftruncate(block, kWorkerSharedBytes) != 0) return -2;
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(ends[1], kWorkerSocketFd);
    dup2(block, kWorkerSharedFd);
    const std::string p = std::to_string(parent);
    const std::string worker = WorkerPath();
    execl(worker.c_str(), worker.c_str(), "--parent", p.c_str(), "--memory-limit", "0",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ends[1]);
  close(block);
  if (!bytes.empty() && write(ends[0], bytes.data(), bytes.size()) < 0) return -2;
  shutdown(ends[0], SHUT_WR);
  const Clock::time_point start = Clock::now();
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() - start > std::chrono::seconds(10)) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      close(ends[0]);
      return -1;
    }
    usleep(2000);
  }
  if (greeting != nullptr) {
    char buffer[256];
    const ssize_t n = read(ends[0], buffer, sizeof buffer);
    greeting->assign(buffer, n > 0 ? static_cast<size_t>(n) : 0);
  }
  close(ends[0]);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string JobFrame(const std::string& payload) {
  std::string frame;
  AppendFrame(frame, EFrame::kJob, payload);
  return frame;
}

TEST(WorkerProgram, GreetsAndEndsWhenTheCallerCloses) {
  std::string greeting;
  EXPECT_EQ(FeedWorker("", &greeting), 0);
  std::string hello;
  AppendFrame(hello, EFrame::kHello, std::string("\x01\0\0\0", 4));
  EXPECT_EQ(greeting, hello);
}

TEST(WorkerProgram, RefusesWhatIsNotAJob) {
  std::string request;
  WriteRecord(request, SampleRequest());
  std::string oversized = JobFrame("");
  oversized[1] = oversized[2] = oversized[3] = '\xff';
  oversized[4] = '\x7f';
  TJobRequest tiny = SampleRequest();
  tiny.width = 0;  // a repaint of no pixels
  std::string tinyRecord;
  WriteRecord(tinyRecord, tiny);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"unknown frame type", "Zxxxxxxxx"},
      {"a result frame",
       [] {
         std::string f;
         AppendFrame(f, EFrame::kResult, "x");
         return f;
       }()},
      {"longer than any job", oversized},
      {"cut short", JobFrame(request).substr(0, 40)},
      {"garbage record", JobFrame(std::string(200, '\x5a'))},
      {"record with a byte more", JobFrame(request + "x")},
      {"repaint of no pixels", JobFrame(tinyRecord)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FeedWorker(c.bytes), 3) << c.name;
  }
}

// --- the client, facing a peer that misbehaves ------------------------------------------

class FakeWorkerTest : public preview_test::CFolderTest {
 protected:
  // A worker program that is a shell script writing to its socket, file descriptor 3.
  std::string Fake(const std::string& body) {
    const std::string path = (dir_ / "fake-worker").string();
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
    return path;
  }

  // A 16 x 8 repaint of the plain script brush, run by the given program with a short budget.
  TJobResult Repaint(const std::string& program, double* seconds) {
    TJobLimits limits;
    limits.seconds = 0.3;
    CWorkerClient client(limits);
    client.SetProgram(program);
    TJobRequest request;
    request.kind = EJob::kRepaint;
    request.info.SetType(11);
    request.info.scriptPath = (dir_ / "missing.bs").string();
    request.width = 16;
    request.height = 8;
    TJobResult result;
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(client.Run(request, result));
    *seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
  }
};

constexpr const char* kHello = "printf 'H\\004\\000\\000\\000\\001\\000\\000\\000' >&3";

TEST_F(FakeWorkerTest, AJobEndsWithAMessageWhateverThePeerSends) {
  const struct {
    const char* name;
    std::string body;
    const char* message;  // in the result's message
    double atMost;        // seconds
  } cases[] = {
      {"garbage", "printf 'garbage that is no frame' >&3; exec sleep 5",
       "the script broke the interpreter during the repaint (a result that could not be read)",
       2.0},
      {"a frame before the greeting", "printf 'P\\001\\000\\000\\000x' >&3; exec sleep 5",
       "(a result that could not be read)", 2.0},
      {"a result longer than any preview",
       std::string(kHello) + "; printf 'R\\360\\377\\377\\377' >&3; exec sleep 5",
       "(a result that could not be read)", 2.0},
      {"a result cut short, then the end",
       std::string(kHello) + "; printf 'R\\100\\000\\000\\000abcdefgh' >&3; exit 0",
       "the script broke the interpreter during the repaint (exit status 0)", 2.0},
      {"a result that is not a record",
       std::string(kHello) + "; printf 'R\\004\\000\\000\\000abcd' >&3; exec sleep 5",
       "(a result that could not be read)", 2.0},
      {"death by a signal", "kill -SEGV $$",
       "the script broke the interpreter during the repaint (signal 11, Segmentation fault)", 2.0},
      {"silence", std::string(kHello) + "; exec sleep 30",
       "the script was stopped: it ran longer than the 0.3 s allowed for the repaint, inside a "
       "call that cannot be interrupted",
       0.3 + kKillGrace + 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    double seconds = 0.0;
    const TJobResult result = Repaint(Fake(c.body), &seconds);
    EXPECT_TRUE(result.stopped);
    EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;
    EXPECT_LT(seconds, c.atMost);
    // Shown as a script that fails to load: the preview has its pixels.
    ASSERT_NE(result.image, nullptr);
    EXPECT_EQ(result.image->width, 16);
  }
}

// A worker of another build: not used, and the job runs in this process instead.
TEST_F(FakeWorkerTest, AWorkerOfAnotherVersionIsNotUsed) {
  double seconds = 0.0;
  const TJobResult result = Repaint(
      Fake("printf 'H\\004\\000\\000\\000\\377\\000\\000\\000' >&3; exec sleep 5"), &seconds);
  EXPECT_FALSE(result.stopped) << result.message;
  EXPECT_LT(seconds, 2.0);
  ASSERT_NE(result.image, nullptr);
  EXPECT_EQ(result.image->height, 8);
}

// No program at all: jobs run here.
TEST_F(FakeWorkerTest, AMissingProgramRunsJobsHere) {
  double seconds = 0.0;
  const TJobResult result = Repaint((dir_ / "nowhere").string(), &seconds);
  EXPECT_FALSE(result.stopped) << result.message;
  ASSERT_NE(result.image, nullptr);
  EXPECT_EQ(result.image->width, 16);
}

// A worker killed from outside between two jobs is replaced at the next.
TEST(WorkerClient, AWorkerKilledBetweenJobsIsReplaced) {
  CWorkerClient client;
  TJobRequest request;
  request.kind = EJob::kRepaint;
  request.width = 8;
  request.height = 8;
  TJobResult result;
  ASSERT_TRUE(client.Run(request, result));
  EXPECT_FALSE(result.stopped);
  ASSERT_GT(client.WorkerPid(), 0);
  kill(client.WorkerPid(), SIGKILL);
  usleep(20000);
  ASSERT_TRUE(client.Run(request, result));
  EXPECT_FALSE(result.stopped) << result.message;
  EXPECT_EQ(client.WorkersStarted(), 2);
}

}  // namespace
