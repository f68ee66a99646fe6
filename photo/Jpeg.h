#pragma once
// JPEG files through libjpeg: the size and bytes of a file, decoding (at a reduced scale in the
// DCT domain when the target allows) and baseline encoding at a given quality.

#include "protect/Streams.h"

#include <QImage>
#include <string>

namespace orvendal {

struct TJpegImage {
    TMemoryStream Data; // the file's bytes, unchanged
    int Width = 0;
    int Height = 0;

    // Reads the file; false when it is no JPEG image (throws for a file that cannot be read).
    bool Load(const std::string& fileName);
    // The picture as 24-bit RGB, at least width × height pixels where the DCT scaling allows
    // (the full size otherwise). Throws std::runtime_error for damaged data.
    QImage Decode(int width, int height) const;
};

// Encodes image as a baseline JPEG of the given quality into out (appended).
void EncodeJpeg(const QImage& image, int quality, TMemoryStream& out);

} // namespace orvendal
