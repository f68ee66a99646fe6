#include "protect/ZLibStream.h"

#include <vector>
#include <zlib.h>

namespace orvendal {
namespace {

constexpr size_t kBlock = 65536;

std::string ZMessage(const z_stream& z, int code) {
    return std::string("zlib: ") + (z.msg != nullptr ? z.msg : zError(code));
}

} // namespace

void DeflateStream(TStream& source, TStream& destination) {
    z_stream z{};
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw EZLibError("zlib: deflate cannot start");
    }
    source.Rewind();
    std::vector<uint8_t> in(kBlock), out(kBlock);
    int flush = Z_NO_FLUSH;
    int code = Z_OK;
    while (code != Z_STREAM_END) {
        if (z.avail_in == 0 && flush == Z_NO_FLUSH) {
            z.avail_in = static_cast<uInt>(source.Read(in.data(), in.size()));
            z.next_in = in.data();
            flush = z.avail_in == 0 ? Z_FINISH : Z_NO_FLUSH;
        }
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        code = deflate(&z, flush);
        if (code == Z_STREAM_ERROR) {
            deflateEnd(&z);
            throw EZLibError(ZMessage(z, code));
        }
        destination.Write(out.data(), out.size() - z.avail_out);
    }
    deflateEnd(&z);
}

void InflateStream(TStream& source, TStream& destination) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        throw EZLibError("zlib: inflate cannot start");
    }
    std::vector<uint8_t> in(kBlock), out(kBlock);
    int code = Z_OK;
    while (code != Z_STREAM_END) {
        if (z.avail_in == 0) {
            z.avail_in = static_cast<uInt>(source.Read(in.data(), in.size()));
            z.next_in = in.data();
            if (z.avail_in == 0) {
                inflateEnd(&z);
                throw EZLibError("zlib: the data ends before the end of the stream");
            }
        }
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        code = inflate(&z, Z_NO_FLUSH);
        if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR) {
            const std::string message = ZMessage(z, code);
            inflateEnd(&z);
            throw EZLibError(message);
        }
        destination.Write(out.data(), out.size() - z.avail_out);
    }
    inflateEnd(&z);
}

void InflateBuffer(TMemoryStream& stream) {
    stream.Rewind();
    TMemoryStream plain;
    InflateStream(stream, plain);
    stream = std::move(plain);
    stream.Rewind();
}

void InflateFile(const std::string& fileName) {
    TMemoryStream stream;
    stream.LoadFromFile(fileName);
    InflateBuffer(stream);
    stream.SaveToFile(fileName);
}

} // namespace orvendal
