#include "acquisition/CameraAcquisition.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <utility>

#include <QCoreApplication>
#include <QDebug>
#include <QThread>

#include "acquisition/FramePacer.h"
#include "acquisition/ImageExport.h"
#include "acquisition/ImageQueueSet.h"
#include "acquisition/ThreadName.h"
#include "camera/CameraException.h"
#include "vyk_errors.h"

// Everything a worker thread works on; owned by the thread for the whole run.
struct CameraAcquisition::Run {
  AcquisitionSettings settings;            // private copy of the settings at start
  std::shared_ptr<vyk::AnyCamera> camera;  // keeps the camera alive even after cameraError
  vyk::Image image;                        // working image the loop fetches into
  LineAssembler assembler;                 // line cameras: builds frames out of lines
  bool lineMode = false;                   // lines are assembled into frames
  std::optional<uint32_t> lastDelivered;   // recorder image number of the newest image delivered
  FramePacer pacer;                        // preview: when the next image is due
};

namespace {

using Clock = std::chrono::steady_clock;
using vyk::RecordMode;

// Longest single wait on the camera, seconds: a stop or trigger queued behind a wait on
// the camera lock is served after at most this long.
constexpr double kWaitSlice_s = 0.05;
// Time-out of the wait for the first image of a recording, seconds.
constexpr double kFirstImageTimeout_s = 5.0;
// Pause of a loop whose trigger mode makes it idle; a stop ends it at once.
constexpr auto kIdleSlice = std::chrono::milliseconds(50);
// Least time between two images shown while recording, by loop.
constexpr auto kSequenceDisplayPeriod = std::chrono::milliseconds(50);
constexpr auto kFileDisplayPeriod = std::chrono::milliseconds(100);
// Histogram queue capacity during sequence and file recordings.
constexpr uint64_t kRecordingHistogramCapacity = 10;
// A camera wait that ran out of time.
constexpr uint32_t kTimedOut = static_cast<uint32_t>(VYK_ERR_TIMEOUT);
// The recorder could not write the files of a file recording (a full disk).
constexpr uint32_t kFileWriteFailed = static_cast<uint32_t>(VYK_ERR_FILE_IO);
// The critical line of a file recording that failed; the serial and the error follow.
constexpr const char* kFileLoopError = "Error during recording File of camera: ";

// Runs fn with the camera lock held.
template <typename Fn>
auto locked(vyk::FairMutex& lock, Fn&& fn) -> decltype(fn()) {
  std::lock_guard<vyk::FairMutex> guard(lock);
  return fn();
}

bool isCamRam(RecordMode mode) { return mode == RecordMode::CamramRing || mode == RecordMode::CamramSegment; }

int32_t clampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

QString number(int64_t value) { return QString::number(value); }

// Log lines are written exactly as composed, without QDebug's quotes and spaces.
void logDebug(const QString& line) { qDebug().noquote() << line; }
void logInfo(const QString& line) { qInfo().noquote() << line; }
void logWarning(const QString& line) { qWarning().noquote() << line; }
void logCritical(const QString& line) { qCritical().noquote() << line; }

// Releases the recording-started semaphore once when it goes out of scope, so that the
// record command waiting for it returns however the start phase ends.
class StartedRelease {
 public:
  explicit StartedRelease(bool armed) : _armed(armed) {}
  ~StartedRelease() { releaseNow(); }
  /// Releases now instead of at the end of the scope (once in all).
  void releaseNow() {
    if (_armed) recordingStartedSemaphore().release();
    _armed = false;
  }
  StartedRelease(const StartedRelease&) = delete;
  StartedRelease& operator=(const StartedRelease&) = delete;

 private:
  bool _armed;  // this run is one the record command waits for, and it has not been released
};

}  // namespace

CountingSemaphore& recordingStartedSemaphore() {
  static CountingSemaphore semaphore;
  return semaphore;
}

namespace {

std::shared_ptr<vyk::AnyCamera> requireCamera(std::shared_ptr<vyk::AnyCamera> camera) {
  if (!camera) throw vyk::CameraException("AnyCamera holds no camera", vyk::CameraException::kLayerError);
  return camera;
}

}  // namespace

