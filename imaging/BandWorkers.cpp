#include "imaging/BandWorkers.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pavo {

namespace {

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Waits without sleeping while busy() holds, for at most `ns`. Timed by the clock, as the
// pause instruction takes from a few to over a hundred cycles depending on the processor.
template <class TBusy>
bool SpinWhile(TBusy busy, int64_t ns) {
  const int64_t end = NowNs() + ns;
  while (busy()) {
    for (int i = 0; i < 16; ++i) {
#ifdef __SSE2__
      _mm_pause();
#endif
    }
    if (NowNs() > end) return busy();
  }
  return false;
}

// The claim word of a job: its generation and the bands still unclaimed, [front, back): the
// caller claims from the front, the workers from the back.
constexpr uint64_t Claim(uint32_t generation, uint32_t back, uint32_t front) {
  return (uint64_t{generation} << 32) | (uint64_t{back} << 16) | front;
}
constexpr uint32_t GenerationOf(uint64_t c) { return static_cast<uint32_t>(c >> 32); }
constexpr uint32_t BackOf(uint64_t c) { return static_cast<uint32_t>(c >> 16) & 0xFFFF; }
constexpr uint32_t FrontOf(uint64_t c) { return static_cast<uint32_t>(c) & 0xFFFF; }

// Threads kept for the threaded path: starting threads for every dab costs more than a large
// disc takes to paint. The caller takes bands too and returns when every band is done; which
// thread paints which band does not change any pixel. One process-wide set, made at the first
// use and never destroyed, so no exit path waits for a worker.
//
// Bands are claimed without a lock, one at a time, from a claim word that also names the
// job's generation: a worker late for one job can never claim a band of the next. A worker
// that has not come by the time the caller has claimed every band finds nothing left, so a
// worker that is slow to wake (its processor busy) costs the caller little; the caller waits
// only for the bands a worker has already started.
class CBandWorkers {
 public:
  // Null when no thread could be started or there is one processor only.
  static CBandWorkers* Get() {
    static CBandWorkers* const workers = Start();
    return workers;
  }

  int32_t Threads() const { return static_cast<int32_t>(threads_.size()) + 1; }

  // Nanoseconds from handing an empty band to the workers to seeing it done: the least of a
  // few tries, timed when the workers start and again when that is long ago (a busy machine
  // at the start should not decide for the life of the process).
  int64_t HandOverNs() {
    const int64_t now = NowNs();
    if (now - handOverAt_.load(std::memory_order_relaxed) > kHandOverLifeNs) {
      handOverAt_.store(now, std::memory_order_relaxed);
      const CNothing nothing;
      int64_t best = INT64_MAX;
      for (int i = 0; i < kHandOverTries; ++i) {
        const int64_t start = NowNs();
        if (!Run(nothing, 1, false)) break;  // in use: keep the last value
        best = std::min(best, NowNs() - start);
      }
      if (best != INT64_MAX) handOverNs_.store(best, std::memory_order_relaxed);
    }
    return handOverNs_.load(std::memory_order_relaxed);
  }

  // Sends workers that wait for the next job to sleep instead of spinning: a caller that
  // paints alone for a while would otherwise share its processor with a spinning worker
  // whenever the machine's other processors are busy.
  void Rest() {
    if (!resting_.load(std::memory_order_relaxed)) resting_.store(true, std::memory_order_relaxed);
  }

  // False (nothing run) when another caller is using the workers.
  bool Run(const IBandJob& job, int32_t count, bool callerTakesBands) {
    std::unique_lock<std::mutex> use(use_, std::try_to_lock);
    if (!use.owns_lock()) return false;
    job_ = &job;
    resting_.store(false, std::memory_order_relaxed);
    pending_.store(count, std::memory_order_relaxed);
    const uint32_t generation = ++generation_;
    claim_.store(Claim(generation, static_cast<uint32_t>(count), 0), std::memory_order_seq_cst);
    if (sleepers_.load(std::memory_order_seq_cst) > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      wake_.notify_all();
    }
    if (callerTakesBands) PaintClaimed(generation, 0);
    auto busy = [this] { return pending_.load(std::memory_order_acquire) != 0; };
    // The last bands are being painted by workers: they usually end sooner than a sleeping
    // caller would be woken.
    if (SpinWhile(busy, kSpinNs)) {
      std::unique_lock<std::mutex> lock(mutex_);
      finished_.wait(lock, [&] { return !busy(); });
    }
    return true;
  }

 private:
  // An empty band, for timing the hand-over.
  class CNothing : public IBandJob {
   public:
    void PaintBand(int32_t, int32_t) const override {}
  };

