#pragma once
// The acquisition engine of one camera: its worker thread runs a live preview, a sequence
// recording, a file recording or a playback of recorded images and hands copies of the
// images to the image view and the histogram through the two process-wide queue sets.
//
// States: Idle (no thread, running false) -> startCameraThread -> Running(mode). A run
// leaves Running by itself (the camera stopped recording, the sequence count or the
// playback range was reached, a camera error) or because stopCameraThreads / the
// destructor cleared running. A thread that ended by itself stays joinable until the next
// startCameraThread or stopCameraThreads joins it.
//
// Threads: every public operation and slot runs on the GUI thread; the worker thread is
// owned by this object and joined by stopCameraThreads (also from the destructor). Each run
// keeps its own reference to the camera and its own copy of the settings, so cameraError
// may release the handle and the starter may edit the settings while a run goes on.
// Every call on the camera goes through _cameraLock, which serves callers in arrival order;
// waits on the camera are made in short slices so that a stop never queues behind them.
// The preview and the file recording's display wait for the camera's next image instead of
// fetching the same one again, so each image is fetched, converted and delivered once.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <QObject>
#include <QString>

#include "acquisition/AcquisitionSettings.h"
#include "acquisition/CountingSemaphore.h"
#include "acquisition/Dword.h"
#include "camera/FairMutex.h"
#include "acquisition/LineAssembler.h"
#include "camera/AnyCamera.h"
#include "camera/Description.h"
#include "camera/Image.h"

/// Released once per sequence recording when its start phase is over (the recorder runs,
/// or the start failed or was skipped); the record command waits on it.
CountingSemaphore& recordingStartedSemaphore();

/// One camera's worker thread with its preview, recording and playback loops.
class CameraAcquisition : public QObject {
  Q_OBJECT

 public:
  /// Takes over camera; reads its serial and description and prepares Mono8 images.
  /// Camera errors propagate.
  CameraAcquisition(std::shared_ptr<vyk::AnyCamera> camera, QObject* parent = nullptr);
  /// Stops and joins the worker thread (deactivating this camera's view queue first).
  ~CameraAcquisition() override;

  /// The settings the next run starts with (GUI thread only).
  AcquisitionSettings& settings() { return _settings; }
  const AcquisitionSettings& settings() const { return _settings; }
  /// True while a worker thread is supposed to run.
  bool isRunning() const { return _running.load(); }
  /// The camera's serial.
  DWORD serial() const { return _serial; }
  /// True while the camera records; asked in turn with the worker's calls, so the GUI can
  /// poll it while a run starts. False without a camera or when the query fails.
  bool cameraRecording();
  /// Images the camera's recorder holds, asked in turn with the worker like cameraRecording;
  /// -1 without a camera or when the query fails.
  int64_t cameraRecordedImageCount();

  /// Starts a worker thread for settings().mode unless one is running.
  void startCameraThread();
  /// Stops the camera, fixes the image count of a recording and joins the worker.
  void stopCameraThreads();
  /// Software trigger of a recording in trigger mode 1; a refused trigger stops the run.
  void triggerCamera(DWORD serial);
  /// Fetches recorded image index and pushes it to both queue sets; returns the index shown,
  /// 0 when nothing is recorded and -1 on a camera error.
  int showImage(int index);
  /// Images the recording can hold; 0 on a camera error.
  int32_t maxImageCount();
  /// Images recorded so far; -1 on a camera error.
  int32_t availableImageCount();
  /// Mono8 for "Mono", BGR8 for any other name, unless recording or serial differs.
  void setDataFormat(DWORD serial, const QString& formatName);
  /// Writes recorded image index (-1 = newest) as dataFormat to path or, when path exists,
  /// to the first free "<base>_<n>.<suffix>"; returns the name written. Throws
  /// vyk::CameraException.
  QString saveImage(const QString& path, int32_t index, vyk::DataFormat dataFormat);

 signals:
  /// A worker thread ended without a camera error and the camera was not removed.
  void recordingDone(DWORD serial);
  /// A worker thread failed with a camera error (always msgBox true).
  void camError(DWORD serial, bool msgBox = true);
  /// Playback has just shown image index i.
  void newPlayPosition(DWORD serial, int i);
  /// A file recording ended early because its files could not be written (a full disk);
  /// error says why. The camera stays in use, and recordingDone follows.
  void recordingFailed(DWORD serial, QString error);
  /// A preview or recording of a local camera ended with count images lost (delivered
  /// incomplete by the camera, or not taken in time); also logged as a warning.
  void imagesLost(DWORD serial, quint64 count);

