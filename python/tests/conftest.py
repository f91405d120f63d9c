"""Starts rastel-devserver on 127.0.0.1 (free ports, loopback discovery) for the tests."""

import json
import os
import pathlib
import subprocess
import sys

import pytest

# The package lives next to this folder; PYTHONPATH=python works as well.
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))

#: The three devices every test server offers.
MONO_SERIAL = 2101
BYTE_SERIAL = 2102
LUMRA_SERIAL = 2201
TOKEN = "py-token-0123456789"

DEVICES = {
    "cameras": [
        {"serial": MONO_SERIAL, "name": "py mono", "sensor": {"width": 64, "height": 48},
         "binning": {"max_horz": 2, "max_vert": 2}, "roi": {"step_horz": 4, "step_vert": 2}},
        {"serial": BYTE_SERIAL, "name": "py byte", "sensor": {"width": 32, "height": 16, "bits": 8}},
    ],
    "light_sources": [
        {"serial": LUMRA_SERIAL, "connection": "/dev/ttyUSB5",
         "channels": [{"wavelength_nm": 470}, {"wavelength_nm": 560}]},
    ],
}


def _devserver():
    path = os.environ.get("RASTEL_DEVSERVER")
    if not path:
        path = str(pathlib.Path(__file__).resolve().parents[2] / "build" / "server" / "rastel-devserver")
    if not os.access(path, os.X_OK):
        pytest.fail(f"rastel-devserver not found at {path}; build it or set RASTEL_DEVSERVER")
    return path


class Server:
    """One running rastel-devserver: its device ports, discovery port and folders."""

    def __init__(self, folder, token=None):
        self.folder = folder
        self.data = folder / "data"
        self.token = token
        self.token_file = None
        config = folder / "devices.json"
        config.write_text(json.dumps(DEVICES))
        command = [_devserver(), "--bind", "127.0.0.1", "--base-port", "0", "--discovery-port", "0",
                   "--config", str(config), "--data-dir", str(self.data),
                   "--log-level", "error"]
        if token:
            self.token_file = folder / "token"
            self.token_file.write_text(token + "\n")
            self.token_file.chmod(0o600)
            command += ["--token-file", str(self.token_file)]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
        self.ports = {}
        for line in self.process.stdout:
            words = line.split()
            if words == ["rastel-devserver", "ready"]:
                break
            self.ports[" ".join(words[:-1])] = int(words[-1])
        else:
            self.stop()
            pytest.fail("rastel-devserver ended before it was ready")

    def port(self, kind, serial):
        return self.ports[f"{kind} {serial}"]

    @property
    def discovery_port(self):
        return self.ports["discovery"]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)
        self.process.stdout.close()


@pytest.fixture(scope="module")
def server(tmp_path_factory):
    """A server without a token."""
    running = Server(tmp_path_factory.mktemp("open"))
    yield running
    running.stop()


@pytest.fixture(scope="module")
def guarded(tmp_path_factory):
    """A server that demands TOKEN."""
    running = Server(tmp_path_factory.mktemp("guarded"), token=TOKEN)
    yield running
    running.stop()
