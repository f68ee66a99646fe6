#include "photo/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jerror.h>
#include <jpeglib.h>
#include <libexif/exif-data.h>
#include <stdexcept>
#include <utility>
#include <vector>

#include <QTransform>

namespace orvendal {
namespace {

// libjpeg reports errors by a callback that must not return: jump back with the message.
struct TErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
    bool Truncated; // the data ended before the picture did
};

void OnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<TErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->Message);
    std::longjmp(manager->Jump, 1);
}

// Warnings are not printed; only the early end of the data matters to the caller.
void OnMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
        reinterpret_cast<TErrorManager*>(info->err)->Truncated = true;
    }
}

struct TDecoder {
    jpeg_decompress_struct Info{};
    TErrorManager Errors{};
    TDecoder() {
        Info.err = jpeg_std_error(&Errors.Base);
        Errors.Base.error_exit = OnError;
        Errors.Base.emit_message = OnMessage;
        jpeg_create_decompress(&Info);
    }
    ~TDecoder() { jpeg_destroy_decompress(&Info); }
};

// The orientation tag of the EXIF data in a JPEG file; 1 when there is none.
int ExifOrientation(const TMemoryStream& data) {
    ExifData* exif = exif_data_new_from_data(data.Bytes().data(), unsigned(data.Size()));
    if (exif == nullptr) {
        return 1;
    }
    int orientation = 1;
    ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry != nullptr && entry->format == EXIF_FORMAT_SHORT && entry->components >= 1) {
        orientation = exif_get_short(entry->data, exif_data_get_byte_order(exif));
    }
    exif_data_unref(exif);
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

// The picture turned and mirrored as its EXIF orientation says the camera was held.
QImage Upright(const QImage& image, int orientation) {
    const QTransform quarter = QTransform().rotate(90); // clockwise on the screen
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return image.transformed(quarter).mirrored(true, false);
    case 6:
        return image.transformed(quarter);
    case 7:
        return image.transformed(quarter).mirrored(false, true);
    case 8:
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}

// Printers' inks to light: Adobe's files store the inks inverted.
void InkToRgb(const JSAMPLE* ink, uchar* rgb, unsigned width, bool inverted) {
    for (unsigned x = 0; x < width; ++x, ink += 4, rgb += 3) {
        const int k = inverted ? ink[3] : 255 - ink[3];
        for (int i = 0; i < 3; ++i) {
            const int c = inverted ? ink[i] : 255 - ink[i];
            rgb[i] = uchar(c * k / 255);
        }
    }
}

// Decodes the header read by d at the smallest DCT scale that still covers width × height.
void ReadPicture(TDecoder& d, int width, int height, QImage& image, std::vector<JSAMPLE>& ink) {
    const bool cmyk = d.Info.jpeg_color_space == JCS_CMYK || d.Info.jpeg_color_space == JCS_YCCK;
    d.Info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    d.Info.scale_num = 1;
    d.Info.scale_denom = 1;
    for (unsigned denom : {8u, 4u, 2u}) {
        if ((d.Info.image_width + denom - 1) / denom >= unsigned(width) &&
            (d.Info.image_height + denom - 1) / denom >= unsigned(height)) {
            d.Info.scale_denom = denom;
            break;
        }
    }
    jpeg_start_decompress(&d.Info);
    image = QImage(int(d.Info.output_width), int(d.Info.output_height), QImage::Format_RGB888);
    ink.resize(cmyk ? size_t(d.Info.output_width) * 4 : 0);
    while (d.Info.output_scanline < d.Info.output_height) {
        uchar* line = image.scanLine(int(d.Info.output_scanline));
        JSAMPROW row = cmyk ? ink.data() : line;
        jpeg_read_scanlines(&d.Info, &row, 1);
        if (cmyk) {
            InkToRgb(ink.data(), line, d.Info.output_width, d.Info.saw_Adobe_marker);
        }
    }
    jpeg_finish_decompress(&d.Info);
}

} // namespace

bool TJpegImage::Load(const std::string& fileName) {
    Data.LoadFromFile(fileName);
    TDecoder d;
    if (setjmp(d.Errors.Jump) != 0) {
        return false;
    }
    jpeg_mem_src(&d.Info, Data.Bytes().data(), static_cast<unsigned long>(Data.Size()));
    if (jpeg_read_header(&d.Info, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    Orientation = ExifOrientation(Data);
    Width = static_cast<int>(d.Info.image_width);
    Height = static_cast<int>(d.Info.image_height);
    if (Orientation >= 5) {
        std::swap(Width, Height);
    }
    return Width > 0 && Height > 0;
}

QImage TJpegImage::Decode(int width, int height, bool& complete) const {
    TDecoder d;
    QImage image;
    std::vector<JSAMPLE> ink;
    if (setjmp(d.Errors.Jump) != 0) {
        throw std::runtime_error(std::string("Fehlerhafte JPEG-Daten: ") + d.Errors.Message);
    }
    jpeg_mem_src(&d.Info, Data.Bytes().data(), static_cast<unsigned long>(Data.Size()));
    jpeg_read_header(&d.Info, TRUE);
    if (Orientation >= 5) {
        ReadPicture(d, height, width, image, ink);
    } else {
        ReadPicture(d, width, height, image, ink);
    }
    complete = !d.Errors.Truncated;
    return Upright(image, Orientation);
}
void EncodeJpeg(const QImage& source, int quality, TMemoryStream& out) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    TErrorManager errors{};
    info.err = jpeg_std_error(&errors.Base);
    errors.Base.error_exit = OnError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.Jump) != 0) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        throw std::runtime_error(errors.Message);
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    out.Write(buffer, size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
}

} // namespace orvendal
