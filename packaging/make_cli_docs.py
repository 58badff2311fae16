#!/usr/bin/env python3
"""Writes the manual page ferrowick-cli.1 and the bash completion
ferrowick-cli.bash from the program's own help, so both list exactly the
commands and options the program has.

    make_cli_docs.py CLI VERSION DATE OUTDIR

CLI is the built ferrowick-cli; its `--help` and `COMMAND --help` are read."""
import re
import subprocess
import sys

# Options every command takes; the manual lists them once.
COMMON = {"help", "data-dir"}


def run_help(cli, *args):
    out = subprocess.run([cli, *args, "--help"], check=True, capture_output=True, text=True).stdout
    if not out.startswith("Usage: "):
        sys.exit(f"make_cli_docs: unexpected help from {cli} {' '.join(args)}")
    return out


def sections(text):
    """Splits help text into {heading: [lines]}; a heading ends with ':' and
    starts at the first column."""
    result, current = {}, None
    for line in text.splitlines():
        if line and not line[0].isspace() and line.rstrip().endswith(":"):
            current = line.rstrip()[:-1]
            result[current] = []
        elif current is not None:
            result[current].append(line)
    return result


def entries(lines):
    """Two-column entries ("  left   description") with continuation lines
    (deeper indentation) joined to the previous description."""
    items = []
    for line in lines:
        if not line.strip():
            continue
        m = re.match(r"^  (\S.*?)\s{2,}(.*)$", line)
        if line.startswith("  ") and not line.startswith("   ") and m:
            items.append([m.group(1).strip(), m.group(2).strip()])
        elif items and line.startswith("   "):
            items[-1][1] += " " + line.strip()
    return items


def parse_option(left):
    """"-h, -?, --help" or "--out <PATH>" or "--container DIR" ->
    (long names, value name or None)."""
    value = None
    m = re.search(r"\s+<?([A-Z][A-Z0-9_|]*)>?$", left)
    if m:
        value = m.group(1)
        left = left[: m.start()]
    names = [n.strip() for n in left.split(",") if n.strip()]
    return names, value


def collect(cli):
    top = run_help(cli)
    parts = sections(top)
    paragraphs = [p.strip() for p in top.split("\n\n")]
    program = {
        "synopsis": top.splitlines()[0][len("Usage: "):],
        "about": paragraphs[1] if len(paragraphs) > 1 else "",
        "commands": [],
        "sources": [(parse_option(l), d) for l, d in entries(parts.get("Sources (for commands that read messages)", []))],
        "global": [(parse_option(l), d) for l, d in entries(parts.get("Global options", []))],
        "exit": next((p for p in paragraphs if p.startswith("Exit status:")), ""),
    }
    if not program["sources"] or not parts.get("Commands"):
        sys.exit("make_cli_docs: the help lists no commands or no sources")
    for name, description in entries(parts["Commands"]):
        text = run_help(cli, name)
        own = []
        reads_source = False
        for left, desc in entries(sections(text).get("Options", [])):
            names, value = parse_option(left)
            longs = {n.lstrip("-") for n in names}
            if longs & COMMON:
                continue
            # A command's own option may share a source's name (to-device's
            # --device): only the same option with the same text is the source.
            if any(names == sn and desc == sd for (sn, _), sd in program["sources"]):
                reads_source = True
                continue
            own.append(((names, value), desc))
        program["commands"].append({"name": name, "description": description, "options": own,
                                    "reads_source": reads_source})
    return program


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\n".join(("\\&" + l if l.startswith((".", "'")) else l) for l in text.split("\n"))


def option_head(names, value):
    head = ", ".join(f"\\fB{roff(n)}\\fR" for n in names)
    if value:
        head += f" \\fI{roff(value)}\\fR"
    return head


def manual(program, version, date):
    out = [f'.TH FERROWICK\\-CLI 1 "{date}" "Ferrowick {version}" "User Commands"',
           ".SH NAME", "ferrowick\\-cli \\- read the Viber history of an iPhone and export it",
           ".SH SYNOPSIS", f".B ferrowick\\-cli", roff(program["synopsis"].split(" ", 1)[1]),
           ".SH DESCRIPTION", roff(program["about"]),
           ".PP", "Each command prints its own options with",
           ".BR \"ferrowick\\-cli \\fICOMMAND\\fP \\-\\-help\" .",
           ".SH COMMANDS"]
    for c in program["commands"]:
        out += [".TP", f"\\fB{roff(c['name'])}\\fR", roff(c["description"])]
        if c["reads_source"]:
            out += [".br", "Reads messages from one of the sources below."]
        for (names, value), desc in c["options"]:
            out += [".RS", ".TP", option_head(names, value), roff(desc), ".RE"]
    out += [".SH SOURCES"]
    for (names, value), desc in program["sources"]:
        out += [".TP", option_head(names, value), roff(desc)]
    out += [".SH GLOBAL OPTIONS"]
    for (names, value), desc in program["global"]:
        out += [".TP", option_head(names, value), roff(desc)]
    out += [".SH EXIT STATUS", roff(program["exit"].replace("Exit status: ", "").rstrip(".") + ".")]
    out += [".SH ENVIRONMENT",
            ".TP", ".B FERROWICK_DATA_DIR", "The data folder, as \\fB\\-\\-data\\-dir\\fR names it.",
            ".TP", ".B FERROWICK_BACKUP_PASSWORD",
            "The password of an encrypted backup when no \\fB\\-\\-password\\-file\\fR is given.",
            ".TP", ".B FERROWICK_DEVICE_BACKEND", "The device backend plugin to load instead of the installed one.",
            ".SH SEE ALSO", ".BR ferrowick (1),", ".BR idevicebackup2 (1)"]
    return "\n".join(out) + "\n"