CameraAcquisition::CameraAcquisition(std::shared_ptr<vyk::AnyCamera> camera, QObject* parent)
    : QObject(parent),
      _camera(requireCamera(std::move(camera))),
      _description(_camera->getDescription()),
      _serial(_camera->getSerial()) {
  // Signals carrying the serial cross threads as queued connections.
  qRegisterMetaType<DWORD>("DWORD");
  _settings.dataFormat = vyk::DataFormat::Mono8;
  setDataFormat(_serial, QStringLiteral("Mono"));
}

CameraAcquisition::~CameraAcquisition() {
  requestStop();
  viewQueues().deactivate(_serial);
  stopCameraThreads();
}

// ---- starting and stopping ------------------------------------------------------------

void CameraAcquisition::startCameraThread() {
  if (_running) return;
  if (_thread.joinable()) {
    // The previous run ended by itself; let its queued signals arrive before joining.
    QCoreApplication* app = QCoreApplication::instance();
    if (app && app->thread() == QThread::currentThread()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 500);
    }
    _thread.join();
  }
  if (_settings.mode <= AcquisitionSettings::kFile) {
    if (!_camera) {
      logWarning(QStringLiteral("Could not start cameraThread, camera was released. Camera: ") + number(_serial));
      return;
    }
    Run run;
    run.settings = _settings;
    run.camera = _camera;
    run.image = _image;
    run.lineMode = run.settings.linesPerImage > 1 && run.settings.mode != AcquisitionSettings::kFile;
    _running = true;
    try {
      _thread = std::thread([this, run = std::move(run)]() mutable { runLoop(run); });
    } catch (...) {
      _running = false;
      throw;
    }
  }
  logInfo(QStringLiteral("Started cameraThread of camera: ") + number(_serial));
}

void CameraAcquisition::stopCameraThreads() {
  logInfo(QStringLiteral("Stopping camera thread of camera: ") + number(_serial) + QStringLiteral(" ..."));
  requestStop();
  if (_camera) {
    try {
      locked(_cameraLock, [&] { _camera->stop(); });
      logDebug(QStringLiteral("Stopped Camera in stopCameraThreads of Acquisition: ") + number(_serial));
      if (_settings.mode != AcquisitionSettings::kPreview) {
        if (isCamRam(_settings.recMode)) {
          _settings.imageCount = clampToInt32(locked(_cameraLock, [&] { return _camera->getCamRamNumImages(); }));
        } else {
          // A failed count (-1) must not become a negative image count.
          _settings.imageCount = std::max(0, std::min(availableImageCount(), maxImageCount()));
        }
      }
    } catch (const vyk::CameraException& e) {
      logCritical(QStringLiteral("Error stopping camera, continuing without stop. Camera: ") + number(_serial) +
                  QStringLiteral(" With error: ") + QString::fromStdString(e.what()));
    }
  }
  if (_thread.joinable()) {
    _thread.join();
    logInfo(QStringLiteral("Stopped camerathread of camera: ") + number(_serial));
  }
}

// ---- worker thread --------------------------------------------------------------------

void CameraAcquisition::runLoop(Run& run) {
  setThreadName("acquisition");
  switch (run.settings.mode) {
    case AcquisitionSettings::kPreview:
      previewLoop(run);
      break;
    case AcquisitionSettings::kSequence:
      sequenceLoop(run);
      break;
    case AcquisitionSettings::kPlayback:
      playbackLoop(run);
      break;
    case AcquisitionSettings::kFile:
      fileLoop(run);
      break;
    default:
      break;
  }
  if (run.settings.mode != AcquisitionSettings::kPlayback) reportLostImages(run);
}

