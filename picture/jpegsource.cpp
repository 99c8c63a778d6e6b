#include "picture/jpegsource.h"

#include <algorithm>
#include <cstdint>
#include <sys/mman.h>
#include <type_traits>
#include <unistd.h>
// jerror.h needs jpeglib.h first.
#include <jerror.h>

namespace lumora::picture {

namespace {

// What libjpeg is given at a time: big enough that refills cost nothing, small enough that
// the file's pages held at once are a sliver of the picture.
constexpr std::size_t kWindowBytes = std::size_t(1) << 20;

JpegSource &sourceOf(j_decompress_ptr cinfo)
{
    // The manager is the first member of a standard-layout class: the two addresses are one.
    static_assert(std::is_standard_layout_v<JpegSource>);
    return *reinterpret_cast<JpegSource *>(cinfo->src);
}

} // namespace

JpegSource::JpegSource(QByteArrayView bytes, JpegBytes kind)
    : m_data(reinterpret_cast<const JOCTET *>(bytes.data())), m_size(std::size_t(bytes.size())),
      m_mapped(kind == JpegBytes::MappedFile)
{
    m_manager.init_source = initSource;
    m_manager.fill_input_buffer = fillInputBuffer;
    m_manager.skip_input_data = skipInputData;
    m_manager.resync_to_restart = jpeg_resync_to_restart;
    m_manager.term_source = termSource;
}

void JpegSource::attach(j_decompress_ptr cinfo)
{
    cinfo->src = &m_manager;
    // The file was walked through before the decode; none of it need stay.
    releaseBefore(m_size);
    m_released = 0;
}

void JpegSource::initSource(j_decompress_ptr) {}

void JpegSource::termSource(j_decompress_ptr) {}

boolean JpegSource::fillInputBuffer(j_decompress_ptr cinfo)
{
    JpegSource &self = sourceOf(cinfo);
    if (self.m_served >= self.m_size) {
        static const JOCTET fakeEnd[2] = {0xFF, JPEG_EOI};
        WARNMS(cinfo, JWRN_JPEG_EOF);
        self.m_manager.next_input_byte = fakeEnd;
        self.m_manager.bytes_in_buffer = 2;
        return TRUE;
    }
    self.releaseBefore(self.m_served);
    const std::size_t length = std::min(kWindowBytes, self.m_size - self.m_served);
    self.m_manager.next_input_byte = self.m_data + self.m_served;
    self.m_manager.bytes_in_buffer = length;
    self.m_served += length;
    return TRUE;
}

// As libjpeg's own sources: past the window, the next windows are taken until the skip ends.
void JpegSource::skipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr &manager = *cinfo->src;
    auto left = static_cast<std::size_t>(count);
    while (left > manager.bytes_in_buffer) {
        left -= manager.bytes_in_buffer;
        manager.bytes_in_buffer = 0;
        fillInputBuffer(cinfo);
    }
    manager.next_input_byte += left;
    manager.bytes_in_buffer -= left;
}

// Lets go of the whole pages between what was let go before and `offset`.
void JpegSource::releaseBefore(std::size_t offset)
{
    if (!m_mapped || offset <= m_released)
        return;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(m_data);
    const std::uintptr_t from = (start + m_released + page - 1) / page * page;
    const std::uintptr_t to = (start + offset) / page * page;
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_DONTNEED);
    m_released = offset;
}

} // namespace lumora::picture
