#!/usr/bin/env python3
"""Counts Modbus TCP requests and answers on the wire.

A proxy on loopback in front of a device: every client that connects to it is passed on to
the device, and the bytes going each way are split into frames by their MBAP length. It prints

    listening on PORT
    open ID: requests N answers M at T            (for each open connection, on SIGUSR1)
    closed ID: requests N answers M first T0 last T1 max_in_flight K

T, T0 and T1 are seconds on the monotonic clock (T0 and T1: the first and the last request);
K is the most requests sent before their answers came. With --requests FILE it also writes
every request to FILE as it passes, one a line: "ID HEX" (the connection and the frame's bytes).

    bench/wire-count.py DEVICE_PORT [LISTEN_PORT] [--requests FILE]
                                                   (LISTEN_PORT 0, the default, picks one)
"""
import argparse
import selectors
import signal
import socket
import sys
import time

MBAP_HEADER = 6


class Frames:
    """Counts the whole frames in one direction of a connection."""

    def __init__(self):
        self.waiting = b""
        self.count = 0

    def take(self, data):
        """The frames `data` completed."""
        self.waiting += data
        done = []
        while len(self.waiting) >= MBAP_HEADER:
            size = MBAP_HEADER + int.from_bytes(self.waiting[4:6], "big")
            if len(self.waiting) < size:
                break
            done.append(self.waiting[:size])
            self.waiting = self.waiting[size:]
        self.count += len(done)
        return done


class Connection:
    def __init__(self, number, client, device, requests_out):
        self.number = number
        self.requests_out = requests_out
        self.client = client
        self.device = device
        self.requests = Frames()
        self.answers = Frames()
        self.first = None
        self.last = None
        self.max_in_flight = 0

    def from_client(self, data):
        frames = self.requests.take(data)
        if self.requests_out:
            for frame in frames:
                print(self.number, frame.hex(), file=self.requests_out, flush=True)
        if frames:
            now = time.monotonic()
            self.first = self.first if self.first is not None else now
            self.last = now
            in_flight = self.requests.count - self.answers.count
            self.max_in_flight = max(self.max_in_flight, in_flight)
        self.device.sendall(data)

    def from_device(self, data):
        self.answers.take(data)
        self.client.sendall(data)

    def counts(self):
        return f"requests {self.requests.count} answers {self.answers.count}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("device_port", type=int)
    parser.add_argument("listen_port", type=int, nargs="?", default=0)
    parser.add_argument("--requests", type=argparse.FileType("w"))
    args = parser.parse_args()
    listener = socket.create_server(("127.0.0.1", args.listen_port))
    print(f"listening on {listener.getsockname()[1]}", flush=True)
    selector = selectors.DefaultSelector()
    selector.register(listener, selectors.EVENT_READ)
    connections = {}
    snapshot_due = False

    def ask_snapshot(*_):
        nonlocal snapshot_due
        snapshot_due = True

    signal.signal(signal.SIGUSR1, ask_snapshot)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    number = 0

    def close(connection):
        for end in (connection.client, connection.device):
            selector.unregister(end)
            end.close()
        del connections[connection.number]
        first = connection.first or 0.0
        last = connection.last or 0.0
        print(f"closed {connection.number}: {connection.counts()} first {first:.6f} "
              f"last {last:.6f} max_in_flight {connection.max_in_flight}", flush=True)

    while True:
        for key, _ in selector.select(timeout=0.1):
            if key.fileobj is listener:
                client, _ = listener.accept()
                device = socket.create_connection(("127.0.0.1", args.device_port))
                for end in (client, device):
                    end.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                number += 1
                connection = Connection(number, client, device, args.requests)
                connections[number] = connection
                selector.register(client, selectors.EVENT_READ, (connection, True))
                selector.register(device, selectors.EVENT_READ, (connection, False))
                continue
            connection, from_client = key.data
            if connection.number not in connections:
                continue  # closed by the other end earlier in this round
            try:
                data = key.fileobj.recv(65536)
                if data and from_client:
                    connection.from_client(data)
                elif data:
                    connection.from_device(data)
            except OSError:
                data = b""  # either end gone: the connection ends
            if not data:
                close(connection)
        if snapshot_due:
            snapshot_due = False
            now = time.monotonic()
            for connection in connections.values():
                print(f"open {connection.number}: {connection.counts()} at {now:.6f}", flush=True)


if __name__ == "__main__":
    main()