void CameraAcquisition::reportLostImages(Run& run) {
  // Remote recorders do not report lost images; a removed camera has nothing more to say.
  vyk::Camera* local = run.camera->local();
  if (local == nullptr || _cameraRemoved) return;
  uint64_t lost = 0;
  try {
    lost = locked(_cameraLock, [&] { return local->getLostImageCount(); });
  } catch (const vyk::CameraException& e) {
    logWarning(QStringLiteral("Could not read the lost images of camera: ") + number(_serial) +
               QStringLiteral(" With error: ") + QString::fromStdString(e.what()));
    return;
  }
  if (lost == 0) return;
  logWarning(QStringLiteral("Camera ") + number(_serial) + QStringLiteral(" lost ") +
             QString::number(lost) + QStringLiteral(" images (delivered incomplete or not taken in time)"));
  emit imagesLost(_serial, lost);
}

void CameraAcquisition::previewLoop(Run& run) {
  logInfo(QStringLiteral("Starting Preview of camera: ") + number(_serial));
  try {
    startPhase(run);
  } catch (const std::exception& e) {
    endWithError("Error starting record for preview of camera: ", e);
    return;
  }
  try {
    const uint16_t trigger = run.settings.triggerMode;
    while (goesOn(run)) {
      if (trigger == 0) {
        // Each image of the camera is fetched, converted and delivered once: between images
        // the loop waits for the next one instead of fetching the same one again, and asks
        // the camera only once the next one is nearly due.
        if (!pause(run.pacer.pollFrom())) break;
        waitForNewImage(run);
        if (!_running) break;
        const auto arrived = Clock::now();
        fetch(run, -1);
        run.pacer.arrived(run.image.recorderImageNumber(), arrived);
        deliverOnce(run, false);
      } else if (trigger <= 3) {
        triggeredFetch(run, false);
      } else {
        pause(Clock::now() + kIdleSlice);  // undefined mode: idle
      }
    }
    confirmCameraAnswers(run);
  } catch (const std::exception& e) {
    endWithError("Error during Preview of camera: ", e);
    return;
  }
  endNormally(QStringLiteral("Preview of camera: ") + number(_serial) + QStringLiteral(" ended!"));
}

void CameraAcquisition::sequenceLoop(Run& run) {
  logInfo(QStringLiteral("Starting Sequence recording of camera: ") + number(_serial));
  try {
    startPhase(run);
  } catch (const std::exception& e) {
    endWithError("Error starting record for Sequence of camera: ", e);
    return;
  }
  try {
    const AcquisitionSettings& s = run.settings;
    const bool ring = s.recMode == RecordMode::RingBuffer;
    const bool camRam = isCamRam(s.recMode);
    // Ring buffers (and the DXR recorder) are shown by their newest image.
    const bool showNewest = isDxr() || ring || camRam;
    int64_t index = 0;
    auto shown = Clock::now();
    while (goesOn(run)) {
      if (!ring && !camRam && index >= s.imageCount) break;
      if (s.triggerMode >= 1 && s.triggerMode <= 3) {
        triggeredFetch(run, false);
      } else if (s.triggerMode == 0) {
        if (!camRam && !waitUntilRecorded(run, index)) continue;
        if (run.lineMode) {
          fetch(run, index);
          deliver(run, run.image, false);
        } else if (Clock::now() - shown >= kSequenceDisplayPeriod) {
          shown = Clock::now();
          fetch(run, showNewest ? -1 : index);
          deliver(run, run.image, false);
        }
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // undefined mode: idle
      }
      if (!ring) ++index;
    }
    confirmCameraAnswers(run);
    locked(_cameraLock, [&] { run.camera->stop(); });
    _running = false;
  } catch (const std::exception& e) {
    endWithError("Error during recording sequence of camera: ", e);
    return;
  }
  endNormally(QStringLiteral("Recording sequence of camera: ") + number(_serial) + QStringLiteral(" ended!"));
}

