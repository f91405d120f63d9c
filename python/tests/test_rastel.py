"""The rastel package against a real rastel-devserver on 127.0.0.1."""

import os
import subprocess
import sys

import numpy
import pytest
import tifffile

import rastel
from conftest import BYTE_SERIAL, LUMRA_SERIAL, MONO_SERIAL, TOKEN

INVALID_ARGUMENT = 0xA0163001
EXAMPLE = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "examples", "record_sequence.py")


@pytest.fixture
def camera(server):
    with rastel.Camera("127.0.0.1", server.port("camera", MONO_SERIAL)) as opened:
        opened.default_configuration()
        yield opened


def discovered(server, device_type="camera"):
    return {entry.serial: entry for entry in rastel.discover(device_type, port=server.discovery_port,
                                                             address="127.255.255.255")}


def test_discovery_lists_devices_and_their_state(server):
    cameras = discovered(server)
    assert set(cameras) == {MONO_SERIAL, BYTE_SERIAL}
    mono = cameras[MONO_SERIAL]
    assert (mono.type, mono.ip, mono.port, mono.name) == ("camera", "127.0.0.1", server.port("camera", MONO_SERIAL),
                                                          "py mono")
    assert not mono.token_required
    lights = discovered(server, "lumra")
    assert list(lights) == [LUMRA_SERIAL] and lights[LUMRA_SERIAL].port == server.port("lumra", LUMRA_SERIAL)

    # A camera in use is not free; closing releases it at once.
    with rastel.Camera("127.0.0.1", server.port("camera", BYTE_SERIAL)):
        assert not discovered(server)[BYTE_SERIAL].free
    assert discovered(server)[BYTE_SERIAL].free
    # Nobody answers on another port: an empty list, no error.
    assert rastel.discover(port=1, address="127.255.255.255", timeout_s=0.1) == []


def test_identity_and_settings(camera):
    assert camera.get_name() == "py mono"
    assert camera.get_serial() == MONO_SERIAL
    assert camera.get_description()["max_width"] == 64

    camera.set_exposure(0.0025)
    assert camera.get_exposure() == pytest.approx(0.0025)
    camera.set_roi(5, 3, 36, 20)
    assert camera.get_roi() == (5, 3, 36, 20)
    camera.set_binning(2, 2)
    assert camera.get_binning() == (2, 2)
    assert camera.get_roi() == (1, 1, 32, 24), "the ROI no longer fits the binned sensor"
    camera.set_roi(5, 3, 28, 20)
    camera.set_binning(1, 2)
    assert camera.get_roi() == (5, 3, 28, 20), "a ROI that fits is kept"
    camera.set_trigger_mode(1)
    assert camera.get_trigger_mode() == 1
    assert camera.get_configuration()["exposure_time_s"] == pytest.approx(0.0025)

    camera.default_configuration()
    assert camera.get_roi() == (1, 1, 64, 48)
    assert camera.get_binning() == (1, 1)
    assert camera.get_trigger_mode() == 0


def test_memory_recording_gives_arrays_of_the_crop(camera):
    camera.set_exposure(0.001)
    camera.set_roi(5, 3, 36, 20)
    camera.record(4, mode="sequence")
    assert not camera.is_recording()
    assert camera.recorded_count() == 4
    frames = camera.images(4)
    assert frames.shape == (4, 18, 32) and frames.dtype == numpy.uint16
    assert frames.max() > 0, "the simulated scene is not black"
    assert not numpy.array_equal(frames[0], frames[1]), "every image is a new exposure"
    numpy.testing.assert_array_equal(camera.image(-1), frames[3])
    numpy.testing.assert_array_equal(camera.image(2), frames[2])

    # The crop follows binning: 64 x 48 binned 2 x 2 gives 32 x 24.
    camera.default_configuration()
    camera.set_binning(2, 2)
    camera.record(1)
    assert camera.image(0).shape == (24, 32)


def test_running_recording_trigger_and_stop(camera):
    camera.set_exposure(0.001)
    camera.record(8, mode="ring_buffer")
    assert camera.is_recording()
    camera.wait_for_first_image(timeout_s=10)
    assert camera.image().shape == (48, 64)
    # "New" means newer than the image fetched last.
    camera.wait_for_new_image(timeout_s=10)
    assert camera.recorded_count() >= 2
    assert not camera.trigger(), "trigger mode auto takes no software trigger"
    camera.stop()
    assert not camera.is_recording()

    camera.set_trigger_mode(1)
    camera.record(2, mode="sequence_non_blocking")
    assert camera.trigger()
    camera.wait_for_first_image(timeout_s=10)
    assert camera.recorded_count() == 1
    camera.stop()


def test_file_recording_writes_into_the_server_data_folder(server, camera):
    camera.set_exposure(0.001)
    camera.record(3, mode="multitif", file_path="py_run")
    camera.wait_for_first_image(timeout_s=10)
    while camera.is_recording():
        camera.wait_for_new_image(timeout_s=10)
    written = [name for name in os.listdir(server.data) if name.startswith("py_run")]
    assert len(written) == 1, written
    with tifffile.TiffFile(server.data / written[0]) as tiff:
        assert len(tiff.pages) == 3
        assert tiff.pages[0].shape == (48, 64)