 public slots:
  /// For this camera's serial: marks the camera removed and releases the handle.
  void cameraError(DWORD errorSerial);
  /// Whether worker threads push to the view queue set.
  void onVTKVisibleChanged(bool visible);
  /// Whether worker threads push to the histogram queue set.
  void onHistVisibleChanged(bool visible);

 private:
  struct Run;

  // Worker loops; each runs on the worker thread with the run it was started with.
  void previewLoop(Run& run);   // mode 0: every new image of the camera once
  void sequenceLoop(Run& run);  // mode 1: memory or camera-RAM recording, ends after imageCount
  void fileLoop(Run& run);      // mode 3: recording into files, one new image shown per 100 ms at most
  void reportLostImages(Run& run);  // after a loop: lost images to the log and imagesLost
  void playbackLoop(Run& run);  // mode 2: recorded images playFrom..playTo
  void runLoop(Run& run);       // the thread's body: the loop of run's mode

  /// Record, wait for the first image, fix the count; joining a running recording only
  /// waits, without time limit, until it holds an image.
  void startPhase(Run& run);
  /// True while running is set and the camera records.
  bool goesOn(Run& run);
  /// After a recording ended by itself: throws when the camera no longer answers.
  void confirmCameraAnswers(Run& run);
  /// After a file recording ended by itself: throws the write failure that ended it.
  void confirmFilesWritten(Run& run);
  /// Waits for a new image (triggered modes), then fetches and delivers the newest.
  void triggeredFetch(Run& run, bool toBothSets);
  /// Fetches image index (-1 = newest) into run.image.
  void fetch(Run& run, int64_t index);
  /// Delivers run.image unless it is the image this run delivered last.
  void deliverOnce(Run& run, bool toBothSets);
  /// Hands image (or, in line mode, a completed frame) to the queue sets. Outside line mode
  /// image is moved out and left holding a spare image for the next fetch, or nothing.
  void deliver(Run& run, vyk::Image& image, bool toBothSets);
  /// Waits until image index is recorded; false when stopped or the recording ended first.
  bool waitUntilRecorded(Run& run, int64_t index);
  /// Polls arrived (1 ms apart) until it holds; false when stopped or the recording ended first.
  bool waitWhileRecording(Run& run, const std::function<bool()>& arrived);
  /// The camera's first-image wait, in slices; throws the time-out after timeout_s.
  void waitForFirstImage(Run& run, double timeout_s);
  /// The camera's new-image wait without time-out, in slices; returns early when stopped.
  void waitForNewImage(Run& run);
  /// Sleeps until until, or less when a stop comes; false when stopped.
  bool pause(std::chrono::steady_clock::time_point until);
  /// Clears running and wakes a worker that pauses.
  void requestStop();
  /// Normal end: recordingDone (unless removed), queues deactivated, endLine logged.
  void endNormally(const QString& endLine);
  /// Logs at critical level errorText, the serial and the error's text.
  void logFailure(const char* errorText, const std::exception& error);
  /// Failed run: errorText line, camError, running cleared, queues deactivated.
  void endWithError(const char* errorText, const std::exception& error);

  /// Images the recording can hold for settings; camera errors propagate.
  int32_t countMax(vyk::AnyCamera& camera, const AcquisitionSettings& settings);
  /// Images recorded so far for settings; camera errors propagate.
  int32_t countAvailable(vyk::AnyCamera& camera, const AcquisitionSettings& settings);
  /// The camera delivers single-line images.
  bool isLineCamera() const { return _description.line_sensor_mode == 1; }
  /// The camera records on a DXR recorder.
  bool isDxr() const { return _description.interface_type == vyk::InterfaceType::CLHS_DXR; }

  AcquisitionSettings _settings;                  // GUI thread only; copied into each run
  std::thread _thread;                            // the worker; joined by stopCameraThreads
  std::atomic<bool> _running{false};              // a worker is supposed to run; cleared to stop it
  std::shared_ptr<vyk::AnyCamera> _camera;        // GUI thread only; empty after cameraError
  const vyk::Description _description;            // read once at construction
  vyk::Image _image;                              // GUI thread's working image (showImage)
  const DWORD _serial;                            // read once at construction
  std::atomic<bool> _cameraRemoved{false};        // set by cameraError; suppresses recordingDone
  std::atomic<bool> _toView{true};                // push fetched images to the view queue set
  std::atomic<bool> _toHistogram{true};           // push fetched images to the histogram queue set
  vyk::FairMutex _cameraLock;                     // serialises every call this object makes on the camera
  std::mutex _stopMutex;                          // pairs with _stopWake; held by requestStop while it clears _running
  std::condition_variable _stopWake;              // wakes a pausing worker when requestStop clears _running
};
