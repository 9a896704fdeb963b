#!/usr/bin/env python3
"""The program's English translation files, one per part of the tree, against its code.

  translations.py check    every text the code translates has a finished English translation
                           without Chinese in it; the exit status says whether all do
  translations.py update   collects the code's texts into the files, keeping their translations
                           and dropping the texts the code no longer has

lupdate reads tr(), QCoreApplication::translate() and the std-only code's Tr(), TrUtf8() and
LINLANGOK_TR_NOOP().
"""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDER = os.path.join(ROOT, "resources", "translations", "en")
PARTS = {
    "core": ["core"],
    "ui": ["ui"],
    "platform": ["common", "midi", "timebase", "platform", "app", "tools"],
}
LUPDATE = os.environ.get("LUPDATE", "/usr/lib/qt6/bin/lupdate")
CHINESE = re.compile("[\u3000-\u303f\u3400-\u9fff\uff00-\uffef]")


def collect(part, target):
    folders = [os.path.join(ROOT, folder) for folder in PARTS[part]]
    subprocess.run([LUPDATE, "-silent", "-locations", "none", "-no-obsolete", "-target-language", "en",
                    "-extensions", "cpp,h", "-I", ROOT, "-tr-function-alias",
                    "translate+=Tr,translate+=TrUtf8,QT_TRANSLATE_NOOP+=LINLANGOK_TR_NOOP",
                    *folders, "-ts", target], check=True, stdout=subprocess.DEVNULL)


def messages(path):
    found = {}
    for context in ElementTree.parse(path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            translation = message.find("translation")
            finished = translation is not None and translation.get("type") not in ("unfinished", "vanished", "obsolete")
            texts = [form.text or "" for form in translation.iter("numerusform")] or [translation.text or ""]
            found[(name, message.findtext("source"))] = finished and all(texts), "".join(texts)
    return found


def check():
    faults = []
    with tempfile.TemporaryDirectory() as scratch:
        for part in PARTS:
            path = os.path.join(FOLDER, part + ".ts")
            kept = messages(path) if os.path.exists(path) else {}
            fresh = os.path.join(scratch, part + ".ts")
            collect(part, fresh)
            for key in messages(fresh):
                finished, text = kept.get(key, (False, ""))
                if not finished:
                    faults.append(f"{part}.ts: no English for {key[0]}: {key[1]!r}")
                elif CHINESE.search(text):
                    faults.append(f"{part}.ts: Chinese in the English for {key[0]}: {text!r}")
    for fault in faults:
        print(fault)
    print(f"translations: {len(faults)} texts without their English")
    return not faults


if __name__ == "__main__":
    if sys.argv[1:] == ["check"]:
        sys.exit(0 if check() else 1)
    if sys.argv[1:] == ["update"]:
        os.makedirs(FOLDER, exist_ok=True)
        for part in PARTS:
            collect(part, os.path.join(FOLDER, part + ".ts"))
        sys.exit(0)
    sys.exit(__doc__)
