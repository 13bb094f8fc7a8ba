"""A local download server for Fetchrun's tests and its download benchmark.

It stands in for the maker's download server: a threaded HTTP/1.0 server on
127.0.0.1 (ephemeral port unless one is asked for) whose routes the test sets up.
Every request is logged, so a test sees what was fetched and how often. Standard
library only. Clients under Wine need no_proxy=127.0.0.1,localhost.

Server
    with DownloadServer() as server:               # started; stopped on leaving
        server.url("/p.exe")                       # "http://127.0.0.1:<port>/p.exe"

Routes (a later route for the same path replaces the earlier one; the query
string is ignored when matching; unknown paths get the 404 page):
    add_settings(path, exe_url=None, exe_hash=None, exe_param=None, end_code=None,
                 scrambled=False, key=0, key_text=None, hex_numbers=False,
                 encoding="utf-16")
        A settings INI (see settings_ini below). A value left at None is not
        written at all; "" writes an empty value. Scenarios:
          program          exe_url=server.url("/p.exe"), exe_hash=..., exe_param=...
          end code         end_code="1"
          neither          no arguments
          scrambled        scrambled=True, key=0x5A3C0F96
    add_file(path, file_path)                      # bytes of a file, read per request
    add_bytes(path, data, status=200, content_type=..., content_length=True)
        Any body and status; content_length=False sends no Content-Length and
        ends the body by closing the connection.
    add_not_found(path, body=NOT_FOUND_BODY)       # 404 with a body
    add_slow(path, data, chunk=4096, delay=0.05)   # chunk, pause, chunk, ...
    add_dropped(path, data, cut_at)                # announces len(data), sends
                                                   # data[:cut_at], closes
    add_stalled(path, data, sent, release=None)    # announces len(data), sends
                                                   # data[:sent], then nothing
                                                   # until `release` (an Event) is
                                                   # set, when the rest follows; ends
                                                   # when the client goes or the
                                                   # server stops
    add_generated(path, size, seed=1) -> sha256    # a streamed pseudo-random
                                                   # body of `size` bytes, never
                                                   # held whole in memory
    remove(path)

Request log:
    server.requests      list of Request(method, path, status, bytes_sent, complete)
    server.count(path)   how many GETs asked for path
    server.clear_log()

Content helpers: settings_ini(...) -> bytes, scramble(data, key) -> bytes,
profile_struct_hex(data) -> str (the hex-with-checksum form of
WritePrivateProfileStructW), generated_sha256(size, seed) -> str,
unused_port() -> int (a port nobody listens on: connection refused).

By hand (benchmark, manual checks):
    python3 dlserver.py [--port N] [--big-mb 200] [--file /route=path ...]
prints the base URL and its routes, then serves until interrupted.
"""
import argparse
import hashlib
import http.server
import random
import select
import socket
import sys
import threading
import time
from dataclasses import dataclass
from typing import Callable, Dict, List, Optional
from urllib.parse import urlsplit

# Settings INI format of Fetchrun.
SETTINGS_SECTION = "{061E6178-4B04-47A6-8B4F-1129CF1640C7}"
KEY_EXE_URL = "{30513847-9A0A-4E73-8D99-D9B0D8DC178A}"
KEY_EXE_HASH = "{09904367-28EA-4199-8319-F53BFF0D4407}"
KEY_EXE_PARAM = "{E9768F49-9BB7-43F9-BB6B-A93AA9FAA719}"
KEY_END_CODE = "{9C3B1C6B-EC1F-48E6-A9BA-0C6B3BB51ABC}"
LENGTH_SUFFIX = "-CURLEN"
CONTROL_SECTION = "{A0794E87-87A0-40AE-AD65-C2F0C50FA216}"
KEY_SCRAMBLED = "A0794E87"
KEY_SCRAMBLE_KEY = "C2F0C50"

