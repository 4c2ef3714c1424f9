#!/usr/bin/env python3
"""Reads and writes property lists with Python's plistlib, the independent
implementation the foundation tests compare against.

Values travel as tagged JSON so no kind is lost on the way:
  ["bool", true] ["int", "-5"] ["real", "0.1"] ["str", "text"] ["data", "00ff"]
  ["date", <milliseconds since 1970 UTC>] ["uid", 7] ["array", [...]] ["dict", {...}]

  plist_peer.py dump FILE              prints the tagged JSON of FILE
  plist_peer.py dump-each FILE...     prints one line per FILE: its tagged JSON,
                                      or null when plistlib refuses it
  plist_peer.py write binary|xml JSON OUT   writes the value in JSON to OUT
"""
import datetime
import json
import plistlib
import sys

EPOCH = datetime.datetime(1970, 1, 1)


def tag(value):
    if isinstance(value, bool):
        return ["bool", value]
    if isinstance(value, int):
        return ["int", str(value)]
    if isinstance(value, float):
        return ["real", repr(value)]
    if isinstance(value, str):
        return ["str", value]
    if isinstance(value, (bytes, bytearray)):
        return ["data", bytes(value).hex()]
    if isinstance(value, datetime.datetime):
        return ["date", round((value - EPOCH) / datetime.timedelta(milliseconds=1))]
    if isinstance(value, plistlib.UID):
        return ["uid", value.data]
    if isinstance(value, list):
        return ["array", [tag(v) for v in value]]
    if isinstance(value, dict):
        return ["dict", {k: tag(v) for k, v in value.items()}]
    raise TypeError(type(value).__name__)


def untag(tagged):
    kind, payload = tagged
    if kind == "bool":
        return bool(payload)
    if kind == "int":
        return int(payload)
    if kind == "real":
        return float(payload)
    if kind == "str":
        return payload
    if kind == "data":
        return bytes.fromhex(payload)
    if kind == "date":
        return EPOCH + datetime.timedelta(milliseconds=payload)
    if kind == "uid":
        return plistlib.UID(payload)
    if kind == "array":
        return [untag(v) for v in payload]
    if kind == "dict":
        return {k: untag(v) for k, v in payload.items()}
    raise ValueError(kind)


def main():
    if sys.argv[1] == "dump":
        with open(sys.argv[2], "rb") as f:
            print(json.dumps(tag(plistlib.load(f))))
    elif sys.argv[1] == "dump-each":
        for path in sys.argv[2:]:
            try:
                with open(path, "rb") as f:
                    print(json.dumps(tag(plistlib.load(f))))
            except Exception:
                print("null")
    elif sys.argv[1] == "write":
        fmt = plistlib.FMT_BINARY if sys.argv[2] == "binary" else plistlib.FMT_XML
        with open(sys.argv[3]) as f:
            value = untag(json.load(f))
        with open(sys.argv[4], "wb") as f:
            plistlib.dump(value, f, fmt=fmt, sort_keys=True)
    else:
        sys.exit("unknown command")


if __name__ == "__main__":
    main()
