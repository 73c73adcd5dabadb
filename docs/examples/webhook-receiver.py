#!/usr/bin/env python3
"""Receives Orvane Meters' alarm webhooks, checks that each was signed with the display's
access token, and prints one line per alarm: time, display, event, state, pair.

    ORVANE_TOKEN=<the display's access token> webhook-receiver.py ADDRESS PORT

In "Remote access…", give the display the webhook http://ADDRESS:PORT/ (this machine's
address as the display reaches it).
"""
import hashlib
import hmac
import json
import os
import sys
from http.server import BaseHTTPRequestHandler, HTTPServer

TOKEN = os.environ["ORVANE_TOKEN"].encode()


class Alarm(BaseHTTPRequestHandler):
    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length > 4096:
            self.send_error(413)
            return
        body = self.rfile.read(length)
        # The display signs the body itself: HMAC-SHA256 keyed with its access token.
        expected = "sha256=" + hmac.new(TOKEN, body, hashlib.sha256).hexdigest()
        given = self.headers.get("X-Orvane-Signature", "")
        if not hmac.compare_digest(expected, given):
            print(f"refused: a post from {self.client_address[0]} with a wrong signature",
                  file=sys.stderr, flush=True)
            self.send_error(401)
            return
        alarm = json.loads(body)
        print(alarm["time"], alarm["display"], alarm["event"], alarm["state"],
              alarm.get("pair") or "-", flush=True)
        # Answer at once: the display counts a slow or failed answer and tries again.
        self.send_response(204)
        self.end_headers()

    def log_message(self, format, *args):
        pass


server = HTTPServer((sys.argv[1], int(sys.argv[2])), Alarm)
print(f"listening on {sys.argv[1]}:{sys.argv[2]}", flush=True)
server.serve_forever()
