#!/usr/bin/env python3
"""Loopback radio server for the media player tests and benchmark.

Serves a generated MP3 tone at its real bitrate, with Shoutcast/Icecast (ICY) metadata when
the client asks for it, plus the misbehaving servers the player must cope with. Listens on
127.0.0.1 only. Prints one line "PORT <http> SILENT <silent> DEAD <dead> TLS <https> PROXY <proxy>"
when ready; the https port serves the same paths with a certificate for 127.0.0.1 and for the
name radio.invalid made for the run, in <workdir>/tls-cert.pem. The proxy port is a forwarding
proxy (absolute-form requests and CONNECT) that takes any host for 127.0.0.1 and notes the
first request line of each connection in <workdir>/proxy.log; like a proxy that tunnels only to
https's port, it refuses a CONNECT to the host plain.invalid (403).

Paths:
  /stream?burst=S&title=T   tone, S seconds sent at once on connect (default 2), title T
  /changing                 tone whose title changes every 2 s ("Song 1", "Song 2", ...)
  /markup                   tone whose title contains markup and control characters
  /drop?after=S&down=D      sends S seconds, drops the connection, then refuses streams for D s;
                            with down=hold, until the test writes "up" on the server's stdin
  /stall?after=S            sends S seconds, then keeps the connection open and sends nothing;
                            the next connection plays normally
  /status/N                 answers HTTP status N
  /html                     a web page instead of audio
  /garbage                  random bytes labelled audio/mpeg
  /silent                   reads the request and never answers
  /trickle                  an answer's head, one byte a second, never ending
  /endless-head             an answer's head of header lines without end, as fast as it goes
  /reset                    reads the request and resets the connection
  /moved?to=URL             answers 302 Found with Location URL
  /mms-ahead                MMS over HTTP as a player asks for it, by its "Pragma" lines: a play
                            request (xPlayStrm=1) gets an endless answer; a header request waits
                            for a play request of the same xClientGUID (10 s at most) and answers
                            "play first" or "header alone"
  /mms-ahead-log?guid=G     "<play requests> <play answers still open>" for client GUID G
  /stream?title=T&charset=cp1252
                            the title sent in that character set instead of UTF-8
  /hls/live.m3u8?id=I&freeze=S&segment=A&chunked=1
                            live HLS: AAC in MPEG-TS, 2 s segments, a sliding window of five
                            and no end, as if broadcast I had been on the air for 10 s when first
                            asked for; after S seconds it stops moving; with A every
                            segment's address is A; segments sent in chunks when asked; with
                            aes=1 every segment encrypted with AES-128 (the key at /hls/key, the
                            IV its sequence number); with reuse=K each connection is kept open
                            for the next request, and the playlist's and segments' requests and
                            the connections they came on are counted under K; with restart=N
                            the timestamps and continuity counters start again every N segments,
                            each restart marked by #EXT-X-DISCONTINUITY, as when an encoder is
                            started anew (not marked with unmarked=1)
  /hls/master.m3u8?id=I&variant=A
                            a master playlist whose one variant is /hls/live.m3u8?id=I (or A),
                            with segments sent in chunks
  /hls/seg/N.ts?chunked=1   segment N, in chunks when asked
  /hls/seg/N.ts?aes=1       segment N encrypted with AES-128
  /hls/seg/N.ts?restart=R   segment N with the timestamps it has when they start again every R
  /reuse?key=K              "<requests> <connections>" counted under K
  /hostile.asx?entry=A&entry=B...
                            an ASX listing the given entries, in order
  /list.asx /list.pls /list.m3u /deadfirst.asx /dead.asx /noext
                            playlists (/noext is an ASX without a telling name or type)
"""

import argparse
import os
import random
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

BYTES_PER_SECOND = 16000  # 128 kbit/s
META_INT = 8000
CHUNK_SECONDS = 0.05

MP3 = b""
HLS = {"durations": [], "segments": [], "clocks": {}}
HLS_WINDOW = 5
HLS_BANDWIDTH = 140800
HLS_AVERAGE_BANDWIDTH = 131000
PORTS = {}
DOWN_UNTIL = {}
STALLED = set()
REUSE = {}  # key: [requests, set of the connections they came on]
LOCK = threading.Lock()
MMS_AHEAD = threading.Condition()
MMS_AHEAD_LOG = {}  # client GUID: {"plays": play requests, "open": play answers under way}
HLS_KEY = bytes(range(16))