  static CBandWorkers* Start() {
    const int32_t n = std::clamp(AvailableCores() - 1, 0, 7);
    if (n == 0) return nullptr;
    std::unique_ptr<CBandWorkers> workers(new (std::nothrow) CBandWorkers());
    if (workers == nullptr) return nullptr;
    for (int32_t i = 0; i < n; ++i) {
      try {
        workers->threads_.emplace_back(&CBandWorkers::Loop, workers.get(), i + 1);
      } catch (...) {
        break;
      }
    }
    if (workers->threads_.empty()) return nullptr;
    // Every worker reaches its loop before the hand-over is timed.
    while (workers->started_.load(std::memory_order_acquire) < workers->Threads() - 1)
      std::this_thread::yield();
    workers->HandOverNs();
    return workers.release();  // kept for the life of the process
  }

  // Paints bands of job `generation` as `slot` until none is left to claim: the caller from
  // the first band on, the workers from the last one back, so that from one disc to the
  // next (which overlap) each thread paints about the same rows and finds them in its own
  // cache. A successful claim means the job is still running (its last band is this one at
  // the latest), so job_ is that job's.
  void PaintClaimed(uint32_t generation, int32_t slot) {
    const uint64_t step = slot == 0 ? 1 : uint64_t{1} << 16;
    uint64_t c = claim_.load(std::memory_order_acquire);
    while (GenerationOf(c) == generation && FrontOf(c) < BackOf(c)) {
      const uint64_t claimed = slot == 0 ? c + step : c - step;
      if (!claim_.compare_exchange_weak(c, claimed, std::memory_order_acq_rel)) continue;
      const uint32_t band = slot == 0 ? FrontOf(c) : BackOf(c) - 1;
      job_->PaintBand(static_cast<int32_t>(band), slot);
      if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_.notify_all();
      }
      c = claim_.load(std::memory_order_acquire);
    }
  }

  // Between the dabs of a stroke a worker waits a little before it sleeps: the next disc
  // usually comes sooner than a sleeping thread would be woken for it. The wait is short,
  // since a worker that shares the caller's processor (the others being busy) takes it from
  // the caller.
  void Loop(int32_t slot) {
    started_.fetch_add(1, std::memory_order_release);
    uint32_t seen = 0;
    auto same = [&] { return GenerationOf(claim_.load(std::memory_order_seq_cst)) == seen; };
    // A worker told to rest stops spinning at once.
    auto waiting = [&] { return same() && !resting_.load(std::memory_order_relaxed); };
    for (;;) {
      if (SpinWhile(waiting, kSpinNs) || same()) {
        std::unique_lock<std::mutex> lock(mutex_);
        sleepers_.fetch_add(1, std::memory_order_seq_cst);
        wake_.wait(lock, [&] { return !same(); });
        sleepers_.fetch_sub(1, std::memory_order_seq_cst);
      }
      seen = GenerationOf(claim_.load(std::memory_order_acquire));
      PaintClaimed(seen, slot);
    }
  }

  static constexpr int64_t kSpinNs = 20'000;
  static constexpr int kHandOverTries = 8;
  static constexpr int64_t kHandOverLifeNs = 1'000'000'000;

  std::mutex use_;                 // one job at a time
  uint32_t generation_ = 0;        // written under use_
  const IBandJob* job_ = nullptr;  // written under use_ before the claim word names the job
  std::atomic<uint64_t> claim_{0};
  std::atomic<int32_t> pending_{0};  // bands not yet painted
  std::mutex mutex_;                 // for sleeping: workers on wake_, the caller on finished_
  std::condition_variable wake_, finished_;
  std::atomic<int32_t> sleepers_{0};
  std::atomic<bool> resting_{false};  // set by Rest, cleared by the next job
  std::vector<std::thread> threads_;
  std::atomic<int32_t> started_{0};
  std::atomic<int64_t> handOverNs_{0};
  std::atomic<int64_t> handOverAt_{INT64_MIN / 2};
};

constexpr int kSizeClasses = 48;
// The slower path is tried again after this many jobs, twice as many after each try that
// confirms it slower, up to the most, and at the latest after the longest interval.
constexpr int32_t kFirstRetry = 8;
constexpr int32_t kMostRetry = 1024;
constexpr int64_t kLongestRetryNs = 100'000'000;
// A try of the slower path is this many jobs in a row, the first not counted: it wakes
// workers that went to sleep, and it moves the disc's memory to the caches that path uses.
constexpr int32_t kTryJobs = 3;
// Splitting is taken up when it takes less than this share of the serial time.
constexpr double kSwitchGain = 0.9;
// A split must save at least this many hand-overs of the serial time to be tried at all.
constexpr int64_t kHandOversToPay = 4;

