#include "protect/ZLibStream.h"

#include <vector>
#include <zlib.h>

namespace orvendal {
namespace {

constexpr size_t BlockSize = 64 * 1024; // fits the cache beside the inflater's window

[[noreturn]] void Fail(const z_stream& z, const char* what) {
    throw EZLibError(std::string("zlib: ") + (z.msg != nullptr ? z.msg : what));
}

} // namespace

void DeflateStream(TStream& source, TStream& dest) {
    z_stream z{};
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) {
        Fail(z, "cannot start the deflater");
    }
    std::vector<uint8_t> in(BlockSize);
    std::vector<uint8_t> out(BlockSize);
    source.Rewind();
    int flush = Z_NO_FLUSH;
    try {
        do {
            z.avail_in = static_cast<uInt>(source.Read(in.data(), in.size()));
            z.next_in = in.data();
            flush = z.avail_in == 0 ? Z_FINISH : Z_NO_FLUSH;
            do {
                z.next_out = out.data();
                z.avail_out = static_cast<uInt>(out.size());
                deflate(&z, flush); // cannot fail with sound buffers
                dest.Write(out.data(), out.size() - z.avail_out);
            } while (z.avail_out == 0);
        } while (flush != Z_FINISH);
    } catch (...) {
        deflateEnd(&z);
        throw;
    }
    deflateEnd(&z);
}

void InflateStream(TStream& source, TStream& dest) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        Fail(z, "cannot start the inflater");
    }
    std::vector<uint8_t> in(BlockSize);
    std::vector<uint8_t> out(BlockSize);
    int status = Z_OK;
    try {
        while (status != Z_STREAM_END) {
            if (z.avail_in == 0) {
                z.avail_in = static_cast<uInt>(source.Read(in.data(), in.size()));
                z.next_in = in.data();
                if (z.avail_in == 0) {
                    throw EZLibError("zlib: the data end before the end of the stream");
                }
            }
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END) {
                Fail(z, "damaged data");
            }
            dest.Write(out.data(), out.size() - z.avail_out);
        }
        // Leave the source just behind the stream.
        source.Seek(source.Position() - z.avail_in);
    } catch (...) {
        inflateEnd(&z);
        throw;
    }
    inflateEnd(&z);
}

void InflateBuffer(TMemoryStream& stream) {
    TMemoryStream plain;
    stream.Rewind();
    InflateStream(stream, plain);
    stream.Bytes().swap(plain.Bytes());
    stream.Rewind();
}

void InflateFile(const std::string& fileName) {
    TMemoryStream stream;
    stream.LoadFromFile(fileName);
    InflateBuffer(stream);
    stream.SaveToFile(fileName);
}

} // namespace orvendal
