"""Prints the date frames of a file's ID3v2 tag as another tag reader sees
them: first the frames as stored ("TDRC=...", "TYER=...", "TDAT=...", or
"<missing>"), then the recording time after the reader has merged older date
frames into it ("merged=...")."""
import sys

from mutagen.id3 import ID3


def first_text(tag, frame_id):
    frame = tag.get(frame_id)
    return str(frame.text[0]) if frame is not None and frame.text else "<missing>"


raw = ID3(sys.argv[1], translate=False)
for frame_id in ("TDRC", "TYER", "TDAT"):
    sys.stdout.write(frame_id + "=" + first_text(raw, frame_id) + "\n")
sys.stdout.write("merged=" + first_text(ID3(sys.argv[1]), "TDRC") + "\n")