// What one calling thread has measured: per size class (jobs of 2^k to 2^(k+1) pixels) the
// recent time per pixel of each path, how many jobs it rests on and when it was last
// measured; and when the slower path is to be tried again.
struct TPathTime {
  double nsPerPixel = 0;
  int64_t at = 0;
  int32_t jobs = 0;
};

struct TSizeClass {
  TPathTime serial, split;
  bool splitFaster = false;  // the last comparison
  int32_t retryEvery = kFirstRetry, sinceRetry = 0;
  int32_t trying = 0;  // jobs of a try of the other path still to come
  bool tryingSplit = false;
};

TSizeClass& ClassOf(int64_t pixels) {
  thread_local TSizeClass classes[kSizeClasses];
  int k = 0;
  while (k + 1 < kSizeClasses && (int64_t{2} << k) <= pixels) ++k;
  return classes[k];
}

// Folds one job's time into its path's: the first job after a try began replaces the old
// time (which is stale); otherwise the better of the first two (the first job on a fresh
// layer also pays for its memory), then a moving mean in which one job counts a quarter and
// at most four times the mean, so that a preempted job does not decide alone.
void Remember(TPathTime& path, double nsPerPixel, int64_t now, bool fresh) {
  if (path.jobs == 0 || fresh) {
    path.nsPerPixel = nsPerPixel;
  } else if (path.jobs == 1) {
    path.nsPerPixel = std::min(path.nsPerPixel, nsPerPixel);
  } else {
    path.nsPerPixel = 0.75 * path.nsPerPixel + 0.25 * std::min(nsPerPixel, 4 * path.nsPerPixel);
  }
  path.at = now;
  ++path.jobs;
}

}  // namespace

int32_t AvailableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::max(1, CPU_COUNT(&set));
}

int32_t BandThreads() {
  const CBandWorkers* workers = CBandWorkers::Get();
  return workers != nullptr ? workers->Threads() : 1;
}

bool RunOnWorkers(const IBandJob& job, int32_t count) {
  CBandWorkers* workers = CBandWorkers::Get();
  return workers != nullptr && workers->Run(job, count, true);
}

CSplitChoice::CSplitChoice(int64_t pixels) : pixels_(std::max<int64_t>(pixels, 1)) {
  start_ = NowNs();
  CBandWorkers* workers = CBandWorkers::Get();
  if (workers == nullptr) return;  // one processor: never split
  [&] {
    TSizeClass& c = ClassOf(pixels_);
    if (c.serial.jobs < 2) return;  // time the serial path first
    if (c.serial.nsPerPixel * static_cast<double>(pixels_) <
        static_cast<double>(kHandOversToPay * workers->HandOverNs()))
      return;            // too small to win back the hand-over
    if (c.trying > 0) {  // the rest of a try of the other path
      split_ = c.tryingSplit;
      fresh_ = --c.trying == kTryJobs - 2;
      return;
    }
    if (c.split.jobs < 2) {
      split_ = true;
      return;
    }
    // Splitting is taken up only when clearly faster and given up as soon as it is not:
    // alternating moves the disc's memory between processors' caches every time, and a
    // split that merely ties is a loss to the rest of the machine.
    const bool splitFaster = c.splitFaster ? c.split.nsPerPixel < c.serial.nsPerPixel
                                           : c.split.nsPerPixel < c.serial.nsPerPixel * kSwitchGain;
    if (splitFaster != c.splitFaster) {
      c.splitFaster = splitFaster;
      c.retryEvery = kFirstRetry;
      c.sinceRetry = 0;
    }
    split_ = splitFaster;
    const TPathTime& slower = splitFaster ? c.serial : c.split;
    if (++c.sinceRetry >= c.retryEvery || start_ - slower.at > kLongestRetryNs) {
      c.sinceRetry = 0;
      c.retryEvery = std::min(2 * c.retryEvery, kMostRetry);
      c.tryingSplit = split_ = !splitFaster;
      c.trying = kTryJobs - 1;
      uncounted_ = true;
    }
  }();
  if (!split_) workers->Rest();
}

CSplitChoice::~CSplitChoice() {
  if (uncounted_) return;
  const int64_t now = NowNs();
  TSizeClass& c = ClassOf(pixels_);
  Remember(split_ ? c.split : c.serial,
           static_cast<double>(now - start_) / static_cast<double>(pixels_), now, fresh_);
}

}  // namespace pavo
