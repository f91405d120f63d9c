// Images: geometry, brightness, mosaic, stamps, pacing, trigger and acquire modes, threads.
#include "SimCameraFixture.h"

#include <algorithm>
#include <cmath>
#include <thread>

using nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Mean of the pixels of one Bayer position (dx, dy) within columns [x0, x1) and rows [y0, y1).
double cellMean(const vyksim::SimFrame& f, uint32_t dx, uint32_t dy, uint32_t x0, uint32_t x1, uint32_t y0,
                uint32_t y1)
{
    double sum = 0.0;
    size_t n = 0;
    for (uint32_t y = y0 + dy; y < y1; y += 2) {
        for (uint32_t x = x0 + dx; x < x1; x += 2) {
            sum += f.pixels[size_t(y) * f.width + x];
            ++n;
        }
    }
    return n ? sum / n : 0.0;
}

uint16_t get16(const uint8_t* block, size_t offset)
{
    return uint16_t(block[offset] | block[offset + 1] << 8);
}

uint32_t get32(const uint8_t* block, size_t offset)
{
    return get16(block, offset) | uint32_t(get16(block, offset + 2)) << 16;
}

} // namespace

TEST_F(SimCameraFixture, FramesComeNoFasterThanTheFrameTimeAndFollowLiveExposure)
{
    useCameras({baseCamera(201)});
    VYK_HANDLE h = openBySerial(201);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 10, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_EQ(frames.waitFor(20), 20u);
    // Image k is ready k frame times after the start at the earliest.
    EXPECT_GE(secondsSince(start), 20 * 0.010 - 0.002);

    // A longer exposure set during the recording slows the images down.
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 40, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    const size_t before = frames.waitFor(0);
    const Clock::time_point slower = Clock::now();
    ASSERT_GE(frames.waitFor(before + 6), before + 6);
    EXPECT_GE(secondsSince(slower), 5 * 0.040 - 0.002);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);

    const std::vector<vyksim::SimFrame> kept = frames.frames();
    ASSERT_GE(kept.size(), 20u);
    for (size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(kept[i].frameNumber, i + 1);
}

