#!/usr/bin/env python3
"""Checks of an installation, run by CTest (tests/install/CMakeLists.txt):

  package    builds ferrowick_<version>_<arch>.deb with CPack and unpacks it
             into a scratch root (nothing is installed into the machine)
  contents   the package's control fields and file list
  runs       the unpacked programs run from the scratch root
  lintian    lintian finds no error in the package
  desktop    the desktop entry and AppStream data pass their validators
  cli-docs   the manual page and bash completion agree with --help

Each check prints what it found and exits non-zero on the first failure."""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile


class Failure(Exception):
    pass


def expect(condition, text):
    if not condition:
        raise Failure(text)


def run(cmd, timeout=120, env=None, check=True, **kw):
    p = subprocess.run(cmd, capture_output=True, text=True, timeout=timeout, env=env, **kw)
    if check and p.returncode != 0:
        raise Failure(f"{' '.join(cmd)} exited {p.returncode}\n--- stdout\n{p.stdout}\n--- stderr\n{p.stderr}")
    return p


def arch():
    return run(["dpkg", "--print-architecture"]).stdout.strip()


def deb_path(a):
    return os.path.join(a.build, "packages", f"ferrowick_{a.version}_{arch()}.deb")


def root_of(a):
    return os.path.join(a.scratch, "root")


# --- package ---------------------------------------------------------------

def check_package(a):
    packages = os.path.join(a.build, "packages")
    shutil.rmtree(packages, ignore_errors=True)
    run(["cpack", "-G", "DEB", "--config", os.path.join(a.build, "CPackConfig.cmake")], timeout=280, cwd=a.build)
    debs = sorted(os.path.basename(p) for p in glob.glob(os.path.join(packages, "*.deb")))
    expect(debs == [os.path.basename(deb_path(a))], f"expected one package {os.path.basename(deb_path(a))}, got {debs}")
    shutil.rmtree(a.scratch, ignore_errors=True)
    os.makedirs(a.scratch)
    run(["dpkg-deb", "-x", deb_path(a), root_of(a)])
    print(f"{deb_path(a)}: {os.path.getsize(deb_path(a))} bytes, unpacked into {root_of(a)}")


# --- contents --------------------------------------------------------------

def control_field(deb, field):
    return run(["dpkg-deb", "-f", deb, field]).stdout.strip()


def check_contents(a):
    deb = deb_path(a)
    expect(control_field(deb, "Package") == "ferrowick", "package name")
    expect(control_field(deb, "Version") == a.version, "version is not the project's")
    expect(control_field(deb, "Architecture") == arch(), "architecture")
    depends = control_field(deb, "Depends")
    # Computed from the libraries the programs link, so Qt and the device
    # library must be there without anyone naming them.
    for lib in ("libqt6core6", "libqt6webenginewidgets6", "libimobiledevice", "libsqlite3", "libmbedcrypto"):
        expect(lib in depends, f"Depends lacks {lib}: {depends}")
    recommends = [r.strip() for r in control_field(deb, "Recommends").split(",")]
    expect({"libimobiledevice-utils", "usbmuxd"} <= set(recommends), f"Recommends: {recommends}")
    expect(re.match(r"^[^<>]+ <[^@<>\s]+@[^@<>\s]+>$", control_field(deb, "Maintainer")), "Maintainer is no address")
    expect(len(control_field(deb, "Description").splitlines()) > 2, "Description has no long text")

    listing = run(["dpkg-deb", "-c", deb]).stdout
    files = {line.split()[-1].lstrip(".") for line in listing.splitlines() if not line.startswith("d")}
    for f in ("/usr/bin/ferrowick", "/usr/bin/ferrowick-cli",
              "/usr/lib/ferrowick/libferrowick-imobiledevice.so",
              "/usr/share/ferrowick/vbbb/style.css",
              f"/usr/share/applications/{a.app_id}.desktop",
              f"/usr/share/metainfo/{a.app_id}.metainfo.xml",
              f"/usr/share/icons/hicolor/48x48/apps/{a.app_id}.png",
              f"/usr/share/icons/hicolor/256x256/apps/{a.app_id}.png",
              "/usr/share/man/man1/ferrowick-cli.1.gz", "/usr/share/man/man1/ferrowick.1.gz",
              "/usr/share/bash-completion/completions/ferrowick-cli",
              "/usr/share/doc/ferrowick/copyright", "/usr/share/doc/ferrowick/changelog.gz"):
        expect(f in files, f"the package lacks {f}")
    expect(any(f.startswith("/usr/share/ferrowick/emoji/") for f in files), "no emoji pictures")
    # Developer tools and build leftovers stay out.
    for f in files:
        expect("simulator" not in f and "simbackup" not in f, f"developer tool packaged: {f}")
        expect(f.startswith("/usr/") and not f.startswith("/usr/local/"), f"outside /usr: {f}")
        expect(not re.search(r"make_|screenshots|test", os.path.basename(f)), f"build tool packaged: {f}")
    # Each icon has the size its folder claims (PNG header: width, height).
    for icon in glob.glob(os.path.join(root_of(a), "usr/share/icons/hicolor/*/apps/*.png")):
        size = os.path.basename(os.path.dirname(os.path.dirname(icon)))
        with open(icon, "rb") as f:
            head = f.read(24)
        expect(head[:8] == b"\x89PNG\r\n\x1a\n", f"{icon} is no PNG")
        w, h = int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")
        expect(f"{w}x{h}" == size, f"{icon} is {w}x{h}")
    print(f"{len(files)} files; Depends: {depends}")


