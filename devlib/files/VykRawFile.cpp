#include "VykRawFile.h"

#include <cstring>

namespace vyksim {

namespace {

constexpr uint64_t kCountOffset = 40;    // byte offset of the frame count in the header
constexpr uint8_t kFlagMetadata = 0x01;  // frame flag: metadata block valid
constexpr uint8_t kFlagTimestamp = 0x02; // frame flag: timestamp block valid
constexpr size_t kMetadataOffset = 4;    // metadata block within a frame header
constexpr size_t kTimestampOffset = 73;  // timestamp block within a frame header

uint64_t recordBytes(uint32_t width, uint32_t height)
{
    return VykRawFile::kFrameHeaderSize + static_cast<uint64_t>(width) * height * 2u;
}

} // namespace

VykRawFile::VykRawFile(const std::string& path, uint32_t width, uint32_t height, uint16_t bitDepth)
    : file_(path, BinaryFile::Mode::Create), width_(width), height_(height)
{
    const uint8_t reserved[16] = {};
    file_.writeBytes(kMagic, sizeof kMagic);
    file_.writeU32(kVersion);
    file_.writeU32(kHeaderSize);
    file_.writeU32(width);
    file_.writeU32(height);
    file_.writeU16(bitDepth);
    file_.writeU16(0);
    file_.writeU32(kFrameHeaderSize);
    file_.writeU64(recordBytes(width, height));
    file_.writeU64(kCountOpen);
    file_.writeBytes(reserved, sizeof reserved);
}

bool VykRawFile::append(const uint16_t* pixels, const uint8_t* metadata, const uint8_t* timestamp)
{
    uint8_t header[kFrameHeaderSize] = {};
    if (metadata != nullptr) {
        header[0] |= kFlagMetadata;
        std::memcpy(header + kMetadataOffset, metadata, kMetadataSize);
    }
    if (timestamp != nullptr) {
        header[0] |= kFlagTimestamp;
        std::memcpy(header + kTimestampOffset, timestamp, kTimestampSize);
    }
    // Flushed per frame so that a reader sees every complete record of an unfinished
    // file (the count field then says "open").
    if (!file_.writeBytes(header, sizeof header)
        || !file_.writeU16Array(pixels, static_cast<size_t>(width_) * height_) || !file_.flush())
        return false;
    ++frames_;
    return true;
}

bool VykRawFile::finish()
{
    file_.seek(kCountOffset);
    file_.writeU64(frames_);
    return file_.close();
}

bool VykRawFile::readInfo(BinaryFile& file, Info& info)
{
    char magic[8] = {};
    uint32_t version = 0;
    uint16_t reserved = 0;
    if (!file.readBytes(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof magic) != 0)
        return false;
    if (!file.readU32(version) || !file.readU32(info.headerSize) || !file.readU32(info.width)
        || !file.readU32(info.height) || !file.readU16(info.bitDepth) || !file.readU16(reserved)
        || !file.readU32(info.frameHeaderSize) || !file.readU64(info.recordSize)
        || !file.readU64(info.frameCount))
        return false;
    if (version == 0 || info.bitDepth == 0 || info.bitDepth > 16 || info.headerSize < 48
        || info.frameHeaderSize < kFrameHeaderSize
        || info.recordSize != info.frameHeaderSize + static_cast<uint64_t>(info.width) * info.height * 2u)
        return false;
    const uint64_t size = file.size();
    if (size < info.headerSize)
        return false;
    const uint64_t complete = (size - info.headerSize) / info.recordSize;
    info.finished = info.frameCount != kCountOpen;
    // A finished file promising more frames than it holds is damaged; an unfinished one
    // (the writer stopped early) holds every complete record.
    if (!info.finished)
        info.frameCount = complete;
    else if (info.frameCount > complete)
        return false;
    return true;
}

bool VykRawFile::readInfo(const std::string& path, Info& info)
{
    BinaryFile file(path, BinaryFile::Mode::Read);
    return readInfo(file, info);
}

bool VykRawFile::readFrame(const std::string& path, uint64_t index, Frame& frame)
{
    BinaryFile file(path, BinaryFile::Mode::Read);
    Info info;
    if (!readInfo(file, info) || index >= info.frameCount)
        return false;
    std::vector<uint8_t> header(info.frameHeaderSize);
    if (!file.seek(info.headerSize + index * info.recordSize)
        || !file.readBytes(header.data(), header.size()))
        return false;
    frame.hasMetadata = (header[0] & kFlagMetadata) != 0;
    frame.hasTimestamp = (header[0] & kFlagTimestamp) != 0;
    std::memcpy(frame.metadata.data(), header.data() + kMetadataOffset, kMetadataSize);
    std::memcpy(frame.timestamp.data(), header.data() + kTimestampOffset, kTimestampSize);
    frame.pixels.resize(static_cast<size_t>(info.width) * info.height);
    return file.readU16Array(frame.pixels.data(), frame.pixels.size());
}

bool readVykRawFrame(const std::string& path, uint64_t index, VykRawFile::Frame& frame)
{
    return VykRawFile::readFrame(path, index, frame);
}

} // namespace vyksim