def test_byte_sensor_gives_uint8(server):
    with rastel.Camera("127.0.0.1", server.port("camera", BYTE_SERIAL)) as byte:
        byte.set_exposure(0.001)
        byte.record(1)
        frame = byte.image(0)
        assert frame.dtype == numpy.uint8 and frame.shape == (16, 32)


def test_errors_carry_the_server_code_and_text(server, camera):
    with pytest.raises(rastel.RastelError) as refused:
        camera.set_roi(2, 1, 64, 48)  # the ROI steps by 4 horizontally
    assert refused.value.code == INVALID_ARGUMENT
    assert "Invalid argument" in refused.value.text
    assert str(refused.value).startswith("RastelError (0xa0163001): ")

    with pytest.raises(rastel.RastelError) as outside:
        camera.record(1, mode="tif", file_path="../escape")
    assert outside.value.code == INVALID_ARGUMENT
    assert "filePath" in outside.value.text or ".." in outside.value.text

    camera.record(1)
    with pytest.raises(rastel.RastelError) as missing:
        camera.image(5)
    assert missing.value.code not in (0, rastel.RastelError.LAYER_ERROR)

    with pytest.raises(ValueError):
        camera.record(1, mode="sequence", file_path="memory_has_no_file")
    with pytest.raises(ValueError):
        camera.record(1, mode="no_such_mode")

    # A port where nobody listens: the client's own failure code.
    with pytest.raises(rastel.RastelError) as unreachable:
        rastel.Camera("127.0.0.1", 1)
    assert unreachable.value.code == rastel.RastelError.LAYER_ERROR
    assert "/v1/getRawFormat" in unreachable.value.text


def test_light_source_channels(server):
    with rastel.LightSource("127.0.0.1", server.port("lumra", LUMRA_SERIAL)) as light:
        assert light.get_description()["serial"] == LUMRA_SERIAL
        assert light.get_description()["wavelenghts_vec"] == [470, 560]
        assert light.channel_count() == 2
        light.set_channel(1, on=True, intensity=321)
        assert light.is_on(1) and not light.is_on(0)
        assert light.intensity(1) == 321
        light.set_channel(1, on=False)
        assert not light.is_on(1) and light.intensity(1) == 321, "None keeps the other value"
        light.switch_on()
        light.switch_off()
        with pytest.raises(rastel.RastelError) as too_bright:
            light.set_channel(0, intensity=100000)
        assert too_bright.value.code != rastel.RastelError.LAYER_ERROR
        with pytest.raises(IndexError):
            light.set_channel(2, on=True)


def test_token_protected_server(guarded):
    port = guarded.port("camera", MONO_SERIAL)
    assert all(entry.token_required for entry in discovered(guarded).values())
    for token in (None, "wrong"):
        with pytest.raises(rastel.AccessRefused) as refused:
            rastel.Camera("127.0.0.1", port, token=token)
        assert refused.value.code == rastel.RastelError.REFUSED
        assert refused.value.text == f"127.0.0.1:{port} refused /v1/getRawFormat: missing or wrong token"
    with pytest.raises(rastel.AccessRefused):
        rastel.LightSource("127.0.0.1", guarded.port("lumra", LUMRA_SERIAL))

    with rastel.Camera("127.0.0.1", port, token=TOKEN) as camera:
        assert camera.get_serial() == MONO_SERIAL
    with rastel.Camera("127.0.0.1", port, token_file=guarded.token_file) as camera:
        camera.record(1)
        assert camera.image(0).shape == (48, 64)
    with rastel.LightSource("127.0.0.1", guarded.port("lumra", LUMRA_SERIAL), token=TOKEN) as light:
        assert light.channel_count() == 2
    assert rastel.read_token_file(guarded.token_file) == TOKEN


def run_example(*arguments):
    return subprocess.run([sys.executable, EXAMPLE, *arguments], capture_output=True, text=True, timeout=120,
                          env=dict(os.environ, PYTHONPATH=""))


def test_example_records_a_multipage_tiff(guarded, tmp_path):
    out = tmp_path / "sequence.tif"
    port = str(guarded.port("camera", MONO_SERIAL))
    done = run_example("--host", "127.0.0.1", "--port", port, "--count", "5", "--exposure-ms", "2", "--out", str(out),
                       "--token-file", str(guarded.token_file))
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert len(lines) == 6
    assert [line.split()[0] for line in lines[:5]] == [f"image={index}" for index in range(5)]
    assert all("shape=64x48" in line for line in lines[:5])
    assert lines[-1] == "recorded=5"

    stack = tifffile.imread(out)
    assert stack.shape == (5, 48, 64) and stack.dtype == numpy.uint16
    # The file holds what the server recorded: fetch the same images again.
    with rastel.Camera("127.0.0.1", int(port), token=TOKEN) as camera:
        assert camera.get_exposure() == pytest.approx(0.002)
        numpy.testing.assert_array_equal(camera.images(5), stack)

    refused = run_example("--host", "127.0.0.1", "--port", port, "--count", "1", "--exposure-ms", "2",
                          "--out", str(tmp_path / "refused.tif"))
    assert refused.returncode == 1
    assert "missing or wrong token" in refused.stderr
    assert not (tmp_path / "refused.tif").exists()