# --- runs ------------------------------------------------------------------

def installed_env(a, data):
    env = dict(os.environ)
    # Nothing may point the programs back into the build tree.
    for k in ("FERROWICK_BUBBLE_DIR", "FERROWICK_DEVICE_BACKEND", "LD_LIBRARY_PATH"):
        env.pop(k, None)
    env["FERROWICK_DATA_DIR"] = data
    env["QT_QPA_PLATFORM"] = "offscreen"
    return env


def check_runs(a):
    root = root_of(a)
    cli = os.path.join(root, "usr/bin/ferrowick-cli")
    share = os.path.join(root, "usr/share/ferrowick")
    with tempfile.TemporaryDirectory(dir=a.scratch) as work:
        env = installed_env(a, os.path.join(work, "data"))

        v = run([cli, "--version"], env=env).stdout.strip()
        expect(v == f"ferrowick-cli {a.version}", f"--version says {v!r}")

        info = run([cli, "info", "--demo", "--json"], env=env).stdout
        expect(re.search(r'"messages"\s*:\s*[1-9]', info), f"demo info has no messages: {info}")

        # The HTML export copies the bubble artwork from the installed share/.
        out = os.path.join(work, "demo")
        run([cli, "export", "--demo", "--format", "html", "--out", out], env=env, timeout=180)
        files = os.path.join(work, "demo-html", "files")
        expect(os.path.isfile(os.path.join(files, "style.css")), "the export has no style sheet")
        with open(os.path.join(files, "style.css"), "rb") as x, open(os.path.join(share, "vbbb/style.css"), "rb") as y:
            expect(x.read() == y.read(), "the export's style sheet is not the installed one")
        pieces = set(os.listdir(os.path.join(share, "vbbb")))
        expect(pieces <= set(os.listdir(files)), f"bubble pieces missing: {sorted(pieces - set(os.listdir(files)))}")
        pages = glob.glob(os.path.join(work, "demo-html", "*.html"))
        expect(len(pages) > 1, "no chat pages")

        # The installed device backend loads; no phone being attached is no error.
        d = run([cli, "devices"], env=env, check=False)
        expect("Failed to load" not in d.stderr and d.returncode == 0,
               f"devices exited {d.returncode}: {d.stderr}")

        gui_env = dict(env, FERROWICK_EXIT_WHEN_SHOWN="1", QTWEBENGINE_DISABLE_SANDBOX="1")
        g = run([os.path.join(root, "usr/bin/ferrowick")], env=gui_env, timeout=120, check=False)
        expect(g.returncode == 0 and "main window shown: " in g.stdout,
               f"the application did not show its window ({g.returncode}):\n{g.stdout}\n{g.stderr}")
        expect("device backend: loaded" in g.stdout, f"the application's backend: {g.stdout}")
        print(f"{v}; demo exported to {len(pages)} pages; {g.stdout.strip()}")


