#!/usr/bin/env python3
"""Makes the manual pages (compressed, as installed) and the tool's bash completion from their one
source each: the tool's own --help (every command's usage and what it does) and the README's
table of environment variables.

  make-manuals.py TOOL README TEMPLATE_FOLDER VERSION OUTPUT_FOLDER
"""
import gzip
import re
import subprocess
import sys
from pathlib import Path


def roff(text):
    """Plain text as roff: backslashes and hyphens escaped, no line starting with a control."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def markdown_roff(text):
    """A README table cell as roff: `code` in bold, the rest as it is."""
    parts = re.split(r"`([^`]*)`", text)
    return "".join(f"\\fB{roff(part)}\\fR" if i % 2 else roff(part) for i, part in enumerate(parts))


def tool_commands(tool):
    """(name, usage, summary) for each command, in the tool's order."""
    help_text = subprocess.run([tool, "--help"], check=True, capture_output=True, text=True).stdout
    commands = []
    for line in help_text.splitlines():
        if line.startswith("      "):
            name, usage = commands[-1][:2]
            commands[-1] = (name, usage, line.strip())
        elif line.startswith("  "):
            usage = line.strip()
            commands.append((usage.split()[0], usage, ""))
    if not commands:
        sys.exit(f"{tool} --help listed no commands")
    return commands


def environment(readme):
    """The README's environment table as roff paragraphs."""
    rows = []
    in_table = False
    for line in Path(readme).read_text(encoding="utf-8").splitlines():
        if line.startswith("| Variable | Meaning | Default |"):
            in_table = True
        elif in_table and line.startswith("| `"):
            cells = [cell.strip() for cell in line.strip("|").split(" | ")]
            rows.append(f".TP\n{markdown_roff(cells[0])}\n{markdown_roff(cells[1])}.\n.br\nDefault: {markdown_roff(cells[2])}.")
        elif in_table and not line.startswith("|"):
            break
    if not rows:
        sys.exit(f"{readme} has no environment table")
    return "\n".join(rows)


def completion(commands):
    """A bash completion: the commands, then each command's own options, else file names."""
    cases = []
    for name, usage, _ in commands:
        options = sorted(set(re.findall(r"--[a-z-]+", usage)))
        words = sorted(set(re.findall(r"(?:^|[|] )" + re.escape(name) + r" ([a-z]+)\b", usage)))
        if options or words:
            cases.append(f'        {name}) candidates="{" ".join(words + options)}" ;;')
    names = " ".join(name for name, _, _ in commands)
    return f"""# bash completion for linlangok-tool, made from its --help.
_linlangok_tool()
{{
    local current=${{COMP_WORDS[COMP_CWORD]}}
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "{names} --help" -- "$current"))
        return
    fi
    local candidates=""
    case ${{COMP_WORDS[1]}} in
{chr(10).join(cases)}
    esac
    if [[ $current == -* || ($COMP_CWORD == 2 && -n $candidates && $candidates != --*) ]]; then
        COMPREPLY=($(compgen -W "$candidates" -- "$current"))
    else
        COMPREPLY=($(compgen -f -- "$current"))
    fi
}}
complete -o filenames -F _linlangok_tool linlangok-tool
"""


def main():
    tool, readme, templates, version, output = sys.argv[1:6]
    output = Path(output)
    output.mkdir(parents=True, exist_ok=True)
    commands = tool_commands(tool)
    command_roff = "\n".join(f".TP\n.B {roff(usage)}\n{roff(summary)}" for _, usage, summary in commands)
    env = environment(readme)
    for page in ("linlangok.1", "linlangok-tool.1"):
        text = (Path(templates) / f"{page}.in").read_text(encoding="utf-8")
        text = text.replace("@VERSION@", version).replace("@COMMANDS@", command_roff).replace("@ENVIRONMENT@", env)
        (output / f"{page}.gz").write_bytes(gzip.compress(text.encode("utf-8"), 9, mtime=0))
    (output / "linlangok-tool").write_text(completion(commands), encoding="utf-8")


if __name__ == "__main__":
    main()
