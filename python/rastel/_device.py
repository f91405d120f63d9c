"""What the remote camera and light source share: the transport, the heartbeat that keeps the
device reserved on its server, and the release."""

import threading

from ._transport import Transport, read_token_file
from .errors import RastelError


class RemoteDevice:
    """A device on a server port. A heartbeat thread tells the server every heartbeat_s seconds
    that the client is alive (a silent client loses the device and its recording after three
    periods); close() ends it and releases the device. Use it as a context manager: without
    close() the heartbeat (a daemon thread) keeps the device reserved until the interpreter exits."""

    def __init__(self, host, port, token=None, token_file=None, heartbeat_s=2.0, timeout_s=300.0):
        if token is None and token_file is not None:
            token = read_token_file(token_file)
        self._transport = Transport(host, port, token=token, timeout_s=timeout_s)
        self._heartbeat_s = heartbeat_s
        self._closing = threading.Event()
        self._heartbeat = None
        self._opened()
        if heartbeat_s and heartbeat_s > 0:
            self._heartbeat = threading.Thread(target=self._beat, name=f"rastel-heartbeat-{port}", daemon=True)
            self._heartbeat.start()

    @property
    def host(self):
        """Server address."""
        return self._transport.host

    @property
    def port(self):
        """Server port of this device."""
        return self._transport.port

    def get_description(self):
        """The fixed capabilities, a dict (keys as the server sends them, e.g. "max_width" of a
        camera, "wavelengths" of a light source)."""
        return self._transport.query("/v1/getDescription")

    def get_configuration(self):
        """The current settings, a dict (a camera's "exposure_time_s", "roi", ...; a light
        source's "intensities" and "on_states", one entry per channel)."""
        return self._transport.query("/v1/getConfiguration")

    def set_configuration(self, configuration):
        """Applies a whole settings dict as get_configuration returns it."""
        self._transport.setting("/v1/setConfiguration", configuration)

    def _opened(self):
        """Checks the device once, so a wrong address or token fails at construction."""

    def _before_release(self):
        """Puts the device back into a quiet state before it is released; failures are ignored."""

    def _beat(self):
        while not self._closing.wait(self._heartbeat_s):
            try:
                self._transport.action("/v1/heartbeat")
            except RastelError:
                pass  # a missed heartbeat is nobody's error; the next one may get through

    def close(self):
        """Ends the heartbeat and releases the device on its server; safe to call twice."""
        if self._closing.is_set():
            return
        try:
            self._before_release()
        except RastelError:
            pass  # the server may be gone; closing goes on regardless
        self._closing.set()
        if self._heartbeat is not None:
            self._heartbeat.join()
        try:
            self._transport.action("/v1/setFree")
        except RastelError:
            pass  # nothing to release on a server that is gone

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False