NOT_FOUND_BODY = (b"<html><head><title>404 Not Found</title></head>"
                  b"<body><h1>Not Found</h1><p>The requested file is not here.</p></body></html>")

_BLOCK = 1 << 20  # generated bodies repeat one block of this size


def scramble(data: bytes, key: int) -> bytes:
    """XOR byte i with byte (i mod 4) of the 32-bit key, most significant first."""
    k = (key & 0xFFFFFFFF).to_bytes(4, "big")
    return bytes(b ^ k[i % 4] for i, b in enumerate(data))


def profile_struct_hex(data: bytes) -> str:
    """Upper-case hex of every byte, then the low byte of their sum."""
    return data.hex().upper() + "%02X" % (sum(data) & 0xFF)


def settings_ini(exe_url: Optional[str] = None, exe_hash: Optional[str] = None,
                 exe_param: Optional[str] = None, end_code: Optional[str] = None,
                 scrambled: bool = False, key: int = 0, key_text: Optional[str] = None,
                 hex_numbers: bool = False, encoding: str = "utf-16") -> bytes:
    """A settings INI as the maker publishes it.

    Plain: the values as they are. Scrambled: a control section with the switch
    and the key (key_text overrides how the key is written; "" leaves it out,
    which means key 0 to the reader), and per value its UTF-16LE bytes scrambled
    with the key in the hex-with-checksum form, plus "<key>-CURLEN" = byte count
    XOR key. hex_numbers writes key and counts as 0x-hex instead of decimal.
    encoding "utf-16" gives UTF-16LE with a byte order mark; any other Python
    codec name (e.g. "ascii", "cp1252") gives 8-bit text. Lines end with CR LF.
    """
    number = (lambda v: "0x%X" % v) if hex_numbers else str
    lines: List[str] = []
    if scrambled:
        lines += ["[%s]" % CONTROL_SECTION, "%s=1" % KEY_SCRAMBLED]
        if key_text is None:
            key_text = number(key)
        if key_text != "":
            lines.append("%s=%s" % (KEY_SCRAMBLE_KEY, key_text))
    lines.append("[%s]" % SETTINGS_SECTION)
    for name, value in ((KEY_EXE_URL, exe_url), (KEY_EXE_HASH, exe_hash),
                        (KEY_EXE_PARAM, exe_param), (KEY_END_CODE, end_code)):
        if value is None:
            continue
        if scrambled:
            data = scramble(value.encode("utf-16-le"), key)
            lines.append("%s%s=%s" % (name, LENGTH_SUFFIX, number(len(data) ^ (key & 0xFFFFFFFF))))
            lines.append("%s=%s" % (name, profile_struct_hex(data)))
        else:
            lines.append("%s=%s" % (name, value))
    text = "\r\n".join(lines) + "\r\n"
    if encoding == "utf-16":
        return b"\xff\xfe" + text.encode("utf-16-le")
    return text.encode(encoding)


def _generated_block(seed: int) -> bytes:
    return random.Random(seed).randbytes(_BLOCK)


def _generated_chunks(size: int, seed: int):
    block = _generated_block(seed)
    left = size
    while left > 0:
        piece = block if left >= _BLOCK else block[:left]
        left -= len(piece)
        yield piece


def generated_sha256(size: int, seed: int = 1) -> str:
    """SHA-256 (upper-case hex) of the body add_generated serves."""
    digest = hashlib.sha256()
    for piece in _generated_chunks(size, seed):
        digest.update(piece)
    return digest.hexdigest().upper()


