#include "RasterBatch.h"

#include <algorithm>

namespace orb {

void ForEachBand(int height, WorkerPool* pool, const std::function<void(int, int)>& job)
{
    const int bands = (std::max(height, 0) + RasterBatch::kBandRows - 1) / RasterBatch::kBandRows;
    auto band = [&](int index) {
        job(index * RasterBatch::kBandRows, std::min(height, (index + 1) * RasterBatch::kBandRows));
    };
    if (pool) {
        pool->Run(bands, band);
    } else {
        for (int index = 0; index < bands; ++index)
            band(index);
    }
}

void RasterBatch::Begin(FrameBuffer& frame)
{
    frame_ = &frame;
    triangles_.clear();
}

size_t RasterBatch::Add(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, int id)
{
    return SetUpTriangle(frame_->Width(), frame_->Height(), a, b, c, id, triangles_);
}

void RasterBatch::Draw(WorkerPool* pool)
{
    if (triangles_.empty())
        return;
    const int height = frame_->Height();
    bands_.resize((height + kBandRows - 1) / kBandRows);
    for (auto& band : bands_)
        band.clear();
    for (size_t i = 0; i < triangles_.size(); ++i)
        for (int band = triangles_[i].top / kBandRows; band <= triangles_[i].bottom / kBandRows; ++band)
            bands_[band].push_back(static_cast<uint32_t>(i));
    ForEachBand(height, pool, [this](int firstRow, int endRow) {
        for (uint32_t i : bands_[firstRow / kBandRows])
            DrawTriangleRows(*frame_, triangles_[i], firstRow, endRow);
    });
    triangles_.clear();
}

}  // namespace orb
