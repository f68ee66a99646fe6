#include "protect/ZLibStream.h"

#include <algorithm>
#include <climits>
#include <vector>
#include <zlib.h>

namespace orvendal {
namespace {

constexpr size_t BlockSize = 64 * 1024; // fits the cache beside the inflater's window

// zlib's own texts (z.msg) are English; the reason is told by its status instead.
[[noreturn]] void Fail(const char* what) {
    throw EZLibError(std::string("zlib: ") + what);
}

} // namespace

void DeflateStream(TStream& source, TStream& dest) {
    z_stream z{};
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) {
        Fail("Komprimierung lässt sich nicht starten");
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

namespace {

// Inflates one stream from the source's position into out from index at on, straight into its
// memory (growing it as needed), so no output block is copied; returns the index behind it.
size_t InflateInto(TStream& source, std::vector<uint8_t>& out, size_t at) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        Fail("Entpacken lässt sich nicht starten");
    }
    // A memory source is read in place, any other through a block.
    auto* memory = dynamic_cast<TMemoryStream*>(&source);
    std::vector<uint8_t> in(memory != nullptr ? 0 : BlockSize);
    const auto refill = [&] {
        if (memory != nullptr) {
            const uint64_t position = memory->Position();
            z.next_in = memory->Bytes().data() + position;
            z.avail_in = static_cast<uInt>(std::min<uint64_t>(memory->Size() - position, UINT_MAX));
            memory->Seek(position + z.avail_in);
        } else {
            z.avail_in = static_cast<uInt>(source.Read(in.data(), in.size()));
            z.next_in = in.data();
        }
    };
    // Room for twice the packed size first, then for the rest at the ratio seen so far (with a
    // margin): one or two allocations, and little room filled for nothing.
    const uint64_t packed = source.Size() - source.Position();
    out.resize(std::max<size_t>(out.size(), at + std::max<uint64_t>(2 * packed, BlockSize)));
    int status = Z_OK;
    try {
        while (status != Z_STREAM_END) {
            if (z.avail_in == 0) {
                refill();
                if (z.avail_in == 0) {
                    throw EZLibError("zlib: die Daten enden vor dem Ende des Datenstroms");
                }
            }
            if (at == out.size()) {
                const double ratio = double(z.total_out) / double(std::max<uLong>(z.total_in, 1));
                const double rest = double(packed - std::min<uint64_t>(z.total_in, packed));
                out.resize(at + std::max(static_cast<size_t>(1.25 * ratio * rest), BlockSize));
            }
            z.next_out = out.data() + at;
            z.avail_out = static_cast<uInt>(std::min<size_t>(out.size() - at, UINT_MAX));
            status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END) {
                Fail(status == Z_MEM_ERROR ? "zu wenig Speicher" : "beschädigte Daten");
            }
            at = static_cast<size_t>(z.next_out - out.data());
        }
        // Leave the source just behind the stream.
        source.Seek(source.Position() - z.avail_in);
    } catch (...) {
        inflateEnd(&z);
        throw;
    }
    inflateEnd(&z);
    return at;
}

} // namespace

void InflateStream(TStream& source, TStream& dest) {
    auto* memory = dynamic_cast<TMemoryStream*>(&dest);
    if (memory == nullptr) {
        TMemoryStream plain;
        InflateStream(source, plain);
        dest.Write(plain.Bytes().data(), plain.Bytes().size());
        return;
    }
    std::vector<uint8_t>& bytes = memory->Bytes();
    const size_t size = bytes.size();
    size_t end = size;
    try {
        end = InflateInto(source, bytes, memory->Position());
    } catch (...) {
        bytes.resize(size);
        throw;
    }
    bytes.resize(std::max(size, end));
    memory->Seek(end);
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