void CameraAcquisition::fileLoop(Run& run) {
  logInfo(QStringLiteral("Starting File recording of camera: ") + number(_serial));
  try {
    startPhase(run);
  } catch (const std::exception& e) {
    endWithError("Error starting record for File of camera: ", e);
    return;
  }
  try {
    const uint16_t trigger = run.settings.triggerMode;
    auto shown = Clock::now();
    while (goesOn(run)) {
      if (trigger == 0) {
        // One image per display period at most, and only one not shown before: sleep until
        // the period is over, then wait for a new image as the preview does.
        if (!pause(shown + kFileDisplayPeriod)) break;
        waitForNewImage(run);
        if (!_running) break;
        shown = Clock::now();
        fetch(run, -1);
        deliverOnce(run, false);
      } else if (trigger <= 3) {
        triggeredFetch(run, true);
      } else {
        pause(Clock::now() + kIdleSlice);  // undefined mode: idle
      }
    }
    confirmCameraAnswers(run);
    confirmFilesWritten(run);
  } catch (const vyk::CameraException& e) {
    if (e.code() != kFileWriteFailed) {
      endWithError(kFileLoopError, e);
      return;
    }
    // The files could not be written (a full disk): the camera itself is fine and stays in
    // use, and the images the recorder counted are on disk. Said loudly, then ended as usual.
    logFailure(kFileLoopError, e);
    emit recordingFailed(_serial, QString::fromStdString(e.what()));
  } catch (const std::exception& e) {
    endWithError(kFileLoopError, e);
    return;
  }
  endNormally(QStringLiteral("Recording File of camera: ") + number(_serial) + QStringLiteral(" ended!"));
}

void CameraAcquisition::playbackLoop(Run& run) {
  const AcquisitionSettings& s = run.settings;
  logInfo(QStringLiteral("Starting Playback of camera: ") + number(_serial) + QStringLiteral(" from image Nr.: ") +
          number(int64_t{s.playFrom} + 1) + QStringLiteral(" to: ") + number(int64_t{s.playTo} + 1));
  try {
    for (int64_t i = s.playFrom;; ++i) {
      if (i > int64_t{s.playTo}) {
        _running = false;
        endNormally(QStringLiteral("Playback of camera: ") + number(_serial) + QStringLiteral(" ended!"));
        return;
      }
      if (!_running) {
        // Stopped from outside: the queues stay active and no end line is written.
        if (!_cameraRemoved) emit recordingDone(_serial);
        return;
      }
      fetch(run, i);
      deliver(run, run.image, false);
      emit newPlayPosition(_serial, static_cast<int>(i));
    }
  } catch (const std::exception& e) {
    endWithError("Error during Playback of camera: ", e);
  }
}

void CameraAcquisition::startPhase(Run& run) {
  AcquisitionSettings& s = run.settings;
  const bool sequence = s.mode == AcquisitionSettings::kSequence;
  // The record command waits for every memory sequence recording it starts.
  StartedRelease started(sequence && !isCamRam(s.recMode));
  // A recording that already runs is joined as it is: no record, no new queue sizes.
  const bool attach = locked(_cameraLock, [&] { return run.camera->isRecording(); });
  if (attach) {
    // Joining skips the start phase, and with it the first-image time-out: the recording's
    // first image may be long in coming (a long exposure, a trigger from outside) and that
    // is no camera failure. Only the newest image of a recording that holds none cannot be
    // fetched, so the loops begin once there is one, or end when the run or the recording does.
    started.releaseNow();  // the record command must not wait for that image
    const auto holdsAnImage = [&] {
      return locked(_cameraLock, [&] { return run.camera->getRecordedImageCount(); }) > 0;
    };
    if (s.triggerMode == 0) waitWhileRecording(run, holdsAnImage);
    return;
  }
  if (s.imageCount > 0) {
    viewQueues().setCapacity(_serial, static_cast<uint64_t>(s.imageCount));
    histogramQueues().setCapacity(_serial, s.mode == AcquisitionSettings::kPreview
                                              ? static_cast<uint64_t>(s.imageCount)
                                              : kRecordingHistogramCapacity);
  }
  if (run.lineMode) s.imageCount = clampToInt32(int64_t{s.imageCount} * s.linesPerImage);
  const std::filesystem::path path =
      s.mode == AcquisitionSettings::kFile ? std::filesystem::path(s.filePath) : std::filesystem::path();
  const auto count = static_cast<uint32_t>(std::max(0, s.imageCount));
  // Checked under the camera lock: a stop request clears running before it takes the
  // lock to stop the camera, so either it sees this recording or none is started.
  const bool recording = locked(_cameraLock, [&] {
    if (!_running) return false;
    run.camera->record(count, s.recMode, path, 0);
    return true;
  });
  if (!recording) return;
  if (s.triggerMode == 0 && (s.mode == AcquisitionSettings::kPreview || !s.noFirstImageWait)) {
    waitForFirstImage(run, kFirstImageTimeout_s);
  }
  if (sequence && !isCamRam(s.recMode) && !isDxr()) {
    s.imageCount = clampToInt32(locked(_cameraLock, [&] { return run.camera->getRecorderBufferSize(); }));
  }
  logDebug(QStringLiteral("Started recording of camera: ") + number(_serial));
}

