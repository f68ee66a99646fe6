#pragma once
// JPEG files through libjpeg: the size, EXIF orientation and bytes of a file, decoding to an
// upright RGB picture (at a reduced scale in the DCT domain when the target allows; CMYK and
// YCCK turned into RGB) and baseline encoding at a given quality.

#include "protect/Streams.h"

#include <QImage>
#include <string>

namespace orvendal {

struct TJpegImage {
    TMemoryStream Data; // the file's bytes, unchanged
    int Width = 0;      // upright size: EXIF orientations 5 to 8 swap the stored edges
    int Height = 0;
    int Orientation = 1; // EXIF orientation, 1 (as stored) to 8

    // Reads the file; false when it is no JPEG image (throws for a file that cannot be read).
    bool Load(const std::string& fileName);
    // The upright picture as 24-bit RGB, at least width × height pixels where the DCT scaling
    // allows (the full size otherwise). complete becomes false when the data ends before the
    // picture does (libjpeg fills the rest with grey). Throws std::runtime_error for data that
    // cannot be decoded.
    QImage Decode(int width, int height, bool& complete) const;
};

// Encodes image as a baseline JPEG of the given quality into out (appended).
void EncodeJpeg(const QImage& image, int quality, TMemoryStream& out);

} // namespace orvendal
