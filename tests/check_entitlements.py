#!/usr/bin/python3
"""Checks what codesign needs of the macOS entitlements file, which this machine cannot sign
with: an XML property list whose top level is a dictionary mapping entitlement names in Apple's
com.apple.security namespace to booleans, with no key twice. Usage: check_entitlements.py FILE"""
import plistlib
import sys
import xml.etree.ElementTree as ET

path = sys.argv[1]
with open(path, "rb") as f:
    data = f.read()
try:
    entitlements = plistlib.loads(data, fmt=plistlib.FMT_XML)
except Exception as e:  # any parse failure is the finding
    sys.exit(f"{path}: not an XML property list: {e}")
if not isinstance(entitlements, dict) or not entitlements:
    sys.exit(f"{path}: the top level must be a non-empty dictionary")
for key, value in entitlements.items():
    if not key.startswith("com.apple.security."):
        sys.exit(f"{path}: {key} is not an entitlement")
    if not isinstance(value, bool):
        sys.exit(f"{path}: {key} must be a boolean, not {type(value).__name__}")
# plistlib keeps the last of a repeated key; codesign refuses the file.
keys = [k.text for k in ET.fromstring(data).iter("key")]
if len(keys) != len(set(keys)):
    sys.exit(f"{path}: a key appears twice")
print(f"entitlements: {len(entitlements)} well-formed")
