#!/usr/bin/env python3
"""Traditional Chinese from the program's simplified Chinese, with OpenCC.

  make-traditional.py ts CONFIG OUT.ts IN.ts...     the source texts of IN.ts as OUT.ts's translations
  make-traditional.py html CONFIG LANG OUT_DIR PAGE...   the help pages, converted, as LANG

CONFIG is an OpenCC configuration (s2twp.json for Taiwan's words, s2hk.json for Hong Kong's).
"""
import html
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

# OpenCC converts line by line: a text's own line breaks travel as a private-use character.
LINE_BREAK = "\ue000"


def convert(config, texts):
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "in.txt")
        target = os.path.join(folder, "out.txt")
        with open(source, "w", encoding="utf-8") as file:
            file.write("\n".join(text.replace("\n", LINE_BREAK) for text in texts))
        subprocess.run(["opencc", "-c", config, "-i", source, "-o", target], check=True)
        with open(target, encoding="utf-8") as file:
            converted = file.read().split("\n")
    if len(converted) != len(texts):
        sys.exit(f"make-traditional: OpenCC gave {len(converted)} lines for {len(texts)}")
    return [text.replace(LINE_BREAK, "\n") for text in converted]


def make_ts(config, output, inputs):
    messages = []  # (context, source, numerus)
    for path in inputs:
        for context in ElementTree.parse(path).getroot().iter("context"):
            name = context.findtext("name")
            for message in context.iter("message"):
                messages.append((name, message.findtext("source"), message.get("numerus") == "yes"))
    translated = convert(config, [source for _, source, _ in messages])
    language = "zh_HK" if "hk" in os.path.basename(config) else "zh_TW"
    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<!DOCTYPE TS>",
             f'<TS version="2.1" language="{language}" sourcelanguage="zh_CN">']
    for (context, source, numerus), translation in zip(messages, translated):
        attribute = ' numerus="yes"' if numerus else ""
        text = f"<numerusform>{html.escape(translation)}</numerusform>" if numerus else html.escape(translation)
        lines += [f"<context><name>{html.escape(context)}</name><message{attribute}>",
                  f"<source>{html.escape(source)}</source><translation>{text}</translation>",
                  "</message></context>"]
    lines.append("</TS>")
    with open(output, "w", encoding="utf-8") as file:
        file.write("\n".join(lines) + "\n")


def make_pages(config, language, folder, pages):
    os.makedirs(folder, exist_ok=True)
    texts = []
    for page in pages:
        with open(page, encoding="utf-8") as file:
            texts.append(file.read())
    for page, text in zip(pages, convert(config, texts)):
        text = text.replace('lang="zh-CN"', f'lang="{language.replace("_", "-")}"')
        text = text.replace('href="style.css"', 'href="../style.css"')
        with open(os.path.join(folder, os.path.basename(page)), "w", encoding="utf-8") as file:
            file.write(text)


if __name__ == "__main__":
    if len(sys.argv) >= 5 and sys.argv[1] == "ts":
        make_ts(sys.argv[2], sys.argv[3], sys.argv[4:])
    elif len(sys.argv) >= 6 and sys.argv[1] == "html":
        make_pages(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
    else:
        sys.exit(__doc__)
