"""Finding device servers by UDP broadcast."""

import dataclasses
import json
import os
import socket

#: UDP port the device servers listen on.
DISCOVERY_PORT = 50000
#: Largest answer datagram read, bytes.
_MAX_DATAGRAM = 2047


@dataclasses.dataclass
class DeviceEntry:
    """One device a server offers."""

    type: str  #: "camera" or "lumra"
    ip: str  #: server address
    port: int  #: the device's HTTP port
    name: str  #: device name
    serial: int  #: serial number
    free: bool  #: nobody holds the device
    token_required: bool = False  #: the server demands a token


def discovery_address():
    """$RASTEL_DISCOVERY_ADDRESS when set, else 255.255.255.255."""
    return os.environ.get("RASTEL_DISCOVERY_ADDRESS") or "255.255.255.255"


def discover(device_type="camera", port=DISCOVERY_PORT, timeout_s=0.3, address=None):
    """Broadcasts {"action": "discover", "type": device_type} to address (default
    discovery_address()) and port and collects the answers until none arrives for timeout_s.
    Datagrams that are not JSON and entries that are no device entries are skipped."""
    entries = []
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        request = json.dumps({"action": "discover", "type": device_type}, separators=(",", ":"))
        sock.sendto(request.encode(), (address or discovery_address(), port))
        sock.settimeout(timeout_s)
        while True:
            try:
                datagram, _ = sock.recvfrom(_MAX_DATAGRAM)
            except (socket.timeout, OSError):
                break
            try:
                answer = json.loads(datagram)
            except ValueError:
                continue
            for item in answer if isinstance(answer, list) else [answer]:
                entry = _entry_of(item)
                if entry is not None:
                    entries.append(entry)
    return entries


def _entry_of(item):
    try:
        return DeviceEntry(
            type=str(item["type"]),
            ip=str(item["ip"]),
            port=int(item["port"]),
            name=str(item["name"]),
            serial=int(item["serial"]),
            free=bool(item["free"]),
            token_required=bool(item.get("token_required", False)),
        )
    except (TypeError, KeyError, ValueError, AttributeError):
        return None
