#!/usr/bin/env python3
"""Checks the tool over folders of real PDF files (not part of the test suite).

  corpus.py roundtrip TOOL FOLDER...   export, add the export and export again;
                                      update with the export and export again;
                                      prints the files whose outlines changed
  corpus.py outputs TOOL OUT FOLDER... every job's outputs and messages, one
                                      folder a PDF, to compare two builds with
                                      `diff -r`
  corpus.py peers TOOL FOLDER...      the exports refused, by message, and the
                                      files where qpdf or MuPDF reads more
                                      outline items than the export holds

A go-to the export could not resolve (<Page>0</Page>) is left out by the add,
with a warning: that is the one difference a round trip may show.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

UPDATE_XML = (b"<Bookmarks>\n<Bookmark><Item>1</Item><Name>Replaced</Name></Bookmark>\n"
              b"<Bookmark><Item>1</Item><Insert>True</Insert><Name>Inserted</Name></Bookmark>\n"
              b"</Bookmarks>\n")


def run(tool, *args, timeout=120):
    try:
        done = subprocess.run([tool, *args], capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return 124, b"time-out"
    # The banner's lines are the same every time.
    return done.returncode, done.stdout.split(b"\r\n\r\n", 1)[-1]


def pdfs(folders):
    for folder in folders:
        for name in sorted(os.listdir(folder)):
            if name.lower().endswith(".pdf"):
                yield os.path.join(folder, name)


def without_unresolved_go_tos(xml):
    """The export as the add gives it back: go-tos without a page left out."""
    def keep(match):
        block = match.group(0)
        if b"<Type>Go to a page in this document</Type>" in block and b"<Page>0</Page>" in block:
            return b""
        return block
    return re.sub(rb"\t\t<Action>\r\n.*?\t\t</Action>\r\n", keep, xml, flags=re.S)


def roundtrip(tool, folders):
    counts = {"files": 0, "with outline": 0, "add same": 0, "add differs": 0,
              "update same": 0, "update differs": 0, "refused": 0}
    with tempfile.TemporaryDirectory() as work:
        first, again = os.path.join(work, "first.xml"), os.path.join(work, "again.xml")
        out = os.path.join(work, "out.pdf")
        for pdf in pdfs(folders):
            counts["files"] += 1
            for path in (first, again, out):
                if os.path.exists(path):
                    os.remove(path)
            status, _ = run(tool, "-i" + pdf, "-e" + first)
            if status != 0:
                counts["refused"] += 1
                continue
            exported = open(first, "rb").read()
            if b"<Bookmark>" not in exported:
                continue
            counts["with outline"] += 1
            for job, expected in (("add", without_unresolved_go_tos(exported)),
                                  ("update", exported)):
                args = ["-i" + pdf, "-o" + out, "-x" + first] + (["-update"] if job == "update" else [])
                status, printed = run(tool, *args)
                same = status == 0 and run(tool, "-i" + out, "-e" + again)[0] == 0 and \
                    open(again, "rb").read() == expected
                counts[job + (" same" if same else " differs")] += 1
                if not same:
                    print(f"{job} differs: {pdf} {printed.decode(errors='replace').strip()[-200:]}")
    print(", ".join(f"{k}: {v}" for k, v in counts.items()))


def outputs(tool, out_dir, folders):
    with tempfile.TemporaryDirectory() as work:
        update_xml = os.path.join(work, "update.xml")
        with open(update_xml, "wb") as f:
            f.write(UPDATE_XML)
        for pdf in pdfs(folders):
            folder = os.path.join(out_dir, os.path.basename(pdf))
            os.makedirs(folder, exist_ok=True)
            log = []
            xml = os.path.join(folder, "export.xml")
            jobs = [("export", ["-i" + pdf, "-e" + xml]),
                    ("add", ["-i" + pdf, "-o" + os.path.join(folder, "add.pdf"), "-x" + xml]),
                    ("update", ["-i" + pdf, "-o" + os.path.join(folder, "update.pdf"),
                                "-x" + update_xml, "-update"]),
                    ("same", ["-i" + pdf, "-o" + os.path.join(folder, "same.pdf"), "-x" + xml,
                              "-update"])]
            for name, args in jobs:
                status, printed = run(tool, *args)
                log.append(f"{name} [{status}] " + printed.decode(errors="replace")
                           .replace(folder, "DIR").replace(pdf, "IN").replace(work, "WORK"))
            with open(os.path.join(folder, "log.txt"), "w") as f:
                f.write("\n".join(log))


def count_items(xml):
    return len(re.findall(rb"<Bookmark>", xml))


def qpdf_items(pdf):
    """How many outline items qpdf's JSON holds; None when qpdf fails."""
    try:
        done = subprocess.run(["qpdf", "--json", "--json-key=outlines", pdf],
                              capture_output=True, timeout=120)
    except subprocess.TimeoutExpired:
        return None
    try:
        data = json.loads(done.stdout)
    except ValueError:
        return None

    def count(items):
        return sum(1 + count(item.get("kids", [])) for item in items)
    return count(data.get("outlines", []))


def mupdf_items(pdf):
    tools = os.path.join(os.path.dirname(__file__), "..", "..", "shared", "tools",
                         "outline_tools.py")
    try:
        done = subprocess.run(["/usr/bin/python3", tools, "peerjson", pdf],
                              capture_output=True, timeout=120)
        return len(json.loads(done.stdout)["items"])
    except (subprocess.TimeoutExpired, ValueError, KeyError):
        return None


def peers(tool, folders):
    refused, short = {}, []
    files = 0
    with tempfile.TemporaryDirectory() as work:
        xml = os.path.join(work, "export.xml")
        for pdf in pdfs(folders):
            files += 1
            if os.path.exists(xml):
                os.remove(xml)
            status, printed = run(tool, "-i" + pdf, "-e" + xml)
            ours = count_items(open(xml, "rb").read()) if status == 0 else 0
            if status != 0:
                message = printed.decode(errors="replace").strip().splitlines()[-1]
                refused.setdefault(message, []).append(os.path.basename(pdf))
            theirs = max(qpdf_items(pdf) or 0, mupdf_items(pdf) or 0)
            if theirs > ours:
                short.append((os.path.basename(pdf), ours, theirs,
                              "refused" if status else "read"))
    print(f"files: {files}, refused: {sum(len(v) for v in refused.values())}")
    for message, names in sorted(refused.items(), key=lambda kv: -len(kv[1])):
        print(f"  {len(names):4}  {message}")
    print(f"files where a peer reads more items: {len(short)}")
    for name, ours, theirs, how in short:
        print(f"  {name}: {ours} here ({how}), {theirs} by a peer")


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "roundtrip":
        roundtrip(os.path.abspath(sys.argv[2]), sys.argv[3:])
    elif len(sys.argv) >= 4 and sys.argv[1] == "peers":
        peers(os.path.abspath(sys.argv[2]), sys.argv[3:])
    elif len(sys.argv) >= 5 and sys.argv[1] == "outputs":
        outputs(os.path.abspath(sys.argv[2]), sys.argv[3], sys.argv[4:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
