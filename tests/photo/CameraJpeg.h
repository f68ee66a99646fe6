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
    const int n = info.input_components = ink == TInk::Rgb ? 3 : 4;
    info.in_color_space = ink == TInk::Rgb ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, ink == TInk::Ycck ? JCS_YCCK : info.jpeg_color_space);
    const bool light = ink != TInk::Cmyk; // RGB and Adobe's inverted inks store light, not ink
    info.write_Adobe_marker = ink != TInk::Rgb && light;
    jpeg_start_compress(&info, TRUE);
    // Big-endian TIFF with one entry: tag 0x0112 (orientation), type 3, count 1, the value.
    std::string exif("Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0?\0\0\0\0\0\0", 32);
    exif[25] = char(orientation);
    if (orientation > 0)
        jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<JOCTET*>(exif.data()), 32);
    std::vector<JSAMPLE> row(size_t(width * n), light ? 255 : 0); // no black ink
    for (JSAMPROW line = row.data(); info.next_scanline < info.image_height;) {
        for (int x = 0; x < width; ++x) {
            const QColor c = pixel(x, int(info.next_scanline));
            const int rgb[] = {c.red(), c.green(), c.blue()};
            for (int i = 0; i < 3; ++i)
                row[size_t(x * n + i)] = JSAMPLE(light ? rgb[i] : 255 - rgb[i]);
        }
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(out);
}

} // namespace orvendal::testing
