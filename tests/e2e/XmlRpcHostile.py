#!/usr/bin/env python3
"""Hostile clients against an XML-RPC port on 127.0.0.1.

    XmlRpcHostile.py limits PORT
        One connection each: a head over 8 KiB, a body over 64 KiB, a
        chunked body, no length, a GET, a preflight, a page's POST (Origin),
        a text/plain body, a TLS greeting, an SSH greeting, rigctl commands,
        junk bytes; each carries a call that would tune after it. Prints
        "NAME STATUS" with the HTTP status the port answered, or "NAME
        closed" when it closed without a byte.
    XmlRpcHostile.py slow PORT
        A client sends a request's head a few bytes a second and stays;
        meanwhile another is served. Prints "served VALUE" with what the
        other read, then "slow STATUS-or-closed" for the slow one's end.
    XmlRpcHostile.py pipeline PORT COUNT
        COUNT calls in one write (reads and tunes of distinct frequencies),
        then reads the replies; prints "answered N in order" (or where the
        order broke).
    XmlRpcHostile.py crowd PORT COUNT
        COUNT clients, each with half a request sent and silent since; then
        one more calls rig.get_vfoA. Prints "served F" with what it read.
    XmlRpcHostile.py fuzz PORT SECONDS [SEED] [WORKERS]
        For a bounded time: random bytes, mutated requests, oversize heads
        and bodies, pipelined floods never read, clients that close at once,
        mid-reply or with a reset. Prints one line of what was done.

Exits 0 unless its arguments are wrong.
"""
import random
import socket
import struct
import sys
import threading
import time

TIMEOUT = 3.0


def body(method, value=""):
    params = "<params><param><value>%s</value></param></params>" % value if value else ""
    return ('<?xml version="1.0"?>\r\n<methodCall><methodName>%s</methodName>\r\n%s</methodCall>\r\n'
            % (method, params)).encode()


def request(method, value="", headers=b"Content-Type: text/xml\r\n", verb=b"POST"):
    data = body(method, value)
    return (verb + b" /RPC2 HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
            b"Content-Length: %d\r\n\r\n" % len(data) + data)


