#pragma once

// Limits on the work a metafile may ask for. A file that reaches one is read or drawn up to
// that point; nothing it says can make loading or drawing unbounded in time or memory.

#include <QtGlobal>

namespace lumora::picture::wmf::limits {

// Records read from one file; the rest of a longer file is ignored (about 0.2 s of parsing).
inline constexpr qsizetype kMaxRecords = 2'000'000;
// Points of all polylines, polygons and polypolygons kept (4 bytes each).
inline constexpr qsizetype kMaxPoints = 8'000'000;
// Characters of all text records kept.
inline constexpr qsizetype kMaxTextChars = 1'000'000;
// Pixels of one embedded bitmap (a 4096 x 4096 picture) ...
inline constexpr qint64 kMaxBitmapPixels = qint64(4096) * 4096;
// ... and of all bitmaps of one file together (128 MB at 4 bytes a pixel).
inline constexpr qint64 kMaxTotalBitmapPixels = qint64(32) * 1024 * 1024;
// Object slots (indices are 16 bits) and object definitions kept; definitions past the
// limit still take their slot but draw nothing.
inline constexpr int kMaxObjectSlots = 65535;
inline constexpr qsizetype kMaxObjectDefinitions = 200'000;
// Entries of all palettes together.
inline constexpr qsizetype kMaxPaletteEntries = 1'000'000;
// Rectangles of one region object, and of all region objects together.
inline constexpr int kMaxRegionRects = 4096;
inline constexpr qint64 kMaxTotalRegionRects = 500'000;
// Rectangles of the clipping region; further clip records leave it as it is.
inline constexpr int kMaxClipRects = 4096;
// Saved states (SAVEDC); deeper saves are ignored, like GDI's own limit.
inline constexpr int kMaxSaveDepth = 1024;
// Glyphs drawn for one text record.
inline constexpr int kMaxGlyphsPerText = 8192;
// Largest font drawn, in device pixels; larger text is invisible detail and is skipped.
inline constexpr double kMaxFontPixels = 16384.0;

// Drawing work, counted in units of about one device pixel filled: each record, point and
// glyph costs a fixed amount and each fill its clipped area. Playback stops when the total
// passes kWorkBase plus kWorkPerTargetPixel for every pixel of the target, so a hostile file
// costs at most about a second at screen sizes and a bounded multiple of the target's area
// at any size.
inline constexpr double kWorkBase = 600'000'000.0;
inline constexpr double kWorkPerTargetPixel = 64.0;
inline constexpr double kWorkPerRecord = 64.0;
inline constexpr double kWorkPerPoint = 16.0;
inline constexpr double kWorkPerGlyph = 600.0;

} // namespace lumora::picture::wmf::limits
