#pragma once
// Camera files for the tests, written row by row through libjpeg: any size, RGB or printers'
// inks (CMYK, Adobe's inverted CMYK, YCCK), with an EXIF orientation when one is given.

#include <QColor>
#include <cstdio>
#include <functional>
#include <jpeglib.h>
#include <string>
#include <vector>

namespace orvendal::testing {

enum class TInk { Rgb, Cmyk, AdobeCmyk, Ycck };

// pixel(x, y) is the colour as the sensor stores it.
inline void CameraJpeg(const std::string& path, int width, int height,
                       const std::function<QColor(int, int)>& pixel, TInk ink = TInk::Rgb,
                       int orientation = 0) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    FILE* out = std::fopen(path.c_str(), "wb");
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = ink == TInk::Rgb ? 3 : 4;
    info.in_color_space = ink == TInk::Rgb ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    if (ink == TInk::Ycck) {
        jpeg_set_colorspace(&info, JCS_YCCK);
    }
    const bool inverted = ink == TInk::AdobeCmyk || ink == TInk::Ycck; // Adobe's convention
    info.write_Adobe_marker = inverted;
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    if (orientation > 0) { // a big-endian TIFF header with the one orientation tag
        const JOCTET exif[] = {
            'E', 'x', 'i', 'f', 0,    0, 'M', 'M', 0, 42, 0, 0, 0,
            8,   0,   1,   1,   0x12, 0, 3,   0,   0, 0,  1, 0, JOCTET(orientation),
            0,   0,   0,   0,   0,    0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    }
    std::vector<JSAMPLE> row(size_t(width) * size_t(info.input_components));
    for (JSAMPROW line = row.data(); info.next_scanline < info.image_height;) {
        for (int x = 0; x < width; ++x) {
            const QColor c = pixel(x, int(info.next_scanline));
            const int rgb[] = {c.red(), c.green(), c.blue()};
            JSAMPLE* at = &row[size_t(x) * size_t(info.input_components)];
            for (int i = 0; i < 3; ++i) {
                at[i] = JSAMPLE(ink == TInk::Rgb || inverted ? rgb[i] : 255 - rgb[i]);
            }
            if (ink != TInk::Rgb) {
                at[3] = inverted ? 255 : 0; // no black ink
            }
        }
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(out);
}

} // namespace orvendal::testing
