#!/usr/bin/env python3
"""Station equipment's side of the radio's state broadcast, for
RadioInfoTest.sh: a UDP listener on 127.0.0.1 that reads each datagram as the
RadioInfo XML and prints one line for it, flushed at once:

  packet N FREQ TXFREQ MODE SPLIT CONNECTED TRANSMITTING STATION-NAME-SET

or "bad N WHY" for a datagram that is not a whole RadioInfo packet.

  RadioInfoListener.py PORT-FILE   binds a free port, writes it to PORT-FILE
"""
import socket
import sys
import xml.etree.ElementTree as ElementTree

FIELDS = ["app", "StationName", "RadioNr", "Freq", "TXFreq", "Mode", "OpCall", "IsRunning", "FocusEntry",
          "EntryWindowHwnd", "Antenna", "Rotors", "FocusRadioNr", "IsStereo", "IsSplit", "ActiveRadioNr",
          "IsTransmitting", "FunctionKeyCaption", "RadioName", "AuxAntSelected", "AuxAntSelectedName",
          "IsConnected"]


def describe(data):
    if not data.startswith(b'<?xml version="1.0" encoding="utf-8"?>'):
        return "bad no XML declaration"
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        return "bad " + str(error)
    if root.tag != "RadioInfo":
        return "bad root " + root.tag
    names = [child.tag for child in root]
    if names != FIELDS:
        return "bad fields " + ",".join(names)
    value = {child.tag: (child.text or "") for child in root}
    if value["app"] != "Velkor" or value["RadioNr"] != "1" or value["ActiveRadioNr"] != "1":
        return "bad app or radio numbers"
    return " ".join([value["Freq"], value["TXFreq"], value["Mode"] or "-", value["IsSplit"], value["IsConnected"],
                     value["IsTransmitting"], "named" if value["StationName"] else "unnamed"])


def main():
    listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    listener.bind(("127.0.0.1", 0))
    with open(sys.argv[1], "w") as port_file:
        port_file.write(str(listener.getsockname()[1]))
    count = 0
    while True:
        data, _ = listener.recvfrom(65536)
        count += 1
        text = describe(data)
        print(("packet %d %s" % (count, text)) if not text.startswith("bad") else "bad %d %s" % (count, text[4:]),
              flush=True)


if __name__ == "__main__":
    main()
