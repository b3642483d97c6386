#!/usr/bin/env python3
"""A throwaway RFC 3161 time-stamping authority on 127.0.0.1 for the release test: each POSTed
query is answered by `openssl ts -reply` with the test's own TSA certificate. It prints its port,
then serves until it is ended, and for two minutes at most.
    tsa_responder.py <openssl ts config>"""
import http.server
import os
import subprocess
import sys
import tempfile
import threading


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with tempfile.NamedTemporaryFile(delete=False) as file:
            file.write(query)
        try:
            reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", file.name],
                                   capture_output=True, cwd=os.path.dirname(os.path.abspath(sys.argv[1])))
        finally:
            os.unlink(file.name)
        self.send_response(200 if reply.returncode == 0 and reply.stdout else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *arguments):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
threading.Timer(120, server.shutdown).start()
print(server.server_port, flush=True)
server.serve_forever()
