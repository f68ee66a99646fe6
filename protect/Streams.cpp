#include "protect/Streams.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace orvendal {

void TStream::CopyFrom(TStream& source) {
    std::vector<uint8_t> buffer(65536);
    while (size_t n = source.Read(buffer.data(), buffer.size())) {
        Write(buffer.data(), n);
    }
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
    size_t n = pos_ < data_.size() ? std::min(count, data_.size() - pos_) : 0;
    if (n > 0) {
        std::memcpy(buffer, data_.data() + pos_, n);
    }
    pos_ += n;
    return n;
}

void TMemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) {
        return;
    }
    if (pos_ + count > data_.size()) {
        data_.resize(pos_ + count);
    }
    std::memcpy(data_.data() + pos_, buffer, count);
    pos_ += count;
}

void TMemoryStream::Seek(uint64_t position) {
    pos_ = position > data_.size() ? data_.size() : static_cast<size_t>(position);
}

void TMemoryStream::Clear() {
    data_.clear();
    pos_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        throw std::runtime_error("Datei " + fileName +
                                 " kann nicht geöffnet werden: " + std::strerror(errno));
    }
    data_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw std::runtime_error("Datei " + fileName + " kann nicht gelesen werden");
    }
    pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw std::runtime_error("Datei " + fileName +
                                 " kann nicht erstellt werden: " + std::strerror(errno));
    }
    out.write(reinterpret_cast<const char*>(data_.data()),
              static_cast<std::streamsize>(data_.size()));
    out.flush();
    if (!out) {
        throw std::runtime_error("Datei " + fileName + " kann nicht geschrieben werden");
    }
}

} // namespace orvendal
