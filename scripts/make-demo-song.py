#!/usr/bin/env python3
"""Writes the demo accompaniment resources/demo/jasmine.mid: 茉莉花 (Jasmine Flower), a Chinese
folk song in the public domain, arranged for this project as a Standard MIDI File (format 1,
division 480): a conductor track with the title texts, a melody track with one GBK lyric event per
note, harp, bass and a light percussion track. Standard library only; the output is deterministic.

Usage: scripts/make-demo-song.py [OUTPUT]
"""

import pathlib
import struct
import sys

DIVISION = 480
EIGHTH = DIVISION // 2
QUARTER = DIVISION
HALF = 2 * DIVISION
BAR = 2 * QUARTER  # 2/4 time
TEMPO = 909091  # microseconds per quarter note: 66 beats a minute

# Numbered notation in F major (1 = F4): degree and octave shift to a MIDI key.
SCALE = {1: 0, 2: 2, 3: 4, 4: 5, 5: 7, 6: 9, 7: 11}
TONIC = 65


def key(degree, octave=0):
    return TONIC + SCALE[degree] + 12 * octave


# The melody, one syllable per note: (syllable, degree, octave, duration).
E, Q, H = EIGHTH, QUARTER, HALF
PHRASES = [
    [("好", 3, 0, Q), ("一", 3, 0, E), ("朵", 5, 0, E), ("美", 6, 0, E), ("丽", 1, 1, E), ("的", 6, 0, Q),
     ("茉", 5, 0, Q), ("莉", 6, 0, Q), ("花", 5, 0, H)],
    [("好", 3, 0, Q), ("一", 3, 0, E), ("朵", 5, 0, E), ("美", 6, 0, E), ("丽", 1, 1, E), ("的", 6, 0, Q),
     ("茉", 5, 0, Q), ("莉", 6, 0, Q), ("花", 5, 0, H)],
    [("芬", 5, 0, Q), ("芳", 5, 0, E), ("美", 5, 0, E), ("丽", 3, 0, E), ("满", 5, 0, E), ("枝", 6, 0, Q),
     ("桠", 5, 0, H)],
    [("又", 3, 0, E), ("香", 2, 0, E), ("又", 3, 0, E), ("白", 5, 0, E), ("人", 3, 0, E), ("人", 2, 0, E),
     ("夸", 1, 0, Q + H)],
    [("让", 3, 0, E), ("我", 2, 0, E), ("来", 1, 0, E), ("将", 3, 0, E), ("你", 2, 0, E), ("摘", 1, 0, E),
     ("下", 6, -1, Q + H)],
    [("送", 5, -1, Q), ("给", 6, -1, E), ("别", 1, 0, E), ("人", 2, 0, Q), ("家", 1, 0, Q + H)],
    [("茉", 2, 0, E), ("莉", 3, 0, E), ("花", 1, 0, Q), ("呀", 2, 0, E), ("茉", 1, 0, E), ("莉", 6, -1, Q),
     ("花", 5, -1, H + H)],
]

INTRO_BARS = 2
CHORDS = {  # root degree and chord tones of F major's I, IV, V and vi, as keys from F3 up
    "I": (1, [53, 57, 60]),
    "IV": (4, [58, 62, 65]),
    "V": (5, [60, 64, 67]),
    "vi": (6, [50, 53, 57]),
}


def variable_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def gbk(text):
    return text.encode("gbk")


class Track:
    """Events at absolute ticks; equal ticks keep the order in which they were added."""

    def __init__(self):
        self.events = []

    def meta(self, tick, kind, data):
        self.events.append((tick, len(self.events), bytes([0xFF, kind]) + variable_length(len(data)) + data))

    def channel(self, tick, *message):
        self.events.append((tick, len(self.events), bytes(message)))

    def note(self, tick, channel, note_key, velocity, length):
        self.channel(tick, 0x90 | channel, note_key, velocity)
        # Note-off as note-on with velocity 0, a hair before the next note.
        self.channel(tick + length - 10, 0x90 | channel, note_key, 0)

    def chunk(self):
        body = bytearray()
        previous_tick = 0
        running_status = 0
        for tick, _, data in sorted(self.events):
            body += variable_length(tick - previous_tick)
            previous_tick = tick
            if data[0] < 0xF0:
                if data[0] != running_status:
                    body += data[:1]
                running_status = data[0]
                body += data[1:]
            else:
                body += data
                running_status = 0
        body += b"\x00\xff\x2f\x00"
        return b"MTrk" + struct.pack(">I", len(body)) + body


def chord_for(degree):
    for name in ("I", "IV", "V", "vi"):
        root, tones = CHORDS[name]
        if SCALE[degree] in [(tone - TONIC) % 12 for tone in tones]:
            return name
    return "I"


def build():
    conductor = Track()
    conductor.meta(0, 0x03, gbk("茉莉花"))
    conductor.meta(0, 0x03, gbk("江苏民歌"))
    conductor.meta(0, 0x01, gbk("民间曲调"))
    conductor.meta(0, 0x01, gbk("民间歌词"))
    conductor.meta(0, 0x02, gbk("公有领域"))
    conductor.meta(0, 0x01, gbk("琳朗卡拉OK 演示歌曲"))
    conductor.meta(0, 0x58, bytes([2, 1, 24, 8]))
    conductor.meta(0, 0x59, bytes([0xFF, 0]))
    conductor.meta(0, 0x51, TEMPO.to_bytes(3, "big"))

    melody, harp, bass, drums = Track(), Track(), Track(), Track()
    for track, channel, program, name in ((melody, 0, 73, "旋律"), (harp, 1, 46, "竖琴"), (bass, 2, 32, "贝斯")):
        track.meta(0, 0x03, gbk(name))
        track.channel(0, 0xC0 | channel, program)
        track.channel(0, 0xB0 | channel, 7, 100)
    drums.meta(0, 0x03, gbk("打击乐"))
    drums.channel(0, 0xB9, 7, 70)

    # Melody with its lyric syllables; remember which degree starts each bar for the chords.
    tick = INTRO_BARS * BAR
    bar_degrees = {}
    for phrase in PHRASES:
        for syllable, degree, octave, length in phrase:
            bar_degrees.setdefault(tick // BAR, degree)
            melody.meta(tick, 0x05, gbk(syllable))
            melody.note(tick, 0, key(degree, octave), 96, length)
            tick += length
    end = (tick + BAR - 1) // BAR * BAR

    for bar in range(end // BAR):
        start = bar * BAR
        name = chord_for(bar_degrees.get(bar, 1))
        root, tones = CHORDS[name]
        last = bar == end // BAR - 1
        for step, tone in enumerate(tones + [tones[1]]):
            harp.note(start + step * EIGHTH, 1, tone + 12, 64 if step else 76, EIGHTH if not last else BAR - step * EIGHTH)
        bass_key = TONIC - 24 + SCALE[root]
        bass.note(start, 2, bass_key, 90, QUARTER if not last else BAR)
        if not last:
            bass.note(start + QUARTER, 2, bass_key + 7, 70, QUARTER)
        drums.note(start, 9, 76, 80, EIGHTH)
        if not last:
            for step in range(1, 4):
                drums.note(start + step * EIGHTH, 9, 77, 45, EIGHTH)

    tracks = [conductor, melody, harp, bass, drums]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), DIVISION)
    return header + b"".join(track.chunk() for track in tracks)


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    output = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "resources" / "demo" / "jasmine.mid"
    output.parent.mkdir(parents=True, exist_ok=True)
    output.write_bytes(build())
    print(f"wrote {output}")


if __name__ == "__main__":
    main()
