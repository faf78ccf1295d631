"""Prints every frame of a file's ID3v2 tag as another tag reader sees it, one
sorted line per frame: "ID text" for text frames, "APIC mime type data",
"GEOB mime description data", "UFID owner data", "TXXX description value" and
"COMM language description value", binary data in hex. ID3v2.2 frames are
reported under their ID3v2.4 IDs."""
import sys

from mutagen.id3 import ID3

lines = []
for f in ID3(sys.argv[1]).values():
    n = f.FrameID
    if n == "APIC":
        fields = [f.mime, str(int(f.type)), f.data.hex()]
    elif n == "GEOB":
        fields = [f.mime, f.desc, f.data.hex()]
    elif n == "UFID":
        fields = [f.owner, f.data.hex()]
    elif n == "TXXX":
        fields = [f.desc, f.text[0]]
    elif n == "COMM":
        fields = [f.lang, f.desc, f.text[0]]
    else:
        fields = [str(f.text[0])]
    lines.append(" ".join([n] + fields))
print("\n".join(sorted(lines)))
