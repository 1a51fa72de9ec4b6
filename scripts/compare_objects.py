#!/usr/bin/python3
"""Does a written PDF keep everything its input has? Over folders of PDF
files: export, add the export, update with the unchanged export, and for each
output
  - qpdf --check: no warning or error the input did not have;
  - every object of the input but the old outline (its root and items) and
    the catalog, its cross-reference and object streams aside, is in the
    output under its number with the same value (read with pikepdf, Debian's
    python3-pikepdf: dictionaries and arrays as text, stream data as raw bytes);
  - the catalog keeps every key but Outlines;
  - the output's size against the input's and the new outline's objects.

  compare_objects.py TOOL FOLDER...

Prints each file where something differs, then the counts and the size
distribution (output / (input + new objects), and output / input).
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile

import pikepdf


def qpdf_warnings(path):
    done = subprocess.run(["qpdf", "--check", path], capture_output=True, timeout=300)
    text = (done.stdout + done.stderr).decode("latin-1")
    if done.returncode not in (0, 3):
        return None  # qpdf fails on it
    return len(re.findall(r"WARNING", text))


def old_outline(pdf):
    """objgens of the outline root and every item First and Next reach."""
    seen = set()
    outlines = pdf.Root.get("/Outlines")
    waiting = [outlines] if outlines is not None else []
    while waiting:
        node = waiting.pop()
        if not isinstance(node, pikepdf.Dictionary) or not node.is_indirect:
            continue
        if node.objgen in seen:
            continue
        seen.add(node.objgen)
        for key in ("/First", "/Next"):
            if key in node:
                waiting.append(node.get(key))
    return seen


def value_text(obj):
    if not isinstance(obj, pikepdf.Object):
        return repr(obj)  # pikepdf gives numbers, booleans and null as Python values
    if isinstance(obj, pikepdf.Stream):
        dictionary = {str(k): value_text(obj.get(k)) for k in obj.keys() if k != "/Length"}
        try:
            data = obj.read_raw_bytes()
        except Exception:  # data a reader cannot take is compared as missing
            data = None
        return ("stream", sorted(dictionary.items()), data)
    return obj.unparse()


def compare(input_path, output_path):
    """The numbers of the input's objects the output lacks or changes."""
    differ = []
    with pikepdf.open(input_path) as a, pikepdf.open(output_path) as b:
        skip = old_outline(a) | {a.Root.objgen}
        # An object deleted and its number used again: only the newest
        # generation is in use.
        newest = {}
        for obj in a.objects:
            if isinstance(obj, pikepdf.Object) and obj.is_indirect:
                number, generation = obj.objgen
                newest[number] = max(newest.get(number, 0), generation)
        for obj in a.objects:
            if isinstance(obj, pikepdf.Object) and obj.is_indirect and \
                    obj.objgen[1] < newest[obj.objgen[0]]:
                continue
            if not isinstance(obj, pikepdf.Object) or not obj.is_indirect or obj.objgen in skip:
                continue
            if isinstance(obj, pikepdf.Stream) and obj.get("/Type") in ("/XRef", "/ObjStm"):
                continue
            try:
                other = b.get_object(obj.objgen)
            except Exception:
                other = None
            if (value_text(other) if other is not None else "null") != value_text(obj):
                differ.append(obj.objgen)
        before = {str(k): value_text(a.Root.get(k)) for k in a.Root.keys() if k != "/Outlines"}
        after = {str(k): value_text(b.Root.get(k)) for k in b.Root.keys() if k != "/Outlines"}
        if before != after:
            differ.append("catalog")
    return differ


def new_objects_bytes(input_path, output_path):
    """Bytes of the objects the output has and the input does not: those
    numbered at or above the input's /Size, and the catalog."""
    with pikepdf.open(input_path) as a:
        size = max(objgen[0] for objgen in (o.objgen for o in a.objects
                                             if isinstance(o, pikepdf.Object))) + 1
        root = a.Root.objgen[0]
    data = open(output_path, "rb").read()
    total = 0
    for match in re.finditer(rb"(?<![0-9])([0-9]+) 0 obj", data):
        number = int(match.group(1))
        if number >= size or number == root:
            end = data.find(b"endobj", match.end())
            if end > 0:
                total += end + 7 - match.start()
    return total


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    tool = os.path.abspath(sys.argv[1])
    counts = {"files": 0, "jobs": 0, "refused": 0, "qpdf same": 0, "qpdf new warnings": 0,
              "objects same": 0, "objects differ": 0, "unread by pikepdf": 0}
    ratios, growth = [], []
    with tempfile.TemporaryDirectory() as work:
        xml = os.path.join(work, "e.xml")
        for folder in sys.argv[2:]:
            for name in sorted(os.listdir(folder)):
                if not name.lower().endswith(".pdf"):
                    continue
                path = os.path.join(folder, name)
                counts["files"] += 1
                if os.path.exists(xml):
                    os.remove(xml)
                if subprocess.run([tool, "-i" + path, "-e" + xml], capture_output=True,
                                  timeout=300).returncode:
                    if not os.path.exists(xml):
                        open(xml, "wb").write(b"<Bookmarks>\r\n</Bookmarks>\r\n")
                input_warnings = None
                for job in ("add", "update"):
                    out = os.path.join(work, job + ".pdf")
                    if os.path.exists(out):
                        os.remove(out)
                    args = [tool, "-i" + path, "-o" + out, "-x" + xml]
                    if job == "update":
                        args.append("-update")
                    if subprocess.run(args, capture_output=True, timeout=300).returncode:
                        counts["refused"] += 1
                        continue
                    counts["jobs"] += 1
                    if input_warnings is None:
                        input_warnings = qpdf_warnings(path)
                    output_warnings = qpdf_warnings(out)
                    worse = output_warnings is None and input_warnings is not None or (
                        output_warnings is not None and input_warnings is not None and
                        output_warnings > input_warnings)
                    if worse:
                        counts["qpdf new warnings"] += 1
                        print(f"qpdf: {job} {path}: {input_warnings} -> {output_warnings}")
                    else:
                        counts["qpdf same"] += 1
                    try:
                        differ = compare(path, out)
                    except Exception as error:
                        counts["unread by pikepdf"] += 1
                        print(f"unread: {job} {path}: {error}")
                        continue
                    if differ:
                        counts["objects differ"] += 1
                        print(f"objects: {job} {path}: {differ[:10]}")
                    else:
                        counts["objects same"] += 1
                    if job == "add":
                        size_in, size_out = os.path.getsize(path), os.path.getsize(out)
                        try:
                            added = new_objects_bytes(path, out)
                        except Exception:
                            continue
                        ratios.append(size_out / (size_in + added))
                        if ratios[-1] > 1.02:
                            print(f"size: {path}: {size_out} bytes, input {size_in}, "
                                  f"new objects {added}")
                        growth.append((size_out / size_in, name))
    print(counts)
    if ratios:
        deciles = statistics.quantiles(ratios, n=10)
        print(f"output / (input + new objects): median {statistics.median(ratios):.3f}, "
              f"90th percentile {deciles[-1]:.3f}, largest {max(ratios):.3f}, "
              f"within 2 %: {sum(r <= 1.02 for r in ratios)} of {len(ratios)}")
        plain = [g for g, _ in growth]
        print(f"output / input: median {statistics.median(plain):.3f}, "
              f"90th percentile {statistics.quantiles(plain, n=10)[-1]:.3f}; largest: " +
              ", ".join(f"{n} {g:.2f}" for g, n in sorted(growth, reverse=True)[:5]))


if __name__ == "__main__":
    main()
