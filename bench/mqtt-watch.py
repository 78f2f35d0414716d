#!/usr/bin/env python3
"""Prints every MQTT message under a topic filter, one a line: "QOS RETAIN TOPIC PAYLOAD".

The same as `mosquitto_sub -q 1 -F '%q %r %t %p'`, for machines without mosquitto-clients:
a plain MQTT 3.1.1 client on the standard library, subscribed with QoS 1, that acknowledges
what it is sent and ends on SIGTERM.

    bench/mqtt-watch.py PORT [TOPIC_FILTER]      (broker on 127.0.0.1; filter '#' by default)
"""
import signal
import socket
import sys
import time

KEEP_ALIVE = 60


def encoded(text):
    data = text.encode()
    return len(data).to_bytes(2, "big") + data


def packet(kind, body):
    """A control packet: its fixed header (type and flags, remaining length) and body."""
    length = bytearray()
    size = len(body)
    while True:
        size, digit = divmod(size, 128)
        length.append(digit | (0x80 if size else 0))
        if not size:
            return bytes([kind]) + bytes(length) + body


class Reader:
    def __init__(self, connection):
        self.connection = connection
        self.waiting = b""

    def take(self, count):
        while len(self.waiting) < count:
            data = self.connection.recv(65536)
            if not data:
                raise EOFError
            self.waiting += data
        out, self.waiting = self.waiting[:count], self.waiting[count:]
        return out

    def next_packet(self):
        kind = self.take(1)[0]
        size, shift = 0, 0
        while True:
            digit = self.take(1)[0]
            size |= (digit & 0x7F) << shift
            shift += 7
            if not digit & 0x80:
                return kind, self.take(size)


def watch(port, topic_filter):
    connection = socket.create_connection(("127.0.0.1", port))
    client_id = f"behaviour-watch-{port}"
    connect = encoded("MQTT") + bytes([4, 0x02]) + KEEP_ALIVE.to_bytes(2, "big")
    connection.sendall(packet(0x10, connect + encoded(client_id)))
    reader = Reader(connection)
    kind, body = reader.next_packet()
    if kind != 0x20 or body[1] != 0:
        sys.exit(f"the broker refused the connection: {body.hex()}")
    connection.sendall(packet(0x82, (1).to_bytes(2, "big") + encoded(topic_filter) + b"\x01"))
    connection.settimeout(KEEP_ALIVE / 3)
    last_sent = time.monotonic()
    while True:
        if time.monotonic() - last_sent > KEEP_ALIVE / 3:
            connection.sendall(packet(0xC0, b""))
            last_sent = time.monotonic()
        try:
            kind, body = reader.next_packet()
        except socket.timeout:
            continue
        if kind >> 4 != 3:
            continue  # SUBACK, PINGRESP
        qos, retain = (kind >> 1) & 3, kind & 1
        topic_size = int.from_bytes(body[:2], "big")
        topic = body[2 : 2 + topic_size].decode()
        rest = body[2 + topic_size :]
        if qos:
            connection.sendall(packet(0x40, rest[:2]))
            rest = rest[2:]
        print(qos, retain, topic, rest.decode(errors="replace"), flush=True)


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        watch(int(sys.argv[1]), sys.argv[2] if len(sys.argv) > 2 else "#")
    except EOFError:
        sys.exit("the broker closed the connection")


if __name__ == "__main__":
    main()
