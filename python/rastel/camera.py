"""A camera served by rastel-devserver."""

import json

import numpy

from ._device import RemoteDevice
from .errors import RastelError

#: Record modes: into the server's memory, into files in its data folder, into camera RAM.
MEMORY_MODES = ("sequence", "sequence_non_blocking", "ring_buffer", "fifo")
FILE_MODES = ("tif", "multitif", "vykraw", "b16", "dicom", "multidicom")
CAMERA_RAM_MODES = ("camram_ring", "camram_segment")


class Camera(RemoteDevice):
    """One remote camera: settings, recording and images as numpy arrays.

    >>> with Camera("127.0.0.1", 8100, token_file="token") as camera:
    ...     camera.set_exposure(0.010)
    ...     camera.record(10)
    ...     frames = camera.images(10)
    """

    def _opened(self):
        self._raw_is_byte = self._transport.query("/v1/getRawFormat") == "byte"

    def _before_release(self):
        if self.is_recording():
            self.stop()

    # ---- identity ----
    def get_name(self):
        """The device name."""
        return self._transport.query("/v1/getName")

    def get_serial(self):
        """The serial number."""
        return int(self._transport.query("/v1/getSerial"))

    # ---- settings ----
    def default_configuration(self):
        """Resets the camera to its defaults."""
        self._transport.setting("/v1/defaultConfiguration", None)

    def get_exposure(self):
        """Exposure time, seconds."""
        return float(self._transport.query("/v1/getExposureTime")["exposure_s"])

    def set_exposure(self, seconds):
        """Sets the exposure time, seconds."""
        self._transport.setting("/v1/setExposureTime", {"exposure_s": float(seconds)})

    def get_roi(self):
        """The region of interest (x0, y0, x1, y1): 1-based, both corners included."""
        roi = self.get_configuration()["roi"]
        return roi["x0"], roi["y0"], roi["x1"], roi["y1"]

    def set_roi(self, x0, y0, x1, y1):
        """Sets the region of interest (1-based, both corners included; the camera's steps apply)."""
        self._change(roi={"x0": int(x0), "y0": int(y0), "x1": int(x1), "y1": int(y1)})

    def get_binning(self):
        """Binning factors (horizontal, vertical)."""
        binning = self.get_configuration()["binning"]
        return binning["horz"], binning["vert"]

    def set_binning(self, horizontal, vertical):
        """Sets the binning factors (one of the description's binning_horz_vec / binning_vert_vec).
        The ROI counts binned pixels: one that does not fit the binned sensor becomes the whole of it."""
        configuration = self.get_configuration()
        configuration["binning"] = dict(configuration["binning"], horz=int(horizontal), vert=int(vertical))
        description = self.get_description()
        width, height = description["max_width"] // int(horizontal), description["max_height"] // int(vertical)
        roi = configuration["roi"]
        if roi["x1"] > width or roi["y1"] > height:
            configuration["roi"] = {"x0": 1, "y0": 1, "x1": width, "y1": height}
        self.set_configuration(configuration)

    def get_trigger_mode(self):
        """Trigger mode code: 0 automatic, 1 software trigger, 2 external."""
        return int(self.get_configuration()["trigger_mode"])

    def set_trigger_mode(self, mode):
        """Sets the trigger mode code."""
        self._change(trigger_mode=int(mode))

    def trigger(self):
        """A software trigger; True when the camera took it."""
        return self._transport.action("/v1/trigger") is not False

    def _change(self, **fields):
        configuration = self.get_configuration()
        configuration.update(fields)
        self.set_configuration(configuration)

    # ---- recording ----
    def record(self, count, mode="sequence", file_path=None, flags=0):
        """Records count images. Memory modes keep them on the server (mode "sequence" returns
        when all are recorded, the others at once); file modes write them into the server's
        data folder under file_path (a relative name, default "vyk_vram")."""
        if mode not in MEMORY_MODES + FILE_MODES + CAMERA_RAM_MODES:
            raise ValueError(f"unknown record mode: {mode}")
        params = {"imgCount": int(count), "recMode": mode, "flags": int(flags)}
        if file_path is not None:
            if mode not in FILE_MODES:
                raise ValueError(f"a file path needs a file mode, not {mode}")
            params["filePath"] = str(file_path)
        self._transport.action("/v1/record", params)

    def stop(self):
        """Stops the recording."""
        self._transport.action("/v1/stop")

    def is_recording(self):
        """True while the server's recorder runs."""
        return bool(self._transport.query("/v1/isRecording"))

    def recorded_count(self):
        """Images recorded so far."""
        return int(self._transport.query("/v1/getRecordedImageCount")["recorded"])

    def wait_for_first_image(self, timeout_s=None):
        """Waits until the recorder holds an image (timeout_s None = no limit)."""
        self._wait("/v1/waitForFirstImage", timeout_s)

    def wait_for_new_image(self, timeout_s=None):
        """Waits for an image newer than the last one fetched, or the recording's end."""
        self._wait("/v1/waitForNewImage", timeout_s)

    def _wait(self, path, timeout_s):
        params = {"delay": True}
        if timeout_s is not None:
            params["timeout"] = float(timeout_s)
        self._transport.action(path, params)

    # ---- images ----
    def image(self, index=-1):
        """Image index (0 = the first kept, -1 = the newest) as a numpy array of shape
        (height, width): the raw pixels of the recording's crop, uint16 (uint8 for 8-bit sensors)."""
        fmt = "Mono8" if self._raw_is_byte else "Mono16"
        headers, data = self._transport.request("GET", "/v1/image", params={"index": int(index), "format": fmt})
        try:
            crop = json.loads(headers["crop"])
            width = crop["x1"] - crop["x0"] + 1
            height = crop["y1"] - crop["y0"] + 1
        except (KeyError, ValueError, TypeError):
            raise RastelError(RastelError.LAYER_ERROR, "image answer without a crop") from None
        dtype = numpy.dtype(numpy.uint8) if self._raw_is_byte else numpy.dtype("<u2")
        if len(data) != width * height * dtype.itemsize:
            raise RastelError(RastelError.LAYER_ERROR, "size mismatch in image reconstruction!")
        return numpy.frombuffer(data, dtype=dtype).reshape(height, width).astype(dtype.newbyteorder("="))

    def images(self, count, start=0):
        """Images start .. start+count-1 as one array of shape (count, height, width)."""
        return numpy.stack([self.image(index) for index in range(start, start + count)])