def connect(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.settimeout(TIMEOUT)
    s.connect(("127.0.0.1", port))
    return s


def reset(s):
    s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    s.close()


def read_until_closed(s, limit=1 << 20):
    data = b""
    try:
        while len(data) < limit:
            got = s.recv(65536)
            if not got:
                break
            data += got
    except OSError:
        pass
    return data


def status_of(data):
    if not data:
        return "closed"
    line = data.split(b"\r\n", 1)[0].decode(errors="replace")
    parts = line.split(" ")
    return parts[1] if len(parts) > 1 and parts[0] == "HTTP/1.1" else "junk:" + line[:20]


def read_response(s):
    """One whole response: its head and the body its length says."""
    data = b""
    while b"\r\n\r\n" not in data:
        got = s.recv(65536)
        if not got:
            raise OSError("closed")
        data += got
    head, rest = data.split(b"\r\n\r\n", 1)
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(rest) < length:
        got = s.recv(65536)
        if not got:
            raise OSError("closed")
        rest += got
    return head, rest[:length], rest[length:]


def value_of(body):
    text = body.decode(errors="replace")
    if "<fault>" in text:
        return "fault"
    start = text.find("<value>") + 7
    return text[start:text.find("</value>", start)].replace("<i4>", "").replace("</i4>", "")


def call(port, method, value=""):
    s = connect(port)
    try:
        s.sendall(request(method, value))
        _, data, _ = read_response(s)
        return value_of(data)
    finally:
        s.close()


def limits(port):
    # Each in one write that the port reads at once, so that it closes with
    # nothing unread and its answer is not lost to a reset.
    tune = request("rig.set_vfoA", "<double>7000000</double>")
    xml = b"Content-Type: text/xml\r\n"
    cases = [
        ("head-over-limit", b"POST / HTTP/1.1\r\n" + xml + b"X: " + b"x" * 9000 + b"\r\n\r\n"),
        ("body-over-limit", b"POST / HTTP/1.1\r\n" + xml + b"Content-Length: 70000\r\n\r\n"),
        ("chunked", b"POST / HTTP/1.1\r\n" + xml + b"Transfer-Encoding: chunked\r\n\r\n20\r\n"),
        ("no-length", b"POST / HTTP/1.1\r\n" + xml + b"\r\n" + body("rig.get_vfoA")),
        ("get", b"GET /?rig.set_vfoA=7000000 HTTP/1.1\r\nHost: x\r\n\r\n"),
        ("preflight", b"OPTIONS / HTTP/1.1\r\nOrigin: http://example.com\r\n"
                      b"Access-Control-Request-Method: POST\r\n\r\n"),
        ("origin", request("rig.set_vfoA", "<double>7000000</double>", xml + b"Origin: http://example.com\r\n")),
        ("text-plain", request("rig.set_vfoA", "<double>7000000</double>", b"Content-Type: text/plain\r\n")),
        ("tls", b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03" + bytes(range(32))),
        ("ssh", b"SSH-2.0-OpenSSH_9.2\r\n"),
        ("rigctl", b"\\chk_vfo\nF 7000000\n"),
        ("junk", bytes(random.Random(3).randrange(256) for _ in range(4096))),
    ]
    for name, data in cases:
        s = connect(port)
        try:
            s.sendall(data + tune)
        except OSError:
            pass
        print(name, status_of(read_until_closed(s)))
        s.close()


def slow(port):
    s = connect(port)
    head = b"POST /RPC2 HTTP/1.1\r\nContent-Type: text/xml\r\nX-Slow: "
    s.sendall(head)
    for _ in range(4):
        time.sleep(0.5)
        try:
            s.sendall(b"ab")
        except OSError:
            break
    print("served", call(port, "rig.get_vfoA"))
    # It goes on until the head's limit; then the port answers and closes.
    try:
        s.sendall(b"x" * 9000)
    except OSError:
        pass
    print("slow", status_of(read_until_closed(s)))
    s.close()


def pipeline(port, count):
    s = connect(port)
    s.settimeout(30)
    data = b""
    for i in range(count):
        data += request("rig.set_vfoA", "<double>%d</double>" % (7000000 + i)) if i % 2 else request("rig.get_AB")
    s.sendall(data)
    rest = b""
    for i in range(count):
        try:
            while True:
                # A response may already wait in what was read.
                if b"\r\n\r\n" in rest:
                    head, tail = rest.split(b"\r\n\r\n", 1)
                    length = int(head.lower().split(b"content-length:")[1].split(b"\r\n")[0])
                    if len(tail) >= length:
                        answer, rest = value_of(tail[:length]), tail[length:]
                        break
                got = s.recv(65536)
                if not got:
                    raise OSError("closed")
                rest += got
        except OSError as error:
            print("broke at %d: %s" % (i, error))
            return
        expected = "0" if i % 2 else None
        if (expected and answer != expected) or (not expected and answer not in ("A", "B")):
            print("out of order at %d: %s" % (i, answer))
            return
    print("answered %d in order" % count)
    s.close()


def crowd(port, count):
    held = []
    for _ in range(count):
        s = connect(port)
        s.sendall(b"POST /RPC2 HTTP/1.1\r\nContent-Type: text/xml\r\n")
        held.append(s)
        time.sleep(0.05)
    try:
        print("served", call(port, "rig.get_vfoA"))
    except OSError as error:
        print("not served:", error)
    for s in held:
        s.close()


def mutated(rng):
    data = bytearray(request(rng.choice(["rig.get_vfoA", "rig.set_vfoB", "rig.set_mode", "rig.get_modes"]),
                             rng.choice(["", "<double>7074000</double>", "USB-D", "<i4>1</i4>"])))
    for _ in range(rng.randrange(1, 6)):
        at = rng.randrange(len(data))
        choice = rng.randrange(3)
        if choice == 0:
            data[at] = rng.randrange(256)
        elif choice == 1:
            del data[at:at + rng.randrange(8)]
        else:
            data[at:at] = bytes(rng.randrange(256) for _ in range(rng.randrange(8)))
    return bytes(data)


def one_hostile(port, rng, tally):
    s = connect(port)
    kind = rng.randrange(7)
    try:
        if kind == 0:
            s.sendall(bytes(rng.randrange(256) for _ in range(rng.randrange(1, 3000))))
        elif kind == 1:
            s.sendall(request("rig.get_vfoA") + mutated(rng))
        elif kind == 2:
            s.sendall(b"POST / HTTP/1.1\r\nX: " + b"y" * rng.randrange(8000, 20000))
        elif kind == 3:
            s.sendall(b"POST / HTTP/1.1\r\nContent-Type: text/xml\r\nContent-Length: 65000\r\n\r\n" +
                      b"<a>" * rng.randrange(100, 20000))
        elif kind == 4:
            s.sendall(request("system.listMethods") * rng.randrange(50, 400))  # never read
        elif kind == 5:
            s.sendall(request("rig.get_modes") * 5)
            s.recv(rng.randrange(1, 200))
            reset(s)
            tally["reset"] += 1
            return
        else:
            s.sendall(request("rig.get_vfoA")[: rng.randrange(1, 60)])
            time.sleep(rng.random())
        tally[kind] += 1
    except OSError:
        tally["dropped"] += 1
    finally:
        try:
            s.close()
        except OSError:
            pass


def fuzz(port, seconds, seed, workers):
    deadline = time.time() + seconds
    tally = {k: 0 for k in list(range(7)) + ["reset", "dropped"]}
    lock = threading.Lock()

    def work(n):
        rng = random.Random(seed * 1000 + n)
        while time.time() < deadline:
            local = {k: 0 for k in tally}
            try:
                one_hostile(port, rng, local)
            except OSError:
                local["dropped"] += 1
            with lock:
                for k, v in local.items():
                    tally[k] += v

    threads = [threading.Thread(target=work, args=(n,)) for n in range(workers)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    print("hostile clients:", " ".join("%s=%d" % (k, v) for k, v in tally.items()))


def main():
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "limits":
        limits(int(args[1]))
    elif len(args) == 2 and args[0] == "slow":
        slow(int(args[1]))
    elif len(args) == 3 and args[0] == "pipeline":
        pipeline(int(args[1]), int(args[2]))
    elif len(args) == 3 and args[0] == "crowd":
        crowd(int(args[1]), int(args[2]))
    elif 3 <= len(args) <= 5 and args[0] == "fuzz":
        fuzz(int(args[1]), float(args[2]), int(args[3]) if len(args) > 3 else 1,
             int(args[4]) if len(args) > 4 else 4)
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
