#pragma once
// Whole-stream zlib packing (RFC 1950 wrapper, default level) of transfer files.

#include "protect/Streams.h"

#include <stdexcept>
#include <string>

namespace orvendal {

// Raised for data that is no complete zlib stream (bad header, damaged data, bad Adler-32,
// or an end before the stream's end marker).
class EZLibError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes a zlib stream of the whole source (from its start) to dest at its position.
void DeflateStream(TStream& source, TStream& dest);
// Inflates one zlib stream from the source's position and appends the output to dest.
// Throws EZLibError for damaged or truncated data.
void InflateStream(TStream& source, TStream& dest);
// Replaces the content of stream (inflated from its start) with its inflated form; throws
// EZLibError and leaves the stream's content as it was for damaged data.
void InflateBuffer(TMemoryStream& stream);
// Inflates the file in place; file errors throw std::runtime_error, bad data EZLibError.
void InflateFile(const std::string& fileName);

} // namespace orvendal
