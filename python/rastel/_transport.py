"""Requests to one device port: one connection per request, parameters as compact JSON texts,
200 = success, 503 = the server's RemoteError, 401 = a refused token or address."""

import http.client
import json
import urllib.parse

from .errors import AccessRefused, RastelError

#: Status of a successful request.
_OK = 200
#: Status carrying a RemoteError {"code", "where"} from the device.
_REMOTE_ERROR = 503
#: Status of a request refused for its token or address.
_REFUSED = 401


def json_text(value):
    """The compact JSON text of value, as the server expects request parameters."""
    return json.dumps(value, separators=(",", ":"))


class Transport:
    """Sends requests to host:port, with "Authorization: Bearer <token>" when a token is given."""

    def __init__(self, host, port, token=None, timeout_s=300.0):
        self.host = host
        self.port = int(port)
        self._token = token or None
        self._timeout_s = timeout_s

    def query(self, path, params=None):
        """GET path with query parameters (values sent as JSON texts); the answer as JSON."""
        return _json_of(self.request("GET", path, params=params))

    def action(self, path, params=None):
        """POST path with form parameters (values sent as JSON texts); the answer as JSON."""
        return _json_of(self.request("POST", path, form=params))

    def setting(self, path, body):
        """PUT path with a JSON body; the answer as JSON."""
        return _json_of(self.request("PUT", path, body=body))

    def request(self, method, path, params=None, form=None, body=None):
        """Sends one request; returns (headers, body bytes) of a 200 answer, raises RastelError otherwise."""
        target = path
        if params:
            target += "?" + urllib.parse.urlencode({k: json_text(v) for k, v in params.items()})
        headers = {"Connection": "close"}
        payload = None
        if form is not None:
            payload = urllib.parse.urlencode({k: json_text(v) for k, v in form.items()}).encode()
            headers["Content-Type"] = "application/x-www-form-urlencoded"
        elif body is not None or method == "PUT":
            payload = json_text(body).encode()
            headers["Content-Type"] = "application/json"
        elif method == "POST":
            payload = b""
        if self._token:
            headers["Authorization"] = "Bearer " + self._token
        connection = http.client.HTTPConnection(self.host, self.port, timeout=self._timeout_s)
        try:
            connection.request(method, target, body=payload, headers=headers)
            response = connection.getresponse()
            data = response.read()
            status = response.status
            answer_headers = {name.lower(): value for name, value in response.getheaders()}
        except (OSError, http.client.HTTPException) as error:
            raise RastelError(RastelError.LAYER_ERROR, f"HTTP {method} failed: {path} ({error})") from None
        finally:
            connection.close()
        if status == _OK:
            return answer_headers, data
        if status in (_REMOTE_ERROR, _REFUSED):
            code, where = _remote_error(data)
            if code is not None:
                if status == _REFUSED:
                    raise AccessRefused(code, f"{self.host}:{self.port} refused {path}: {where}")
                raise RastelError(code, where)
        raise RastelError(RastelError.LAYER_ERROR, f"HTTP {method} failed: {path} (status {status})")


def _remote_error(data):
    """(code, where) of a RemoteError body; (None, None) when the body is none."""
    try:
        error = json.loads(data)
        return int(error["code"]), str(error["where"])
    except (ValueError, TypeError, KeyError):
        return None, None


def _json_of(answer):
    headers, data = answer
    if not data:
        return None
    try:
        return json.loads(data)
    except ValueError:
        raise RastelError(RastelError.LAYER_ERROR, "the server's answer is no JSON") from None


def read_token_file(path):
    """The token on the first line of the file at path, without blanks around it."""
    with open(path, encoding="utf-8") as file:
        token = file.readline().strip()
    if not token:
        raise ValueError(f"token file {path} holds no token")
    return token