def value_kind(name, value, description):
    if value is None:
        return None
    if name in ("--localdb", "--into"):
        return "localdb"
    if value == "FORMAT":
        return "words:" + " ".join(re.findall(r"[a-z0-9]+", description.replace(" or ", " ")))
    if value == "DIR":
        return "dir"
    if value in ("FILE", "PATH"):
        return "file"
    return "any"


def completion(program):
    commands = [c["name"] for c in program["commands"]]
    globals_ = sorted({n for (names, _), _ in program["global"] for n in names if n.startswith("--")})
    lines = ["# bash completion for ferrowick-cli, written from its --help at build time.",
             "",
             "# What follows an option: a value of the kind named here, or nothing.",
             "_ferrowick_cli_value_kind()", "{", "    case \"$1 $2\" in"]
    kinds = {}
    for c in program["commands"]:
        opts = list(c["options"])
        if c["reads_source"]:
            opts += program["sources"]
        for (names, value), desc in opts + program["global"]:
            for n in names:
                if n.startswith("--"):
                    k = value_kind(n, value, desc)
                    if k:
                        kinds.setdefault(k, []).append(f"{c['name']} {n}")
    for k, keys in sorted(kinds.items()):
        lines.append("        " + "|".join(f'"{key}"' for key in sorted(set(keys))) + f") echo '{k}' ;;")
    lines += ["        *) return 1 ;;", "    esac", "}", "", "_ferrowick_cli_options()", "{",
              "    case \"$1\" in"]
    for c in program["commands"]:
        opts = list(c["options"])
        if c["reads_source"]:
            opts += program["sources"]
        names = sorted({n for (ns, _), _ in opts for n in ns if n.startswith("--")} | {"--help", "--data-dir"})
        lines.append(f"        {c['name']}) echo '{' '.join(names)}' ;;")
    lines += ["    esac", "}", "",
              "_ferrowick_cli()",
              "{",
              "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}",
              "    local command='' data_dir=() i w",
              "    for ((i = 1; i < COMP_CWORD; i++)); do",
              "        w=${COMP_WORDS[i]}",
              "        if [[ $w == --data-dir ]]; then",
              "            ((i++)); data_dir=(--data-dir \"${COMP_WORDS[i]/#\\~/$HOME}\")",
              "        elif [[ $w != -* && -z $command ]]; then",
              "            command=$w",
              "        fi",
              "    done",
              "    COMPREPLY=()",
              "    if [[ -z $command ]]; then",
              "        if [[ $prev == --data-dir ]]; then",
              "            COMPREPLY=($(compgen -d -- \"$cur\"))",
              "        elif [[ $cur == -* ]]; then",
              f"            COMPREPLY=($(compgen -W '{' '.join(globals_)}' -- \"$cur\"))",
              "        else",
              f"            COMPREPLY=($(compgen -W '{' '.join(commands)}' -- \"$cur\"))",
              "        fi",
              "        return 0",
              "    fi",
              "    local kind",
              "    if kind=$(_ferrowick_cli_value_kind \"$command\" \"$prev\"); then",
              "        case $kind in",
              "            dir) COMPREPLY=($(compgen -d -- \"$cur\")) ;;",
              "            file) COMPREPLY=($(compgen -f -- \"$cur\")) ;;",
              "            words:*) COMPREPLY=($(compgen -W \"${kind#words:}\" -- \"$cur\")) ;;",
              "            localdb)",
              "                # Names may hold spaces: one a line, quoted for the shell.",
              "                local IFS=$'\\n' prefix=${cur//\\\\/} name",
              "                prefix=${prefix#[\\\"\\']}",
              "                for name in $(\"${COMP_WORDS[0]/#\\~/$HOME}\" localdbs \"${data_dir[@]}\" 2>/dev/null); do",
              "                    [[ $name == \"$prefix\"* ]] && COMPREPLY+=(\"$(printf '%q' \"$name\")\")",
              "                done",
              "                ;;",
              "        esac",
              "        return 0",
              "    fi",
              "    COMPREPLY=($(compgen -W \"$(_ferrowick_cli_options \"$command\")\" -- \"$cur\"))",
              "}",
              "complete -F _ferrowick_cli ferrowick-cli"]
    return "\n".join(lines) + "\n"


def main():
    cli, version, date, outdir = sys.argv[1:5]
    program = collect(cli)
    with open(f"{outdir}/ferrowick-cli.1", "w", encoding="utf-8") as f:
        f.write(manual(program, version, date))
    with open(f"{outdir}/ferrowick-cli.bash", "w", encoding="utf-8") as f:
        f.write(completion(program))


if __name__ == "__main__":
    main()