# --- lintian ---------------------------------------------------------------

def check_lintian(a):
    if not shutil.which("lintian"):
        raise Failure("lintian is not installed (scripts/setup.sh installs it)")
    p = run(["lintian", "--no-tag-display-limit", deb_path(a)], timeout=280, check=False)
    tags = [line for line in p.stdout.splitlines() if re.match(r"^[EWIPX]: ", line)]
    for line in tags:
        print(line)
    errors = [t for t in tags if t.startswith("E: ")]
    expect(not errors, f"lintian reports {len(errors)} error(s)")
    expect(p.returncode == 0 or not errors, p.stderr)


# --- desktop ---------------------------------------------------------------

def check_desktop(a):
    desktop = os.path.join(a.docs, f"{a.app_id}.desktop")
    metainfo = os.path.join(a.docs, f"{a.app_id}.metainfo.xml")
    run(["desktop-file-validate", desktop])
    p = run(["appstreamcli", "validate", "--no-net", "--explain", metainfo], check=False)
    print(p.stdout)
    expect(p.returncode == 0, f"appstreamcli validate failed:\n{p.stdout}{p.stderr}")
    with open(desktop) as f:
        entry = f.read()
    with open(metainfo) as f:
        meta = f.read()
    expect(re.search(rf"^Icon={re.escape(a.app_id)}$", entry, re.M), "the entry's icon is not the application id")
    expect(re.search(r"^Exec=ferrowick(\s|$)", entry, re.M), "the entry does not start ferrowick")
    expect(f"<launchable type=\"desktop-id\">{a.app_id}.desktop</launchable>" in meta, "launchable")
    expect(f'<release version="{a.version}"' in meta, "the release is not the project's version")
    # Every picture named is one of docs/screenshots.
    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    shots = re.findall(r"<image>[^<]*/([^/<]+)</image>", meta)
    expect(shots, "no screenshots")
    for s in shots:
        expect(os.path.isfile(os.path.join(source, "docs/screenshots", s)), f"screenshot {s} is not in docs/screenshots")


# --- cli-docs --------------------------------------------------------------

def help_commands(a):
    out = run([a.cli, "--help"]).stdout
    block = out.split("Commands:\n", 1)[1].split("\n\n", 1)[0]
    return [line.split()[0] for line in block.splitlines() if line.strip()]


def help_options(a, command):
    out = run([a.cli, command, "--help"]).stdout
    return set(re.findall(r"(?:^|, )(--[a-z][a-z0-9-]*)", out, re.M))


def complete(a, line, data_dir):
    """What bash completion offers for the command line (completing its last
    word; a line ending in a space completes an empty word)."""
    script = os.path.join(a.docs, "ferrowick-cli.bash")
    words = line.split(" ")
    words[0] = a.cli
    prog = "\n".join([
        f"source {sh(script)}",
        "COMP_WORDS=(" + " ".join(sh(w) for w in words) + ")",
        f"COMP_CWORD={len(words) - 1}",
        "_ferrowick_cli",
        "printf '%s\\n' \"${COMPREPLY[@]}\"",
    ])
    env = dict(os.environ, FERROWICK_DATA_DIR=data_dir)
    return [w for w in run(["bash", "--norc", "-c", prog], env=env).stdout.splitlines() if w]


def sh(text):
    return "'" + text.replace("'", "'\\''") + "'"


