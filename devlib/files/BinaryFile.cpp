#include "BinaryFile.h"

#include <algorithm>
#include <vector>

namespace vyksim {

namespace {

bool hostIsLittleEndian()
{
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 1;
}

// Values per chunk when 16-bit arrays must be byte-swapped on a big-endian host.
constexpr size_t kSwapChunk = 65536;

} // namespace

BinaryFile::BinaryFile(const std::string& path, Mode mode)
{
    const char* modeText = mode == Mode::Create ? "wb" : (mode == Mode::Read ? "rb" : "r+b");
    file_ = std::fopen(path.c_str(), modeText);
}

BinaryFile::~BinaryFile()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

bool BinaryFile::fail()
{
    failed_ = true;
    return false;
}

bool BinaryFile::writeBytes(const void* data, size_t size)
{
    if (!ok())
        return false;
    if (size != 0 && std::fwrite(data, 1, size, file_) != size)
        return fail();
    return true;
}

bool BinaryFile::writeU16(uint16_t value)
{
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return writeBytes(bytes, sizeof bytes);
}

bool BinaryFile::writeU32(uint32_t value)
{
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    return writeBytes(bytes, sizeof bytes);
}

bool BinaryFile::writeU64(uint64_t value)
{
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    return writeBytes(bytes, sizeof bytes);
}

bool BinaryFile::writeU16Array(const uint16_t* values, size_t count)
{
    if (hostIsLittleEndian())
        return writeBytes(values, count * sizeof(uint16_t));
    std::vector<uint8_t> chunk;
    for (size_t start = 0; start < count; start += kSwapChunk) {
        const size_t n = std::min(kSwapChunk, count - start);
        chunk.resize(n * 2);
        for (size_t i = 0; i < n; ++i) {
            chunk[2 * i] = static_cast<uint8_t>(values[start + i]);
            chunk[2 * i + 1] = static_cast<uint8_t>(values[start + i] >> 8);
        }
        if (!writeBytes(chunk.data(), chunk.size()))
            return false;
    }
    return true;
}

bool BinaryFile::readBytes(void* data, size_t size)
{
    if (!ok())
        return false;
    if (size != 0 && std::fread(data, 1, size, file_) != size)
        return fail();
    return true;
}

bool BinaryFile::readU16(uint16_t& value)
{
    uint8_t bytes[2];
    if (!readBytes(bytes, sizeof bytes))
        return false;
    value = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    return true;
}

bool BinaryFile::readU32(uint32_t& value)
{
    uint8_t bytes[4];
    if (!readBytes(bytes, sizeof bytes))
        return false;
    value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return true;
}

bool BinaryFile::readU64(uint64_t& value)
{
    uint8_t bytes[8];
    if (!readBytes(bytes, sizeof bytes))
        return false;
    value = 0;
    for (int i = 0; i < 8; ++i)
        value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    return true;
}

bool BinaryFile::readU16Array(uint16_t* values, size_t count)
{
    if (!readBytes(values, count * sizeof(uint16_t)))
        return false;
    if (!hostIsLittleEndian()) {
        auto* bytes = reinterpret_cast<uint8_t*>(values);
        for (size_t i = 0; i < count; ++i)
            values[i] = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return true;
}

bool BinaryFile::seek(uint64_t offset)
{
    if (!ok())
        return false;
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0)
        return fail();
    return true;
}

uint64_t BinaryFile::size()
{
    if (!ok())
        return 0;
    const off_t here = ftello(file_);
    if (here < 0 || fseeko(file_, 0, SEEK_END) != 0) {
        fail();
        return 0;
    }
    const off_t end = ftello(file_);
    if (end < 0 || fseeko(file_, here, SEEK_SET) != 0) {
        fail();
        return 0;
    }
    return static_cast<uint64_t>(end);
}

bool BinaryFile::flush()
{
    if (!ok())
        return false;
    if (std::fflush(file_) != 0)
        return fail();
    return true;
}

bool BinaryFile::close()
{
    if (file_ == nullptr)
        return false;
    const bool flushed = std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return flushed && closed && !failed_;
}

} // namespace vyksim