def make_tone(path):
    if not os.path.exists(path):
        made = "%s.%d.tmp" % (path, os.getpid())
        subprocess.run(
            ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi",
             "-i", "sine=frequency=440:sample_rate=44100:duration=30", "-ac", "2",
             "-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0",
             "-f", "mp3", made],
            check=True)
        os.replace(made, path)
    with open(path, "rb") as f:
        return f.read()


def make_hls(cache):
    """130 s of tone as AAC in 2 s MPEG-TS segments, made once into the cache folder."""
    folder = os.path.join(cache, "hls")
    listing = os.path.join(folder, "all.m3u8")
    if not os.path.exists(listing):
        made = "%s.%d.tmp" % (folder, os.getpid())
        os.makedirs(made, exist_ok=True)
        subprocess.run(
            ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi",
             "-i", "sine=frequency=660:sample_rate=44100:duration=130", "-ac", "2",
             "-c:a", "aac", "-b:a", "128k", "-f", "hls", "-hls_time", "2", "-hls_list_size", "0",
             "-hls_segment_filename", os.path.join(made, "%d.ts"), os.path.join(made, "all.m3u8")],
            check=True)
        try:
            os.rename(made, folder)
        except OSError:  # made meanwhile by another server
            subprocess.run(["rm", "-rf", made])
    with open(listing) as f:
        HLS["durations"] = [float(line[8:].split(",")[0]) for line in f if line.startswith("#EXTINF:")]
    for n in range(len(HLS["durations"])):
        with open(os.path.join(folder, "%d.ts" % n), "rb") as f:
            HLS["segments"].append(f.read())


def ts_timestamps(data, shift=None):
    """The first PTS in the MPEG-TS `data`, or with `shift`: `data` with every PCR, PTS and DTS
    moved by that many 90 kHz ticks."""
    out = bytearray(data)
    wrap = 1 << 33

    def timestamp(at, moved=None):
        value = ((out[at] >> 1) & 7) << 30 | out[at + 1] << 22 | (out[at + 2] >> 1) << 15 \
            | out[at + 3] << 7 | out[at + 4] >> 1
        if moved is None:
            return value
        value = (value + moved) % wrap
        out[at:at + 5] = bytes([(out[at] & 0xf1) | (value >> 29 & 0x0e), value >> 22 & 0xff,
                                (out[at + 2] & 1) | (value >> 14 & 0xfe), value >> 7 & 0xff,
                                (out[at + 4] & 1) | (value << 1 & 0xfe)])
        return value

    for at in range(0, len(out) - 187, 188):
        control = out[at + 3] >> 4
        if shift is not None and control & 2 and out[at + 4] >= 7 and out[at + 5] & 0x10:
            base = int.from_bytes(out[at + 6:at + 11], "big") >> 7
            base = (base + shift) % wrap
            out[at + 6:at + 10] = (base >> 1).to_bytes(4, "big")
            out[at + 10] = (out[at + 10] & 0x7f) | (base & 1) << 7
        pes = at + 4 + (1 + out[at + 4] if control & 2 else 0)
        if out[at + 1] & 0x40 and control & 1 and pes + 19 <= at + 188 and out[pes:pes + 3] == b"\0\0\1" \
                and out[pes + 7] & 0x80:
            if shift is None:
                return timestamp(pes + 9)
            timestamp(pes + 9, shift)
            if out[pes + 7] & 0x40:
                timestamp(pes + 14, shift)
    return bytes(out)


