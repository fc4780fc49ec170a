#!/usr/bin/env python3
"""Hostile clients against a rigctl port on 127.0.0.1.

    RigctlHostile.py fuzz PORT SECONDS [SEED] [WORKERS]
        For a bounded time: random bytes, mutated commands, 80 KB lines,
        thousands of dump_caps never read, clients that close at once,
        mid-reply or with a reset, and a few that connect and stay silent to
        the end. Prints one line of what was done. Refused, reset and
        timed-out connections are counted, not errors: the port may drop a
        client as it sees fit.
    RigctlHostile.py strangers PORT
        What other protocols send first, each on a connection of its own with
        rigctl commands after it in the same write: an HTTP POST and GET
        (Python's http.client, as a browser's request reaches the port), an
        HTTP request line, a header line, TLS and SSH greetings, with and
        without a line end. Prints "closed NAME" for each the port closed
        without a byte of reply, "answered NAME" or "open NAME" otherwise.
    RigctlHostile.py flood PORT COUNT
        COUNT "+F" commands of distinct frequencies in one write, then reads
        the replies; prints "begun" after the first 50, then "answered N in
        order" (or where the order broke).
    RigctlHostile.py crowd PORT COUNT
        COUNT clients, one after the other, each answered once and silent
        since; then hamlib's rigctl reads f. Prints "served F" with what it
        read, and "closed N..." with the crowd's clients the port closed
        within 10 s (0 is the first).

Exits 0 unless its arguments are wrong.
"""
import http.client
import random
import socket
import struct
import subprocess
import sys
import threading
import time

COMMANDS = [
    b"f", b"F 7074000", b"F 14074000.000000", b"m", b"M PKTUSB 0", b"M USB -1", b"v", b"V VFOA", b"V VFOB",
    b"s", b"S 1 VFOB", b"S 0 VFOA", b"i", b"I 7075000", b"x", b"X USB 0", b"\\get_vfo_info VFOA",
    b"\\dump_state", b"\\dump_caps", b"1", b"\\chk_vfo", b"\\get_powerstat", b"\\get_lock_mode", b"+f", b";m",
    b"|s", b",v", b"T 1", b"\\nosuch", b"q",
]
TIMEOUT = 2.0


