"""The one exception type of the package."""


class RastelError(Exception):
    """A failed request: the device server's code and text.

    A device error keeps the code the server sent (for example 0xA0163001 for an invalid
    argument); a request the server refused for its token or address has code 0x160401; a
    server that cannot be reached or answers with an unexpected status has code 0x160000.
    """

    #: Code of the client's own failures (no answer, unexpected status, malformed answer).
    LAYER_ERROR = 0x160000
    #: Code of a request refused for a missing or wrong token or the client's address.
    REFUSED = 0x160401

    def __init__(self, code, text):
        self.code = int(code) & 0xFFFFFFFF
        self.text = text
        super().__init__(f"RastelError (0x{self.code:x}): {text}")


class AccessRefused(RastelError):
    """The server refused the request: missing or wrong token, or an address it does not allow."""
