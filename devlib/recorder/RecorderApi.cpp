// The C interface of vyk_recorder.h: argument checks and handle look-up around Recorder.
#include <cmath>
#include <cstring>
#include <string>

#include "Recorder.h"
#include "RecorderRegistry.h"
#include "Region.h"
#include "vyk_recorder.h"

using vykrec::FrameInfo;
using vykrec::Recorder;
using vykrec::RecorderRegistry;
using vykrec::Region;

namespace {

// The recorder of handle when camera belongs to it; code says why not otherwise.
std::shared_ptr<Recorder> lookUp(VYK_RECORDER handle, VYK_HANDLE camera, int32_t* code)
{
    std::shared_ptr<Recorder> recorder = RecorderRegistry::find(handle);
    *code = VYK_NOERROR;
    if (!recorder || recorder->camera() != camera) {
        *code = VYK_ERR_INVALID_HANDLE;
        return nullptr;
    }
    return recorder;
}

// Size field (first 16 bits) of a caller's block; blocks are little-endian records.
uint16_t blockSize(const uint8_t* block)
{
    uint16_t size = 0;
    std::memcpy(&size, block, sizeof(size));
    return size;
}

// Copies the region of image index through convert into out, with number, metadata and
// timestamp as vyk_recorder.h describes for the copy functions.
template <typename Out, typename Convert>
int32_t copyImage(Recorder& recorder, uint32_t index, const Region& region, Out* out,
                  uint32_t* imageNumber, uint8_t* metadata, uint8_t* timestamp, Convert convert)
{
    if (out == nullptr)
        return VYK_ERR_NULL_POINTER;
    if ((metadata != nullptr && blockSize(metadata) < VYK_METADATA_SIZE) ||
        (timestamp != nullptr && blockSize(timestamp) < VYK_TIMESTAMP_BLOCK_SIZE))
        return VYK_ERR_WRONG_SIZE;
    bool inside = true;
    const int32_t rc = recorder.read(index, [&](const uint16_t* pixels, uint32_t width, uint32_t height,
                                                const FrameInfo& info) {
        inside = region.within(width, height);
        if (!inside)
            return;
        region.copy(pixels, width, out, convert);
        if (imageNumber != nullptr)
            *imageNumber = info.number;
        // The caller's size field stays; the block's own bytes follow it.
        if (metadata != nullptr && info.hasMetadata)
            std::memcpy(metadata + 2, info.metadata.data() + 2, info.metadata.size() - 2);
        if (timestamp != nullptr && info.hasTimestamp)
            std::memcpy(timestamp + 2, info.timestamp.data() + 2, info.timestamp.size() - 2);
    });
    if (VYK_FAILED(rc))
        return rc;
    return inside ? VYK_NOERROR : VYK_ERR_INVALID_ARGUMENT;
}

} // namespace

