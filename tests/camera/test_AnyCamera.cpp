// vyk::AnyCamera: what it holds, forwarding to a local camera, and its refusals.

#include <fstream>

#include "camera/AnyCamera.h"
#include "kv2_cam.h"
#include "test_RemoteFixture.h"

namespace remotetest {
namespace {

constexpr uint32_t kLayer = 0x160000u;
constexpr uint32_t kDxrOnly = 0xa0160013u;

TEST(AnyCamera, EmptyHandlesRefuseEveryOperation) {
  vyk::AnyCamera empty(std::unique_ptr<vyk::RemoteCamera>{});
  EXPECT_TRUE(empty.isEmpty());
  EXPECT_TRUE(empty.isRemote());
  EXPECT_CAMERA_ERROR(empty.getName(), "AnyCamera holds no camera", kLayer);
  EXPECT_CAMERA_ERROR(empty.getDxrAllocation(), "AnyCamera holds no camera", kLayer);
  vyk::AnyCamera emptyLocal(std::unique_ptr<vyk::Camera>{});
  EXPECT_FALSE(emptyLocal.isRemote());
  vyk::Image image;
  EXPECT_CAMERA_ERROR(emptyLocal.image(image, vyk::Roi{1, 1, 2, 2}, 0), "AnyCamera holds no camera", kLayer);
}

// A local camera from the test camera set, without a server.
class LocalAnyCameraTest : public RemoteTest {};

TEST_F(LocalAnyCameraTest, ForwardsToALocalCameraAndKeepsItsRoi) {
  setenv("RASTEL_SIM_CONFIG", (_folder / "devices.json").c_str(), 1);
  ASSERT_EQ(VYK_InitializeLib(), 0);
  auto camera = std::make_shared<vyk::AnyCamera>(std::make_unique<vyk::Camera>(vyk::InterfaceType::USB3, kMonoSerial));
  EXPECT_FALSE(camera->isRemote());
  ASSERT_NE(camera->local(), nullptr);
  EXPECT_EQ(camera->remote(), nullptr);
  EXPECT_EQ(camera->getSerial(), kMonoSerial);
  camera->setExposureTime(0.001);
  EXPECT_DOUBLE_EQ(camera->getExposureTime(), 0.001);
  camera->record(2, vyk::RecordMode::Sequence);
  vyk::Image image;
  camera->image(image, vyk::Roi{3, 5, 10, 20}, 0);
  EXPECT_EQ(image.roi(), (vyk::Roi{3, 5, 10, 20}));
  camera->image(image, 0);
  EXPECT_EQ(image.roi(), (vyk::Roi{1, 1, 128, 96}));
  EXPECT_CAMERA_ERROR(camera->getDxrAllocation(), "Function only available for vyk.dxr!", kDxrOnly);
  EXPECT_CAMERA_ERROR(camera->getDxrSegment(), "Function only available for vyk.dxr!", kDxrOnly);

  // The last owner closes the camera: it can be opened again at once.
  std::weak_ptr<vyk::AnyCamera> observer = camera;
  camera.reset();
  EXPECT_TRUE(observer.expired());
  EXPECT_NO_THROW(vyk::Camera(vyk::InterfaceType::USB3, kMonoSerial));
  VYK_CleanupLib();
}

}  // namespace
}  // namespace remotetest
