// Worker threads kept for painting a large disc in bands, and the choice, disc by disc, of
// whether splitting pays on this machine at this moment.
//
// Splitting costs a hand-over (waking or reaching the workers, waiting for the last band)
// and pays only when another processor is really free to take bands. Both depend on the
// machine and on what else runs on it, so the choice is made from measurements: the
// processors in this process's affinity mask (one means never split), the hand-over cost
// (timed once, when the workers start; a job too small to win it back several times over is
// never split), and the time recent jobs of about the same size took on each path. The
// faster path is taken; the other is tried again after a few jobs, then after ever more (up
// to a thousand while it stays slower) and at least ten times a second, so a machine that
// becomes busy or idle is followed quickly at a cost of a fraction of a percent. A try of
// splitting is a few jobs in a row, timed from the second: the first wakes workers that
// went to sleep. Which path paints a job never changes a pixel.
#pragma once

#include <cstdint>

namespace pavo {

// The processors this process may run on (its affinity mask), at least 1.
int32_t AvailableCores();

// A job split into bands: PaintBand(i, slot) paints band i on the thread numbered slot (0 for
// the caller, 1 .. BandThreads() - 1 for the workers), which may keep its state in a place of
// its own. Bands run at once on different threads, so each must touch only what no other band
// touches and must not allocate or create tiles.
class IBandJob {
 public:
  virtual void PaintBand(int32_t i, int32_t slot) const = 0;

 protected:
  ~IBandJob() = default;
};

// The number of threads that take bands when the workers are used: the caller and the kept
// workers (one fewer than the available processors, at most 7); 1 when there are none.
int32_t BandThreads();

// Runs bands 0 .. count - 1 (at most 65535) of job on the caller and the kept workers, claimed
// one at a time, and returns when all have run. False, with nothing run, when there are no
// workers or another caller is using them.
bool RunOnWorkers(const IBandJob& job, int32_t count);

// The choice for one job of `pixels` pixels, timed from construction to destruction, which
// records the time for later choices (per calling thread, by size in powers of two).
class CSplitChoice {
 public:
  explicit CSplitChoice(int64_t pixels);
  ~CSplitChoice();
  CSplitChoice(const CSplitChoice&) = delete;
  CSplitChoice& operator=(const CSplitChoice&) = delete;

  bool Split() const { return split_; }
  // The job ended up painted on the caller alone (the workers were busy).
  void Unsplit() { split_ = false; }

 private:
  int64_t pixels_;
  int64_t start_ = 0;
  bool split_ = false;
  bool fresh_ = false;      // replaces the path's time, which is stale
  bool uncounted_ = false;  // the first job of a try of splitting, which wakes the workers
};

}  // namespace pavo
