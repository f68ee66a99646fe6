#pragma once
// Whole-stream zlib packing (RFC 1950) of transfer files, at zlib's default level.

#include "protect/Streams.h"

#include <stdexcept>
#include <string>

namespace orvendal {

// Data that is no complete zlib stream: a wrong header, a bad checksum, or an early end.
class EZLibError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Packs the whole source, from its start, to the destination at its position.
void DeflateStream(TStream& source, TStream& destination);
// Inflates from the source's position and appends to the destination until the stream's end
// marker. Throws EZLibError when the data is no complete zlib stream.
void InflateStream(TStream& source, TStream& destination);
// Replaces the stream's content by its inflated content (rewound).
void InflateBuffer(TMemoryStream& stream);
// Inflates the file in place. Throws EZLibError, or std::runtime_error for file errors.
void InflateFile(const std::string& fileName);

} // namespace orvendal
