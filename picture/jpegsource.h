#pragma once

#include "picture/jpegdecoder.h"

#include <QByteArrayView>
#include <cstddef>
#include <cstdio>
// jpeglib.h needs FILE and size_t first.
#include <jpeglib.h>

namespace lumora::picture {

// libjpeg's source over bytes in memory, handed over a window at a time, as jpeg_mem_src does
// (a missing end is a fake EOI with libjpeg's end-of-file warning). Over a mapped file the
// pages libjpeg has gone past are let go, so the process does not hold the whole file and the
// whole picture at the same time. Lives as long as the decompressor reads from it.
class JpegSource final {
public:
    JpegSource(QByteArrayView bytes, JpegBytes kind);
    JpegSource(const JpegSource &) = delete;
    JpegSource &operator=(const JpegSource &) = delete;

    void attach(j_decompress_ptr cinfo);

private:
    static void initSource(j_decompress_ptr cinfo);
    static boolean fillInputBuffer(j_decompress_ptr cinfo);
    static void skipInputData(j_decompress_ptr cinfo, long count);
    static void termSource(j_decompress_ptr cinfo);
    void releaseBefore(std::size_t offset);

    jpeg_source_mgr m_manager{}; // first, so libjpeg's pointer to it is one to this
    const JOCTET *m_data;
    std::size_t m_size;
    std::size_t m_served = 0;   // bytes handed to libjpeg so far
    std::size_t m_released = 0; // bytes before this are let go
    bool m_mapped;
};

} // namespace lumora::picture
