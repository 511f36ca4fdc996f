#pragma once

#include "Rasterizer.h"
#include "WorkerPool.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace orb {

// Triangles set up for one frame, drawn in bands of rows that the threads of a pool share out.
// Every pixel meets the same triangles in the same order whichever thread draws its band, and
// its coverage, depth and colour depend on nothing but the triangle and the pixel, so a frame is
// the same picture on any number of threads.
class RasterBatch {
public:
    static constexpr int kBandRows = 16;
    // Drawn when this many are waiting, which keeps a scene of a million triangles in bounded memory.
    static constexpr size_t kMaxWaiting = 8192;

    // Starts on a frame; its room is kept from frame to frame.
    void Begin(FrameBuffer& frame);
    // Sets the triangle up to wait for the next Draw; returns its work (SetUpTriangle).
    size_t Add(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, int id);
    bool Full() const { return triangles_.size() >= kMaxWaiting; }

    // Draws what waits, in the order it was added, on the pool's threads (on this one without a
    // pool), and empties the batch.
    void Draw(WorkerPool* pool);

private:
    FrameBuffer* frame_ = nullptr;
    std::vector<RasterTriangle> triangles_;
    std::vector<std::vector<uint32_t>> bands_;  // per band, the triangles that reach into it
};

// Threads to draw frames on and room for their triangles, kept by whoever draws frame after frame.
struct RenderWorkers {
    WorkerPool pool;
    RasterBatch batch;
};

// Runs job(firstRow, endRow) for every band of rows of a frame this high, on the pool's threads
// (on this one without a pool).
void ForEachBand(int height, WorkerPool* pool, const std::function<void(int, int)>& job);

}  // namespace orb