def restarted(n, every):
    """Segment n as it is when the encoder starts again every `every` segments: its timestamps
    go back to the start, and its packets' continuity counters jump."""
    first = n // every * every
    if first == 0:
        return HLS["segments"][n]
    out = bytearray(ts_timestamps(HLS["segments"][n],
                                  ts_timestamps(HLS["segments"][0]) - ts_timestamps(HLS["segments"][first])))
    for at in range(0, len(out) - 187, 188):
        out[at + 3] = (out[at + 3] & 0xf0) | (out[at + 3] + 7 * (n // every)) & 0x0f
    return bytes(out)


def hls_window(broadcast, freeze):
    """The segments a live playlist lists now: the last five published, each published when
    the broadcast has played up to its end."""
    with LOCK:
        started = HLS["clocks"].setdefault(broadcast, time.monotonic() - 10)
    elapsed = time.monotonic() - started
    if freeze is not None:
        elapsed = min(elapsed, 10 + freeze)
    published, end = 0, 0.0
    for duration in HLS["durations"]:
        end += duration
        if end > elapsed:
            break
        published += 1
    return max(0, published - HLS_WINDOW), published


def icy_block(title, charset="utf-8"):
    text = "StreamTitle='%s';" % title.replace("'", "")
    data = text.encode(charset)
    blocks = (len(data) + 15) // 16
    return bytes([blocks]) + data.ljust(blocks * 16, b"\0")


def playlist(name):
    base = "http://127.0.0.1:%d" % PORTS["http"]
    dead = "http://127.0.0.1:%d/stream" % PORTS["dead"]
    if name in ("/list.asx", "/noext"):
        return ('<ASX version="3.0"><TITLE>Test</TITLE>\r\n<ENTRY><REF HREF="%s/stream?title=From%%20ASX"/></ENTRY>\r\n</ASX>\r\n'
                % base)
    if name == "/deadfirst.asx":
        return ('<asx version="3.0">\n<entry><ref href="%s"/></entry>\n'
                '<entry><ref href="%s/stream?title=Second%%20entry"/></entry>\n</asx>\n' % (dead, base))
    if name == "/dead.asx":
        return ('<asx version="3.0">\n<entry><ref href="%s"/></entry>\n'
                '<entry><ref href="%s/status/404"/></entry>\n</asx>\n' % (dead, base))
    if name == "/list.pls":
        return "[playlist]\nNumberOfEntries=1\nFile1=%s/stream?title=From%%20PLS\nTitle1=Tone\nLength1=-1\nVersion=2\n" % base
    if name == "/list.m3u":
        return "#EXTM3U\n#EXTINF:-1,Tone\n%s/stream?title=From%%20M3U\n" % base
    return None


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "LoopbackRadio/1.0"

    def log_message(self, fmt, *args):
        if os.environ.get("STREAM_SERVER_VERBOSE"):
            sys.stderr.write("stream_server: " + (fmt % args) + "\n")

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        path = url.path
        text = playlist(path)
        if text is not None:
            kind = {"/list.pls": "audio/x-scpls", "/list.m3u": "audio/x-mpegurl", "/noext": "text/plain"}
            return self.send_body(200, kind.get(path, "video/x-ms-asf"), text.encode())
        if path.startswith("/status/"):
            code = int(path.split("/")[2])
            return self.send_body(code, "text/html", b"<html><body>Error %d</body></html>" % code)
        if path == "/reuse":
            requests, connections = REUSE.get(query.get("key"), [0, set()])
            return self.send_body(200, "text/plain", b"%d %d" % (requests, len(connections)))
        if "reuse" in query:
            # Kept open for the next request, and counted.
            with LOCK:
                counted = REUSE.setdefault(query["reuse"], [0, set()])
                counted[0] += 1
                counted[1].add(self.client_address)
            self.protocol_version = "HTTP/1.1"
            self.close_connection = False
        if path.startswith("/hls/"):
            return self.hls(path, query)
        if path == "/html":
            return self.send_body(200, "text/html; charset=utf-8",
                                  b"<!DOCTYPE html><html><head><title>Radio</title></head><body>"
                                  + b"<p>Listen live!</p>" * 200 + b"</body></html>")
        if path == "/silent":
            time.sleep(3600)
            return
        if path == "/trickle":
            return self.send_raw(b"HTTP/1.0 200 OK\r\n", b"X", pause=1.0)
        if path == "/endless-head":
            return self.send_raw(b"HTTP/1.0 200 OK\r\n", b"X-Padding: " + b"a" * 1000 + b"\r\n", pause=0)
        if path == "/reset":
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            self.close_connection = True
            return
        if path == "/moved":
            self.send_response(302)
            self.send_header("Location", query.get("to", "/"))
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if path == "/hostile.asx":
            refs = "".join('<entry><ref href="%s"/></entry>\n' % entry.replace("&", "&amp;").replace('"', "&quot;")
                           for entry in urllib.parse.parse_qs(url.query).get("entry", []))
            return self.send_body(200, "video/x-ms-asf", ('<asx version="3.0">\n%s</asx>\n' % refs).encode())
        if path == "/garbage":
            return self.stream(lambda: None, garbage=True)
        if path == "/drop":
            key = self.path
            with LOCK:
                down = DOWN_UNTIL.get(key, 0) > time.monotonic()
            if down:
                self.close_connection = True
                self.connection.shutdown(socket.SHUT_RDWR)
                return
            after = float(query.get("after", 3))
            return self.stream(lambda: "Dropping", stop_after=after,
                               on_stop=lambda: DOWN_UNTIL.__setitem__(key, down_until(query.get("down", "2"))))
        if path == "/stall":
            with LOCK:
                stalled_before = self.path in STALLED
            return self.stream(lambda: "Stalling", stall_after=None if stalled_before else float(query.get("after", 3)),
                               stall_key=self.path)
        if path == "/changing":
            start = time.monotonic()
            return self.stream(lambda: "Song %d" % (1 + int((time.monotonic() - start) / 2)))
        if path == "/markup":
            return self.stream(lambda: "<b>Bold</b> & <i>friends</i>\x07\x1b[31m live")
        if path in ("/stream", "/"):
            title = query.get("title", "Loopback Tone")
            return self.stream(lambda: title, burst=float(query.get("burst", 2)),
                               charset=query.get("charset", "utf-8"))
        if path == "/mms-ahead":
            return self.mms_ahead()
        if path == "/mms-ahead-log":
            with MMS_AHEAD:
                seen = MMS_AHEAD_LOG.get(query.get("guid"), {"plays": 0, "open": 0})
                return self.send_body(200, "text/plain", b"%d %d" % (seen["plays"], seen["open"]))
        if path.endswith(".asx"):
            # Any other .asx, such as a station's own playlist name, leads to the tone.
            return self.send_body(200, "video/x-ms-asf", playlist("/list.asx").encode())
        self.send_body(404, "text/html", b"<html><body>Not found</body></html>")

    def hls(self, path, query):
        broadcast = query.get("id", "")
        if path == "/hls/master.m3u8":
            variant = query.get("variant", "live.m3u8?chunked=1&id=" + urllib.parse.quote(broadcast))
            text = ("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=%d,AVERAGE-BANDWIDTH=%d,CODECS=\"mp4a.40.2\"\n%s\n"
                    % (HLS_BANDWIDTH, HLS_AVERAGE_BANDWIDTH, variant))
            return self.send_body(200, "application/vnd.apple.mpegurl", text.encode())
        if path == "/hls/live.m3u8":
            freeze = float(query["freeze"]) if "freeze" in query else None
            first, end = hls_window(broadcast, freeze)
            lines = ["#EXTM3U", "#EXT-X-VERSION:3", "#EXT-X-TARGETDURATION:2",
                     "#EXT-X-MEDIA-SEQUENCE:%d" % first]
            if "aes" in query:
                lines.append('#EXT-X-KEY:METHOD=AES-128,URI="key"')
            every = int(query.get("restart", 0))
            options = "&".join("%s=%s" % (name, urllib.parse.quote(query[name]))
                               for name in ("chunked", "aes", "reuse", "restart") if name in query)
            for n in range(first, end):
                if every and n % every == 0 and n > 0 and "unmarked" not in query:
                    lines.append("#EXT-X-DISCONTINUITY")
                lines.append("#EXTINF:%.6f," % HLS["durations"][n])
                lines.append(query.get("segment", "seg/%d.ts" % n + ("?" + options if options else "")))
            return self.send_body(200, "application/vnd.apple.mpegurl", ("\n".join(lines) + "\n").encode())
        if path == "/hls/key":
            return self.send_body(200, "application/octet-stream", HLS_KEY)
        if path.startswith("/hls/seg/") and path.endswith(".ts"):
            n = int(path[len("/hls/seg/"):-3])
            if 0 <= n < len(HLS["segments"]):
                body = restarted(n, int(query["restart"])) if "restart" in query else HLS["segments"][n]
                if "aes" in query:
                    # AES-128 as a CDN encrypts it: CBC with PKCS#7 padding, the IV the sequence number.
                    body = subprocess.run(
                        ["openssl", "enc", "-aes-128-cbc", "-K", HLS_KEY.hex(), "-iv", "%032x" % n],
                        input=body, stdout=subprocess.PIPE, check=True).stdout
                if "chunked" in query:
                    return self.send_chunked("video/mp2t", body)
                return self.send_body(200, "video/mp2t", body)
        self.send_body(404, "text/html", b"<html><body>Not found</body></html>")

    def mms_ahead(self):
        pragmas = self.headers.get_all("Pragma") or []
        guid = next((p[len("xClientGUID="):] for p in pragmas if p.startswith("xClientGUID=")), "")
        playing = "xPlayStrm=1" in pragmas
        with MMS_AHEAD:
            seen = MMS_AHEAD_LOG.setdefault(guid, {"plays": 0, "open": 0})
            if playing:
                seen["plays"] += 1
                seen["open"] += 1
                MMS_AHEAD.notify_all()
            else:
                first = MMS_AHEAD.wait_for(lambda: seen["plays"] > 0, timeout=10)
        if not playing:
            return self.send_body(200, "application/octet-stream", b"play first" if first else b"header alone")
        self.close_connection = True
        try:
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.end_headers()
            for n in range(100000):
                self.wfile.write(b"stream %d\n" % n)
                self.wfile.flush()
                time.sleep(CHUNK_SECONDS)
        except (BrokenPipeError, ConnectionResetError):
            pass
        finally:
            with MMS_AHEAD:
                seen["open"] -= 1

    def send_body(self, code, kind, body):
        self.send_response(code)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_chunked(self, kind, body, size=7000):
        # Chunks are HTTP/1.1's: an HTTP/1.0 answer cannot have them.
        self.protocol_version = "HTTP/1.1"
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Transfer-Encoding", "chunked")
        self.send_header("Connection", "close")
        self.end_headers()
        for at in range(0, len(body), size):
            piece = body[at:at + size]
            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
        self.wfile.write(b"0\r\n\r\n")

    def send_raw(self, first, repeated, pause):
        self.close_connection = True
        try:
            self.wfile.write(first)
            while True:
                self.wfile.write(repeated)
                if pause:
                    time.sleep(pause)
        except (BrokenPipeError, ConnectionResetError):
            return

    def stream(self, title, burst=2.0, stop_after=None, on_stop=None, stall_after=None, stall_key=None,
               garbage=False, charset="utf-8"):
        metadata = self.headers.get("Icy-MetaData", "0").strip() == "1" and not garbage
        self.send_response(200)
        self.send_header("Content-Type", "audio/mpeg")
        self.send_header("icy-name", "Loopback Radio")
        self.send_header("icy-br", "128")
        self.send_header("Cache-Control", "no-cache")
        if metadata:
            self.send_header("icy-metaint", str(META_INT))
        self.end_headers()
        rng = random.Random(7)
        position = 0          # in the tone
        until_meta = META_INT
        sent_title = None
        started = time.monotonic()
        sent = 0
        try:
            while True:
                elapsed = time.monotonic() - started
                if stop_after is not None and elapsed >= stop_after:
                    if on_stop:
                        with LOCK:
                            on_stop()
                    self.close_connection = True
                    return
                if stall_after is not None and elapsed >= stall_after:
                    with LOCK:
                        first = stall_key not in STALLED
                        STALLED.add(stall_key)
                    if first:
                        time.sleep(3600)
                        return
                    stall_after = None
                due = int((elapsed + burst) * BYTES_PER_SECOND)
                if sent >= due:
                    time.sleep(CHUNK_SECONDS)
                    continue
                count = due - sent
                if garbage:
                    payload = bytes(rng.getrandbits(8) for _ in range(count))
                else:
                    payload = b""
                    while len(payload) < count:
                        piece = MP3[position:position + count - len(payload)]
                        payload += piece
                        position = (position + len(piece)) % len(MP3)
                sent += count
                if not metadata:
                    self.wfile.write(payload)
                    continue
                out = bytearray()
                while payload:
                    take = min(until_meta, len(payload))
                    out += payload[:take]
                    payload = payload[take:]
                    until_meta -= take
                    if until_meta == 0:
                        current = title()
                        if current != sent_title:
                            out += icy_block(current, charset)
                            sent_title = current
                        else:
                            out += b"\0"
                        until_meta = META_INT
                self.wfile.write(bytes(out))
        except (BrokenPipeError, ConnectionResetError):
            return


class Server(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64

    def handle_error(self, request, client_address):
        pass  # players hang up mid-answer all the time


def silent_listener():
    """A port that accepts connections and never says a word."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("127.0.0.1", 0))
    sock.listen(64)
    held = []

    def accept():
        while True:
            conn, _ = sock.accept()
            held.append(conn)

    threading.Thread(target=accept, daemon=True).start()
    return sock.getsockname()[1]


def dead_port():
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind(("127.0.0.1", 0))
    port = sock.getsockname()[1]
    sock.close()
    return port


def tls_server(workdir):
    """The same server over TLS, with a certificate of its own for 127.0.0.1."""
    cert = os.path.join(workdir, "tls-cert.pem")
    key = os.path.join(workdir, "tls-key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
         "-days", "2", "-subj", "/CN=127.0.0.1",
         "-addext", "subjectAltName=IP:127.0.0.1,DNS:radio.invalid",
         "-keyout", key, "-out", cert],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server = Server(("127.0.0.1", 0), Handler)
    # The handshake happens on the request's own thread, so that a client that never makes one
    # holds up nobody else.
    server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def down_until(down):
    return float("inf") if down == "hold" else time.monotonic() + float(down)


def read_commands():
    """The test's commands, a line each; the server ends with the test, when stdin closes."""
    for line in sys.stdin:
        if line.strip() == "up":
            with LOCK:
                DOWN_UNTIL.clear()
    os._exit(0)


def pipe(source, sink):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            sink.sendall(data)
    except OSError:
        pass
    for sock in (source, sink):
        try:
            sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def proxy_server(workdir):
    """A forwarding proxy to this server's ports, whatever host a request names."""
    log_path = os.path.join(workdir, "proxy.log")
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind(("127.0.0.1", 0))
    sock.listen(64)

    def serve(client):
        head = b""
        while b"\r\n\r\n" not in head and len(head) < 65536:
            data = client.recv(65536)
            if not data:
                client.close()
                return
            head += data
        line = head.split(b"\r\n", 1)[0].decode("latin-1")
        with LOCK, open(log_path, "a") as log:
            log.write(line + "\n")
        method, target = line.split(" ")[:2]
        if method == "CONNECT" and target.startswith("plain.invalid:"):
            client.sendall(b"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n")
            client.close()
            return
        if method == "CONNECT":
            port = int(target.rsplit(":", 1)[1])
        else:
            port = urllib.parse.urlsplit(target).port or 80
        upstream = socket.create_connection(("127.0.0.1", port))
        if method == "CONNECT":
            client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            head = head.split(b"\r\n\r\n", 1)[1]
        # The server reads absolute-form requests as they are.
        upstream.sendall(head)
        threading.Thread(target=pipe, args=(upstream, client), daemon=True).start()
        pipe(client, upstream)

    def accept():
        while True:
            conn, _ = sock.accept()
            threading.Thread(target=serve, args=(conn,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return sock.getsockname()[1]


def main():
    global MP3
    parser = argparse.ArgumentParser()
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--cache", help="where the generated tones are kept between runs (default: workdir)")
    args = parser.parse_args()
    cache = args.cache or args.workdir
    os.makedirs(cache, exist_ok=True)
    MP3 = make_tone(os.path.join(cache, "tone.mp3"))
    make_hls(cache)
    server = Server(("127.0.0.1", args.port), Handler)
    PORTS["http"] = server.server_address[1]
    PORTS["silent"] = silent_listener()
    PORTS["dead"] = dead_port()
    PORTS["tls"] = tls_server(args.workdir)
    PORTS["proxy"] = proxy_server(args.workdir)
    print("PORT %d SILENT %d DEAD %d TLS %d PROXY %d"
          % (PORTS["http"], PORTS["silent"], PORTS["dead"], PORTS["tls"], PORTS["proxy"]), flush=True)
    threading.Thread(target=read_commands, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
