// The eight drawing kernels. Each is a plain function of the drawing device
// context and the extent W x H of the random coordinates; it draws through
// the facade and the shared pseudo-random generator, so the same code runs
// in the program, on a small DIB in unit tests and in the benchmarks.
//
// Every pen, brush and font a kernel creates is created, selected, used,
// deselected (the previous object selected back) and deleted within one
// iteration; nothing is kept between iterations or runs. The working state
// of a run (the curve's points, the raster-operation cycle, the font
// description) starts afresh at every call.
//
// W and H are the surface's size, 0 or more. The last argument is the
// number of iterations; the protocol passes the test's own count, the
// default. Tests and benchmarks may run fewer.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi.h"

namespace drawtests {

// One connected polyline: a start point, then per segment a pen of width 1
// to 6 in a palette colour and a LineTo. Draws 2 + 4 per segment.
constexpr std::int32_t kLineSegments = 150000;
void LineKernel(gdi::HDC dc, std::int32_t W, std::int32_t H, std::int32_t segments = kLineSegments);

// Per font size from 8 upwards: one "Arial" font of that cell height, then
// 1000 single characters "@" to "V" at random places in palette colours.
// Draws 4 per character.
constexpr std::int32_t kTextSizes = 100;
constexpr std::int32_t kTextFirstSize = 8;
constexpr std::int32_t kTextCharsPerSize = 1000;
void TextKernel(gdi::HDC dc, std::int32_t W, std::int32_t H, std::int32_t sizes = kTextSizes);

// The font description of one size: the fields assigned in their order,
// lfWeight left as the caller's record holds it (0 in a zero-filled one),
// and the face name "Arial", a zero byte and 26 blanks.
void FillFontDescription(gdi::LOGFONTA& font, std::int32_t size, const gdi::TEXTMETRICA& metrics);

// One cubic Bezier curve per iteration, with a pen of width 0 to 5. The
// second control point carries over from one curve to the next and is zero
// at the start of every run. Draws 10 per curve.
constexpr std::int32_t kSplineCurves = 100000;
void SplineKernel(gdi::HDC dc, std::int32_t W, std::int32_t H, std::int32_t curves = kSplineCurves);

// Polygons of 3 to 13 vertices, about half filled with a solid brush of the
// pen's colour and half hollow. Draws 3 + 2n per polygon of n vertices.
constexpr std::int32_t kPolygonCount = 5000;
constexpr std::int32_t kPolygonMaxVertices = 13;
void PolygonKernel(gdi::HDC dc, std::int32_t W, std::int32_t H, std::int32_t polygons = kPolygonCount);

// Filled rectangles between two random corners, pen and brush of one
// colour. Draws 5 per rectangle.
constexpr std::int32_t kRectangleCount = 200000;
void RectangleKernel(gdi::HDC dc, std::int32_t W, std::int32_t H,
                     std::int32_t rectangles = kRectangleCount);

// Per iteration one ellipse and one arc (start and end radial both at the
// origin) in independent random boxes, sharing one pen and a solid or
// hollow brush. Draws 10 per iteration.
constexpr std::int32_t kEllipseCount = 10000;
void EllipseKernel(gdi::HDC dc, std::int32_t W, std::int32_t H, std::int32_t iterations = kEllipseCount);

// Unscaled blocks of up to 500 x 500 from the top-left of `source`, with
// the raster operation cycling SRCPAINT, SRCCOPY, SRCINVERT from the first
// iteration of every run. Draws 4 per block.
constexpr std::int32_t kBlitCount = 50000;
constexpr std::int32_t kSourcePictureSize = 500;
void BlitKernel(gdi::HDC dc, std::int32_t W, std::int32_t H, gdi::HDC source,
                std::int32_t blocks = kBlitCount);

// Per iteration a 10..500 block from the top-left of `source`, stretched
// onto one random rectangle three times: SRCCOPY, SRCINVERT, SRCCOPY.
// Draws 6 per iteration.
constexpr std::int32_t kStretchCount = 3000;
void StretchKernel(gdi::HDC dc, std::int32_t W, std::int32_t H, gdi::HDC source,
                   std::int32_t iterations = kStretchCount);

}  // namespace drawtests
