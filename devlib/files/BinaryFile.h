// A binary file opened for writing or reading, with little-endian field helpers.
#ifndef VYK_BINARY_FILE_H
#define VYK_BINARY_FILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vyksim {

// Owns one FILE handle. Every call returns false once any operation has failed, so
// a sequence of writes can be checked once at the end. Multi-byte values are stored
// little-endian whatever the host's byte order.
class BinaryFile {
public:
    enum class Mode { Create, Read, Update }; // create/truncate, read only, read and write

    BinaryFile(const std::string& path, Mode mode); // check ok() afterwards
    ~BinaryFile();                                  // closes without reporting
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // True while the file is open and no operation has failed.
    bool ok() const { return file_ != nullptr && !failed_; }

    // Writes raw bytes at the current position.
    bool writeBytes(const void* data, size_t size);
    // Writes a 16-bit value, little-endian.
    bool writeU16(uint16_t value);
    // Writes a 32-bit value, little-endian.
    bool writeU32(uint32_t value);
    // Writes a 64-bit value, little-endian.
    bool writeU64(uint64_t value);
    // Writes count 16-bit values, little-endian.
    bool writeU16Array(const uint16_t* values, size_t count);

    // Reads exactly size raw bytes.
    bool readBytes(void* data, size_t size);
    // Reads a little-endian 16-bit value.
    bool readU16(uint16_t& value);
    // Reads a little-endian 32-bit value.
    bool readU32(uint32_t& value);
    // Reads a little-endian 64-bit value.
    bool readU64(uint64_t& value);
    // Reads count little-endian 16-bit values.
    bool readU16Array(uint16_t* values, size_t count);

    // Moves to an absolute byte offset.
    bool seek(uint64_t offset);
    // Size of the file in bytes (the position is kept), or 0 on failure.
    uint64_t size();
    // Flushes buffered data to the operating system.
    bool flush();
    // Flushes and closes; false when anything failed since opening.
    bool close();

private:
    bool fail(); // marks the file failed and returns false

    std::FILE* file_ = nullptr; // null once closed
    bool failed_ = false;       // an operation has failed
};

} // namespace vyksim

#endif // VYK_BINARY_FILE_H
