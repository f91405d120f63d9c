"""A light source served by rastel-devserver."""

from ._device import RemoteDevice


class LightSource(RemoteDevice):
    """One remote light source: its channels, each on or off with an intensity.

    Channels are numbered from 0 in the order of get_description()["wavelenghts_vec"]. Closing
    switches the light source off before it is released.
    """

    def _opened(self):
        self._channels = len(self.get_configuration()["intensities"])

    def _before_release(self):
        self.switch_off()

    def channel_count(self):
        """Number of channels."""
        return self._channels

    def set_channel(self, channel, on=None, intensity=None):
        """Switches channel on or off and/or sets its intensity; None keeps the current value."""
        if not 0 <= channel < self._channels:
            raise IndexError(f"channel {channel} outside 0..{self._channels - 1}")
        configuration = self.get_configuration()
        if on is not None:
            configuration["on_states"][channel] = bool(on)
        if intensity is not None:
            configuration["intensities"][channel] = int(intensity)
        self.set_configuration(configuration)

    def is_on(self, channel):
        """True when channel is switched on."""
        return bool(self.get_configuration()["on_states"][channel])

    def intensity(self, channel):
        """The intensity of channel."""
        return int(self.get_configuration()["intensities"][channel])

    def switch_on(self):
        """Lights the channels that are switched on."""
        self._transport.action("/v1/switchOn")

    def switch_off(self):
        """Puts the whole light source out."""
        self._transport.action("/v1/switchOff")