void CameraAcquisition::confirmCameraAnswers(Run& run) {
  if (!_running) return;  // stopped from outside: nothing to tell apart
  // The recorder also ends when the camera stops answering; one query that reaches the
  // camera tells that failure (it throws) from a recording that simply finished.
  locked(_cameraLock, [&] { run.camera->getConfiguration(); });
}

void CameraAcquisition::confirmFilesWritten(Run& run) {
  if (!_running) return;  // stopped from outside: nothing to tell apart
  // The recording has ended: the camera's new-image wait returns at once, or throws the
  // failure that ended it. Should the camera still record after all, the wait runs out
  // at once, and that is no failure of the files.
  try {
    locked(_cameraLock, [&] { run.camera->waitForNewImage(false, 0.0); });
  } catch (const vyk::CameraException& e) {
    if (e.code() != kTimedOut) throw;
  }
}

bool CameraAcquisition::goesOn(Run& run) {
  return _running && locked(_cameraLock, [&] { return run.camera->isRecording(); });
}

void CameraAcquisition::triggeredFetch(Run& run, bool toBothSets) {
  if (locked(_cameraLock, [&] { return run.camera->isRecording(); })) waitForNewImage(run);
  if (!_running) return;
  if (locked(_cameraLock, [&] { return run.camera->getRecordedImageCount(); }) == 0) return;
  fetch(run, -1);
  deliverOnce(run, toBothSets);
}

void CameraAcquisition::deliverOnce(Run& run, bool toBothSets) {
  // A wait for a new image also ends when the recording does, and someone else may have
  // fetched the newest image meanwhile: an image delivered already is not delivered again.
  const uint32_t number = run.image.recorderImageNumber();
  if (number != vyk::Image::kNoLastingNumber && run.lastDelivered == number) return;
  run.lastDelivered = number;
  deliver(run, run.image, toBothSets);
}

void CameraAcquisition::fetch(Run& run, int64_t index) {
  // -1 becomes the all-ones index, the camera's "newest image".
  locked(_cameraLock,
         [&] { run.camera->image(run.image, static_cast<uint64_t>(index), run.settings.dataFormat); });
}

void CameraAcquisition::deliver(Run& run, vyk::Image& image, bool toBothSets) {
  vyk::Image* shown = &image;
  std::optional<vyk::Image> frame;
  if (run.lineMode) {
    frame = run.assembler.feed(image, static_cast<uint32_t>(run.settings.linesPerImage));
    if (!frame) return;  // only complete frames travel
    shown = &*frame;
  }
  const bool toView = toBothSets || _toView;
  const bool toHistogram = toBothSets || _toHistogram;
  // The image moves into the last queue it goes to, which hands back a spare image whose
  // buffers the next fetch fills: a frame is copied only when both sets take it.
  if (toView) {
    if (toHistogram) {
      viewQueues().push(_serial, static_cast<const vyk::Image&>(*shown));
    } else {
      viewQueues().push(_serial, std::move(*shown));
    }
  }
  if (toHistogram) histogramQueues().push(_serial, std::move(*shown));
}