def connect(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.settimeout(TIMEOUT)
    s.connect(("127.0.0.1", port))
    return s


def reset(s):
    """Closes with a reset instead of an orderly close."""
    s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    s.close()


def read_some(s, limit):
    got = 0
    try:
        while got < limit:
            data = s.recv(min(65536, limit - got))
            if not data:
                break
            got += len(data)
    except OSError:
        pass
    return got


def mutated(rng):
    lines = []
    for _ in range(rng.randint(1, 40)):
        line = bytearray(rng.choice(COMMANDS))
        for _ in range(rng.randint(0, 2)):
            if line:
                line[rng.randrange(len(line))] = rng.randrange(256)
        lines.append(bytes(line))
    return b"\n".join(lines) + rng.choice([b"\n", b"\r", b"\r\n", b""])


def opening(rng):
    """Half the time a client's first line, so that what follows is run."""
    return b"\\chk_vfo\n" if rng.random() < 0.5 else b""


def junk(s, rng):
    s.sendall(opening(rng) + bytes(rng.randrange(256) for _ in range(rng.randint(1, 4096))))
    if rng.random() < 0.5:
        read_some(s, rng.randint(0, 4096))
    s.close()


def mutation(s, rng):
    s.sendall(mutated(rng))
    read_some(s, rng.randint(0, 8192))
    s.close()


def long_line(s, rng):
    s.sendall(opening(rng) + b"f " + bytes([rng.randrange(32, 127)]) * 80 * 1024 + rng.choice([b"\n", b""]))
    s.close()


def flood(s, rng):
    # dump_caps by the thousand, never read.
    s.sendall(b"1\n" * rng.randint(1000, 20000))
    if rng.random() < 0.3:
        time.sleep(rng.random())
    s.close()


def at_once(s, rng):
    if rng.random() < 0.5:
        s.sendall(b"f\n")
    reset(s) if rng.random() < 0.5 else s.close()


def mid_reply(s, rng):
    s.sendall(b"\\dump_state\n\\dump_caps\nf\n" * rng.randint(1, 50))
    read_some(s, rng.randint(1, 600))
    reset(s) if rng.random() < 0.5 else s.close()


KINDS = [junk, mutation, long_line, flood, at_once, mid_reply]


class Tally:
    def __init__(self):
        self.lock = threading.Lock()
        self.counts = {}

    def add(self, name):
        with self.lock:
            self.counts[name] = self.counts.get(name, 0) + 1


def worker(port, deadline, seed, tally):
    rng = random.Random(seed)
    while time.monotonic() < deadline:
        kind = rng.choice(KINDS)
        try:
            s = connect(port)
        except OSError:
            tally.add("not connected")
            time.sleep(0.05)
            continue
        try:
            kind(s, rng)
            tally.add(kind.__name__)
        except OSError:
            tally.add(kind.__name__ + " cut")
            s.close()


def crowd(port, count):
    clients = []
    for _ in range(count):
        s = connect(port)
        s.sendall(b"\\chk_vfo\n")
        s.recv(16)
        clients.append(s)
        time.sleep(0.05)
    run = subprocess.run(["rigctl", "-m", "2", "-r", "127.0.0.1:%d" % port, "f"], capture_output=True,
                         timeout=30, text=True)
    print("served", run.stdout.strip())
    closed = set()
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline and not closed:
        for i, s in enumerate(clients):
            s.settimeout(0.05)
            try:
                if s.recv(16) == b"":
                    closed.add(i)
            except socket.timeout:
                pass
            except OSError:
                closed.add(i)
    print("closed", " ".join(str(i) for i in sorted(closed)))
    for s in clients:
        s.close()
    return 0


COMMANDS_AFTER = b"F 7000000\nM CW 0\nS 1 VFOB\nI 7001000\nV VFOB\n"


def closed_without_reply(s):
    """True when the port closes the connection without sending anything."""
    s.settimeout(10)
    try:
        return s.recv(1) == b""
    except socket.timeout:
        return False
    except OSError:
        return True  # reset: closed with our bytes unread


def http_request(port, method, path, body, headers):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    try:
        connection.request(method, path, body=body, headers=headers)
        response = connection.getresponse()
        return "answered %d" % response.status
    except socket.timeout:
        return "open"
    except (http.client.HTTPException, OSError):
        return "closed"  # no status line: closed or reset
    finally:
        connection.close()


def strangers(port):
    browser = {"Content-Type": "text/plain", "Origin": "http://example.com"}
    print(http_request(port, "POST", "/", COMMANDS_AFTER, browser), "http.client POST")
    print(http_request(port, "GET", "/?F=7000000", None, browser), "http.client GET")
    raw = [
        ("request line", b"POST / HTTP/1.1\r\n" + COMMANDS_AFTER),
        ("header line", b"Host: 127.0.0.1\r\n" + COMMANDS_AFTER),
        ("TLS", b"\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03\n" + COMMANDS_AFTER),
        ("SSH", b"SSH-2.0-OpenSSH_9.2p1\r\n" + COMMANDS_AFTER),
        ("TLS without a line end", b"\x16\x03\x01\x00\xa5"),
        ("SSH without a line end", b"SSH-2.0-OpenSSH_9.2p1"),
    ]
    for name, data in raw:
        s = connect(port)
        try:
            s.sendall(data)
            print("closed" if closed_without_reply(s) else "open", name)
        except OSError:
            print("closed", name)
        finally:
            s.close()
    return 0


def flood(port, count):
    s = connect(port)
    s.settimeout(60)
    freqs = [7000000 + 10 * i for i in range(count)]
    s.sendall(b"".join(b"+F %d\n" % f for f in freqs))
    replies = s.makefile("rb")
    answered = 0
    try:
        for f in freqs:
            head, code = replies.readline(), replies.readline()
            if head != b"set_freq: %d\n" % f or code != b"RPRT 0\n":
                print("answered %d, then %r %r" % (answered, head, code))
                return 0
            answered += 1
            if answered == 50:
                print("begun", flush=True)
    except OSError as error:
        print("answered %d, then %s" % (answered, error))
        return 0
    print("answered %d in order" % answered)
    s.sendall(b"q\n")
    s.close()
    return 0


def fuzz(port, seconds, seed, workers):
    deadline = time.monotonic() + seconds
    tally = Tally()
    silent = []
    for _ in range(3):
        try:
            silent.append(connect(port))
        except OSError:
            tally.add("silent not connected")
    threads = [threading.Thread(target=worker, args=(port, deadline, seed * 1000 + i, tally))
               for i in range(workers)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for s in silent:
        s.close()
    counts = tally.counts
    print("hostile clients: %d in %.0f s (%s)" % (sum(counts.values()), seconds,
                                                  ", ".join("%s %d" % kv for kv in sorted(counts.items()))))
    return 0


def main():
    args = sys.argv[1:]
    if len(args) >= 3 and args[0] == "fuzz":
        return fuzz(int(args[1]), float(args[2]), int(args[3]) if len(args) > 3 else 1,
                    int(args[4]) if len(args) > 4 else 6)
    if len(args) == 2 and args[0] == "strangers":
        return strangers(int(args[1]))
    if len(args) == 3 and args[0] == "flood":
        return flood(int(args[1]), int(args[2]))
    if len(args) == 3 and args[0] == "crowd":
        return crowd(int(args[1]), int(args[2]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
