// What the worker program and its caller agree on besides the records: how the program is
// started, where its channels are, and how large a frame of each type may be.
//
// The caller starts `quarnel-worker --parent PID --memory-limit BYTES` with a stream socket as
// file descriptor 3 and a shared memory block of one page as descriptor 4, whose first 32 bits
// hold the lowest id of the jobs the caller still wants (a job seeing a higher one stops).
// Standard input and output are /dev/null; standard error is the caller's. The worker greets
// with a kHello frame holding kWireVersion, then answers each kJob frame with any number of
// kPrint and kError frames and one kResult frame. It ends when the socket closes, and dies
// with its caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "preview/WireFormat.h"

namespace quarnel {

constexpr int kWorkerSocketFd = 3;
constexpr int kWorkerSharedFd = 4;
constexpr size_t kWorkerSharedBytes = 4096;

// Frame payload limits. A job carries settings and labels; print text is sent in pieces of at
// most kMaxTextFrame bytes; a result carries the settings, the bs_debug log (16 MiB at most)
// and the preview's pixels, whose size the caller knows.
constexpr uint32_t kMaxJobFrame = uint32_t{64} << 20;
constexpr uint32_t kMaxTextFrame = uint32_t{1} << 20;
constexpr uint32_t kMaxHelloFrame = 64;
constexpr uint64_t kMaxResultOverhead = uint64_t{64} << 20;

}  // namespace quarnel
