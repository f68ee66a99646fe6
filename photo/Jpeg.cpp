#include "photo/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <stdexcept>

namespace orvendal {
namespace {

// libjpeg reports errors by a callback that must not return: jump back with the message.
struct TErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<TErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->Message);
    std::longjmp(manager->Jump, 1);
}

struct TDecoder {
    jpeg_decompress_struct Info{};
    TErrorManager Errors{};
    TDecoder() {
        Info.err = jpeg_std_error(&Errors.Base);
        Errors.Base.error_exit = OnError;
        jpeg_create_decompress(&Info);
    }
    ~TDecoder() { jpeg_destroy_decompress(&Info); }
};

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
    Width = static_cast<int>(d.Info.image_width);
    Height = static_cast<int>(d.Info.image_height);
    return Width > 0 && Height > 0;
}

QImage TJpegImage::Decode(int width, int height) const {
    TDecoder d;
    QImage image;
    if (setjmp(d.Errors.Jump) != 0) {
        throw std::runtime_error(d.Errors.Message);
    }
    jpeg_mem_src(&d.Info, Data.Bytes().data(), static_cast<unsigned long>(Data.Size()));
    jpeg_read_header(&d.Info, TRUE);
    d.Info.out_color_space = JCS_RGB;
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
    while (d.Info.output_scanline < d.Info.output_height) {
        JSAMPROW row = image.scanLine(int(d.Info.output_scanline));
        jpeg_read_scanlines(&d.Info, &row, 1);
    }
    jpeg_finish_decompress(&d.Info);
    return image;
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