def check_cli_docs(a):
    commands = help_commands(a)
    expect(len(commands) > 10, f"too few commands in --help: {commands}")

    # The manual page: every command and each of its options, and groff
    # reads it without a warning.
    with open(os.path.join(a.docs, "ferrowick-cli.1")) as f:
        page = f.read()
    plain = page.replace("\\-", "-").replace("\\fB", "").replace("\\fR", "").replace("\\fI", "")
    for c in commands:
        expect(re.search(rf"^{re.escape(c)}$", plain, re.M), f"the manual lacks the command {c}")
        for o in help_options(a, c):
            expect(o in plain, f"the manual lacks {c} {o}")
    expect(f'"Ferrowick {a.version}"' in page, "the manual's version is not the project's")
    if shutil.which("groff"):
        g = run(["groff", "-man", "-Tutf8", "-ww", "-z", os.path.join(a.docs, "ferrowick-cli.1")])
        expect(not g.stderr.strip(), f"groff warns: {g.stderr}")

    with tempfile.TemporaryDirectory() as tmp:
        # Two local databases in the default data folder, another in a second one.
        default, other = os.path.join(tmp, "default"), os.path.join(tmp, "other")
        for base, name in ((default, "Demo History"), (default, "Work"), (other, "Archive 2019")):
            store = os.path.join(base, "local_databases", name, "Documents")
            os.makedirs(store)
            open(os.path.join(store, "Contacts-tellurine.data"), "wb").close()
        os.makedirs(os.path.join(default, "local_databases", "not a database"))

        expect(sorted(complete(a, "ferrowick-cli ", default)) == sorted(commands), "commands offered")
        expect(sorted(complete(a, "ferrowick-cli ex", default)) == ["export", "extract-media"], "ex -> export, extract-media")
        expect(complete(a, "ferrowick-cli --ver", default) == ["--version"], "--ver -> --version")
        for c in commands:
            offered = set(complete(a, f"ferrowick-cli {c} --", default))
            expect(help_options(a, c) <= offered, f"{c}: options not offered: {help_options(a, c) - offered}")
        expect(complete(a, "ferrowick-cli export --demo --fo", default) == ["--format"], "--fo -> --format")
        expect(complete(a, "ferrowick-cli export --format h", default) == ["html"], "--format h -> html")
        expect(sorted(complete(a, "ferrowick-cli info --localdb ", default)) == ["Demo\\ History", "Work"],
               f"local databases: {complete(a, 'ferrowick-cli info --localdb ', default)}")
        expect(complete(a, "ferrowick-cli chats --localdb De", default) == ["Demo\\ History"], "--localdb De")
        expect(complete(a, "ferrowick-cli backup --demo --into W", default) == ["Work"], "--into W")
        expect(complete(a, f"ferrowick-cli --data-dir {other} info --localdb ", default) == ["Archive\\ 2019"],
               "--data-dir is not honoured")
        expect(complete(a, f"ferrowick-cli info --data-dir {other} --localdb A", default) == ["Archive\\ 2019"],
               "a command's --data-dir is not honoured")
        # A folder value completes folders, not commands or options.
        os.makedirs(os.path.join(tmp, "backups-here"))
        expect(complete(a, f"ferrowick-cli backups --dir {tmp}/backups-h", default) == [f"{tmp}/backups-here"],
               "--dir does not complete folders")
    print(f"{len(commands)} commands checked in the manual and the completion")


CHECKS = {"package": check_package, "contents": check_contents, "runs": check_runs,
          "lintian": check_lintian, "desktop": check_desktop, "cli-docs": check_cli_docs}


def main():
    p = argparse.ArgumentParser()
    p.add_argument("check", choices=sorted(CHECKS))
    for opt in ("build", "version", "scratch", "cli", "docs", "app-id"):
        p.add_argument("--" + opt, required=True)
    a = p.parse_args()
    try:
        CHECKS[a.check](a)
    except (Failure, subprocess.TimeoutExpired) as e:
        print(f"FAIL: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
