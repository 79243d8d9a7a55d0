// Area-averaged (box-filtered) reduction of a DIB: each target pixel is the
// mean of the source area it covers, a source pixel cut by the target
// pixel's edge counting with the part of it that lies inside. This is what
// a picture shown below its own size is drawn from, so that fine patterns
// turn into their average colour instead of moiré.
#pragma once

#include "windef.h"

#include <cstdint>
#include <memory>

class BoxReducer {
public:
    BoxReducer();
    ~BoxReducer();

    // Plans the reduction of DIBs like `header` (its colour entries in
    // `colors`) to width x height pixels; neither may exceed the source's.
    // False for a DIB it cannot read or when memory runs out.
    bool Prepare(const BITMAPINFOHEADER* header, const RGBQUAD* colors, int width, int height);
    // Computes target columns [left, right) of target rows [top, bottom) from
    // `bits` into `out` (RGB32 0xFFRRGGBB, rows top-down, stride = width).
    // `threads` above 1 lets a large job use that many threads.
    bool Run(const void* bits, std::uint32_t* out, int left, int top, int right, int bottom, int threads = 1) const;

    // Reducing while the source arrives, for a top-down source: target row
    // `row` needs source rows [FirstSourceRow(row), SourceRowsFor(row)).
    int FirstSourceRow(int row) const;
    int SourceRowsFor(int row) const;
    // Computes target row `row` into `out` (width pixels) from `band`, which
    // holds source rows from `firstRow` on, stride apart as the plan's DIB.
    bool RunBand(const void* band, int firstRow, std::uint32_t* out, int row) const;

private:
    struct Plan;
    std::unique_ptr<Plan> m_plan;
};

// The whole reduction in one call.
bool ReduceDib(const BITMAPINFOHEADER* header, const RGBQUAD* colors, const void* bits, int width, int height,
               std::uint32_t* out, int threads = 1);
