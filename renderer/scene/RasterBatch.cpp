#include "RasterBatch.h"

#include <algorithm>
#include <chrono>

namespace orb {

void ForEachBand(int height, WorkerPool& pool, const std::function<void(int, int)>& job)
{
    const int bands = (std::max(height, 0) + RasterBatch::kBandRows - 1) / RasterBatch::kBandRows;
    pool.Run(bands, [&](int index) {
        job(index * RasterBatch::kBandRows, std::min(height, (index + 1) * RasterBatch::kBandRows));
    });
}

void RasterBatch::Begin(FrameBuffer& frame, std::function<void(int, int)> clear)
{
    frame_ = &frame;
    bands_.resize((frame.Height() + kBandRows - 1) / kBandRows);
    for (auto& band : bands_)
        band.clear();
    clear_ = std::move(clear);
    bandClearing_.assign(bands_.size(), 0);
    clearingTime_ = 0;
}

void RasterBatch::Add(const RasterTriangle& triangle)
{
    for (int band = triangle.top / kBandRows; band <= triangle.bottom / kBandRows; ++band)
        bands_[band].push_back(&triangle);
    waiting_ = true;
}

void RasterBatch::Draw(WorkerPool& pool)
{
    if (!waiting_ && !clear_)
        return;
    waiting_ = false;
    ForEachBand(frame_->Height(), pool, [this](int firstRow, int endRow) {
        const int index = firstRow / kBandRows;
        if (clear_) {
            const auto start = std::chrono::steady_clock::now();
            clear_(firstRow, endRow);
            bandClearing_[index] =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
        std::vector<const RasterTriangle*>& band = bands_[index];
        for (const RasterTriangle* triangle : band)
            DrawTriangleRows(*frame_, *triangle, firstRow, endRow);
        band.clear();
    });
    if (clear_) {
        clear_ = nullptr;
        for (double ms : bandClearing_)
            clearingTime_ += ms;
        clearingTime_ /= pool.Threads();
    }
}

}  // namespace orb
