#include "RasterBatch.h"

#include <algorithm>

namespace orb {

void ForEachBand(int height, WorkerPool& pool, const std::function<void(int, int)>& job)
{
    const int bands = (std::max(height, 0) + RasterBatch::kBandRows - 1) / RasterBatch::kBandRows;
    pool.Run(bands, [&](int index) {
        job(index * RasterBatch::kBandRows, std::min(height, (index + 1) * RasterBatch::kBandRows));
    });
}

void RasterBatch::Begin(FrameBuffer& frame)
{
    frame_ = &frame;
    bands_.resize((frame.Height() + kBandRows - 1) / kBandRows);
    for (auto& band : bands_)
        band.clear();
}

void RasterBatch::Add(const RasterTriangle& triangle)
{
    for (int band = triangle.top / kBandRows; band <= triangle.bottom / kBandRows; ++band)
        bands_[band].push_back(&triangle);
    waiting_ = true;
}

void RasterBatch::Draw(WorkerPool& pool)
{
    if (!waiting_)
        return;
    waiting_ = false;
    ForEachBand(frame_->Height(), pool, [this](int firstRow, int endRow) {
        std::vector<const RasterTriangle*>& band = bands_[firstRow / kBandRows];
        for (const RasterTriangle* triangle : band)
            DrawTriangleRows(*frame_, *triangle, firstRow, endRow);
        band.clear();
    });
}

}  // namespace orb