bool CameraAcquisition::waitUntilRecorded(Run& run, int64_t index) {
  return waitWhileRecording(run, [&] {
    // In line mode the index counts lines, so lines are counted, not frames.
    // A failing count ends the wait as a camera error of the run (it propagates).
    const int64_t available =
        run.lineMode ? std::min<int64_t>(locked(_cameraLock, [&] { return run.camera->getRecordedImageCount(); }),
                                         run.settings.imageCount)
                     : countAvailable(*run.camera, run.settings);
    return available >= index + 1;
  });
}

bool CameraAcquisition::waitWhileRecording(Run& run, const std::function<bool()>& arrived) {
  for (;;) {
    if (arrived()) return true;
    // A stop or the recording's end ends the wait too: neither will make the image appear.
    if (!_running) return false;
    if (!locked(_cameraLock, [&] { return run.camera->isRecording(); })) return false;
    // Each check queries the recorder (and the device); a short sleep instead of a bare
    // yield keeps the check from competing with the camera's own frame thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void CameraAcquisition::waitForFirstImage(Run& run, double timeout_s) {
  const auto start = Clock::now();
  while (_running) {
    const double remaining = timeout_s - std::chrono::duration<double>(Clock::now() - start).count();
    if (remaining <= 0.0) throw vyk::CameraException(kTimedOut);
    try {
      locked(_cameraLock, [&] { run.camera->waitForFirstImage(true, std::min(kWaitSlice_s, remaining)); });
      return;
    } catch (const vyk::CameraException& e) {
      if (e.code() != kTimedOut) throw;
    }
  }
}

bool CameraAcquisition::pause(Clock::time_point until) {
  std::unique_lock<std::mutex> lock(_stopMutex);
  return !_stopWake.wait_until(lock, until, [this] { return !_running; });
}

void CameraAcquisition::requestStop() {
  {
    std::lock_guard<std::mutex> lock(_stopMutex);
    _running = false;
  }
  _stopWake.notify_all();
}

void CameraAcquisition::waitForNewImage(Run& run) {
  // No time-out as a whole; the slices only let other callers reach the camera.
  while (_running) {
    try {
      locked(_cameraLock, [&] { run.camera->waitForNewImage(true, kWaitSlice_s); });
      return;
    } catch (const vyk::CameraException& e) {
      if (e.code() != kTimedOut) throw;
    }
  }
}

void CameraAcquisition::endNormally(const QString& endLine) {
  if (!_cameraRemoved) emit recordingDone(_serial);
  viewQueues().deactivate(_serial);
  histogramQueues().deactivate(_serial);
  logInfo(endLine);
}

void CameraAcquisition::logFailure(const char* errorText, const std::exception& error) {
  logCritical(QString::fromLatin1(errorText) + number(_serial) + QStringLiteral(" With error: ") +
              QString::fromStdString(error.what()));
}

void CameraAcquisition::endWithError(const char* errorText, const std::exception& error) {
  logFailure(errorText, error);
  _running = false;
  // Closed before the error is told, so whoever handles it finds the run's queues closed.
  viewQueues().deactivate(_serial);
  histogramQueues().deactivate(_serial);
  emit camError(_serial, true);
}

// ---- single images, trigger, counts ------------------------------------------------------

int CameraAcquisition::showImage(int index) {
  if (!_camera) return 0;
  const int32_t count = std::min(maxImageCount(), availableImageCount());
  if (count < 1) return 0;
  try {
    if (!isLineCamera()) {
      if (index >= count) index = count - 1;
      locked(_cameraLock,
             [&] { _camera->image(_image, static_cast<uint64_t>(int64_t{index}), _settings.dataFormat); });
      viewQueues().push(_serial, _image);
      histogramQueues().push(_serial, _image);
      logDebug(QStringLiteral("Pushed image Nr.: ") + number(int64_t{index} + 1));
      return index;
    }
    const int32_t lines = _settings.linesPerImage;
    if (lines < 1) return 0;
    const int64_t frame = std::clamp<int64_t>(index, 0, count - 1);
    const int64_t first = frame * lines;
    const int64_t last = first + lines - 1;
    LineAssembler assembler;
    for (int64_t line = first; line <= last; ++line) {
      locked(_cameraLock,
             [&] { _camera->image(_image, static_cast<uint64_t>(line), _settings.dataFormat); });
      if (line == first) {
        assembler.begin(_image, static_cast<uint32_t>(lines));
      } else {
        assembler.addLine(_image);
      }
    }
    _image = assembler.takeFrame();
    viewQueues().push(_serial, _image);
    histogramQueues().push(_serial, _image);
    logDebug(QStringLiteral("Pushed assembled frame Nr.: ") + number(frame + 1) + QStringLiteral(" from lines [") +
             number(first) + QStringLiteral("..") + number(last) + QStringLiteral("]"));
    return static_cast<int>(frame);
  } catch (const vyk::CameraException& e) {
    logCritical(QStringLiteral("Error getting image with index: ") + number(index) + QStringLiteral(" of camera: ") +
                number(_serial) + QStringLiteral(" With error: ") + QString::fromStdString(e.what()));
    _running = false;
    return -1;
  }
}

void CameraAcquisition::triggerCamera(DWORD serial) {
  if (!_camera || serial != _serial) return;
  try {
    std::optional<bool> accepted;
    locked(_cameraLock, [&] {
      if (_camera->isRecording() && _camera->getConfiguration().trigger_mode == 1) accepted = _camera->trigger();
    });
    if (!accepted) return;
    if (*accepted) {
      logInfo(QStringLiteral("Triggered camera."));
      return;
    }
    logCritical(QStringLiteral("Failed to trigger camera, ending imageThread!"));
  } catch (const vyk::CameraException& e) {
    logCritical(QStringLiteral("Failed to trigger camera, ending imageThread! Error: ") +
                QString::fromStdString(e.what()));
  }
  stopCameraThreads();
}

int32_t CameraAcquisition::countMax(vyk::AnyCamera& camera, const AcquisitionSettings& s) {
  const auto bufferSize = [&] { return int64_t{locked(_cameraLock, [&] { return camera.getRecorderBufferSize(); })}; };
  if (isLineCamera()) return clampToInt32(s.linesPerImage > 0 ? bufferSize() / s.linesPerImage : bufferSize());
  if (!_description.has_ram && !isDxr()) return clampToInt32(bufferSize());
  const int64_t camRamMax = locked(_cameraLock, [&] { return camera.getCamRamMaxImages(); });
  return clampToInt32(isCamRam(s.recMode) ? camRamMax : std::min<int64_t>(camRamMax, s.imageCount));
}

int32_t CameraAcquisition::countAvailable(vyk::AnyCamera& camera, const AcquisitionSettings& s) {
  if (_description.has_ram || isDxr()) {
    return clampToInt32(
        std::min<int64_t>(locked(_cameraLock, [&] { return camera.getCamRamNumImages(); }), s.imageCount));
  }
  const int64_t recorded = locked(_cameraLock, [&] { return camera.getRecordedImageCount(); });
  if (!isLineCamera()) return clampToInt32(std::min<int64_t>(recorded, s.imageCount));
  return s.linesPerImage > 0 ? clampToInt32(recorded / s.linesPerImage) : 0;
}

bool CameraAcquisition::cameraRecording() {
  if (!_camera) return false;
  try {
    return locked(_cameraLock, [&] { return _camera->isRecording(); });
  } catch (const vyk::CameraException&) {
    return false;  // a camera that cannot answer is not recording for the caller
  }
}

int64_t CameraAcquisition::cameraRecordedImageCount() {
  if (!_camera) return -1;
  try {
    return locked(_cameraLock, [&] { return int64_t{_camera->getRecordedImageCount()}; });
  } catch (const vyk::CameraException&) {
    return -1;  // a failed count reads as "unknown"
  }
}

int32_t CameraAcquisition::maxImageCount() {
  if (!_camera) return 0;
  try {
    return countMax(*_camera, _settings);
  } catch (const vyk::CameraException&) {
    return 0;  // a failed count reads as "nothing fits"
  }
}

int32_t CameraAcquisition::availableImageCount() {
  if (!_camera) return -1;
  try {
    return countAvailable(*_camera, _settings);
  } catch (const vyk::CameraException&) {
    return -1;  // a failed count reads as "unknown"
  }
}

// ---- data format, export, slots ----------------------------------------------------------

void CameraAcquisition::setDataFormat(DWORD serial, const QString& formatName) {
  const bool usable = _camera && serial == _serial && !locked(_cameraLock, [&] { return _camera->isRecording(); });
  if (!usable) {
    logWarning(QStringLiteral("Could not set Dataformat, Camera was nullptr or recording or serialnumber didnt match."));
    return;
  }
  const bool mono = formatName == QStringLiteral("Mono");  // case-sensitive on purpose
  _settings.dataFormat = mono ? vyk::DataFormat::Mono8 : vyk::DataFormat::BGR8;
  const vyk::Roi roi = locked(_cameraLock, [&] { return _camera->getConfiguration().roi; });
  const vyk::RawFormat raw = locked(_cameraLock, [&] { return _camera->getRawFormat(); });
  // Fetched images cover (1, 1) to (width, height), so the prepared buffers are reused.
  _image.reshape(vyk::Roi{1, 1, roi.width(), roi.height()}, _settings.dataFormat, raw);
  logInfo(QString::fromLatin1(mono ? "Set dataFormat Mono8. Resize _image to: " : "Set dataFormat BGR8. Resize _image to: ") +
          number(static_cast<int64_t>(vyk::elementCount(_image.data()))));
}

QString CameraAcquisition::saveImage(const QString& path, int32_t index, vyk::DataFormat dataFormat) {
  logDebug(QStringLiteral("Entered saveImage of camera: ") + number(_serial));
  if (!_camera) throw vyk::CameraException("AnyCamera holds no camera", vyk::CameraException::kLayerError);
  if (locked(_cameraLock, [&] { return _camera->getRecordedImageCount(); }) == 0) {
    logWarning(QStringLiteral("Error - No Image to save"));
    throw vyk::CameraException("No Image to save. Please record Images prior to saving",
                               vyk::CameraException::kLayerError);
  }
  if (!imageexport::layoutOf(dataFormat)) {
    logWarning(QStringLiteral("Error - Wrong dataformat"));
    throw vyk::CameraException("No Dataformat set or currently not supported format",
                               vyk::CameraException::kLayerError);
  }
  const QString fileName = imageexport::freeFileName(path);
  if (index == -1) {
    logDebug(QStringLiteral("Index was -1 - saving latest image to: ") + fileName);
  } else {
    logDebug(QStringLiteral("Save image with index: ") + number(index) + QStringLiteral(" to: ") + fileName);
  }
  // A local image: a running worker keeps its own.
  vyk::Image image;
  locked(_cameraLock, [&] { _camera->image(image, static_cast<uint64_t>(int64_t{index}), dataFormat); });
  const imageexport::CameraFacts facts = locked(_cameraLock, [&] { return imageexport::cameraFactsOf(*_camera); });
  const int32_t result = imageexport::writeImage(image, fileName, facts);
  if (result != 0) {
    // The result as the export function returned it, a signed decimal number.
    logWarning(QStringLiteral("Leave saveImage throwing CameraException. VYK_RecorderExportImage returned: ") +
               number(result));
    throw vyk::CameraException(static_cast<uint32_t>(result));
  }
  logDebug(QStringLiteral("Leave saveImage of camera: ") + number(_serial));
  return fileName;
}

void CameraAcquisition::cameraError(DWORD errorSerial) {
  if (errorSerial != _serial) return;
  _cameraRemoved = true;
  _camera.reset();  // a running worker keeps its own reference until it ends
}

void CameraAcquisition::onVTKVisibleChanged(bool visible) { _toView = visible; }

void CameraAcquisition::onHistVisibleChanged(bool visible) { _toHistogram = visible; }
