#pragma once
// Byte streams with the position semantics the rest of the system relies on: reads and writes
// happen at the position, writes past the end append, and a stream can be cut at its position.

#include <cstdint>
#include <string>
#include <vector>

namespace orvendal {

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to count bytes at the position into buffer; returns the number read.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes count bytes at the position (growing the stream as needed); throws on failure.
    virtual void Write(const void* buffer, size_t count) = 0;
    virtual uint64_t Size() const = 0;
    virtual uint64_t Position() const = 0;
    // Moves the position; a position beyond the end is clamped to the end.
    virtual void Seek(uint64_t position) = 0;
    // Cuts the stream to its current position.
    virtual void Truncate() = 0;

    void Rewind() { Seek(0); }
    // Copies everything from the position of source to the position of this stream.
    void CopyFrom(TStream& source);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    uint64_t Size() const override { return data_.size(); }
    uint64_t Position() const override { return pos_; }
    void Seek(uint64_t position) override;
    void Truncate() override { data_.resize(pos_); }

    // Empties the stream and rewinds it.
    void Clear();
    // Replaces the content with the whole file; throws std::runtime_error with the reason.
    void LoadFromFile(const std::string& fileName);
    // Writes the whole content to the file (created or replaced); throws on failure.
    void SaveToFile(const std::string& fileName) const;
    void WriteString(const std::string& text) { Write(text.data(), text.size()); }

    const std::vector<uint8_t>& Bytes() const { return data_; }
    std::vector<uint8_t>& Bytes() { return data_; }
    std::string AsString() const { return std::string(data_.begin(), data_.end()); }

private:
    std::vector<uint8_t> data_;
    size_t pos_ = 0;
};

} // namespace orvendal