extern "C" {

int32_t VYK_RecorderCreate(VYK_RECORDER* recorder, const VYK_HANDLE* cameras, uint32_t count,
                           uint32_t modeWord, const char* filePath, uint32_t* capacity)
{
    if (recorder == nullptr || cameras == nullptr || capacity == nullptr)
        return VYK_ERR_NULL_POINTER;
    *recorder = nullptr;
    if (count != 1)
        return VYK_ERR_INVALID_ARGUMENT;
    std::shared_ptr<Recorder> created;
    const int32_t rc = Recorder::create(cameras[0], modeWord & 0x3u, filePath != nullptr ? filePath : "", created);
    if (VYK_FAILED(rc))
        return rc;
    *capacity = created->capacity();
    *recorder = RecorderRegistry::add(std::move(created));
    return VYK_NOERROR;
}

int32_t VYK_RecorderInit(VYK_RECORDER recorder, uint32_t imageCount, uint16_t type, uint16_t fileFlag,
                         const char* filePath, uint16_t segment)
{
    const std::shared_ptr<Recorder> r = RecorderRegistry::find(recorder);
    if (!r)
        return VYK_ERR_INVALID_HANDLE;
    return r->init(imageCount, type, fileFlag, filePath, segment);
}

int32_t VYK_RecorderDelete(VYK_RECORDER recorder)
{
    std::shared_ptr<Recorder> r = RecorderRegistry::remove(recorder);
    if (!r)
        return VYK_ERR_INVALID_HANDLE;
    return r->stop(); // the last user releases the images
}

int32_t VYK_RecorderStart(VYK_RECORDER recorder)
{
    const std::shared_ptr<Recorder> r = RecorderRegistry::find(recorder);
    return r ? r->start() : VYK_ERR_INVALID_HANDLE;
}

int32_t VYK_RecorderStop(VYK_RECORDER recorder)
{
    const std::shared_ptr<Recorder> r = RecorderRegistry::find(recorder);
    return r ? r->stop() : VYK_ERR_INVALID_HANDLE;
}

int32_t VYK_RecorderGetStatus(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t* running,
                              uint32_t* recordedCount, uint32_t* bufferSize, int32_t* errorStatus)
{
    int32_t rc = 0;
    const std::shared_ptr<Recorder> r = lookUp(recorder, camera, &rc);
    return r ? r->status(running, recordedCount, bufferSize, errorStatus) : rc;
}

int32_t VYK_RecorderGetFrameCounts(VYK_RECORDER recorder, VYK_HANDLE camera, uint64_t* delivered,
                                   uint64_t* lost)
{
    int32_t rc = 0;
    const std::shared_ptr<Recorder> r = lookUp(recorder, camera, &rc);
    if (r)
        r->frameCounts(delivered, lost);
    return rc;
}

int32_t VYK_RecorderGetSettings(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t* settingsWord,
                                uint32_t* capacity, uint16_t* width, uint16_t* height)
{
    int32_t rc = 0;
    const std::shared_ptr<Recorder> r = lookUp(recorder, camera, &rc);
    if (!r)
        return rc;
    r->settings(settingsWord, width, height);
    if (capacity != nullptr)
        *capacity = r->capacity();
    return VYK_NOERROR;
}

int32_t VYK_RecorderCopyImage(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t index, uint16_t x0,
                              uint16_t y0, uint16_t x1, uint16_t y1, uint16_t* buffer,
                              uint32_t* imageNumber, uint8_t* metadata, uint8_t* timestamp)
{
    int32_t rc = 0;
    const std::shared_ptr<Recorder> r = lookUp(recorder, camera, &rc);
    if (!r)
        return rc;
    return copyImage(*r, index, Region{x0, y0, x1, y1}, buffer, imageNumber, metadata, timestamp,
                     vykrec::KeepValue{});
}

int32_t VYK_RecorderCopyImage8(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t index, uint16_t x0,
                               uint16_t y0, uint16_t x1, uint16_t y1, uint8_t* buffer,
                               uint32_t* imageNumber, uint8_t* metadata, uint8_t* timestamp)
{
    int32_t rc = 0;
    const std::shared_ptr<Recorder> r = lookUp(recorder, camera, &rc);
    if (!r)
        return rc;
    if (r->bitDepth() > 8)
        return VYK_ERR_NOT_SUPPORTED;
    return copyImage(*r, index, Region{x0, y0, x1, y1}, buffer, imageNumber, metadata, timestamp,
                     [](uint16_t v) { return uint8_t(v > 255 ? 255 : v); });
}

int32_t VYK_RecorderSetCompressionParams(VYK_RECORDER recorder, VYK_HANDLE camera,
                                         const VYK_CompressionParams* params)
{
    int32_t rc = 0;
    const std::shared_ptr<Recorder> r = lookUp(recorder, camera, &rc);
    if (!r)
        return rc;
    if (params == nullptr)
        return VYK_ERR_NULL_POINTER;
    return r->setCompression(*params);
}

int32_t VYK_RecorderCopyImageCompressed(VYK_RECORDER recorder, VYK_HANDLE camera, uint32_t index,
                                        uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1,
                                        uint8_t* buffer, uint32_t* imageNumber, uint8_t* metadata,
                                        uint8_t* timestamp)
{
    int32_t rc = 0;
    const std::shared_ptr<Recorder> r = lookUp(recorder, camera, &rc);
    if (!r)
        return rc;
    const std::shared_ptr<const vykrec::Compander> table = r->compander();
    if (!table)
        return VYK_ERR_INVALID_ARGUMENT;
    const vykrec::Compander& compander = *table;
    return copyImage(*r, index, Region{x0, y0, x1, y1}, buffer, imageNumber, metadata, timestamp,
                     [&compander](uint16_t v) { return compander.encode(v); });
}

int32_t VYK_RecorderSetAutoExposureRegion(VYK_RECORDER recorder, VYK_HANDLE camera, uint16_t region)
{
    int32_t rc = 0;
    const std::shared_ptr<Recorder> r = lookUp(recorder, camera, &rc);
    return r ? r->setAutoExposureRegion(region) : rc;
}

int32_t VYK_RecorderSetAutoExposure(VYK_RECORDER recorder, VYK_HANDLE camera, uint8_t on,
                                    uint16_t smoothness, uint32_t minExposure, uint32_t maxExposure,
                                    uint16_t timeBase)
{
    int32_t rc = 0;
    const std::shared_ptr<Recorder> r = lookUp(recorder, camera, &rc);
    if (!r)
        return rc;
    if (on > 1 || (on == 1 && timeBase > VYK_TIMEBASE_MS))
        return VYK_ERR_INVALID_ARGUMENT;
    if (on == 0)
        return r->setAutoExposure(false, smoothness, 0.0, 0.0);
    const double scale = std::pow(10.0, -3.0 * (3 - timeBase));
    return r->setAutoExposure(on != 0, smoothness, minExposure * scale, maxExposure * scale);
}

} // extern "C"
