#!/usr/bin/python3
"""Export → update with the unchanged export, over folders of PDF files: does
every outline item come back with the same entries, key for key and value for
value, its links (Parent, Prev, Next, First, Last, Count) aside? Reads the
files with pikepdf (Debian's python3-pikepdf), an independent reader.

  compare_items.py TOOL FOLDER...

Prints each file whose items differ, then the counts.
"""
import os
import subprocess
import sys
import tempfile

import pikepdf

LINKS = {"/Parent", "/Prev", "/Next", "/First", "/Last", "/Count"}


def items(pdf):
    """The outline items depth first, following First and Next, once each."""
    seen, order = set(), []

    def walk(node, depth):
        while node is not None and depth < 256:
            key = node.objgen if node.is_indirect else id(node)
            if key in seen:
                return
            seen.add(key)
            order.append(node)
            walk(node.get("/First"), depth + 1)
            node = node.get("/Next")

    outlines = pdf.Root.get("/Outlines")
    if outlines is not None:
        walk(outlines.get("/First"), 0)
    return order


def entries(item):
    def text(value):
        return value.unparse() if isinstance(value, pikepdf.Object) else repr(value)
    return {str(k): text(item.get(k)) for k in item.keys() if str(k) not in LINKS}


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    tool = os.path.abspath(sys.argv[1])
    counts = {"files": 0, "with outline": 0, "same": 0, "differ": 0, "unread": 0}
    with tempfile.TemporaryDirectory() as work:
        xml, out = os.path.join(work, "e.xml"), os.path.join(work, "u.pdf")
        for folder in sys.argv[2:]:
            for name in sorted(os.listdir(folder)):
                if not name.lower().endswith(".pdf"):
                    continue
                path = os.path.join(folder, name)
                counts["files"] += 1
                for f in (xml, out):
                    if os.path.exists(f):
                        os.remove(f)
                if subprocess.run([tool, "-i" + path, "-e" + xml], capture_output=True).returncode:
                    continue
                if b"<Bookmark>" not in open(xml, "rb").read():
                    continue
                counts["with outline"] += 1
                if subprocess.run([tool, "-i" + path, "-o" + out, "-x" + xml, "-update"],
                                  capture_output=True).returncode:
                    print(f"update failed: {path}")
                    counts["differ"] += 1
                    continue
                try:
                    with pikepdf.open(path) as a, pikepdf.open(out) as b:
                        before = [entries(i) for i in items(a)]
                        after = [entries(i) for i in items(b)]
                except Exception as error:  # a file pikepdf cannot read is not compared
                    counts["unread"] += 1
                    print(f"unread: {path}: {error}")
                    continue
                if before == after:
                    counts["same"] += 1
                    continue
                counts["differ"] += 1
                for k, (x, y) in enumerate(zip(before, after)):
                    if x != y:
                        print(f"differs: {path} item {k + 1}: {x} -> {y}")
                        break
                else:
                    print(f"differs: {path}: {len(before)} items -> {len(after)}")
    print(", ".join(f"{k}: {v}" for k, v in counts.items()))


if __name__ == "__main__":
    main()
