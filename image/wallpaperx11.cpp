#include "image/wallpaperbackends.h"

#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <xcb/xcb.h>

namespace lumora::image {

namespace {

// X11 lengths are 16-bit; bigger pictures cannot become a pixmap.
constexpr int kMaxPixmapSide = 32767;

struct XcbDisconnect {
    void operator()(xcb_connection_t *c) const { xcb_disconnect(c); }
};
using Connection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

bool succeeded(xcb_connection_t *c, xcb_void_cookie_t cookie)
{
    Reply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
    return !error;
}

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    const auto length = uint16_t(std::char_traits<char>::length(name));
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, length, name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_visualtype_t *rootVisual(const xcb_screen_t *screen)
{
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem;
         xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == screen->root_visual)
                return visuals.data;
        }
    }
    return nullptr;
}

// Our 32-bit pixels go to the server unchanged only on a little-endian 8-8-8 true-colour
// screen with 32-bit pixels; that is every X server of today, and we refuse the others.
bool takesOurPixels(xcb_connection_t *c, const xcb_screen_t *screen)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    bool thirtyTwoBits = false;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem;
         xcb_format_next(&formats)) {
        if (formats.data->depth == screen->root_depth)
            thirtyTwoBits = formats.data->bits_per_pixel == 32;
    }
    const xcb_visualtype_t *visual = rootVisual(screen);
    return thirtyTwoBits && visual && visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
           visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
           visual->blue_mask == 0xFF;
}

bool uploadPixels(xcb_connection_t *c, xcb_pixmap_t pixmap, xcb_gcontext_t gc, uint8_t depth,
                  const QImage &image)
{
    const uint32_t rowBytes = uint32_t(image.width()) * 4;
    // Each request carries as many whole rows as the server takes, less room for the header.
    const uint64_t maxRequest = uint64_t(xcb_get_maximum_request_length(c)) * 4;
    const uint64_t rowsPerRequest = maxRequest > rowBytes + 64 ? (maxRequest - 64) / rowBytes : 0;
    if (rowsPerRequest == 0)
        return false;
    for (int y = 0; y < image.height();) {
        const int rows = int(std::min<uint64_t>(rowsPerRequest, uint64_t(image.height() - y)));
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, uint16_t(image.width()),
                      uint16_t(rows), 0, int16_t(y), 0, depth, rowBytes * rows,
                      image.constScanLine(y));
        y += rows;
    }
    return true;
}

// Frees the pixmap a previous setter left behind for good, as every root-window setter does,
// so wallpapers do not pile up in the server.
void releasePreviousPixmap(xcb_connection_t *c, xcb_window_t root, xcb_atom_t esetroot)
{
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, esetroot, XCB_ATOM_PIXMAP, 0, 1), nullptr));
    if (reply && reply->type == XCB_ATOM_PIXMAP && reply->format == 32 &&
        xcb_get_property_value_length(reply.get()) == 4) {
        const auto old = *static_cast<const xcb_pixmap_t *>(xcb_get_property_value(reply.get()));
        xcb_kill_client(c, old);
    }
}

} // namespace

bool X11RootWallpaper::apply(const QString &bmpPath)
{
    QImageReader reader(bmpPath, "bmp");
    // Measured before it is read: a picture no pixmap can hold is not copied into memory first.
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxPixmapSide || size.height() > kMaxPixmapSide)
        return false;
    // The file holds 24-bit rows, which Qt reads as RGB32: no conversion copy is made.
    const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return false;
    int screenNumber = 0;
    Connection c(xcb_connect(m_display.toLocal8Bit().constData(), &screenNumber));
    if (xcb_connection_has_error(c.get()))
        return false;
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(c.get()));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    const xcb_screen_t *screen = screens.data;
    if (!screen || !takesOurPixels(c.get(), screen))
        return false;

    const xcb_window_t root = screen->root;
    const xcb_pixmap_t pixmap = xcb_generate_id(c.get());
    if (!succeeded(c.get(),
                   xcb_create_pixmap_checked(c.get(), screen->root_depth, pixmap, root,
                                             uint16_t(image.width()), uint16_t(image.height()))))
        return false;
    const xcb_gcontext_t gc = xcb_generate_id(c.get());
    xcb_create_gc(c.get(), gc, pixmap, 0, nullptr);
    const bool uploaded = uploadPixels(c.get(), pixmap, gc, screen->root_depth, image);
    xcb_free_gc(c.get(), gc);
    if (!uploaded)
        return false;

    const xcb_atom_t rootPixmap = internAtom(c.get(), "_XROOTPMAP_ID");
    const xcb_atom_t esetroot = internAtom(c.get(), "ESETROOT_PMAP_ID");
    if (rootPixmap == XCB_ATOM_NONE || esetroot == XCB_ATOM_NONE)
        return false;
    releasePreviousPixmap(c.get(), root, esetroot);
    const uint32_t background[] = {pixmap};
    if (!succeeded(c.get(), xcb_change_window_attributes_checked(c.get(), root, XCB_CW_BACK_PIXMAP,
                                                                 background)))
        return false;
    xcb_clear_area(c.get(), 0, root, 0, 0, 0, 0);
    for (const xcb_atom_t atom : {rootPixmap, esetroot})
        xcb_change_property(c.get(), XCB_PROP_MODE_REPLACE, root, atom, XCB_ATOM_PIXMAP, 32, 1,
                            &pixmap);
    // The pixmap must outlive this connection: the desktop keeps showing it after we quit.
    xcb_set_close_down_mode(c.get(), XCB_CLOSE_DOWN_RETAIN_PERMANENT);
    return succeeded(c.get(),
                     xcb_change_property_checked(c.get(), XCB_PROP_MODE_REPLACE, root, rootPixmap,
                                                 XCB_ATOM_PIXMAP, 32, 1, &pixmap));
}

} // namespace lumora::image
