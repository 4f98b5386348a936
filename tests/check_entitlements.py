#!/usr/bin/python3
"""Checks that the macOS entitlements file parses as a property list and grants exactly what the
signed executable needs. Usage: check_entitlements.py FILE"""
import plistlib
import sys

EXPECTED = {
    "com.apple.security.inherit": True,
    "com.apple.security.cs.allow-jit": True,
    "com.apple.security.cs.allow-unsigned-executable-memory": True,
    "com.apple.security.cs.disable-library-validation": True,
}

with open(sys.argv[1], "rb") as f:
    entitlements = plistlib.load(f, fmt=plistlib.FMT_XML)
if entitlements != EXPECTED:
    sys.exit(f"unexpected entitlements: {entitlements}")
print("entitlements: ok")
