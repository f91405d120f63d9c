// vyk::RemoteCamera through vyk::AnyCamera against the in-process device server.

#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include <httplib.h>

#include "camera/ColorPattern.h"
#include "camera/ConvertControl.h"
#include "camera/Description.h"
#include "test_RemoteFixture.h"

namespace remotetest {
namespace {

using nlohmann::json;
using vyk::DataFormat;
using vyk::RecordMode;

constexpr uint32_t kInvalid = 0xa0163001u;
constexpr uint32_t kNoRecording = 0x80163024u;
constexpr uint32_t kRecordingRuns = 0x80163022u;
constexpr uint32_t kDxrOnly = 0xa0160013u;
constexpr uint32_t kLayer = 0x160000u;

class RemoteCameraTest : public RemoteTest {
 protected:
  void SetUp() override {
    RemoteTest::SetUp();
    startServer();
  }
};

TEST_F(RemoteCameraTest, IdentityAndConfigurationMatchTheServedCamera) {
  auto camera = connect(kMonoSerial);
  ASSERT_TRUE(camera->isRemote());
  EXPECT_EQ(camera->getName(), "remote test 101");
  EXPECT_EQ(camera->getSerial(), kMonoSerial);
  EXPECT_EQ(camera->getInterface(), vyk::InterfaceType::USB3);
  EXPECT_EQ(camera->getRawFormat(), vyk::RawFormat::Word);
  EXPECT_FALSE(camera->isColored());
  EXPECT_TRUE(connect(kColourSerial)->isColored());

  const vyk::Description description = camera->getDescription();
  {
    auto& state = stateOf(kMonoSerial);
    auto lock = state.lockCamera();
    EXPECT_EQ(json(description), json(state.camera().getDescription()));
  }
  EXPECT_EQ(description.max_width, 128u);
  EXPECT_TRUE(description.has_ram);

  vyk::Configuration wanted = camera->getConfiguration();
  wanted.exposure_time_s = 0.002;
  wanted.delay_time_s = 0.001;
  camera->setConfiguration(wanted);
  EXPECT_DOUBLE_EQ(camera->getExposureTime(), 0.002);
  EXPECT_DOUBLE_EQ(camera->getDelayTime(), 0.001);
  camera->setExposureTime(0.005);
  camera->setDelayTime(0.0);
  EXPECT_DOUBLE_EQ(camera->getConfiguration().exposure_time_s, 0.005);
  EXPECT_DOUBLE_EQ(camera->getConfiguration().delay_time_s, 0.0);

  camera->configureAutoExposure(vyk::AutoExposureRegion::Full, 0.001, 0.05);
  EXPECT_EQ(camera->getConfiguration().auto_exposure.region, vyk::AutoExposureRegion::Full);
  camera->autoExposureOn();
  camera->autoExposureOff();
  camera->defaultConfiguration();
  EXPECT_DOUBLE_EQ(camera->getExposureTime(), 0.01);
}

TEST_F(RemoteCameraTest, CameraErrorsArriveWithTheServersCode) {
  auto camera = connect(kColourSerial);  // no camera RAM: no recorder before the first recording
  // The server's validation message stays on the server; the client rebuilds the text from the code.
  EXPECT_CAMERA_ERROR(camera->setExposureTime(100.0), libraryText(kInvalid), kInvalid);
  EXPECT_CAMERA_ERROR(camera->configureAutoExposure(vyk::AutoExposureRegion::Balanced, 0.1, 0.01),
                      libraryText(kInvalid), kInvalid);
  try {
    camera->waitForFirstImage(true, 1.0);
    ADD_FAILURE() << "waitForFirstImage without a recording succeeded";
  } catch (const vyk::CameraException& e) {
    EXPECT_EQ(e.code(), kNoRecording);
    EXPECT_EQ(std::string(e.what()), "vyk::CameraException (0x80163024): " + libraryText(kNoRecording));
  }
  EXPECT_CAMERA_CODE(camera->waitForNewImage(), kNoRecording);
  EXPECT_FALSE(camera->trigger());  // refused: nothing records
  // image has a failure text of its own, whatever the server's answer.
  vyk::Image image;
  EXPECT_CAMERA_ERROR(camera->image(image, 0), "image call failed", kLayer);
}

TEST_F(RemoteCameraTest, RecordsWaitsAndFetchesImagesWithMetadata) {
  auto camera = connect(kMonoSerial);
  vyk::Configuration configuration = camera->getConfiguration();
  configuration.exposure_time_s = 0.001;
  configuration.timestamp_mode = 1;
  configuration.metadata_mode = 1;
  camera->setConfiguration(configuration);

  camera->record(8, RecordMode::RingBuffer);
  EXPECT_TRUE(camera->isRecording());
  EXPECT_CAMERA_CODE(camera->setConfiguration(configuration), kRecordingRuns);
  camera->waitForFirstImage(true, 10.0);
  EXPECT_GE(camera->getRecordedImageCount(), 1u);
  EXPECT_EQ(camera->getRecorderBufferSize(), 8u);

  vyk::Image image;
  camera->image(image, static_cast<uint64_t>(-1));
  EXPECT_EQ(image.format(), DataFormat::Mono16);
  EXPECT_EQ(image.roi(), (vyk::Roi{1, 1, 128, 96}));
  EXPECT_EQ(image.rawData16().size(), 128u * 96u);
  EXPECT_GE(image.recorderImageNumber(), 1u);
  ASSERT_TRUE(image.metadata().has_value());
  EXPECT_EQ(image.metadata()->wSize, 69);
  EXPECT_EQ(+image.metadata()->dwCAMERA_SERIAL_NO, kMonoSerial);
  ASSERT_TRUE(image.timestamp().has_value());
  EXPECT_EQ(image.timestamp()->wSize, 22);

  const uint32_t before = image.recorderImageNumber();
  camera->waitForNewImage(true, 10.0);
  camera->image(image, static_cast<uint64_t>(-1), DataFormat::Mono8);
  EXPECT_GT(image.recorderImageNumber(), before);
  EXPECT_EQ(image.format(), DataFormat::Mono8);
  EXPECT_EQ(image.data8().size(), 128u * 96u);
  EXPECT_EQ(image.rawData16().size(), 128u * 96u);
  uint64_t sum = 0;
  for (uint8_t value : image.data8()) sum += value;
  EXPECT_GT(sum, 0u) << "the local conversion wrote nothing";

  // Pseudocolour on a mono camera: BGRA8 is four bytes per pixel.
  camera->image(image, static_cast<uint64_t>(-1), DataFormat::BGRA8);
  EXPECT_EQ(image.data8().size(), 128u * 96u * 4u);
  EXPECT_CAMERA_ERROR(camera->image(image, 0, DataFormat::BGR16), "image call failed", kLayer);

  camera->stop();
  EXPECT_FALSE(camera->isRecording());
  // The recording's images stay readable after stop; index 0 is the oldest in the ring.
  camera->image(image, static_cast<uint64_t>(-1));
  const uint32_t newest = image.recorderImageNumber();
  camera->image(image, 0);
  EXPECT_GE(image.recorderImageNumber(), 1u);
  EXPECT_LE(image.recorderImageNumber(), newest);
}

TEST_F(RemoteCameraTest, SoftwareTriggerAndCompressedImages) {
  auto camera = connect(kMonoSerial);
  vyk::Configuration configuration = camera->getConfiguration();
  configuration.trigger_mode = 1;
  configuration.exposure_time_s = 0.001;
  camera->setConfiguration(configuration);
  EXPECT_FALSE(camera->trigger()) << "nothing records yet";
  camera->record(4, RecordMode::RingBuffer);
  ASSERT_TRUE(eventually([&] { return camera->trigger(); }));
  camera->waitForFirstImage(true, 10.0);

  vyk::Image image;
  EXPECT_CAMERA_CODE(camera->image(image, 0, DataFormat::CompressedMono8), kLayer);  // parameters required
  const vyk::CompressionParams parameters{1.0, 2.0, 0.5, 0.5, 0.0};
  camera->image(image, 0, DataFormat::CompressedMono8, parameters);
  EXPECT_EQ(image.format(), DataFormat::CompressedMono8);
  EXPECT_EQ(image.data8().size(), 128u * 96u);
  camera->stop();
}

TEST_F(RemoteCameraTest, ColourImagesAreConvertedLocally) {
  auto camera = connect(kColourSerial);
  camera->setExposureTime(0.001);
  camera->record(4, RecordMode::SequenceNonBlocking);
  ASSERT_TRUE(eventually([&] { return camera->getRecordedImageCount() == 4; }));

  vyk::Image image;
  camera->image(image, 2, DataFormat::BGR8);
  EXPECT_EQ(image.data8().size(), 128u * 96u * 3u);
  EXPECT_EQ(image.recorderImageNumber(), 3u);  // the third image
  camera->image(image, 2, DataFormat::RGB16);
  EXPECT_EQ(image.data16().size(), 128u * 96u * 3u);
  // The conversion settings travel with the image: a server-side change shows in the next conversion.
  vyk::ConvertControl control = camera->getConvertControl(DataFormat::BGR8);
  ASSERT_TRUE(std::holds_alternative<vyk::ConvertControlColor>(control));
  std::get<vyk::ConvertControlColor>(control).flip_vertical = false;
  std::get<vyk::ConvertControlColor>(control).color_saturation = 50;
  camera->setConvertControl(DataFormat::BGR8, control);
  EXPECT_EQ(std::get<vyk::ConvertControlColor>(camera->getConvertControl(DataFormat::BGR8)).color_saturation, 50);
  camera->image(image, 2, DataFormat::BGR8);
  EXPECT_EQ(image.data8().size(), 128u * 96u * 3u);
}

TEST_F(RemoteCameraTest, ColourPatternFollowsTheRecordedRoi) {
  auto camera = connect(kColourSerial);
  httplib::Client client("127.0.0.1", portOf(kColourSerial));
  const auto colorModeAt = [&](uint64_t x0) {
    vyk::Configuration configuration = camera->getConfiguration();
    configuration.roi = vyk::Roi{x0, 1, x0 + 63, 96};
    configuration.exposure_time_s = 0.001;
    camera->setConfiguration(configuration);
    camera->record(2, RecordMode::SequenceNonBlocking);
    EXPECT_TRUE(eventually([&] { return !camera->isRecording(); }));
    const httplib::Result answer = client.Get("/v1/image", httplib::Params{{"index", "0"}, {"format", "\"BGR8\""}},
                                              httplib::Headers{});
    EXPECT_TRUE(answer && answer->status == 200);
    EXPECT_EQ(json::parse(answer->get_header_value("crop")), json(vyk::Roi{1, 1, 64, 96}));
    return json::parse(answer->get_header_value("colorMode")).get<int32_t>();
  };
  const uint16_t pattern = stateOf(kColourSerial).colorPatternWord();
  ASSERT_NE(pattern, 0u);
  const int32_t even = colorModeAt(2);
  const int32_t odd = colorModeAt(1);
  EXPECT_NE(even, odd);
  EXPECT_EQ(even, vyk::ColorPattern::code(pattern, vyk::Roi{1, 1, 64, 96}, vyk::Roi{2, 1, 65, 96}));
  EXPECT_EQ(odd, vyk::ColorPattern::code(pattern, vyk::Roi{1, 1, 64, 96}, vyk::Roi{1, 1, 64, 96}));
}

TEST_F(RemoteCameraTest, PseudocolourLutIsUploadedAndItsServerPathSent) {
  auto camera = connect(kMonoSerial);
  const std::filesystem::path lut = _folder / "ramp.lut";
  {
    std::ofstream out(lut);
    for (int level = 0; level < 256; ++level) out << level << ' ' << 255 - level << ' ' << level / 2 << '\n';
  }
  vyk::ConvertControl control = camera->getConvertControl(DataFormat::BGR8);
  ASSERT_TRUE(std::holds_alternative<vyk::ConvertControlPseudocolor>(control));
  std::get<vyk::ConvertControlPseudocolor>(control).lut_file = lut;
  camera->setConvertControl(DataFormat::BGR8, control);

  const auto stored = std::get<vyk::ConvertControlPseudocolor>(camera->getConvertControl(DataFormat::BGR8));
  EXPECT_EQ(stored.lut_file.parent_path(), _folder / "data" / "luts");
  EXPECT_EQ(stored.lut_file.extension(), ".lut");
  std::ifstream saved(stored.lut_file);
  std::ifstream original(lut);
  std::stringstream savedText, originalText;
  savedText << saved.rdbuf();
  originalText << original.rdbuf();
  EXPECT_EQ(savedText.str(), originalText.str());

  std::get<vyk::ConvertControlPseudocolor>(control).lut_file = _folder / "missing.lut";
  EXPECT_CAMERA_ERROR(camera->setConvertControl(DataFormat::BGR8, control), "LUT file does not exist!", 0xa0163018u);
  EXPECT_CAMERA_ERROR(camera->remote()->uploadLut(_folder / "missing.lut"),
                      "LUT file not found: " + (_folder / "missing.lut").string(), kLayer);
}

TEST_F(RemoteCameraTest, CamRamOperationsReachTheCamera) {
  auto camera = connect(kMonoSerial);
  camera->setCamRamAllocation({50, 50, 0, 0});
  const std::vector<uint32_t> allocation = camera->getCamRamAllocation();
  ASSERT_EQ(allocation.size(), 4u);
  EXPECT_EQ(allocation[2], 0u);
  EXPECT_GE(allocation[1], 50u);
  {
    auto& state = stateOf(kMonoSerial);
    auto lock = state.lockCamera();
    EXPECT_EQ(allocation, state.camera().getCamRamAllocation());
  }
  camera->switchToCamRam(2);
  EXPECT_EQ(camera->getCamRamSegment(), 2u);
  const uint32_t maximum = camera->getCamRamMaxImages();
  EXPECT_GT(maximum, 0u);
  EXPECT_EQ(camera->getCamRamNumImages(), 0u);
  EXPECT_CAMERA_CODE(connect(kColourSerial)->getCamRamSegment(), 0x80167006u);
}

TEST_F(RemoteCameraTest, DxrStorageIsSharedByTheDxrCameras) {
  auto first = connect(kDxrSerial);
  auto second = connect(kDxrSerial2);
  EXPECT_EQ(first->getInterface(), vyk::InterfaceType::CLHS_DXR);
  std::vector<vyk::RamAllocation> segments = first->getDxrAllocation();
  ASSERT_EQ(segments.size(), 2u);
  EXPECT_EQ(segments[0].camera_serial, kDxrSerial);
  EXPECT_DOUBLE_EQ(segments[0].percent_of_total, 50.0);
  EXPECT_EQ(first->getDxrSegment().alloc_id, 1u);
  EXPECT_EQ(second->getDxrSegment().alloc_id, 2u);

  // The first camera splits its half in two; the second camera's segment stays as it is.
  segments = {{1, 0, 30.0, kDxrSerial}, {5, 0, 20.0, kDxrSerial}, {2, 0, 90.0, kDxrSerial2}};
  first->setDxrAllocation(segments);
  segments = second->getDxrAllocation();
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_EQ(segments[1].alloc_id, 2u);
  EXPECT_DOUBLE_EQ(segments[1].percent_of_total, 50.0);
  EXPECT_EQ(segments[2].alloc_id, 5u);
  EXPECT_EQ(segments[2].segment_size, 0u);  // 20 % of 1 MiB, in whole MiB

  first->switchToCamRam(1);
  EXPECT_EQ(first->getCamRamSegment(), 1u);
  EXPECT_EQ(first->getDxrSegment().percent_of_total, 30.0);
  EXPECT_CAMERA_CODE(first->switchToCamRam(2), kInvalid);  // the other camera's segment
  EXPECT_CAMERA_CODE(first->setDxrAllocation({{1, 0, 60.0, kDxrSerial}}), kInvalid);  // 110 % in all

  // A segment of the whole storage holds 1 MiB / (128 x 96 x 2 bytes) = 42 images.
  second->setDxrAllocation({{2, 0, 0.0, kDxrSerial2}});
  first->setDxrAllocation({{1, 0, 100.0, kDxrSerial}});
  EXPECT_EQ(first->getCamRamMaxImages(), 42u);
  first->setExposureTime(0.001);
  first->record(1, RecordMode::CamramSegment);
  ASSERT_TRUE(eventually([&] { return !first->isRecording(); }));
  EXPECT_EQ(first->getRecordedImageCount(), 42u);
  EXPECT_EQ(first->getCamRamNumImages(), 42u);
  EXPECT_CAMERA_ERROR(second->record(10, RecordMode::RingBuffer), libraryText(0xa0163006u), 0xa0163006u);

  // Cameras on other interfaces refuse before asking the server.
  EXPECT_CAMERA_ERROR(connect(kMonoSerial)->getDxrAllocation(), "Function only available for vyk.dxr!", kDxrOnly);
  EXPECT_CAMERA_ERROR(connect(kMonoSerial)->getDxrSegment(), "Function only available for vyk.dxr!", kDxrOnly);
  EXPECT_CAMERA_ERROR(connect(kMonoSerial)->setDxrAllocation({}), "Function only available for vyk.dxr!", kDxrOnly);
}

TEST_F(RemoteCameraTest, FileRecordingsStayInTheServersFolder) {
  auto camera = connect(kMonoSerial);
  camera->setExposureTime(0.001);
  camera->record(3, RecordMode::Multitif, "runs/first.tif");
  ASSERT_TRUE(eventually([&] { return !camera->isRecording(); }));
  EXPECT_TRUE(std::filesystem::exists(_folder / "data" / "runs" / "first.tif"));

  EXPECT_CAMERA_CODE(camera->record(3, RecordMode::Multitif, "../escape.tif"), kInvalid);
  EXPECT_CAMERA_CODE(camera->record(3, RecordMode::Multitif, "/tmp/escape.tif"), kInvalid);
  EXPECT_FALSE(std::filesystem::exists(_folder / "escape.tif"));

  camera->record(2, RecordMode::Vykraw);  // no name: the server's default
  ASSERT_TRUE(eventually([&] { return !camera->isRecording(); }));
  bool found = false;
  for (const auto& entry : std::filesystem::directory_iterator(_folder / "data"))
    found = found || entry.path().filename().string().rfind("vyk_vram", 0) == 0;
  EXPECT_TRUE(found);
}

TEST_F(RemoteCameraTest, ReleasingTheLastOwnerFreesTheCameraOnItsServer) {
  auto camera = connect(kMonoSerial, 60000);
  EXPECT_FALSE(stateOf(kMonoSerial).isFree());
  std::shared_ptr<vyk::AnyCamera> second = camera;
  std::weak_ptr<vyk::AnyCamera> observer = camera;
  camera->record(10, RecordMode::RingBuffer);
  camera.reset();
  EXPECT_FALSE(stateOf(kMonoSerial).isFree());
  // The heartbeat sleeps for a minute; the last release must not wait for it.
  auto released = std::async(std::launch::async, [&second] { second.reset(); });
  ASSERT_EQ(released.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_TRUE(observer.expired());
  EXPECT_TRUE(stateOf(kMonoSerial).isFree());
  auto lock = stateOf(kMonoSerial).lockCamera();
  EXPECT_FALSE(stateOf(kMonoSerial).camera().isRecording()) << "destruction stops the recording";
}

TEST_F(RemoteCameraTest, DestructionWithTheServerGoneReportsAndDoesNotThrow) {
  auto camera = std::make_unique<vyk::RemoteCamera>("127.0.0.1", portOf(kMonoSerial), 50);
  _server.reset();
  testing::internal::CaptureStderr();
  EXPECT_NO_THROW(camera.reset());
  const std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("setFree failed! Probably error on server or connection.\n"
                         "If new connection fails, check if server is running!\n"),
            std::string::npos)
      << printed;
}

TEST_F(RemoteCameraTest, MalformedRequestsGetRemoteErrorsAndTheServerCarriesOn) {
  httplib::Client client("127.0.0.1", portOf(kMonoSerial));
  const auto expectRefused = [](const httplib::Result& result, const std::string& mention) {
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 503);
    const json error = json::parse(result->body);
    EXPECT_EQ(error.at("code").get<int32_t>(), static_cast<int32_t>(kInvalid));
    EXPECT_NE(error.at("where").get<std::string>().find(mention), std::string::npos) << result->body;
  };
  expectRefused(client.Put("/v1/setConfiguration", "{not json", "application/json"), "not JSON");
  expectRefused(client.Put("/v1/setExposureTime", "{}", "application/json"), "exposure_s");
  expectRefused(client.Put("/v1/setExposureTime", R"({"exposure_s": "fast"})", "application/json"), "exposure_s");
  expectRefused(client.Post("/v1/record", httplib::Params{{"imgCount", "10"}, {"recMode", "\"nope\""}}), "recMode");
  expectRefused(client.Post("/v1/record", httplib::Params{{"recMode", "\"ring_buffer\""}}), "imgCount");
  expectRefused(client.Get("/v1/getConvertControl", httplib::Params{{"format", "Mono8"}}, httplib::Headers{}), "format");
  expectRefused(client.Get("/v1/image", httplib::Params{{"index", "0"}, {"format", "\"Mono17\""}}, httplib::Headers{}),
                "DataFormat");
  json configuration = connect(kMonoSerial)->getConfiguration();
  configuration["binning"]["mode"] = "median";
  expectRefused(client.Put("/v1/setConfiguration", configuration.dump(), "application/json"), "binning.mode");

  const std::string huge(17 * 1024 * 1024, ' ');
  const httplib::Result tooLarge = client.Put("/v1/setConfiguration", huge, "application/json");
  ASSERT_TRUE(tooLarge);
  EXPECT_EQ(tooLarge->status, 413);

  EXPECT_EQ(connect(kMonoSerial)->getSerial(), kMonoSerial);
}

}  // namespace
}  // namespace remotetest
