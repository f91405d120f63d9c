#include "B16File.h"

#include <cstdio>
#include <cstring>

#include "BinaryFile.h"

namespace vyksim {

bool B16File::write(const std::string& path, uint32_t width, uint32_t height,
                    uint16_t bitDepth, const uint16_t* pixels)
{
    bool done = false;
    {
        BinaryFile file(path, BinaryFile::Mode::Create);
        const uint8_t reserved[kHeaderSize - 20] = {};
        file.writeBytes(kMagic, sizeof kMagic);
        file.writeU32(kHeaderSize);
        file.writeU32(width);
        file.writeU32(height);
        file.writeU16(bitDepth);
        file.writeU16(kVersion);
        file.writeBytes(reserved, sizeof reserved);
        file.writeU16Array(pixels, static_cast<size_t>(width) * height);
        done = file.close();
    }
    if (!done)
        std::remove(path.c_str());
    return done;
}

bool B16File::read(const std::string& path, Info& info, std::vector<uint16_t>& pixels)
{
    BinaryFile file(path, BinaryFile::Mode::Read);
    char magic[4] = {};
    uint16_t version = 0;
    if (!file.readBytes(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof magic) != 0)
        return false;
    if (!file.readU32(info.headerSize) || !file.readU32(info.width) || !file.readU32(info.height)
        || !file.readU16(info.bitDepth) || !file.readU16(version))
        return false;
    if (info.headerSize < 20 || info.bitDepth == 0 || info.bitDepth > 16)
        return false;
    const uint64_t count = static_cast<uint64_t>(info.width) * info.height;
    if (file.size() < info.headerSize + count * 2)
        return false; // truncated: refuse before allocating
    pixels.resize(static_cast<size_t>(count));
    return file.seek(info.headerSize) && file.readU16Array(pixels.data(), pixels.size());
}

} // namespace vyksim