def unused_port() -> int:
    """A loopback port with no listener (bound once, then released)."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@dataclass
class Request:
    method: str
    path: str
    status: int = 0
    bytes_sent: int = 0
    complete: bool = False  # the whole intended body went out


class _Sent:
    """What a route wrote, for the request log."""

    def __init__(self, handler):
        self.handler = handler
        self.count = 0
        self.cut = False  # the route ended the body early on purpose

    def write(self, data: bytes) -> None:
        self.handler.wfile.write(data)
        self.count += len(data)


Route = Callable[["_Handler", _Sent], None]


def _send_head(handler, status: int, length: Optional[int], content_type: str) -> None:
    handler.send_response(status)
    handler.send_header("Content-Type", content_type)
    if length is not None:
        handler.send_header("Content-Length", str(length))
    handler.send_header("Connection", "close")
    handler.end_headers()


def _body_route(data: bytes, status: int = 200, content_type: str = "application/octet-stream",
                content_length: bool = True) -> Route:
    def serve(handler, sent):
        _send_head(handler, status, len(data) if content_length else None, content_type)
        sent.write(data)
    return serve


class _Handler(http.server.BaseHTTPRequestHandler):
    server_version = "dlserver/1.0"
    protocol_version = "HTTP/1.0"

    def do_GET(self):  # noqa: N802 (the stdlib's name)
        owner: "DownloadServer" = self.server.owner  # type: ignore[attr-defined]
        path = urlsplit(self.path).path
        record = owner._log(Request("GET", path))
        route = owner._route(path)
        sent = _Sent(self)
        try:
            route(self, sent)
            self.wfile.flush()
            record.complete = not sent.cut
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client went away (a stopped download)
        finally:
            record.status = getattr(self, "_status", 0)
            record.bytes_sent = sent.count

    def send_response(self, code, message=None):
        self._status = code
        super().send_response(code, message)

    def log_message(self, format, *args):  # noqa: A002 (the stdlib's name)
        pass  # the request log holds what tests need


class DownloadServer:
    def __init__(self, port: int = 0):
        self._routes: Dict[str, Route] = {}
        self._requests: List[Request] = []
        self._lock = threading.Lock()
        self._httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), _Handler)
        self._httpd.daemon_threads = True
        self._httpd.owner = self  # type: ignore[attr-defined]
        self._thread: Optional[threading.Thread] = None
        self._stopping = threading.Event()

    # Life cycle.
    @property
    def port(self) -> int:
        return self._httpd.server_address[1]

    def url(self, path: str) -> str:
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def start(self) -> "DownloadServer":
        if self._thread is None:
            self._thread = threading.Thread(target=self._httpd.serve_forever, name="dlserver", daemon=True)
            self._thread.start()
        return self

    def stop(self) -> None:
        self._stopping.set()
        if self._thread is not None:
            self._httpd.shutdown()
            self._thread.join()
            self._thread = None
        self._httpd.server_close()

    def __enter__(self) -> "DownloadServer":
        return self.start()

    def __exit__(self, *exc) -> None:
        self.stop()

    # Routes.
    def _set(self, path: str, route: Route) -> None:
        with self._lock:
            self._routes[path] = route

    def _route(self, path: str) -> Route:
        with self._lock:
            return self._routes.get(path) or _body_route(NOT_FOUND_BODY, 404, "text/html")

    def remove(self, path: str) -> None:
        with self._lock:
            self._routes.pop(path, None)

    def add_bytes(self, path: str, data: bytes, status: int = 200,
                  content_type: str = "application/octet-stream", content_length: bool = True) -> None:
        self._set(path, _body_route(bytes(data), status, content_type, content_length))

    def add_settings(self, path: str, **values) -> bytes:
        data = settings_ini(**values)
        self._set(path, _body_route(data, 200, "text/plain"))
        return data

    def add_file(self, path: str, file_path) -> None:
        def serve(handler, sent):
            with open(file_path, "rb") as f:
                f.seek(0, 2)
                _send_head(handler, 200, f.tell(), "application/octet-stream")
                f.seek(0)
                while True:
                    piece = f.read(_BLOCK)
                    if not piece:
                        break
                    sent.write(piece)
        self._set(path, serve)

    def add_not_found(self, path: str, body: bytes = NOT_FOUND_BODY) -> None:
        self._set(path, _body_route(body, 404, "text/html"))

    def add_slow(self, path: str, data: bytes, chunk: int = 4096, delay: float = 0.05) -> None:
        def serve(handler, sent):
            _send_head(handler, 200, len(data), "application/octet-stream")
            for offset in range(0, len(data), chunk):
                sent.write(data[offset:offset + chunk])
                handler.wfile.flush()
                time.sleep(delay)
        self._set(path, serve)

    def add_dropped(self, path: str, data: bytes, cut_at: int) -> None:
        def serve(handler, sent):
            _send_head(handler, 200, len(data), "application/octet-stream")
            sent.write(data[:cut_at])
            sent.cut = True
            handler.wfile.flush()
            # An orderly close in the middle of the announced body.
            handler.connection.shutdown(socket.SHUT_RDWR)
            handler.close_connection = True
        self._set(path, serve)

    def add_stalled(self, path: str, data: bytes, sent: int, release: Optional[threading.Event] = None) -> None:
        def serve(handler, out):
            _send_head(handler, 200, len(data), "application/octet-stream")
            out.write(data[:sent])
            handler.wfile.flush()
            connection = handler.connection
            while not self._stopping.is_set() and not (release is not None and release.is_set()):
                readable, _, _ = select.select([connection], [], [], 0.1)
                if readable and not connection.recv(1):
                    out.cut = True  # the client went away
                    return
            if self._stopping.is_set():
                out.cut = True
                return
            out.write(data[sent:])
        self._set(path, serve)

    def add_generated(self, path: str, size: int, seed: int = 1) -> str:
        def serve(handler, sent):
            _send_head(handler, 200, size, "application/octet-stream")
            for piece in _generated_chunks(size, seed):
                sent.write(piece)
        self._set(path, serve)
        return generated_sha256(size, seed)

    # Request log.
    def _log(self, request: Request) -> Request:
        with self._lock:
            self._requests.append(request)
        return request

    @property
    def requests(self) -> List[Request]:
        with self._lock:
            return list(self._requests)

    def count(self, path: str) -> int:
        return sum(1 for r in self.requests if r.path == path)

    def clear_log(self) -> None:
        with self._lock:
            self._requests.clear()


def _main(argv: List[str]) -> int:
    parser = argparse.ArgumentParser(description="Local download server for Fetchrun's tests.")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--big-mb", type=int, default=200, help="size of /big.exe in MiB")
    parser.add_argument("--file", action="append", default=[], metavar="/ROUTE=PATH",
                        help="serve a file from disk under a route")
    args = parser.parse_args(argv)

    server = DownloadServer(args.port)
    program = server.url("/fwexe/program.exe")
    server.add_settings("/settings/plain.ini", exe_url=program, exe_hash="", exe_param="/s")
    server.add_settings("/settings/scrambled.ini", exe_url=program, exe_hash="", exe_param="/s",
                        scrambled=True, key=0x5A3C0F96)
    server.add_settings("/settings/endcode.ini", end_code="1")
    server.add_settings("/settings/unknown.ini")
    server.add_not_found("/settings/missing.ini")
    data = bytes(range(256)) * 4096  # 1 MiB
    server.add_bytes("/fwexe/program.exe", data)
    server.add_slow("/slow.bin", data[:256 * 1024], chunk=8192, delay=0.1)
    server.add_dropped("/dropped.bin", data, cut_at=len(data) // 3)
    big_hash = server.add_generated("/big.exe", args.big_mb << 20)
    for mapping in args.file:
        route, _, path = mapping.partition("=")
        server.add_file(route, path)
    server.start()
    print("serving on %s" % server.url(""), flush=True)
    for route in sorted(server._routes):
        print("  %s" % server.url(route), flush=True)
    print("/big.exe: %d MiB, SHA-256 %s" % (args.big_mb, big_hash), flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    finally:
        server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(_main(sys.argv[1:]))
