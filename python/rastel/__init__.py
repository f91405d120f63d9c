"""Scripted access to the cameras and light sources of a Rastel device server (rastel-devserver).

Standard library plus numpy; no installation: put this folder's parent on PYTHONPATH.
"""

from ._transport import read_token_file
from .camera import Camera
from .discovery import DeviceEntry, discover
from .errors import AccessRefused, RastelError
from .lightsource import LightSource

__all__ = ["AccessRefused", "Camera", "DeviceEntry", "LightSource", "RastelError", "discover", "read_token_file"]
