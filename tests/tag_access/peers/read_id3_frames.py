"""Prints the first text of the named ID3v2 frames of a file, one
"ID=text" line each ("ID=<missing>" when absent), as another tag reader sees
them. ID3v2.2 frames are reported under their 2.3/2.4 IDs."""
import sys

from mutagen.id3 import ID3

tag = ID3(sys.argv[1])
for frame_id in sys.argv[2:]:
    frame = tag.get(frame_id)
    text = str(frame.text[0]) if frame is not None and frame.text else "<missing>"
    sys.stdout.write(frame_id + "=" + text + "\n")