TEST_F(SimCameraFixture, ImageSizeFollowsRoiAndBinning)
{
    json camera = baseCamera(211);
    camera["binning"] = {{"max_horz", 4}, {"max_vert", 4}};
    useCameras({camera});
    VYK_HANDLE h = openBySerial(211);
    ASSERT_EQ(VYK_SetBinning(h, 2, 4), VYK_NOERROR);
    ASSERT_EQ(VYK_SetROI(h, 3, 2, 30, 11), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_GE(frames.waitFor(2), 2u);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    const vyksim::SimFrame f = frames.frames().front();
    EXPECT_EQ(f.width, 28u);
    EXPECT_EQ(f.height, 10u);
    EXPECT_EQ(f.pixels.size(), 280u);
    EXPECT_EQ(f.bitDepth, 16);
}

TEST_F(SimCameraFixture, BrightnessIsProportionalToExposureUntilSaturation)
{
    json camera = baseCamera(221);
    camera["reference_exposure_s"] = 0.1;
    useCameras({camera});
    VYK_HANDLE h = openBySerial(221);
    auto meanAt = [&](uint32_t exposureUs) {
        EXPECT_EQ(VYK_SetDelayExposureTime(h, 0, exposureUs, 0, VYK_TIMEBASE_US), VYK_NOERROR);
        EXPECT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
        double sum = 0.0;
        for (int i = 0; i < 8; ++i) {
            vyksim::SimFrame f;
            EXPECT_EQ(vyksim::simRenderFrame(h, f), VYK_NOERROR);
            sum += meanOf(f);
        }
        return sum / 8;
    };
    const double low = meanAt(5000);
    const double high = meanAt(20000);
    EXPECT_GT(low, 100.0);
    EXPECT_NEAR(high / low, 4.0, 0.4);
    vyksim::SimFrame bright;
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 5000, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    ASSERT_EQ(vyksim::simRenderFrame(h, bright), VYK_NOERROR);
    EXPECT_EQ(*std::max_element(bright.pixels.begin(), bright.pixels.end()), 65535);
}

TEST_F(SimCameraFixture, SumBinningAddsAndAverageBinningKeepsTheLevel)
{
    json camera = baseCamera(231);
    camera["binning"] = {{"max_horz", 2}, {"max_vert", 2}, {"average", true}};
    camera["reference_exposure_s"] = 1.0;
    useCameras({camera});
    VYK_HANDLE h = openBySerial(231);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 100, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    auto meanWith = [&](uint16_t horz, uint16_t vert, uint16_t x1, uint16_t y1) {
        EXPECT_EQ(VYK_SetBinning(h, horz, vert), VYK_NOERROR);
        EXPECT_EQ(VYK_SetROI(h, 1, 1, x1, y1), VYK_NOERROR);
        EXPECT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
        vyksim::SimFrame f;
        EXPECT_EQ(vyksim::simRenderFrame(h, f), VYK_NOERROR);
        return meanOf(f);
    };
    const double single = meanWith(1, 1, 64, 48);
    const double summed = meanWith(2, 2, 32, 24);
    const double averaged = meanWith(2 | VYK_BINNING_AVERAGE, 2 | VYK_BINNING_AVERAGE, 32, 24);
    EXPECT_NEAR(summed / single, 4.0, 0.4);
    EXPECT_NEAR(averaged / single, 1.0, 0.1);
}

TEST_F(SimCameraFixture, ColourSensorDeliversItsBayerMosaic)
{
    json camera = baseCamera(241);
    camera["sensor"] = {{"width", 200}, {"height", 200}, {"bits", 12}, {"color", true}, {"bayer_pattern", "RGGB"}};
    camera["reference_exposure_s"] = 0.05;
    useCameras({camera});
    VYK_HANDLE h = openBySerial(241);
    vyksim::SimFrame f;
    ASSERT_EQ(vyksim::simRenderFrame(h, f), VYK_NOERROR);
    // The top rows are tinted red on the right and blue on the left; R sits at (0,0), B at (1,1).
    const double redRight = cellMean(f, 0, 0, 170, 200, 0, 6);
    const double blueRight = cellMean(f, 1, 1, 170, 200, 0, 6);
    const double redLeft = cellMean(f, 0, 0, 0, 30, 0, 6);
    const double blueLeft = cellMean(f, 1, 1, 0, 30, 0, 6);
    EXPECT_GT(redRight, 1.4 * blueRight);
    EXPECT_GT(blueLeft, 1.4 * redLeft);
    EXPECT_LE(*std::max_element(f.pixels.begin(), f.pixels.end()), 4095);

    // Moving the ROI by one column moves the mosaic with it.
    ASSERT_EQ(VYK_SetROI(h, 2, 1, 199, 200), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    ASSERT_EQ(vyksim::simRenderFrame(h, f), VYK_NOERROR);
    EXPECT_GT(cellMean(f, 1, 0, 168, 198, 0, 6), 1.4 * cellMean(f, 0, 1, 168, 198, 0, 6));
}

TEST_F(SimCameraFixture, LineSensorDeliversOneLinePerImage)
{
    json line = baseCamera(251);
    line["sensor"] = {{"width", 512}, {"height", 1}, {"bits", 12}};
    line["capabilities"]["line_sensor"] = true;
    useCameras({line});
    VYK_HANDLE h = openBySerial(251);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 5, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_GE(frames.waitFor(50), 50u);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    const std::vector<vyksim::SimFrame> kept = frames.frames();
    for (const vyksim::SimFrame& f : kept) {
        EXPECT_EQ(f.width, 512u);
        EXPECT_EQ(f.height, 1u);
    }
    // The line shows structure, not a flat level.
    const auto range = std::minmax_element(kept[0].pixels.begin(), kept[0].pixels.end());
    EXPECT_GT(*range.second - *range.first, 100);
}

TEST_F(SimCameraFixture, BinaryTimestampPutsBcdCounterAndDateIntoTheFirstPixels)
{
    json camera = baseCamera(261);
    camera["capabilities"] = {{"timestamp", true}, {"timestamp_ascii", true}};
    useCameras({camera});
    VYK_HANDLE h = openBySerial(261);
    ASSERT_EQ(VYK_SetTimestampMode(h, VYK_TIMESTAMP_BINARY), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_GE(frames.waitFor(12), 12u);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    const vyksim::SimFrame f = frames.frames()[11];
    EXPECT_EQ(f.frameNumber, 12u);
    const std::vector<uint16_t> counter(f.pixels.begin(), f.pixels.begin() + 4);
    EXPECT_EQ(counter, (std::vector<uint16_t>{0x00, 0x00, 0x00, 0x12}));
    const unsigned year = (f.pixels[4] >> 4) * 1000 + (f.pixels[4] & 0xF) * 100 + (f.pixels[5] >> 4) * 10
        + (f.pixels[5] & 0xF);
    EXPECT_GE(year, 2024u);
    for (int i = 6; i < 14; ++i)
        EXPECT_LE(f.pixels[i] & 0xF, 9) << i;
    ASSERT_TRUE(f.hasTimestamp);
    EXPECT_EQ(get16(f.timestamp.data(), 0), 22);
    EXPECT_EQ(get32(f.timestamp.data(), 2), 12u);
    EXPECT_EQ(get16(f.timestamp.data(), 6), year);
    EXPECT_FALSE(f.hasMetadata);

    // ASCII mode writes white glyphs on black into the first rows.
    ASSERT_EQ(VYK_SetTimestampMode(h, VYK_TIMESTAMP_ASCII), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    vyksim::SimFrame ascii;
    ASSERT_EQ(vyksim::simRenderFrame(h, ascii), VYK_NOERROR);
    size_t white = 0, black = 0;
    for (uint32_t y = 0; y < 8; ++y) {
        for (uint32_t x = 0; x < 48; ++x) {
            const uint16_t v = ascii.pixels[y * ascii.width + x];
            white += v == 65535;
            black += v == 0;
        }
    }
    EXPECT_EQ(white + black, 8u * 48u);
    EXPECT_GT(white, 40u);
}

TEST_F(SimCameraFixture, MetadataBlockDescribesTheImage)
{
    json camera = baseCamera(271);
    camera["capabilities"] = {{"metadata", true}};
    camera["binning"] = {{"max_horz", 2}, {"max_vert", 2}};
    camera["type"] = 0x4321;
    useCameras({camera});
    VYK_HANDLE h = openBySerial(271);
    ASSERT_EQ(VYK_SetMetaDataMode(h, 1, nullptr, nullptr), VYK_NOERROR);
    ASSERT_EQ(VYK_SetBinning(h, 2, 1), VYK_NOERROR);
    ASSERT_EQ(VYK_SetROI(h, 5, 3, 24, 40), VYK_NOERROR);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 7500, 0, VYK_TIMEBASE_US), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_GE(frames.waitFor(3), 3u);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    const vyksim::SimFrame f = frames.frames()[2];
    ASSERT_TRUE(f.hasMetadata);
    const uint8_t* m = f.metadata.data();
    EXPECT_EQ(get16(m, 0), 69);
    EXPECT_EQ(get16(m, 2), VYK_METADATA_VERSION);
    EXPECT_EQ(m[4], 0x03);                       // BCD image counter, least significant first
    EXPECT_EQ(get16(m, 18), VYK_TIMEBASE_US);
    EXPECT_EQ(get32(m, 20), 7500u);
    EXPECT_NEAR(get32(m, 24), 1000.0 / 0.0075, 1.0);
    EXPECT_EQ(get16(m, 30), 20);
    EXPECT_EQ(get16(m, 32), 38);
    EXPECT_EQ(m[34], 2);
    EXPECT_EQ(m[35], 1);
    EXPECT_EQ(get32(m, 36), 10000000u);
    EXPECT_EQ(get16(m, 40), 100);
    EXPECT_EQ(get32(m, 42), 271u);
    EXPECT_EQ(get16(m, 46), 0x4321);
    EXPECT_EQ(m[48], 16);
    EXPECT_EQ(get16(m, 64), 8);                  // sensor column of the first pixel
    EXPECT_EQ(get16(m, 66), 2);
}

TEST_F(SimCameraFixture, SameSeedGivesTheSameImagesAndAnotherSeedDoesNot)
{
    json a = baseCamera(281);
    json b = baseCamera(282);
    json c = baseCamera(283);
    a["seed"] = 7;
    b["seed"] = 7;
    c["seed"] = 8;
    a["read_noise"] = b["read_noise"] = c["read_noise"] = 20.0;
    a["dark_offset"] = b["dark_offset"] = c["dark_offset"] = 100;
    useCameras({a, b, c});
    VYK_HANDLE ha = openBySerial(281);
    VYK_HANDLE hb = openBySerial(282);
    VYK_HANDLE hc = openBySerial(283);
    vyksim::SimFrame fa, fb, fc, fa2;
    ASSERT_EQ(vyksim::simRenderFrame(ha, fa), VYK_NOERROR);
    ASSERT_EQ(vyksim::simRenderFrame(hb, fb), VYK_NOERROR);
    ASSERT_EQ(vyksim::simRenderFrame(hc, fc), VYK_NOERROR);
    ASSERT_EQ(vyksim::simRenderFrame(ha, fa2), VYK_NOERROR);
    EXPECT_EQ(fa.pixels, fb.pixels);
    EXPECT_NE(fa.pixels, fc.pixels);
    EXPECT_NE(fa.pixels, fa2.pixels); // the scene moves and the noise changes
}

TEST_F(SimCameraFixture, SoftwareTriggerMakesOneImagePerAcceptedTrigger)
{
    useCameras({baseCamera(291)});
    VYK_HANDLE h = openBySerial(291);
    ASSERT_EQ(VYK_SetTriggerMode(h, VYK_TRIGGER_SOFTWARE), VYK_NOERROR);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 300, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    uint16_t accepted = 1;
    // Not recording: refused.
    EXPECT_EQ(VYK_ForceTrigger(h, &accepted), VYK_ERR_TRIGGER_REJECTED);
    EXPECT_FALSE(VYK_FAILED(VYK_ERR_TRIGGER_REJECTED));
    EXPECT_EQ(accepted, 0);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    EXPECT_EQ(frames.waitFor(1, std::chrono::milliseconds(400)), 0u); // nothing without a trigger

    ASSERT_EQ(VYK_ForceTrigger(h, &accepted), VYK_NOERROR);
    EXPECT_EQ(accepted, 1);
    // While the 300 ms exposure runs, a second trigger is refused.
    EXPECT_EQ(VYK_ForceTrigger(h, &accepted), VYK_ERR_TRIGGER_REJECTED);
    EXPECT_EQ(accepted, 0);
    ASSERT_EQ(frames.waitFor(1), 1u);
    ASSERT_EQ(VYK_ForceTrigger(h, &accepted), VYK_NOERROR);
    EXPECT_EQ(accepted, 1);
    ASSERT_EQ(frames.waitFor(2), 2u);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    EXPECT_EQ(frames.count(), 2u);
}

TEST_F(SimCameraFixture, ExternalTriggerSourceFiresAtItsConfiguredRate)
{
    json camera = baseCamera(301);
    camera["external_trigger_hz"] = 25.0;
    camera["external_pulse_s"] = 0.002;
    camera["capabilities"]["metadata"] = true;
    useCameras({camera});
    VYK_HANDLE h = openBySerial(301);
    ASSERT_EQ(VYK_SetTriggerMode(h, VYK_TRIGGER_EXTERNAL_START), VYK_NOERROR);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 1, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    {
        FrameCollector frames(h);
        const Clock::time_point start = Clock::now();
        ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
        ASSERT_EQ(frames.waitFor(10), 10u);
        EXPECT_GE(secondsSince(start), 10 / 25.0 - 0.002);
        ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    }
    // An exposure longer than the pulse interval misses pulses: every third one is taken.
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 100, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    {
        FrameCollector frames(h);
        const Clock::time_point start = Clock::now();
        ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
        ASSERT_EQ(frames.waitFor(4), 4u);
        EXPECT_GE(secondsSince(start), 4 * 0.12 - 0.002);
        ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    }
    // External exposure control: the pulse width is the exposure.
    ASSERT_EQ(VYK_SetTriggerMode(h, VYK_TRIGGER_EXTERNAL_CONTROL), VYK_NOERROR);
    ASSERT_EQ(VYK_SetMetaDataMode(h, 1, nullptr, nullptr), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_GE(frames.waitFor(2), 2u);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    const vyksim::SimFrame f = frames.frames().front();
    EXPECT_EQ(get16(f.metadata.data(), 18), VYK_TIMEBASE_US);
    EXPECT_EQ(get32(f.metadata.data(), 20), 2000u);
}

TEST_F(SimCameraFixture, AcquireSequenceStopsAfterItsImagesAndDoubleImageGivesPairs)
{
    json camera = baseCamera(311);
    camera["capabilities"] = {{"acquire_mode", true}, {"ext_acquire_mode", true}, {"double_image", true}};
    useCameras({camera});
    VYK_HANDLE h = openBySerial(311);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 2, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_SetAcquireModeEx(h, VYK_ACQUIRE_SEQUENCE, 5), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    {
        FrameCollector frames(h);
        ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
        ASSERT_EQ(frames.waitFor(5), 5u);
        uint16_t state = 1;
        const Clock::time_point start = Clock::now();
        while (state == 1 && secondsSince(start) < 20.0) {
            ASSERT_EQ(VYK_GetRecordingState(h, &state), VYK_NOERROR);
            std::this_thread::yield();
        }
        EXPECT_EQ(state, 0);
        EXPECT_EQ(frames.count(), 5u);
    }
    ASSERT_EQ(VYK_SetAcquireModeEx(h, VYK_ACQUIRE_AUTO, 0), VYK_NOERROR);
    ASSERT_EQ(VYK_SetDoubleImageMode(h, 1), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    ASSERT_GE(frames.waitFor(6), 6u);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
    EXPECT_EQ(frames.count() % 2, 0u);
    const std::vector<vyksim::SimFrame> kept = frames.frames();
    for (size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(kept[i].frameNumber, i + 1);
}

TEST_F(SimCameraFixture, EveryOperationIsSafeFromSeveralThreadsDuringARecording)
{
    json camera = baseCamera(321);
    camera["ram"] = {{"pages", 4000}, {"page_size", 1024}};
    useCameras({camera});
    VYK_HANDLE h = openBySerial(321);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 1, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            uint32_t turn = 0;
            while (!stop) {
                uint32_t w = 0, e = 0, s = 0, a = 0, b = 0;
                int32_t r = VYK_NOERROR;
                switch (t) {
                case 0: r = VYK_GetCameraHealthStatus(h, &w, &e, &s); break;
                case 1: r = VYK_GetFrameTime(h, &a, &b); break;
                case 2: r = VYK_SetDelayExposureTime(h, 0, 1 + (turn++ % 3), 0, VYK_TIMEBASE_MS); break;
                default: r = VYK_GetNumberOfImagesInSegment(h, 1, &a, &b); break;
                }
                if (VYK_FAILED(r))
                    ++failures;
            }
        });
    }
    ASSERT_GE(frames.waitFor(30), 30u);
    stop = true;
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    // Closing while images flow stops the frame thread cleanly.
    closeCamera(h);
    const size_t afterClose = frames.count();
    EXPECT_EQ(frames.waitFor(afterClose + 1, std::chrono::milliseconds(100)), afterClose);
}

TEST_F(SimCameraFixture, NoiseFilterLowersTheNoiseOfADarkImage)
{
    json camera = baseCamera(331);
    camera["capabilities"]["noise_filter"] = true;
    camera["read_noise"] = 50.0;
    camera["dark_offset"] = 1000;
    useCameras({camera});
    VYK_HANDLE h = openBySerial(331);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 1, 0, VYK_TIMEBASE_US), VYK_NOERROR);
    auto deviation = [&](uint16_t filter) {
        EXPECT_EQ(VYK_SetNoiseFilterMode(h, filter), VYK_NOERROR);
        EXPECT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
        vyksim::SimFrame f;
        EXPECT_EQ(vyksim::simRenderFrame(h, f), VYK_NOERROR);
        const double mean = meanOf(f);
        double sum = 0.0;
        for (uint16_t v : f.pixels)
            sum += (v - mean) * (v - mean);
        EXPECT_NEAR(mean, 1000.0, 10.0);
        return std::sqrt(sum / f.pixels.size());
    };
    const double plain = deviation(0);
    const double filtered = deviation(1);
    EXPECT_NEAR(plain, 50.0, 10.0);
    EXPECT_LT(filtered, 0.5 * plain);
    EXPECT_NEAR(deviation(0), plain, 0.2 * plain); // back to the unfiltered table
}

TEST_F(SimCameraFixture, AcquireEnableInputLetsExposuresStartOnlyInTheFirstHalfOfEachSecond)
{
    json camera = baseCamera(341);
    camera["capabilities"]["acquire_mode"] = true;
    useCameras({camera});
    VYK_HANDLE h = openBySerial(341);
    ASSERT_EQ(VYK_SetDelayExposureTime(h, 0, 10, 0, VYK_TIMEBASE_MS), VYK_NOERROR);
    ASSERT_EQ(VYK_SetAcquireMode(h, VYK_ACQUIRE_EXTERNAL), VYK_NOERROR);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    FrameCollector frames(h);
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(VYK_SetRecordingState(h, 1), VYK_NOERROR);
    // At 100 images per second only about 50 fit into the first half second; the 60th
    // must wait for the input to be high again one second after the start.
    ASSERT_EQ(frames.waitFor(60), 60u);
    EXPECT_GE(secondsSince(start), 1.0);
    ASSERT_EQ(VYK_SetRecordingState(h, 0), VYK_NOERROR);
}

TEST_F(SimCameraFixture, ExtendedSensorFormatGivesTheLargerImage)
{
    json camera = baseCamera(351);
    camera["sensor"] = {{"width", 64}, {"height", 48}, {"ext_width", 80}, {"ext_height", 60}};
    useCameras({camera});
    VYK_HANDLE h = openBySerial(351);
    EXPECT_EQ(VYK_SetROI(h, 1, 1, 80, 60), VYK_ERR_INVALID_ARGUMENT);
    ASSERT_EQ(VYK_SetSensorFormat(h, VYK_SENSORFORMAT_EXTENDED), VYK_NOERROR);
    uint16_t x0, y0, x1, y1, format = 0;
    ASSERT_EQ(VYK_GetROI(h, &x0, &y0, &x1, &y1), VYK_NOERROR);
    EXPECT_EQ(x1, 80);
    EXPECT_EQ(y1, 60);
    ASSERT_EQ(VYK_GetSensorFormat(h, &format), VYK_NOERROR);
    EXPECT_EQ(format, VYK_SENSORFORMAT_EXTENDED);
    ASSERT_EQ(VYK_ArmCamera(h), VYK_NOERROR);
    vyksim::SimFrame f;
    ASSERT_EQ(vyksim::simRenderFrame(h, f), VYK_NOERROR);
    EXPECT_EQ(f.width, 80u);
    EXPECT_EQ(f.height, 60u);
}
