#pragma once

#include "Rasterizer.h"
#include "WorkerPool.h"

#include <functional>
#include <vector>

namespace orb {

// Triangles set up for a frame, sorted into bands of rows that the threads of a pool share out.
// Every pixel meets the same triangles in the same order whichever thread draws its band, and
// its coverage, depth and colour depend on nothing but the triangle and the pixel, so a frame is
// the same picture on any number of threads.
class RasterBatch {
public:
    static constexpr int kBandRows = 16;

    // Starts on a frame; the room for the bands is kept from frame to frame. `clear(firstRow,
    // endRow)` runs for every band before anything is drawn in it, by the thread that then draws
    // the band, so that its rows are still in that core's cache.
    void Begin(FrameBuffer& frame, std::function<void(int, int)> clear = nullptr);
    // Sorts in a triangle set up for this frame; it must stay where it is until Draw.
    void Add(const RasterTriangle& triangle);
    // Draws what was added since the last Draw, in the order it was added, and lets it go; the
    // first Draw of a frame clears every band, also with nothing to draw.
    void Draw(WorkerPool& pool);
    // Milliseconds the threads spent clearing this frame's bands, divided by their number.
    double ClearingTime() const { return clearingTime_; }

private:
    FrameBuffer* frame_ = nullptr;
    std::vector<std::vector<const RasterTriangle*>> bands_;
    bool waiting_ = false;  // anything added since the last Draw
    std::function<void(int, int)> clear_;  // until the first Draw
    std::vector<double> bandClearing_;     // milliseconds, per band
    double clearingTime_ = 0;
};

// Threads to draw frames on, and room for their triangles, kept by whoever draws frame after frame.
struct RenderWorkers {
    explicit RenderWorkers(int threads = WorkerPool::DefaultThreads()) : pool(threads) {}

    // A scene node's vertices as a frame sees them: in the world and the camera's space, lit
    // (smooth shading only), and projected where they lie in front of the near plane.
    struct NodeVertices {
        std::vector<Vec3> world, camera, colour;
        std::vector<ScreenVertex> screen;
    };

    WorkerPool pool;
    RasterBatch batch;
    std::vector<NodeVertices> vertices;                 // per scene node being drawn
    std::vector<std::vector<RasterTriangle>> prepared;  // per share of their triangles
};

// Runs job(firstRow, endRow) for every band of rows of a frame this high, on the pool's threads.
void ForEachBand(int height, WorkerPool& pool, const std::function<void(int, int)>& job);

}  // namespace orb
