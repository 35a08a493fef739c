#!/usr/bin/env python3
"""A loopback HTTP (and HTTPS) server for the download tests.

    http_server.py PORT_FILE [CERT KEY]

Listens on 127.0.0.1 on free ports (plain HTTP on BOUNTIQ_SERVER_PORT when
that is set) and writes "HTTP_PORT [HTTPS_PORT]" to PORT_FILE. Paths:
  /bytes?size=N   N bytes of a fixed pattern
  /status/CODE    that status, with the body "status CODE" (?size=N: N
                  bytes of the pattern instead; ?file=NAME: the file NAME of
                  the folder BOUNTIQ_FILES; &chunked=1: in chunks, its length
                  not announced)
  /cut            announces 100000 bytes, sends 1000 and closes
  /cutchunked     a chunked body that ends without its last chunk
  /stall          announces 100000 bytes, sends 1000, then nothing
  /endless        a chunked body that never ends (64 KiB every 2 ms)
  /echo...        the request line's target as the body
  /nano_download.php  the file named by BOUNTIQ_PARTNER_FILE; or, when the
                  file BOUNTIQ_PARTNER_ROUTE names holds a path, what that
                  path answers (read at each request)
  /files/NAME     the file NAME of the folder BOUNTIQ_FILES (?chunked=1: in
                  chunks, its length not announced)
Every request is appended to PORT_FILE + ".log" as "UNIX_TIME REQUEST_LINE".
"""
import http.server
import os
import time
import socketserver
import ssl
import sys
import threading
import urllib.parse


def pattern(n):
    block = bytes(range(256)) * 256
    whole, rest = divmod(n, len(block))
    return block * whole + block[:rest]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        with open(sys.argv[1] + ".log", "a") as log:
            log.write("%.6f %s\n" % (time.time(), self.requestline))
        url = urllib.parse.urlsplit(self.path)
        route = os.environ.get("BOUNTIQ_PARTNER_ROUTE")
        if url.path == "/nano_download.php" and route and os.path.isfile(route):
            with open(route) as f:
                target = f.read().strip()
            if target:
                url = urllib.parse.urlsplit(target)
        if url.path == "/bytes":
            size = int(urllib.parse.parse_qs(url.query).get("size", ["0"])[0])
            self.reply(200, pattern(size))
        elif url.path.startswith("/status/"):
            code = int(url.path.split("/")[2])
            query = urllib.parse.parse_qs(url.query)
            if "file" in query:
                name = os.path.join(os.environ["BOUNTIQ_FILES"], os.path.basename(query["file"][0]))
                with open(name, "rb") as f:
                    self.reply(code, f.read())
            else:
                size = query.get("size")
                body = pattern(int(size[0])) if size else ("status %d" % code).encode()
                if "chunked" in query:
                    self.reply_chunked(body, code)
                else:
                    self.reply(code, body)
        elif url.path == "/cut":
            self.part_of_announced_body()
            self.close_connection = True
            self.connection.shutdown(2)
        elif url.path == "/stall":
            self.part_of_announced_body()
            time.sleep(600)
        elif url.path in ("/endless", "/cutchunked"):
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            block = pattern(64 * 1024)
            chunks = 0
            try:
                while url.path == "/endless" or chunks < 3:
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(block), block))
                    chunks += 1
                    # At the pace of a fast remote server, not of memory:
                    # a client closing the request may drain what is ready.
                    time.sleep(0.002)
                self.wfile.flush()
            except OSError:
                pass  # the client gave up
            self.close_connection = True
            try:
                self.connection.shutdown(2)
            except OSError:
                pass  # gone already
        elif url.path == "/nano_download.php":
            with open(os.environ["BOUNTIQ_PARTNER_FILE"], "rb") as f:
                self.reply(200, f.read())
        elif url.path.startswith("/files/"):
            name = os.path.join(os.environ["BOUNTIQ_FILES"], os.path.basename(url.path))
            if os.path.isfile(name):
                with open(name, "rb") as f:
                    if "chunked" in urllib.parse.parse_qs(url.query):
                        self.reply_chunked(f.read())
                    else:
                        self.reply(200, f.read())
            else:
                self.reply(404, b"no such file")
        elif url.path.startswith("/echo"):
            self.reply(200, self.path.encode())
        else:
            self.reply(404, b"no such thing")

    def part_of_announced_body(self):
        """Announces 100000 bytes and sends the first 1000 of them."""
        self.send_response(200)
        self.send_header("Content-Length", "100000")
        self.end_headers()
        self.wfile.write(pattern(1000))
        self.wfile.flush()

    def reply_chunked(self, body, code=200):
        """The body in chunks of 10000 bytes and its last chunk, its length
        not announced."""
        self.send_response(code)
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        try:
            for i in range(0, len(body), 10000):
                piece = body[i:i + 10000]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.write(b"0\r\n\r\n")
        except OSError:
            pass  # the client gave up

    def reply(self, code, body):
        self.send_response(code)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Content-Type", "application/octet-stream")
        self.end_headers()
        try:
            self.wfile.write(body)
        except OSError:
            pass  # the client gave up


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    plain = Server(("127.0.0.1", int(os.environ.get("BOUNTIQ_SERVER_PORT", "0"))), Handler)
    ports = [plain.server_address[1]]
    servers = [plain]
    if len(sys.argv) > 3:
        secure = Server(("127.0.0.1", 0), Handler)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        secure.socket = context.wrap_socket(secure.socket, server_side=True)
        servers.append(secure)
        ports.append(secure.server_address[1])
    for s in servers[1:]:
        threading.Thread(target=s.serve_forever, daemon=True).start()
    with open(sys.argv[1] + ".tmp", "w") as f:
        f.write(" ".join(map(str, ports)))
    os.replace(sys.argv[1] + ".tmp", sys.argv[1])
    plain.serve_forever()


if __name__ == "__main__":
    main()
